// Pad layers: the worked ramps, clearing, and the layer-5 lowering.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "relief/composition.h"
#include "relief/pad_layer.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

// A workspace with start-up landmarks and a base of 20 over the whole grid.
std::unique_ptr<Workspace> full_foot() {
    auto ws = std::make_unique<Workspace>();
    set_startup_values(*ws);
    std::memset(ws->base_grid, 20, sizeof ws->base_grid);
    return ws;
}

float at(const Workspace &ws, int layer, int x, int y) {
    return ws.layers[layer][y * 150 + x];
}

}  // namespace

TEST(PadLayer, HeelSliderThreeWithStartupLandmarks) {
    auto ws = full_foot();
    // A cell outside the foot is never written.
    ws->base_grid[100 * 150 + 7] = 0;
    for (int i = 0; i < kGridCells; ++i)
        ws->layers[3][i] = -99.0f;  // shows untouched cells
    const std::string log = test::capture_console([&] {
        build_pad_layer(*ws, 3, 2.0f, ws->landmarks[0], ws->landmarks[1], ws->landmarks[3]);
    });
    EXPECT_EQ(log, "p3 42 90 \n");
    for (int x : {0, 75, 149}) {
        for (int y = 0; y <= 42; ++y)
            ASSERT_EQ(at(*ws, 3, x, y), 10.0f) << y;
        EXPECT_NEAR(at(*ws, 3, x, 100), 10.0f * 89 / 147, 1e-5);
        for (int y = 43; y <= 188; ++y)
            ASSERT_NEAR(at(*ws, 3, x, y), 10.0f * (189 - y) / 147, 1e-4);
        EXPECT_EQ(at(*ws, 3, x, 189), 0.0f);
        for (int y = 190; y < 360; ++y)
            ASSERT_EQ(at(*ws, 3, x, y), -99.0f) << y;
    }
    EXPECT_EQ(at(*ws, 3, 7, 100), -99.0f);
}

TEST(PadLayer, LayerFiveLowering) {
    auto ws = full_foot();
    ws->outline_top_row = 300;
    PadSliderValues v;
    v.meta2 = 3;
    v.meta1 = 2;
    test::capture_console([&] { pad_slider_action(*ws, PadSlider::kMeta1, v, StampControls()); });
    for (int x : {10, 90}) {
        EXPECT_EQ(at(*ws, 5, x, 159), 0.0f);  // on the line, anchor on the positive side
        EXPECT_NEAR(at(*ws, 5, x, 160), -75.0f / 141, 1e-4);
        EXPECT_NEAR(at(*ws, 5, x, 230), -75.0f * 71 / 141, 1e-3);
        EXPECT_NEAR(at(*ws, 5, x, 230), -37.8f, 0.05);
        EXPECT_EQ(at(*ws, 5, x, 300), -75.0f);
        EXPECT_EQ(at(*ws, 5, x, 359), -75.0f);
        EXPECT_EQ(at(*ws, 5, x, 100), 0.0f);
    }
    // Metatarsal slider 1 back to 0 clears layer 0 and keeps layer 5.
    std::vector<float> layer5(ws->layers[5], ws->layers[5] + kGridCells);
    v.meta1 = 0;
    test::capture_console([&] { pad_slider_action(*ws, PadSlider::kMeta1, v, StampControls()); });
    for (float f : ws->layers[0])
        ASSERT_EQ(f, 0.0f);
    EXPECT_EQ(layer5, std::vector<float>(ws->layers[5], ws->layers[5] + kGridCells));
    // A negative value lowers but does not rebuild layer 5 either.
    v.meta2 = -4;
    test::capture_console([&] { pad_slider_action(*ws, PadSlider::kMeta2, v, StampControls()); });
    EXPECT_EQ(layer5, std::vector<float>(ws->layers[5], ws->layers[5] + kGridCells));
}

TEST(PadLayer, ZeroAmountClearsTheWholeLayer) {
    auto ws = full_foot();
    for (int i = 0; i < kGridCells; ++i)
        ws->layers[2][i] = 3.5f;
    build_pad_layer(*ws, 2, 0.0f, ws->landmarks[0], ws->landmarks[4], ws->landmarks[2]);
    for (float f : ws->layers[2])
        ASSERT_EQ(f, 0.0f);
}

TEST(PadLayer, AnchorOnTheLineLeavesNoPad) {
    auto ws = full_foot();
    const Landmark a{100, 20}, b{100, 120}, on{100, 70};
    for (int i = 0; i < kGridCells; ++i)
        ws->layers[1][i] = 1.0f;
    test::capture_console([&] { build_pad_layer(*ws, 1, 5.0f, a, b, on); });
    for (float f : ws->layers[1])
        ASSERT_EQ(f, 0.0f);
}

TEST(PadLayer, VerticalLineUsesASteepSlope) {
    auto ws = full_foot();
    const Landmark a{50, 60}, b{250, 60}, anchor{150, 100};
    test::capture_console([&] { build_pad_layer(*ws, 0, 1.0f, a, b, anchor); });
    // Right of column 60 the ramp rises to 5 at column 100; left of it nothing is written.
    EXPECT_EQ(at(*ws, 0, 30, 150), 0.0f);
    EXPECT_NEAR(at(*ws, 0, 80, 150), 2.5f, 0.05f);
    EXPECT_EQ(at(*ws, 0, 120, 150), 5.0f);
    for (float f : ws->layers[0])
        ASSERT_TRUE(std::isfinite(f));
}

TEST(PadLayer, ActionsBuildTheirOwnLayers) {
    auto ws = full_foot();
    ws->outline_top_row = 330;
    PadSliderValues v;
    v.heel1 = 1;
    v.heel2 = 2;
    v.heel3 = 3;
    test::capture_console([&] {
        pad_slider_action(*ws, PadSlider::kHeel1, v, StampControls());
        pad_slider_action(*ws, PadSlider::kHeel2, v, StampControls());
        pad_slider_action(*ws, PadSlider::kHeel3, v, StampControls());
    });
    auto peak = [&](int layer) {
        float m = 0;
        for (float f : ws->layers[layer])
            m = std::max(m, f);
        return m;
    };
    EXPECT_EQ(peak(2), 5.0f);
    EXPECT_EQ(peak(4), 10.0f);
    EXPECT_EQ(peak(3), 15.0f);
    EXPECT_EQ(peak(0), 0.0f);
    EXPECT_EQ(peak(1), 0.0f);
    EXPECT_EQ(peak(5), 0.0f);
}

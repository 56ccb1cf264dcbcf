// The relief layer: pad layers and the pad sliders, composition with the stamped pad, the
// preview, smoothing (against the plain reference pass) and the engraving BMP.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "testsupport/smoothing_reference.h"
#include "design/controls.h"
#include "relief/composition.h"
#include "relief/dome_placement.h"
#include "relief/engraving_bmp.h"
#include "relief/foot_span.h"
#include "relief/foot_axis.h"
#include "relief/orthotics.h"
#include "relief/pad_stamp.h"
#include "relief/pad_layer.h"
#include "relief/posts.h"
#include "relief/shell_length.h"
#include "relief/smoothing.h"
#include "relief/stamp_geometry.h"
#include "relief/template_placement.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

void fill_layers(test::Parts &ws, float v) {
    for (auto &layer : ws.results.layers)
        std::fill(layer, layer + kGridCells, v);
}

}  // namespace

TEST(PadLayer, WorkedRampsWithStartupLandmarks) {
    auto ws = test::foot_parts(20);
    ws->scan.base_grid[100 * 150 + 70] = 0;  // a cell outside the foot is never written
    ws->scan.outline_top_row = 300;
    fill_layers(*ws, -99.0f);
    // Layer 3, 2 mm: from 0 on the line through landmarks 0 and 1 (row 189) to the full 10 at
    // the anchor, landmark 3 (row 42), and beyond. Layer 5, 3 x (2 + 3) mm down: from row
    // 189 - 30 to the full -75 at the outline's top row. Nothing is written past a line, nor
    // on it when the anchor lies above it (sign(0) = -1).
    test::capture_console([&] {
        const LayerInputs in{ws->res, ws->scan, ws->results};
        build_heel3_layer(in, ws->results.layers[3], 2.0f);
        build_lowering_layer(in, ws->results.layers[index(Layer::kLowering)],
                             lowering_amount(2, 3));
    });
    for (int x : {20, 75, 129})
        for (int y = 0; y < 360; ++y) {
            const bool foot = y >= 20 && y <= 339;
            const float heel = y <= 42 ? 10.0f : y <= 189 ? 10.0f * (189 - y) / 147 : -99.0f;
            const float lowering = y <= 159 ? -99.0f : y >= 300 ? -75.0f : -75.0f * (y - 159) / 141;
            ASSERT_NEAR(ws->results.layers[3][y * 150 + x], foot ? heel : -99.0f, 1e-4)
                << x << " " << y;
            ASSERT_NEAR(ws->results.layers[5][y * 150 + x], foot ? lowering : -99.0f, 1e-3)
                << x << " " << y;
        }
    EXPECT_EQ(ws->results.layers[3][100 * 150 + 70], -99.0f);
    EXPECT_EQ(ws->results.layers[3][30 * 150 + 10], -99.0f);
}

// Each layer control builds its own layer with its own builder (the table's lookup), and only
// a metatarsal slider raised above 0 first builds the lowering for 3 x (meta1 + meta2) mm.
TEST(PadLayer, EachControlBuildsItsOwnLayerAndOnlyARaisedMetatarsalSliderTheLowering) {
    const struct {
        Control control;
        Layer layer;
        LayerBuilder builder;
    } rows[] = {
        {Control::kMeta1, Layer::kMeta1, build_meta1_layer},
        {Control::kMeta2, Layer::kMeta2, build_meta2_layer},
        {Control::kHeel1, Layer::kHeel1, build_heel1_layer},
        {Control::kHeel2, Layer::kHeel2, build_heel2_layer},
        {Control::kHeel3, Layer::kHeel3, build_heel3_layer},
        {Control::kArch, Layer::kArch, build_arch_layer},
        {Control::kHeelCup, Layer::kHeelCup, build_heel_cup_layer},
        {Control::kBase, Layer::kBase, build_base_layer},
        {Control::kRearfootPost, Layer::kRearfootPost, build_rearfoot_post_layer},
        {Control::kForefootPost, Layer::kForefootPost, build_forefoot_post_layer},
        {Control::kHeelLift, Layer::kHeelLift, build_heel_lift_layer},
        {Control::kTopCover, Layer::kTopCover, build_top_cover_layer},
        {Control::kHeelRecess, Layer::kHeelRecess, build_heel_recess_layer},
    };
    for (const auto &row : rows)
        for (double value : {2.0, 0.0, -2.0}) {
            Controls controls;
            controls[Control::kMeta1] = controls[Control::kMeta2] = 1;
            controls[row.control] = value;
            const LayerBuilds got = layer_builds(row.control, controls);
            const bool meta = row.control == Control::kMeta1 || row.control == Control::kMeta2;
            const bool lowering = meta && value > 0;
            SCOPED_TRACE(control_spec(row.control).name + std::string(" ") + std::to_string(value));
            ASSERT_EQ(got.count, lowering ? 2 : 1);
            if (lowering) {
                EXPECT_EQ(got.builds[0].layer, Layer::kLowering);
                EXPECT_EQ(got.builds[0].amount, -3 * (value + 1));
            }
            EXPECT_EQ(got.builds[got.count - 1].layer, row.layer);
            EXPECT_EQ(got.builds[got.count - 1].amount, value);
            EXPECT_EQ(control_of_layer(row.layer), row.control);
            EXPECT_EQ(layer_builder(row.layer), row.builder);
        }
    EXPECT_FALSE(control_of_layer(Layer::kLowering));
    EXPECT_EQ(layer_builder(Layer::kLowering), build_lowering_layer);
    EXPECT_EQ(layer_builds(Control::kStamp, Controls()).count, 0);
}

TEST(PadLayer, DegenerateLines) {
    auto ws = test::foot_parts(20);
    fill_layers(*ws, 1.0f);
    // An anchor on the line leaves no pad; a vertical line (column 60) gets a steep slope.
    test::capture_console([&] {
        build_pad_layer(ws->scan, ws->results.layers[1], 5.0f, {100, 20}, {100, 120}, {100, 70});
        build_pad_layer(ws->scan, ws->results.layers[0], 1.0f, {50, 60}, {250, 60}, {150, 100});
    });
    for (int i = 0; i < kGridCells; ++i) {
        ASSERT_EQ(ws->results.layers[1][i], 0) << i;
        ASSERT_TRUE(std::isfinite(ws->results.layers[0][i])) << i;
    }
    EXPECT_EQ(ws->results.layers[0][150 * 150 + 30], 1.0f);  // the other side is left alone
    EXPECT_NEAR(ws->results.layers[0][150 * 150 + 80], 2.5f, 0.05f);
    EXPECT_EQ(ws->results.layers[0][150 * 150 + 120], 5.0f);
}

namespace {

// A stamp of width W and length L whose every byte is `v`, and the controls that enable it.
StampControls flat_stamp(DesignResults &ws, uint8_t v, double width = 7, double length = 17) {
    std::memset(ws.pad_stamp, 0, sizeof ws.pad_stamp);
    ws.pad_stamp_stride = pad_stamp_stride_for(width);
    for (int j = 0; j < static_cast<int>(length + 20); ++j)
        std::memset(ws.pad_stamp + j * ws.pad_stamp_stride, v, static_cast<size_t>(width + 20));
    return {true, width, length};
}

}  // namespace

TEST(Compose, ClampsFootCellsOnlyAndRebuildsThePreview) {
    auto ws = test::foot_parts(20);
    test::ramp_colour_table(ws->res);
    ws->results.relief_grid[0] = 77;  // outside the foot
    std::fill(ws->results.layers[0], ws->results.layers[0] + kGridCells,
              -17.0f);                               // 20 - 17 = 3 -> 10
    ws->results.layers[1][100 * 150 + 50] = 300.0f;  // -> 255
    ws->results.layers[2][101 * 150 + 50] = 5.75f;   // 8.75 -> 10
    ws->results.layers[5][102 * 150 + 50] = 30.9f;   // 33.9 -> 33
    ws->scan.base_grid[103 * 150 + 50] = 200;
    ws->results.layers[4][103 * 150 + 50] = -150.0f;  // 200 - 17 - 150 = 33
    compose_relief(ws->res, ws->scan, ws->results, StampControls());
    std::vector<uint8_t> want(kGridCells, 0);
    test::fill_rect(want.data(), 20, 20, 129, 339, 10);
    // {cell, relief, preview entry clamp(3 * (relief - base) + 128, 0, 255), -1: none, base < 10}
    const int cells[][3] = {{0, 77, -1},
                            {60 * 150 + 60, 10, 98},
                            {100 * 150 + 50, 255, 255},
                            {102 * 150 + 50, 33, 167},
                            {103 * 150 + 50, 33, 0}};
    for (const auto &c : cells) {
        want[c[0]] = static_cast<uint8_t>(c[1]);
        const uint8_t *p = ws->results.relief_preview + 4 * c[0];
        const int k = c[2], r = k < 0 ? 0 : k, g = k < 0 ? 0 : 255 - k, b = k < 0 ? 0 : k / 2;
        EXPECT_EQ(p[0], r) << c[0];
        EXPECT_EQ(p[1], g) << c[0];
        EXPECT_EQ(p[2], b) << c[0];
        EXPECT_EQ(p[3], 0) << c[0];
    }
    test::expect_same_bytes(
        want, std::vector<uint8_t>(ws->results.relief_grid, ws->results.relief_grid + kGridCells));
}

TEST(Compose, StampLandsAroundTheMetatarsalPointOnFootCellsOnly) {
    auto ws = test::foot_parts(20);
    ws->results.meta_column = 22;  // straddling the foot's left edge (column 20)
    ws->results.meta_row = 100;
    ws->scan.base_grid[90 * 150 + 30] = 250;
    const StampControls on = flat_stamp(ws->results, 50);
    for (int k = 0; k < 5; ++k)  // rebuilt from the base each time: nothing piles up
        compose_relief(ws->res, ws->scan, ws->results, on);
    EXPECT_EQ(ws->results.relief_grid[90 * 150 + 15], 0);  // outside the foot
    EXPECT_EQ(ws->results.relief_grid[90 * 150 + 25], 70);
    EXPECT_EQ(ws->results.relief_grid[90 * 150 + 30], 255);  // saturated
    compose_relief(ws->res, ws->scan, ws->results, StampControls());
    EXPECT_EQ(ws->results.relief_grid[90 * 150 + 25], 20);
    for (float far : {0.0f, 3e9f}) {  // a missing or far point places nothing
        ws->results.meta_point_found = far != 0;
        ws->results.meta_column = far;
        ws->results.meta_row = -far;
        compose_relief(ws->res, ws->scan, ws->results, on);
        EXPECT_EQ(std::memcmp(ws->results.relief_grid, ws->scan.base_grid, kGridCells), 0) << far;
    }
}

TEST(Compose, StampPlacementAndCellsOutsideTheGrid) {
    auto ws = std::make_unique<test::Parts>();
    std::memset(ws->scan.base_grid, 30, sizeof ws->scan.base_grid);
    const StampControls big = flat_stamp(ws->results, 5, 100, 240);
    // Stamp row L + 10 on the point's row, middle column W / 2 + 10 on its column, the point
    // truncated. Near the bottom-left corner rows and columns below 0 must not reach cell 0
    // or wrap into the row above: columns 0 .. 3 - 60 + 119 = 62, rows 0 .. 5 - 250 + 259.
    ws->results.meta_column = 3.9f;
    ws->results.meta_row = 5.9f;
    compose_relief(ws->res, ws->scan, ws->results, big);
    for (int i = 0; i < kGridCells; ++i)
        ASSERT_EQ(ws->results.relief_grid[i], i % 150 <= 62 && i / 150 <= 14 ? 35 : 30) << i;
    // Near the top-right corner nothing goes past the end of the grid.
    ws->results.meta_column = 148;
    ws->results.meta_row = 355;
    compose_relief(ws->res, ws->scan, ws->results, big);
    for (int i = 0; i < kGridCells; ++i)
        ASSERT_EQ(ws->results.relief_grid[i], i % 150 >= 148 - 60 && i / 150 >= 355 - 250 ? 35 : 30)
            << i;
}

TEST(SmoothPass, WorkedWindows) {
    // 24 tens, 24 elevens and one 0 around (70, 200) average 504 / 48 = 10.5; a counted 250
    // among values 1..9 averages above 255, kept at 255; a window with nothing of 10 or more
    // keeps its 7; equal values stay, also along the outline.
    std::vector<uint8_t> g(kGridCells, 0);
    for (int k = 0; k < 49; ++k)
        g[(197 + k / 7) * 150 + 67 + k % 7] = k == 0 ? 0 : k < 25 ? 10 : 11;
    test::fill_rect(g.data(), 10, 10, 16, 16, 9);
    g[13 * 150 + 13] = 250;
    test::fill_rect(g.data(), 40, 40, 46, 46, 7);
    test::fill_rect(g.data(), 80, 40, 140, 150, 57);
    for (int round_up : {1, 0}) {
        std::vector<uint8_t> h = g;
        smooth_pass(h.data(), round_up);
        // {cell, value}: the tens and elevens, the saturated 250, the lone 7s, the 57s.
        const int cells[][2] = {{200 * 150 + 70, 10 + round_up},
                                {13 * 150 + 13, 255},
                                {43 * 150 + 43, 7},
                                {40 * 150 + 80, 57},
                                {90 * 150 + 110, 57},
                                {150 * 150 + 140, 57}};
        for (const auto &c : cells)
            EXPECT_EQ(h[c[0]], c[1]) << "cell " << c[0] << " round_up " << round_up;
    }
}

TEST(SmoothPass, MatchesThePlainPassOnRandomReliefsAndKeepsTheBorder) {
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<uint8_t> g(kGridCells);
        for (int i = 0; i < kGridCells; ++i) {  // noise, a foot with holes, low values, stripes
            const uint32_t r = rng(), kind = trial % 4;
            const bool hole = kind == 1 ? r % 3 == 0 : (i / 150 + i % 150 + r % 5) % 40 < 20;
            g[i] = kind == 2 ? r % 12 : kind == 0 || !hole ? (kind == 1 ? 10 + r % 246 : r) : 0;
        }
        for (int round_up : {1, 0}) {
            std::vector<uint8_t> fast = g, plain = g;
            smooth_pass(fast.data(), round_up);
            smooth_pass_reference(plain.data(), round_up);
            ASSERT_EQ(fast, plain) << "trial " << trial << " round_up " << round_up;
            for (int i = 0; i < kGridCells; ++i) {  // the three-cell border is never changed
                const bool border = i / 150 < 3 || i / 150 > 356 || i % 150 < 3 || i % 150 > 146;
                if (border) {
                    ASSERT_EQ(fast[i], g[i]) << i;
                }
            }
        }
    }
}

TEST(SmoothRelief, IsTemplateFloorUpPassDownPassFloor) {
    auto ws = std::make_unique<test::Parts>();
    std::mt19937 rng(9);
    for (auto &t : ws->res.templates)
        for (uint8_t &v : t)
            v = static_cast<uint8_t>(rng() % 120);
    // {template, mirrored}: mirrored 1 reads cell (x, y) from the template's (149 - x, y);
    // mirrored 2 and template -1 lay no floor.
    for (const auto &[t, m] : {std::pair{14, 0}, {14, 1}, {3, 2}, {-1, 0}}) {
        for (uint8_t &v : ws->results.relief_grid)
            v = (rng() % 3) ? static_cast<uint8_t>(10 + rng() % 100) : 0;
        ws->results.template_index = t, ws->scan.template_mirrored = m;
        std::vector<uint8_t> want(ws->results.relief_grid, ws->results.relief_grid + kGridCells);
        auto floor = [&, t = t, m = m] {
            for (int i = 0; i < kGridCells && t >= 0 && m < 2; ++i)
                want[i] = std::max(want[i], ws->res.templates[t][m ? i + 149 - 2 * (i % 150) : i]);
        };
        floor();
        for (int round_up : {1, 0})
            smooth_pass_reference(want.data(), round_up);
        floor();
        smooth_relief(ws->res, ws->scan, ws->results);
        test::expect_same_bytes(want, std::vector<uint8_t>(ws->results.relief_grid,
                                                           ws->results.relief_grid + kGridCells));
    }
}

TEST(EngravingBmp, GoldenHeaderAndPixels) {
    auto ws = std::make_unique<test::Parts>();
    for (int i = 0; i < kGridCells; ++i)
        ws->results.relief_grid[i] = static_cast<uint8_t>((i / 150) * 3 + i % 7);
    const std::string path = test::scratch_dir() + "/insole.bmp";
    ASSERT_TRUE(write_engraving_bmp(path, ws->results.relief_grid));
    const std::vector<uint8_t> b = test::read_file(path);
    // BITMAPFILEHEADER: "BM", file size 54 + 150 * 360 * 4, reserved, pixels at 54; then
    // BITMAPINFOHEADER: 40 bytes, 150 x 360 bottom-up, 1 plane, 32 bits, BI_RGB, no image
    // size, 3780 pixels per metre (96 dpi) both ways, no palette.
    std::vector<uint8_t> header = {'B', 'M'};
    const std::pair<uint32_t, int> fields[] = {{216054, 4}, {0, 4},    {54, 4}, {40, 4}, {150, 4},
                                               {360, 4},    {1, 2},    {32, 2}, {0, 4},  {0, 4},
                                               {3780, 4},   {3780, 4}, {0, 4},  {0, 4}};
    for (const auto &[value, bytes] : fields)
        for (int k = 0; k < bytes; ++k)
            header.push_back(static_cast<uint8_t>(value >> (8 * k)));
    ASSERT_EQ(b.size(), 216054u);
    test::expect_same_bytes(header, std::vector<uint8_t>(b.begin(), b.begin() + 54));
    // Grey B = G = R = relief, alpha 255; the first row written (the bottom) is grid row 0.
    for (int k = 0; k < kGridCells; ++k) {
        const uint8_t v = ws->results.relief_grid[k], *px = &b[54 + 4 * k];
        const uint8_t want[4] = {v, v, v, 255};
        ASSERT_EQ(std::memcmp(px, want, 4), 0) << k;
    }
}

TEST(EngravingBmp, NameRules) {
    const std::string a495(495, 'a');
    const std::pair<std::string, std::string> named[] = {
        // "": refused, 500 bytes or more
        {"insole", "insole.bmp"},       {"insole.bmp", "insole.bmp"},
        {"insole.BMP", "insole.BMP"},   {"bmp", "bmp.bmp"},
        {"/a/鞋墊", "/a/鞋墊.bmp"},     {a495, a495 + ".bmp"},
        {a495 + ".bmp", a495 + ".bmp"}, {a495 + "a", ""},
        {std::string(5000, 'a'), ""}};
    for (const auto &[chosen, want] : named) {
        const Result<std::string> name = engraving_file_name(chosen);
        EXPECT_EQ(name ? *name : "", want) << chosen;
    }
}

// The orthotic layers worked on a rectangular left foot (columns 20..129, rows 20..339) with
// the start-up landmarks: heads at row 189 (the first, medial, in column 130), the medial heel
// landmark 4 at row 68, the heel line through landmarks 2 and 4 near row 67, the heel's centre
// (landmark 3) at row 42.
TEST(Orthotics, WorkedHeightsOfArchHeelCupAndBase) {
    auto ws = test::foot_parts(30);
    ws->scan.outline_bottom_row = 20;
    ws->scan.insole_length = 320;
    ws->results.template_index = 0;  // the template's cells: two wider than the foot all round
    test::fill_rect(ws->res.templates[0], 18, 18, 131, 341, 14);
    test::fill_rect(ws->results.insole_grid, 18, 18, 131, 341, 1);
    const LayerInputs in{ws->res, ws->scan, ws->results};
    static float arch[kGridCells], cup[kGridCells], base[kGridCells];
    build_arch_layer(in, arch, 8);
    build_heel_cup_layer(in, cup, 10);
    build_base_layer(in, base, 2);
    // {what, layer, column, row, grey levels}
    const struct {
        const char *what;
        const float *layer;
        int column, row;
        float want;
    } cells[] = {
        // The crest's top: the medial border (the template's column 131) in the row 40 % of
        // the length from the heel end, 20 + 0.4 x 320 = 148: the full 8 mm.
        {"arch crest top", arch, 131, 148, 40},
        {"arch at the lateral border", arch, 18, 148, 0},
        {"arch at the medial heel landmark's row", arch, 131, 68, 0},
        {"arch at the heads' row", arch, 131, 189, 0},
        {"arch off the insole", arch, 140, 148, 0},
        // The heel end's rim, far behind the heel line: the full 10 mm; 15 mm inward, none.
        {"heel cup at the rim", cup, 75, 18, 50},
        {"heel cup 15 mm inward", cup, 75, 33, 0},
        {"heel cup before the heel line", cup, 18, 120, 0},
        {"base on a foot cell", base, 75, 200, 10},
        {"base on a template-only cell", base, 19, 200, 10},
        {"base off the insole", base, 10, 200, 0},
    };
    for (const auto &c : cells)
        EXPECT_NEAR(c.layer[c.row * kGridWidth + c.column], c.want, 1e-3) << c.what;

    // One medial wall: along the medial border from the heel's centre to the crest, cup and arch
    // never fall below 60 % of the lower of the cup's rim and the crest.
    auto wall = [&](int row) { return arch[row * kGridWidth + 131] + cup[row * kGridWidth + 131]; };
    const float least = 0.6f * std::min(wall(42), wall(148));
    for (int row = 42; row <= 148; ++row)
        EXPECT_GE(wall(row), least) << row;

    // The composition lays them on the template outside the foot too: 14 + 2 mm = 24.
    std::copy(std::begin(base), std::end(base), ws->results.layers[index(Layer::kBase)]);
    ws->results.layer_amount[index(Layer::kBase)] = 2;
    compose_relief(ws->res, ws->scan, ws->results, StampControls());
    EXPECT_EQ(ws->results.relief_grid[200 * kGridWidth + 19], 24);
    EXPECT_EQ(ws->results.relief_grid[200 * kGridWidth + 75], 40);
}

// The posts, heel lift, recess and top cover on the same rectangular left foot and insole,
// the heel's centre moved to column 84 so that the axis runs along the columns: the metatarsal
// line is row 189, the heel seat's line row 67 (122 mm behind it), the insole's lateral border
// column 18 and its medial border column 131. A 4° post rises tan 4° x 5 = 0.34963 levels per mm.
TEST(Orthotics, WorkedHeightsOfPostsHeelLiftRecessAndTopCover) {
    auto ws = test::foot_parts(30);
    ws->scan.landmarks[3] = {42, 84};
    test::fill_rect(ws->results.insole_grid, 18, 18, 131, 341, 1);
    const LayerInputs in{ws->res, ws->scan, ws->results};
    static float rear[kGridCells], valgus[kGridCells], fore[kGridCells], lift[kGridCells],
        recess[kGridCells], cover[kGridCells];
    build_rearfoot_post_layer(in, rear, 4);
    build_rearfoot_post_layer(in, valgus, -4);
    build_forefoot_post_layer(in, fore, 4);
    build_heel_lift_layer(in, lift, 6);
    build_heel_recess_layer(in, recess, 3);
    build_top_cover_layer(in, cover, 1.5);
    const double across = 113 * std::tan(4 * M_PI / 180) * 5;  // 39.509 levels
    const struct {
        const char *what;
        const float *layer;
        int column, row;
        double want;
    } cells[] = {
        {"rearfoot varus, medial border of the seat", rear, 131, 40, across},
        {"rearfoot varus, lateral border of the seat", rear, 18, 40, 0},
        {"rearfoot varus, half way to the metatarsal line", rear, 131, 128, across / 2},
        {"rearfoot valgus, lateral border", valgus, 18, 40, across},
        {"forefoot varus, medial border ahead of the line", fore, 131, 250, across},
        {"forefoot varus, 10 mm behind the line", fore, 131, 179, across / 2},
        {"forefoot varus, 20 mm behind the line", fore, 131, 169, 0},
        {"heel lift under the heel", lift, 75, 40, 30},
        {"heel lift half way", lift, 75, 128, 15},
        {"recess at the heel's centre", recess, 84, 42, -15},
        {"recess 12 mm out", recess, 96, 42, -15},
        {"recess 15 mm out, half blended", recess, 99, 42, -7.5},
        {"recess 18 mm out", recess, 102, 42, 0},
        {"top cover on a template-only cell", cover, 19, 200, 7.5},
    };
    for (const auto &c : cells)
        EXPECT_NEAR(c.layer[c.row * kGridWidth + c.column], c.want, 1e-3) << c.what;
}

// The shell's end on a rectangular insole 30 levels high, the metatarsal line on row 189: a
// sulcus shell keeps row 199 and ends there; a three-quarter shell ends at row 184, falling
// from 30 to the floor of 10 over the 10 rows before it.
TEST(ShellLength, WorkedEndsOfSulcusAndThreeQuarterShells) {
    auto ws = test::foot_parts(30);
    const struct {
        ShellLength shell;
        int row;
        int want;
    } cells[] = {
        {ShellLength::kFull, 330, 30},         {ShellLength::kSulcus, 199, 30},
        {ShellLength::kSulcus, 200, 0},        {ShellLength::kThreeQuarter, 174, 30},
        {ShellLength::kThreeQuarter, 179, 20}, {ShellLength::kThreeQuarter, 184, 10},
        {ShellLength::kThreeQuarter, 185, 0},
    };
    for (const auto &c : cells) {
        test::fill_rect(ws->results.insole_relief, 20, 20, 129, 339, 30);
        ws->results.shell_length = static_cast<int32_t>(c.shell);
        end_shell(ws->scan, ws->results);
        EXPECT_EQ(ws->results.insole_relief[c.row * kGridWidth + 75], c.want) << c.row;
    }
}

// The apex and the point it hangs from convert both ways, for a left and a right foot's turn,
// and the apex is the stamp's highest cell. From the start-up heads (row 189, columns 38 and
// 130), 7 mm behind them 40 % of the way from the first head: column 130 - 0.4 x 92 = 93.2
// for a left foot (the first head in column 130), 38 + 36.8 = 74.8 for a right one.
TEST(DomePlacement, ApexAndPointBothWaysAndTheApexBehindTheHeads) {
    auto res = test::startup_resources();
    static uint8_t stamp[kPadStampBytes];
    for (int mirrored : {0, 1}) {
        int32_t stride = 0;
        ASSERT_TRUE(render_pad_stamp_cpu(res->pad_shape, res->pad_shape_peak, mirrored != 0, 51, 82,
                                         3, stamp, stride));
        const GridPoint cell = stamp_apex_cell(stamp, stride, 51, 82);
        const int top = *std::max_element(stamp, stamp + kPadStampBytes);
        EXPECT_EQ(stamp[static_cast<int>(cell.row) * stride + static_cast<int>(cell.column)], top);
        for (const GridPoint point : {GridPoint{75, 250}, GridPoint{3, 359}}) {
            const GridPoint apex = dome_apex_of_point(point, cell, 51, 82);
            const GridPoint back = point_of_dome_apex(apex, cell, 51, 82);
            EXPECT_EQ(back.column, point.column) << "mirrored " << mirrored;
            EXPECT_EQ(back.row, point.row) << "mirrored " << mirrored;
        }
        Scan scan;
        scan.template_mirrored = mirrored;
        const GridPoint apex = dome_apex_behind_heads(scan, 7);
        EXPECT_EQ(apex.column, mirrored ? 75 : 93);
        EXPECT_EQ(apex.row, 189 - 7);
        EXPECT_NEAR(mm_behind_heads(scan, apex), 7, 1e-6);
    }
}

// W = 51, L = 82: 71 x 102 cells, rows of 72 bytes; from the point (75.7, 250.2) the picture
// starts 71 / 2 = 35 columns left of column 75 and 82 + 10 rows below row 250.
TEST(StampGeometry, SizeStrideAndPlaceWorkedByHand) {
    const std::optional<StampSize> size = stamp_size(51, 82);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->columns, 71);
    EXPECT_EQ(size->rows, 102);
    EXPECT_EQ(size->stride, 72);
    EXPECT_EQ(stamp_origin({75.7f, 250.2f}, 51, 82), (GridPoint{40, 158}));
    EXPECT_EQ(stamp_centre_cell(51, 82), (GridPoint{35, 51}));
    EXPECT_FALSE(stamp_size(-20, 82));
    EXPECT_FALSE(stamp_size(51, std::nan("")));
    EXPECT_FALSE(stamp_size(kPadStampBytes - 19, 82));
}

// A template whose cell (column c, row r) holds c + r (a row's cells up to 255): mirrored, grid
// column x reads template column 149 - x; moved up 2 rows, grid row y reads template row y - 2.
TEST(TemplatePlacement, MirroredAndMovedUp) {
    static uint8_t grid[kGridCells];
    for (int i = 0; i < kGridCells; ++i)
        grid[i] = static_cast<uint8_t>(i % kGridWidth + i / kGridWidth % 100);
    const PlacedTemplate right(grid, 1, 2), left(grid, 0, 2), none(grid, 2, 0);
    EXPECT_EQ(right.cell_under(0, 5), 3 * kGridWidth + 149);
    EXPECT_EQ(left.cell_under(7, 5), 3 * kGridWidth + 7);
    EXPECT_FALSE(right.cell_under(0, 1));
    EXPECT_EQ(right.height_under(0, 1), 0);
    EXPECT_FALSE(none.cell_under(7, 5));
    uint8_t row[kGridWidth];
    for (const PlacedTemplate *t : {&right, &left}) {
        ASSERT_TRUE(t->row_under(kGridHeight - 1, row));
        for (int x = 0; x < kGridWidth; ++x)
            EXPECT_EQ(row[x], t->height_under(x, kGridHeight - 1)) << x;
    }
    EXPECT_FALSE(right.row_under(1, row));
}

// The start-up landmarks: heads at row 189, columns 38 and 130; the heel's centre (90, 42).
TEST(FootAxis, FromTheHeelToTheHeadsAndHeelWardOfALine) {
    Scan scan;
    const FootAxis axis = foot_axis(scan);
    EXPECT_EQ(axis.heads, (GridPoint{84, 189}));
    EXPECT_EQ(axis.heel, (GridPoint{90, 42}));
    ASSERT_TRUE(axis.toe_ward);
    EXPECT_NEAR(axis.toe_ward->column, -6 / std::hypot(6, 147), 1e-12);
    EXPECT_NEAR(axis.toe_ward->row, 147 / std::hypot(6, 147), 1e-12);
    const std::optional<GridDirection> n =
        heel_ward_normal(scan, scan.landmarks[1], scan.landmarks[0]);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->column, 0);
    EXPECT_EQ(n->row, -1);
    EXPECT_FALSE(heel_ward_normal(scan, scan.landmarks[0], scan.landmarks[0]));
    EXPECT_EQ(first_metatarsal_head(scan).column, 130);  // a left foot: landmark 1
    EXPECT_EQ(medial_heel(scan).column, 121);            // landmark 4
    scan.template_mirrored = 1;
    EXPECT_EQ(first_metatarsal_head(scan).column, 38);
    EXPECT_EQ(medial_heel(scan).column, 52);
}

// A straight left foot 60 cells wide (columns 45..104, rows 20..259), the heel's centre at
// (75, 40), the heads on row 190 at columns 47 and 103, a last 240 mm long. Heel line (row 55):
// the foot spans -30 .. 29 across the axis, the last 2 x 0.13 x 240 = 62.4 wide, a margin of
// 1.7 below the least: 5 each side, columns 40 .. 109. Ball (row 190): the last's 93.6 would
// leave 17.3 each side, above the most: 10, columns 35 .. 114.
TEST(TemplatePlacement, TheOutlineFitsAStraightFootAtTheHeelAndTheBall) {
    Scan scan;
    test::fill_rect(scan.base_grid, 45, 20, 104, 259, 30);
    const Landmark lm[5] = {{190, 47}, {190, 103}, {60, 47}, {40, 75}, {60, 103}};
    std::copy(std::begin(lm), std::end(lm), scan.landmarks);
    const std::optional<OutlineFit> fit = fit_outline(scan, 240);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->heel_end, (GridPoint{75, 20}));
    static uint8_t mask[kGridCells];
    mark_outline_cells(*fit, mask);
    const struct { int row, first, last; } rows[] = {{55, 40, 109}, {190, 35, 114}};
    for (const auto &r : rows) {
        const RowSpan span = foot_span(mask + r.row * kGridWidth);
        EXPECT_EQ(span.first, r.first) << r.row;
        EXPECT_EQ(span.last, r.last) << r.row;
    }
    EXPECT_FALSE(fit_outline(scan, 0));
    EXPECT_FALSE(fit_outline(Scan(), 240));  // no foot cell
}

// A lone cell and its diagonal neighbour become a 2 x 2 block; a block stays as it is.
TEST(TemplatePlacement, EveryInsoleCellBecomesACornerOfABlock) {
    static uint8_t mask[kGridCells];
    mask[10 * kGridWidth + 10] = mask[11 * kGridWidth + 11] = 1;
    test::fill_rect(mask, 50, 50, 51, 51, 1);
    close_insole_blocks(mask);
    EXPECT_EQ(std::count(mask, mask + kGridCells, 1), 8);
    EXPECT_EQ(mask[10 * kGridWidth + 11], 1);
    EXPECT_EQ(mask[11 * kGridWidth + 10], 1);
}

// The forefoot's peak: the band reaches 15 rows beyond the heads' rows (175 .. 205) between
// their columns (47 .. 103); the highest there, the middle of equal ones. The apex goes on the
// axis through the point 40 % of the way from the first head (column 103) to the fifth:
// column 80.6; the peak 10 mm ahead of it, a reach of 20 and 8 mm: 18 mm behind the heads.
TEST(DomePlacement, TheForefootPeakAndTheApexBehindIt) {
    Scan scan;
    const Landmark lm[5] = {{190, 47}, {190, 103}, {60, 47}, {40, 75}, {60, 103}};
    std::copy(std::begin(lm), std::end(lm), scan.landmarks);
    EXPECT_FALSE(forefoot_peak(scan));
    auto press = [&](int x, int y, uint8_t v) { scan.pressure_grid[y * kGridWidth + x] = v; };
    press(70, 195, 200), press(80, 195, 200), press(120, 195, 250), press(80, 230, 255);
    press(60, 176, 100);
    const std::optional<GridPoint> peak = forefoot_peak(scan);
    ASSERT_TRUE(peak);
    EXPECT_EQ(*peak, (GridPoint{75, 195}));
    EXPECT_EQ(dome_apex_behind_peak(scan, {80, 200}, 20, 8), (GridPoint{81, 172}));
}

// Smoothing: worked windows, borders, the template floor, and the fast pass against a plain
// 49-read pass on random reliefs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "bench/smoothing_reference.h"
#include "relief/smoothing.h"
#include "tests/test_support.h"

using namespace pedaform;

TEST(SmoothPass, EqualValuesStayIncludingAtTheOutline) {
    std::vector<uint8_t> g(kGridCells, 0);
    test::fill_rect(g.data(), 30, 40, 100, 300, 57);
    const std::vector<uint8_t> before = g;
    smooth_pass(g.data(), 1);
    EXPECT_EQ(g, before);
    smooth_pass(g.data(), 0);
    EXPECT_EQ(g, before);
}

TEST(SmoothPass, ZerosAreIgnoredAndHalvesRoundBothWays) {
    // 20 cells of 50 and 29 zeros around (50, 50).
    std::vector<uint8_t> g(kGridCells, 0);
    int placed = 0;
    for (int dy = -3; dy <= 3 && placed < 20; ++dy)
        for (int dx = -3; dx <= 3 && placed < 20; ++dx, ++placed)
            g[(50 + dy) * 150 + 50 + dx] = 50;
    g[50 * 150 + 50] = 50;
    for (int round_up : {1, 0}) {
        std::vector<uint8_t> h = g;
        smooth_pass(h.data(), round_up);
        EXPECT_EQ(h[50 * 150 + 50], 50);
    }
    // 24 tens, 24 elevens and one 0 (the centre's neighbour): S = 504, N = 48, a = 10.5.
    std::vector<uint8_t> w(kGridCells, 0);
    int k = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx, ++k)
            w[(200 + dy) * 150 + 70 + dx] = k < 24 ? 10 : 11;
    w[(200 - 3) * 150 + 70 - 3] = 0;   // one of the tens becomes the zero
    w[(200 + 3) * 150 + 70 + 3] = 10;  // and one eleven a ten: still 24 and 24
    std::vector<uint8_t> up = w, down = w;
    smooth_pass(up.data(), 1);
    smooth_pass(down.data(), 0);
    EXPECT_EQ(up[200 * 150 + 70], 11);
    EXPECT_EQ(down[200 * 150 + 70], 10);
}

TEST(SmoothPass, BordersAreNeverChanged) {
    std::mt19937 rng(5);
    std::vector<uint8_t> g(kGridCells);
    for (uint8_t &v : g)
        v = static_cast<uint8_t>(10 + rng() % 200);
    const std::vector<uint8_t> before = g;
    smooth_pass(g.data(), 1);
    for (int y = 0; y < 360; ++y)
        for (int x = 0; x < 150; ++x)
            if (y < 3 || y > 356 || x < 3 || x > 146) {
                ASSERT_EQ(g[y * 150 + x], before[y * 150 + x]);
            }
}

TEST(SmoothPass, OverflowAndEmptyWindowsAreSafe) {
    std::vector<uint8_t> g(kGridCells, 0);
    // One counted value among values 1..9 averages above 255: kept at 255.
    test::fill_rect(g.data(), 10, 10, 16, 16, 9);
    g[13 * 150 + 13] = 250;
    smooth_pass(g.data(), 1);
    EXPECT_EQ(g[13 * 150 + 13], 255);
    // A cell whose window holds nothing of 10 or more keeps its value.
    std::vector<uint8_t> h(kGridCells, 0);
    test::fill_rect(h.data(), 40, 40, 46, 46, 7);
    smooth_pass(h.data(), 0);
    EXPECT_EQ(h[43 * 150 + 43], 7);
}

TEST(SmoothPass, MatchesThePlainPassOnRandomReliefs) {
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<uint8_t> g(kGridCells);
        const int kind = trial % 4;
        for (int i = 0; i < kGridCells; ++i) {
            const uint32_t r = rng();
            if (kind == 0) g[i] = static_cast<uint8_t>(r);
            if (kind == 1) g[i] = (r % 3 == 0) ? 0 : static_cast<uint8_t>(10 + r % 246);
            if (kind == 2) g[i] = static_cast<uint8_t>(r % 12);
            if (kind == 3)
                g[i] = (i / 150 + i % 150 + r % 5) % 40 < 20 ? 0 : static_cast<uint8_t>(r % 256);
        }
        for (int round_up : {1, 0}) {
            std::vector<uint8_t> fast = g, plain = g;
            smooth_pass(fast.data(), round_up);
            smooth_pass_reference(plain.data(), round_up);
            ASSERT_EQ(fast, plain) << "trial " << trial << " round_up " << round_up;
        }
    }
}

TEST(TemplateFloor, RaisesOnlyAndMirrors) {
    auto ws = std::make_unique<Workspace>();
    ws->template_index = 4;
    for (int y = 0; y < 360; ++y)
        for (int x = 0; x < 150; ++x)
            ws->templates[4][y * 150 + x] = static_cast<uint8_t>(x);
    std::memset(ws->relief_grid, 100, kGridCells);
    ws->relief_grid[0] = 0;
    ws->relief_grid[149] = 0;
    ws->template_mirrored = 0;
    apply_template_floor(*ws);
    EXPECT_EQ(ws->relief_grid[0], 0);
    EXPECT_EQ(ws->relief_grid[149], 149);
    EXPECT_EQ(ws->relief_grid[120], 120);
    EXPECT_EQ(ws->relief_grid[50], 100);

    std::memset(ws->relief_grid, 0, kGridCells);
    ws->template_mirrored = 1;
    apply_template_floor(*ws);
    EXPECT_EQ(ws->relief_grid[0], 149);  // cell (0, y) reads the template's (149, y)
    EXPECT_EQ(ws->relief_grid[149], 0);
    EXPECT_EQ(ws->relief_grid[200 * 150 + 10], 139);

    std::memset(ws->relief_grid, 0, kGridCells);
    ws->template_mirrored = 2;
    apply_template_floor(*ws);
    for (uint8_t v : ws->relief_grid)
        ASSERT_EQ(v, 0);
}

TEST(SmoothRelief, IsFloorUpDownFloor) {
    auto ws = test::startup_workspace();
    std::mt19937 rng(9);
    for (int i = 0; i < kGridCells; ++i)
        ws->relief_grid[i] = (rng() % 3) ? static_cast<uint8_t>(10 + rng() % 100) : 0;
    ws->template_index = 14;
    ws->template_mirrored = 1;
    auto copy = std::make_unique<Workspace>(*ws);
    smooth_relief(*ws);
    apply_template_floor(*copy);
    smooth_pass_reference(copy->relief_grid, 1);
    smooth_pass_reference(copy->relief_grid, 0);
    apply_template_floor(*copy);
    EXPECT_EQ(std::memcmp(ws->relief_grid, copy->relief_grid, kGridCells), 0);
}

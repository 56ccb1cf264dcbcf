// Pressure colouring with the Filter and Gain sliders.
#include <gtest/gtest.h>

#include "analysis/filter_gain.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

// Identity colour table (entry k is k, 255 - k, k / 2) so that the entry can be read back.
void identity_table(Workspace &ws) {
    for (int k = 0; k < 256; ++k) {
        ws.colour_table[k][0] = static_cast<uint8_t>(k);
        ws.colour_table[k][1] = static_cast<uint8_t>(255 - k);
        ws.colour_table[k][2] = static_cast<uint8_t>(k / 2);
    }
}

int entry_of(const Workspace &ws, int cell) {
    const uint8_t *c = &ws.colour_grid[3 * cell];
    EXPECT_EQ(c[1], 255 - c[0]);
    EXPECT_EQ(c[2], c[0] / 2);
    return c[0];
}

}  // namespace

TEST(FilterGain, Examples) {
    auto ws = std::make_unique<Workspace>();
    identity_table(*ws);
    for (int i = 0; i < kGridCells; ++i)
        ws->pressure_grid[i] = static_cast<uint8_t>(i % 256);

    apply_filter_gain(*ws, 0, 1);
    for (int i = 0; i < kGridCells; ++i)
        ASSERT_EQ(entry_of(*ws, i), i % 256);

    apply_filter_gain(*ws, 20, 3);
    EXPECT_EQ(entry_of(*ws, 20), 0);
    EXPECT_EQ(entry_of(*ws, 5), 0);
    EXPECT_EQ(entry_of(*ws, 21), 3);
    EXPECT_EQ(entry_of(*ws, 104), 252);
    EXPECT_EQ(entry_of(*ws, 105), 255);
    EXPECT_EQ(entry_of(*ws, 255), 255);

    apply_filter_gain(*ws, 255, 10);
    for (int i = 0; i < kGridCells; ++i)
        ASSERT_EQ(entry_of(*ws, i), 0);

    apply_filter_gain(*ws, 0, 1.5);
    EXPECT_EQ(entry_of(*ws, 3), 4);
    EXPECT_EQ(entry_of(*ws, 170), 255);
    EXPECT_EQ(entry_of(*ws, 171), 255);
    EXPECT_EQ(entry_of(*ws, 169), 253);
}

TEST(FilterGain, ChangesOnlyTheColourGrid) {
    auto ws = test::startup_workspace();
    for (int i = 0; i < kGridCells; ++i) {
        ws->pressure_grid[i] = static_cast<uint8_t>(i * 7);
        ws->relief_grid[i] = static_cast<uint8_t>(i * 3);
    }
    const std::vector<uint8_t> relief(ws->relief_grid, ws->relief_grid + kGridCells);
    const std::vector<uint8_t> pressure(ws->pressure_grid, ws->pressure_grid + kGridCells);
    apply_filter_gain(*ws, 40, 2.5);
    EXPECT_EQ(relief, std::vector<uint8_t>(ws->relief_grid, ws->relief_grid + kGridCells));
    EXPECT_EQ(pressure, std::vector<uint8_t>(ws->pressure_grid, ws->pressure_grid + kGridCells));
    // Every cell agrees with the formula, computed here the plain way.
    for (int i = 0; i < kGridCells; ++i) {
        int t = static_cast<int>(ws->pressure_grid[i] - 40.0);
        if (t < 0) t = 0;
        int k = static_cast<int>(t * 2.5);
        if (k > 255) k = 255;
        ASSERT_EQ(ws->colour_grid[3 * i], ws->colour_table[k][0]);
        ASSERT_EQ(ws->colour_grid[3 * i + 2], ws->colour_table[k][2]);
    }
}

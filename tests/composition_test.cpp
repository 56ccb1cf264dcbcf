// Composition: clamps, foot cells only, the stamp placement and its safe edges, the preview.
#include <gtest/gtest.h>

#include <cstring>

#include "relief/composition.h"
#include "relief/foot_span.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

std::unique_ptr<Workspace> foot(uint8_t base) {
    auto ws = std::make_unique<Workspace>();
    set_startup_values(*ws);
    test::fill_rect(ws->base_grid, 20, 20, 129, 339, base);
    std::memcpy(ws->relief_grid, ws->base_grid, kGridCells);
    return ws;
}

// A stamp of the start size (W 7, L 17): every byte `v`.
void flat_stamp(Workspace &ws, uint8_t v, double width = 7, double length = 17) {
    std::memset(ws.pad_stamp, 0, sizeof ws.pad_stamp);
    ws.pad_stamp_stride = pad_stamp_stride_for(width);
    for (int j = 0; j < static_cast<int>(length + 20); ++j)
        for (int i = 0; i < static_cast<int>(width + 20); ++i)
            ws.pad_stamp[j * ws.pad_stamp_stride + i] = v;
}

StampControls stamp_on(double w = 7, double l = 17) {
    StampControls s;
    s.enabled = true;
    s.width = w;
    s.length = l;
    return s;
}

}  // namespace

TEST(Compose, ClampsFootCellsAndLeavesOthers) {
    auto ws = foot(20);
    ws->relief_grid[0] = 77;  // outside the foot
    for (int i = 0; i < kGridCells; ++i)
        ws->layers[0][i] = -17.0f;           // 20 - 17 = 3 -> 10
    ws->layers[1][100 * 150 + 50] = 300.0f;  // -> 255
    ws->layers[2][101 * 150 + 50] = 5.75f;   // 20 - 17 + 5.75 -> 10
    ws->layers[2][102 * 150 + 50] = 30.9f;   // 33.9 -> 33
    compose_relief(*ws, StampControls());
    EXPECT_EQ(ws->relief_grid[0], 77);
    EXPECT_EQ(ws->relief_grid[60 * 150 + 60], 10);
    EXPECT_EQ(ws->relief_grid[100 * 150 + 50], 255);
    EXPECT_EQ(ws->relief_grid[101 * 150 + 50], 10);
    EXPECT_EQ(ws->relief_grid[102 * 150 + 50], 33);
}

TEST(Compose, StampLandsAroundTheMetatarsalPointOnFootCellsOnly) {
    auto ws = foot(20);
    ws->meta_column = 75.7f;
    ws->meta_row = 200.2f;
    flat_stamp(*ws, 9);
    compose_relief(*ws, stamp_on());
    // W + 20 = 27 columns from 75 - 13 = 62; L + 20 = 37 rows from 200 - 27 = 173.
    for (int y = 160; y < 230; ++y)
        for (int x = 50; x < 100; ++x) {
            const bool in = x >= 62 && x <= 88 && y >= 173 && y <= 209;
            ASSERT_EQ(ws->relief_grid[y * 150 + x], in ? 29 : 20) << x << " " << y;
        }
    // Composing again rebuilds from the base: the stamp does not pile up.
    compose_relief(*ws, stamp_on());
    EXPECT_EQ(ws->relief_grid[180 * 150 + 70], 29);
    // Off: nothing added even though the stamp holds data.
    compose_relief(*ws, StampControls());
    EXPECT_EQ(ws->relief_grid[180 * 150 + 70], 20);
}

TEST(Compose, StampNeverGrowsCellsOutsideTheFoot) {
    auto ws = foot(20);
    ws->meta_column = 22;  // the stamp straddles the foot's left edge (column 20)
    ws->meta_row = 100;
    flat_stamp(*ws, 50);
    for (int k = 0; k < 5; ++k)
        compose_relief(*ws, stamp_on());
    EXPECT_EQ(ws->relief_grid[90 * 150 + 15], 0);
    EXPECT_EQ(ws->relief_grid[90 * 150 + 25], 70);
}

TEST(Compose, StampCellsOutsideTheGridAreDropped) {
    auto ws = std::make_unique<Workspace>();
    std::memset(ws->base_grid, 30, sizeof ws->base_grid);
    std::memcpy(ws->relief_grid, ws->base_grid, kGridCells);
    flat_stamp(*ws, 5, 100, 240);
    // Near the bottom-left corner: rows below 0 and columns below 0 must not reach cell 0
    // or wrap into the row above.
    ws->meta_column = 3;
    ws->meta_row = 5;
    compose_relief(*ws, stamp_on(100, 240));
    EXPECT_EQ(ws->relief_grid[0], 35);
    EXPECT_EQ(ws->relief_grid[149], 30);  // no wrap from column -1 of row 1
    int stamped = 0;
    for (uint8_t v : ws->relief_grid)
        stamped += v == 35;
    // Columns 0 .. 3 - 60 + 119 = 62, rows 0 .. 5 - 250 + 259 = 14.
    EXPECT_EQ(stamped, 63 * 15);

    // Near the top-right corner: nothing past the end of the grid.
    std::memcpy(ws->relief_grid, ws->base_grid, kGridCells);
    ws->meta_column = 148;
    ws->meta_row = 355;
    compose_relief(*ws, stamp_on(100, 240));
    EXPECT_EQ(ws->relief_grid[kGridCells - 1], 35);
    EXPECT_EQ(ws->relief_grid[359 * 150 + 87], 30);  // column 148 - 60 = 88 is the first
    EXPECT_EQ(ws->relief_grid[359 * 150 + 88], 35);
}

TEST(Compose, MissingOrFarPointPlacesNoStamp) {
    auto ws = foot(20);
    flat_stamp(*ws, 9);
    ws->meta_column = 75;
    ws->meta_row = 200;
    ws->meta_point_found = 0;
    compose_relief(*ws, stamp_on());
    EXPECT_EQ(ws->relief_grid[190 * 150 + 75], 20);
    ws->meta_point_found = 1;
    ws->meta_column = 3e9f;
    ws->meta_row = -1e30f;
    compose_relief(*ws, stamp_on());
    for (int i = 0; i < kGridCells; ++i)
        ASSERT_EQ(ws->relief_grid[i], ws->base_grid[i]);
}

TEST(Compose, StampSaturatesAt255) {
    auto ws = foot(250);
    ws->meta_column = 75;
    ws->meta_row = 200;
    flat_stamp(*ws, 44);
    compose_relief(*ws, stamp_on());
    EXPECT_EQ(ws->relief_grid[190 * 150 + 75], 255);
}

TEST(Preview, ColoursTheHeightChange) {
    auto ws = std::make_unique<Workspace>();
    for (int k = 0; k < 256; ++k)
        ws->colour_table[k][0] = ws->colour_table[k][1] = ws->colour_table[k][2] =
            static_cast<uint8_t>(k);
    ws->base_grid[0] = 9, ws->relief_grid[0] = 200;
    ws->base_grid[1] = 10, ws->relief_grid[1] = 10;
    ws->base_grid[2] = 20, ws->relief_grid[2] = 25;
    ws->base_grid[3] = 100, ws->relief_grid[3] = 10;
    ws->base_grid[4] = 10, ws->relief_grid[4] = 255;
    update_relief_preview(*ws);
    auto px = [&](int i) {
        return std::vector<int>(ws->relief_preview + 4 * i, ws->relief_preview + 4 * i + 4);
    };
    EXPECT_EQ(px(0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(px(1), (std::vector<int>{128, 128, 128, 0}));
    EXPECT_EQ(px(2), (std::vector<int>{143, 143, 143, 0}));
    EXPECT_EQ(px(3), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(px(4), (std::vector<int>{255, 255, 255, 0}));
}

TEST(Compose, StrideRule) {
    EXPECT_EQ(pad_stamp_stride_for(7), 28);
    EXPECT_EQ(pad_stamp_stride_for(8), 28);
    EXPECT_EQ(pad_stamp_stride_for(9), 32);
    EXPECT_EQ(pad_stamp_stride_for(100), 120);
    EXPECT_EQ(pad_stamp_stride_for(0), 20);
}

TEST(FootSpan, FindsTheFirstAndLastNonZeroCell) {
    uint8_t row[kGridWidth] = {};
    RowSpan s = foot_span(row);
    EXPECT_GT(s.first, s.last);
    for (int a : {0, 1, 7, 8, 9, 63, 140, 149})
        for (int b : {0, 5, 8, 16, 149}) {
            if (b < a) continue;
            std::memset(row, 0, sizeof row);
            row[a] = 3;
            row[b] = 4;
            s = foot_span(row);
            EXPECT_EQ(s.first, a);
            EXPECT_EQ(s.last, b);
        }
}

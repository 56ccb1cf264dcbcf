// The metatarsal point: worked examples, thresholds, ties and degenerate outlines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "analysis/meta_position.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

// The diamond-like outline of value 200: rows 50..300, columns centre -h .. centre + h.
void lens(Workspace &ws, int centre) {
    std::memset(ws.base_grid, 0, sizeof ws.base_grid);
    for (int y = 50; y <= 300; ++y) {
        const int h = static_cast<int>(40 - std::abs(y - 200) * 40.0 / 150);
        for (int x = centre - h; x <= centre + h; ++x)
            ws.base_grid[y * 150 + x] = 200;
    }
}

std::string find(Workspace &ws) {
    return test::capture_console([&] { find_meta_position(ws); });
}

}  // namespace

TEST(MetaPosition, WorkedExamples) {
    auto ws = std::make_unique<Workspace>();
    lens(*ws, 75);
    std::string log = find(*ws);
    EXPECT_EQ(log,
              "L1 p1 35.00 200.00  p2 115.00 200.00\n"
              "L2 p1 75.00 50.00  p2 88.00 300.00\n"
              "Meta Position 82.80 200.00\n");
    EXPECT_NEAR(ws->meta_column, 82.8f, 1e-4);
    EXPECT_NEAR(ws->meta_row, 200.0f, 1e-4);

    lens(*ws, 55);
    log = find(*ws);
    EXPECT_NE(log.find("L1 p1 15.00 200.00  p2 95.00 200.00"), std::string::npos);
    EXPECT_NE(log.find("L2 p1 55.00 50.00  p2 42.00 300.00"), std::string::npos);
    EXPECT_NEAR(ws->meta_column, 47.2f, 1e-4);
    EXPECT_NEAR(ws->meta_row, 200.0f, 1e-4);
}

TEST(MetaPosition, RectanglesPickTheLowestRowOnTies) {
    auto ws = std::make_unique<Workspace>();
    test::fill_rect(ws->base_grid, 20, 30, 120, 330, 200);
    std::string log = find(*ws);
    EXPECT_NE(log.find("L1 p1 20.00 30.00  p2 120.00 30.00"), std::string::npos);
    EXPECT_NE(log.find("L2 p1 20.00 30.00  p2 20.00 330.00"), std::string::npos);
    EXPECT_EQ(ws->meta_column, 20.0f);
    EXPECT_EQ(ws->meta_row, 30.0f);

    std::memset(ws->base_grid, 0, sizeof ws->base_grid);
    test::fill_rect(ws->base_grid, 40, 30, 140, 330, 200);
    log = find(*ws);
    EXPECT_NE(log.find("L2 p1 140.00 30.00  p2 140.00 330.00"), std::string::npos);
    EXPECT_EQ(ws->meta_column, 140.0f);
    EXPECT_EQ(ws->meta_row, 30.0f);
}

TEST(MetaPosition, ValuesBelowTenAreIgnored) {
    auto ws = std::make_unique<Workspace>();
    lens(*ws, 75);
    // A wide skirt of values 1..9 changes nothing.
    for (int y = 10; y < 350; ++y)
        for (int x = 2; x < 148; ++x)
            if (ws->base_grid[y * 150 + x] == 0) ws->base_grid[y * 150 + x] = 1 + (x + y) % 9;
    find(*ws);
    EXPECT_NEAR(ws->meta_column, 82.8f, 1e-4);
    EXPECT_NEAR(ws->meta_row, 200.0f, 1e-4);
}

TEST(MetaPosition, LeftmostColumnReachedInTwoRowsTakesTheLower) {
    auto ws = std::make_unique<Workspace>();
    test::fill_rect(ws->base_grid, 30, 100, 100, 250, 50);
    ws->base_grid[150 * 150 + 10] = 50;
    ws->base_grid[160 * 150 + 10] = 50;
    const std::string log = find(*ws);
    EXPECT_NE(log.find("L1 p1 10.00 150.00"), std::string::npos) << log;
}

TEST(MetaPosition, DegenerateOutlinesMarkThePointMissing) {
    auto ws = std::make_unique<Workspace>();
    ws->meta_column = 12;
    ws->meta_row = 34;
    struct Case {
        const char *name;
        void (*fill)(uint8_t *);
    };
    const Case cases[] = {
        {"empty", [](uint8_t *) {}},
        {"only below ten", [](uint8_t *g) { test::fill_rect(g, 10, 10, 100, 100, 9); }},
        {"column 0", [](uint8_t *g) { test::fill_rect(g, 0, 10, 0, 300, 50); }},
        {"row 0 on the left side", [](uint8_t *g) { test::fill_rect(g, 5, 0, 60, 0, 50); }},
        {"single cell", [](uint8_t *g) { g[100 * 150 + 70] = 50; }},
        {"one row on the right side", [](uint8_t *g) { test::fill_rect(g, 100, 0, 140, 0, 50); }},
        {"parallel lines", [](uint8_t *g) { test::fill_rect(g, 10, 40, 139, 40, 50); }},
    };
    for (const Case &c : cases) {
        std::memset(ws->base_grid, 0, sizeof ws->base_grid);
        c.fill(ws->base_grid);
        const std::string log = find(*ws);
        EXPECT_FALSE(ws->meta_point_found) << c.name;
        EXPECT_NE(log.find("Meta Position not found"), std::string::npos) << c.name << log;
        EXPECT_EQ(ws->meta_column, 12.0f) << c.name;
        EXPECT_EQ(ws->meta_row, 34.0f) << c.name;
    }
    lens(*ws, 75);
    find(*ws);
    EXPECT_TRUE(ws->meta_point_found);
}

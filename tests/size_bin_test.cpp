// Sizing: the exact bin table, the family choice, and lengths that match no bin.
#include <gtest/gtest.h>

#include <cstring>

#include "analysis/scan_loader.h"
#include "analysis/size_bin.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

SizeBinChoice size(Workspace &ws, int bottom, int top, int first_cell) {
    ws.outline_bottom_row = bottom;
    ws.outline_top_row = top;
    ws.first_outline_cell = first_cell;
    SizeBinChoice c;
    test::capture_console([&] { c = choose_size_bin(ws); });
    return c;
}

}  // namespace

TEST(SizeBin, FamilyChosenByTheFirstCell) {
    auto ws = test::startup_workspace();
    SizeBinChoice c = size(*ws, 84, 311, 84 * 150 + 41);
    EXPECT_TRUE(c.hit);
    EXPECT_STREQ(c.label, "CM22-23");
    EXPECT_EQ(ws->template_index, 12);
    EXPECT_EQ(c.pad_width, 37);
    EXPECT_EQ(c.pad_length, 52);
    EXPECT_DOUBLE_EQ(c.pad_height, 3.6);

    c = size(*ws, 84, 311, 84 * 150 + 42);
    EXPECT_STREQ(c.label, "1-2");
    EXPECT_EQ(ws->template_index, 0);
    c = size(*ws, 84, 311, 12695);
    EXPECT_STREQ(c.label, "CM22-23");
    EXPECT_EQ(ws->template_index, 12);
}

TEST(SizeBin, EveryBinOfTheTable) {
    struct Row {
        int length, cell1, cell2;
        const char *first, *second;
        int index, width, len;
        double height;
    };
    const Row rows[] = {
        {228, 12641, 12695, "1-2", "CM22-23", 0, 37, 52, 3.6},
        {241, 10244, 10293, "2.5-3.5", "CM23-24", 1, 49, 78, 2.9},
        {253, 7844, 7894, "4-5", "CM25-26", 2, 51, 82, 3.0},
        {265, 5293, 5341, "5.5-6.5", "CM26-27", 3, 53, 85, 3.2},
        {279, 4395, 4440, "7-8", "CM27-28", 4, 55, 90, 3.4},
        {293, 4251, 4292, "8.5-9.5", "CM28-29", 5, 57, 95, 3.6},
        {305, 4096, 4136, "10-11", "CM29-30", 6, 59, 98, 3.7},
    };
    auto ws = test::startup_workspace();
    for (const Row &r : rows) {
        for (int cell : {r.cell1, r.cell2}) {
            const SizeBinChoice c = size(*ws, 10, 10 + r.length - 1, cell);
            EXPECT_STREQ(c.label, r.second);
            EXPECT_EQ(ws->template_index, r.index + 12);
        }
        const SizeBinChoice c = size(*ws, 10, 10 + r.length - 1, r.cell1 + 1);
        EXPECT_STREQ(c.label, r.first);
        EXPECT_EQ(ws->template_index, r.index);
        EXPECT_EQ(c.pad_width, r.width);
        EXPECT_EQ(c.pad_length, r.len);
        EXPECT_DOUBLE_EQ(c.pad_height, r.height);
    }
    const std::pair<int, const char *> small[] = {{167, "CM15.5-16.5"},
                                                  {180, "CM16.5-17.5"},
                                                  {191, "CM17.5-19"},
                                                  {204, "CM19-20.5"},
                                                  {215, "CM20.5-21"}};
    int index = 7;
    for (const auto &[length, label] : small) {
        const SizeBinChoice c = size(*ws, 0, length - 1, 12641);
        EXPECT_STREQ(c.label, label);
        EXPECT_EQ(ws->template_index, index++);
        EXPECT_EQ(c.pad_width, 37);
    }
}

TEST(SizeBin, MissesNeverKeepThePreviousTemplate) {
    auto ws = test::startup_workspace();
    for (int length : {229, 166, 216, 306, 0}) {
        size(*ws, 68, 68 + 240, 10244);  // 241, second family
        ASSERT_EQ(ws->template_index, 13);
        SizeBinChoice c;
        ws->outline_bottom_row = 20;
        ws->outline_top_row = 20 + length - 1;
        const std::string log = test::capture_console([&] { c = choose_size_bin(*ws); });
        EXPECT_FALSE(c.hit) << length;
        EXPECT_STREQ(c.label, "");
        EXPECT_EQ(ws->template_index, -1);
        EXPECT_EQ(ws->insole_length, length);
        EXPECT_NE(log.find("insole length " + std::to_string(length) + " matches no size\n"),
                  std::string::npos);
    }
    const SizeBinChoice none = size(*ws, 360, 0, 0);
    EXPECT_FALSE(none.hit);
    EXPECT_EQ(ws->insole_length, -359);
    // 167 after 241 moves to template 7 and the small presets.
    const SizeBinChoice c = size(*ws, 0, 166, 0);
    EXPECT_EQ(ws->template_index, 7);
    EXPECT_EQ(c.pad_length, 52);
}

TEST(SizeBin, PrintsTheLength) {
    auto ws = test::startup_workspace();
    ws->outline_bottom_row = 84;
    ws->outline_top_row = 311;
    EXPECT_EQ(test::capture_console([&] { choose_size_bin(*ws); }), "insole length 228 \n");
}

TEST(SizeBin, GeneratedScansOfEveryBinGetTheirLabelAndTemplate) {
    const int lengths[] = {167, 180, 191, 204, 215, 228, 241, 253, 265, 279, 293, 305};
    const char *first[] = {nullptr,   nullptr, nullptr,   nullptr, nullptr,   "1-2",
                           "2.5-3.5", "4-5",   "5.5-6.5", "7-8",   "8.5-9.5", "10-11"};
    // Every label chosen by hand gives the template and presets of its bin and family.
    for (int i = 0; i < kSizeLabelCount; ++i) {
        int t = -2;
        const SizeBinChoice c = size_of_label(i, t);
        EXPECT_EQ(size_label_index(c.label), i);
        const int b = i < 5 ? i : 5 + (i - 5) / 2;
        EXPECT_EQ(t, i < 5 ? 7 + i : ((i - 5) % 2 ? 12 : 0) + (b - 5)) << c.label;
        EXPECT_STREQ(c.label, i >= 5 && (i - 5) % 2 == 0 ? first[b] : c.label);
    }
    EXPECT_EQ(size_label_index("CM99"), -1);
    auto ws = test::startup_workspace();
    for (int b = 0; b < 12; ++b)
        for (bool right : {false, true})
            for (bool second : {true, false}) {
                synth::ScanRecipe recipe;
                recipe.length = lengths[b];
                recipe.right_foot = right;
                recipe.second_family = second;
                Picture scan = synth::make_scan(recipe);
                ScanLoadResult r;
                test::capture_console([&] { r = load_scan_picture(*ws, scan, 3.0); });
                ASSERT_TRUE(r.accepted());
                EXPECT_EQ(ws->insole_length, lengths[b]);
                EXPECT_EQ(ws->template_mirrored, right ? 1 : 0);
                ASSERT_TRUE(r.size.hit);
                const bool cm = second || first[b] == nullptr;
                const int expected_index = b < 5 ? 7 + b : (cm ? 12 : 0) + (b - 5);
                EXPECT_EQ(ws->template_index, expected_index) << lengths[b] << right << second;
                if (!cm) {
                    EXPECT_STREQ(r.size.label, first[b]);
                } else {
                    EXPECT_EQ(std::strncmp(r.size.label, "CM", 2), 0);
                }
            }
}

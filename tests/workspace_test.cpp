// Start-up: start values, the colour table parser, templates and the pad shape.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "tests/test_support.h"
#include "workspace/console.h"
#include "io/resources.h"

using namespace pedaform;

namespace {

// Writes a grey picture of w x h and `bpp` bits (value v at pixel (x, y) = f(x, y)).
template <typename F>
void write_picture(const std::string &path, int w, int h, int bpp, F f,
                   FREE_IMAGE_FORMAT format = FIF_BMP) {
    FIBITMAP *b = FreeImage_Allocate(w, h, bpp);
    if (bpp == 8) {
        RGBQUAD *pal = FreeImage_GetPalette(b);
        for (int i = 0; i < 256; ++i)
            pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = static_cast<BYTE>(i);
    }
    const int step = bpp / 8;
    for (int y = 0; y < h; ++y) {
        BYTE *line = FreeImage_GetScanLine(b, y);
        for (int x = 0; x < w; ++x) {
            line[x * step] = static_cast<BYTE>(f(x, y));
            // Other channels differ from the first, so that reading the wrong byte shows.
            for (int k = 1; k < step; ++k)
                line[x * step + k] = static_cast<BYTE>(7 * k);
        }
    }
    ASSERT_TRUE(FreeImage_Save(format, b, path.c_str(), 0));
    FreeImage_Unload(b);
}

struct DataFolder {
    std::string dir = test::scratch_dir();
    DataFolder() {
        mkdir((dir + "/ButtomInsole").c_str(), 0755);
        mkdir((dir + "/ButtomInsole_Black").c_str(), 0755);
    }
    std::string path(const char *resource) const { return resource_path(dir, resource); }
    void lut(const std::string &text) const {
        test::write_file(path(kColourTableFile), std::vector<uint8_t>(text.begin(), text.end()));
    }
};

std::string startup_log(Workspace &ws, const std::string &dir) {
    return test::capture_console([&] { load_startup_resources(ws, dir); });
}

}  // namespace

TEST(Startup, StartValuesWithoutAnyDataFile) {
    DataFolder folder;
    auto ws = std::make_unique<Workspace>();
    const std::string log = startup_log(*ws, folder.dir);
    EXPECT_EQ(log.rfind("w 150   h 360 \n", 0), 0u);
    // Every picture reports 0 x 0 and start-up goes on.
    size_t zeros = 0;
    for (size_t p = log.find("width 0\nheight 0\n\n"); p != std::string::npos;
         p = log.find("width 0\nheight 0\n\n", p + 1))
        ++zeros;
    EXPECT_EQ(zeros, 20u);  // 19 templates and the pad shape
    EXPECT_NE(log.find("DROP Image \npitch 0\nbpp 0\nwidth 0\nheight 0\n\n"), std::string::npos);

    const float expected[5][2] = {{189, 38}, {189, 130}, {66, 52}, {42, 90}, {68, 121}};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(ws->landmarks[k].row, expected[k][0]);
        EXPECT_EQ(ws->landmarks[k].column, expected[k][1]);
    }
    const int lengths[7] = {228, 241, 253, 265, 279, 293, 305};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(ws->template_lengths[i], lengths[i]);
    EXPECT_STREQ(ws->template_paths[0], "./ButtomInsole/RM_1-2 P.bmp");
    EXPECT_STREQ(ws->template_paths[18], "./ButtomInsole_Black/CM29-30.bmp");
    EXPECT_EQ(ws->template_index, 0);
    EXPECT_EQ(ws->pad_shape_peak, 0.0f);
    EXPECT_EQ(ws->texture_pending, 1);
    EXPECT_EQ(ws->pad_stamp_dirty, 0);
    EXPECT_EQ(ws->scan_loaded, 0);
    for (const auto &entry : ws->colour_table)
        EXPECT_EQ(entry[0] | entry[1] | entry[2], 0);
}

TEST(Startup, GeneratedDataFolderIsComplete) {
    auto ws = test::startup_workspace();
    EXPECT_EQ(ws->pad_shape_peak, 255.0f);
    for (int t = 0; t < kTemplateCount; ++t) {
        int nonzero = 0;
        for (uint8_t v : ws->templates[t])
            nonzero += v != 0;
        EXPECT_GT(nonzero, 5000) << "template " << t;
    }
    // Templates' outline lengths are their bins' lengths.
    const int lengths[kTemplateCount] = {228, 241, 253, 265, 279, 293, 305, 167, 180, 191,
                                         204, 215, 228, 241, 253, 265, 279, 293, 305};
    for (int t = 0; t < kTemplateCount; ++t) {
        int lo = kGridHeight, hi = -1;
        for (int i = 0; i < kGridCells; ++i)
            if (ws->templates[t][i]) {
                lo = std::min(lo, i / kGridWidth);
                hi = std::max(hi, i / kGridWidth);
            }
        EXPECT_EQ(hi - lo + 1, lengths[t]) << "template " << t;
    }
}

TEST(ColourTable, OneLineAndManyLinesGiveTheSameTable) {
    std::string one_line, lines;
    for (int i = 0; i < 256; ++i) {
        const std::string e =
            std::to_string(i) + " " + std::to_string(255 - i) + " " + std::to_string((i * 7) % 256);
        one_line += e + (i < 255 ? "  \t" : "");
        lines += e + "\n";
    }
    DataFolder a, b;
    a.lut(one_line);
    b.lut(lines);
    auto wa = std::make_unique<Workspace>(), wb = std::make_unique<Workspace>();
    startup_log(*wa, a.dir);
    startup_log(*wb, b.dir);
    EXPECT_EQ(std::memcmp(wa->colour_table, wb->colour_table, sizeof wa->colour_table), 0);
    EXPECT_EQ(wa->colour_table[200][0], 200);
    EXPECT_EQ(wa->colour_table[200][1], 55);
    EXPECT_EQ(wa->colour_table[255][2], (255 * 7) % 256);
}

TEST(ColourTable, LowEightBitsShortFileAndGarbage) {
    DataFolder folder;
    // 10^20 is a multiple of 256, so 10^20 + 44 keeps 44 and its negative 256 - 44.
    folder.lut("300 -1 256\n1 2 3\n+7 100000000000000000044 -100000000000000000044\n4 5 x 9 9 9");
    auto ws = std::make_unique<Workspace>();
    startup_log(*ws, folder.dir);
    EXPECT_EQ(ws->colour_table[0][0], 44);
    EXPECT_EQ(ws->colour_table[0][1], 255);
    EXPECT_EQ(ws->colour_table[0][2], 0);
    EXPECT_EQ(ws->colour_table[1][2], 3);
    EXPECT_EQ(ws->colour_table[2][0], 7);
    EXPECT_EQ(ws->colour_table[2][1], 44);
    EXPECT_EQ(ws->colour_table[2][2], 212);
    EXPECT_EQ(ws->colour_table[3][0], 4);
    EXPECT_EQ(ws->colour_table[3][1], 5);
    // Reading stops at the first thing that is not a number.
    EXPECT_EQ(ws->colour_table[3][2], 0);
    EXPECT_EQ(ws->colour_table[4][0], 0);
}

TEST(ColourTable, NothingAfterThe768thNumberIsRead) {
    std::string text;
    for (int i = 0; i < 768; ++i)
        text += "1 ";
    text += "99 99 99";
    std::FILE *f = fmemopen(text.data(), text.size(), "r");
    uint8_t table[256][3] = {};
    parse_colour_table(f, table);
    EXPECT_EQ(std::ftell(f) < static_cast<long>(text.size()), true);
    std::fclose(f);
    for (const auto &e : table)
        EXPECT_EQ(e[0] + e[1] + e[2], 3);
}

TEST(Templates, EightTwentyFourAndThirtyTwoBitReadTheirFirstByte) {
    DataFolder folder;
    auto value = [](int x, int y) { return (x + 2 * y) % 200 + 20; };
    write_picture(folder.path(kTemplateFiles[0]), 150, 360, 8, value);
    write_picture(folder.path(kTemplateFiles[1]), 150, 360, 24, value);
    write_picture(folder.path(kTemplateFiles[2]), 150, 360, 32, value);
    auto ws = std::make_unique<Workspace>();
    const std::string log = startup_log(*ws, folder.dir);
    EXPECT_NE(log.find("width 150\nheight 360\n\n"), std::string::npos);
    for (int t = 0; t < 3; ++t)
        for (int y : {0, 1, 180, 359})
            for (int x : {0, 77, 149})
                EXPECT_EQ(ws->templates[t][y * 150 + x], value(x, y)) << t << " " << x << " " << y;
    // A missing template stays zero.
    for (uint8_t v : ws->templates[3])
        ASSERT_EQ(v, 0);
}

TEST(Templates, OversizedAndUndersizedPicturesStayInsideTheirGrid) {
    DataFolder folder;
    write_picture(folder.path(kTemplateFiles[0]), 400, 500, 24,
                  [](int x, int y) { return (x + y) % 256; });
    write_picture(folder.path(kTemplateFiles[1]), 20, 30, 8, [](int, int) { return 99; });
    write_picture(
        folder.path(kPadShapeFile), 300, 260, 8,
        [](int x, int y) { return x < 250 && y < 250 ? 100 : 250; }, FIF_PNG);
    auto ws = std::make_unique<Workspace>();
    const std::string log = startup_log(*ws, folder.dir);
    EXPECT_NE(log.find("only its bottom-left 150 x 360 is used"), std::string::npos);
    EXPECT_NE(log.find("only its bottom-left 250 x 250 is used"), std::string::npos);
    EXPECT_EQ(ws->templates[0][359 * 150 + 149], (149 + 359) % 256);
    EXPECT_EQ(ws->templates[1][29 * 150 + 19], 99);
    EXPECT_EQ(ws->templates[1][29 * 150 + 20], 0);
    EXPECT_EQ(ws->templates[1][30 * 150 + 0], 0);
    // Only the part within 250 x 250 was copied, so the peak is 100, not 250.
    EXPECT_EQ(ws->pad_shape_peak, 100.0f);
    EXPECT_EQ(ws->pad_shape[249 * kPadShapeStride + 249], 100);
    EXPECT_EQ(ws->pad_shape[249 * kPadShapeStride + 250], 0);  // row padding untouched
}

TEST(PadShape, PeakIsTheLargestFirstByteAndZeroForBlack) {
    DataFolder folder;
    write_picture(
        folder.path(kPadShapeFile), 250, 250, 8,
        [](int x, int y) { return x == 3 && y == 200 ? 173 : x % 50; }, FIF_PNG);
    auto ws = std::make_unique<Workspace>();
    const std::string log = startup_log(*ws, folder.dir);
    EXPECT_NE(log.find("DROP Image \npitch 252\nbpp 8\nwidth 250\nheight 250\n\n"),
              std::string::npos);
    EXPECT_EQ(ws->pad_shape_peak, 173.0f);
    EXPECT_EQ(ws->pad_shape[200 * kPadShapeStride + 3], 173);

    DataFolder black;
    write_picture(
        black.path(kPadShapeFile), 250, 250, 8, [](int, int) { return 0; }, FIF_PNG);
    auto ws2 = std::make_unique<Workspace>();
    startup_log(*ws2, black.dir);
    EXPECT_EQ(ws2->pad_shape_peak, 0.0f);
}

TEST(Resources, PathsJoinTheDataFolder) {
    EXPECT_EQ(resource_path("", "./lut_256.txt"), "./lut_256.txt");
    EXPECT_EQ(resource_path(".", "./drop.png"), "./drop.png");
    EXPECT_EQ(resource_path("/d/", "./ButtomInsole/RM_1-2 P.bmp"), "/d/ButtomInsole/RM_1-2 P.bmp");
    EXPECT_EQ(resource_path("/d", "./drop.png"), "/d/drop.png");
}

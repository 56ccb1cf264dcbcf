// Loading scans through real files: accepted scans, metadata, foot side, channel split,
// and every kind of refused file leaving the workspace as it was.
#include <FreeImage.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "analysis/scan_loader.h"
#include "io/scan_file.h"
#include "relief/engraving_bmp.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

// A blank 150 x 360 x 32 scan.
Picture blank_scan() {
    Picture p;
    p.width = 150;
    p.height = 360;
    p.bpp = 32;
    p.pitch = p.line_bytes = 600;
    p.bits.assign(kGridCells * 4, 0);
    return p;
}

uint8_t *pixel(Picture &p, int x, int y) {
    return &p.bits[(y * 150 + x) * 4];
}

std::string write_scan(const std::string &dir, const char *name, const Picture &p) {
    const std::string path = dir + "/" + name;
    test::write_file(path, synth::scan_bmp(p));
    return path;
}

ScanLoadResult load(Workspace &ws, const std::string &path, double gain = 3.0,
                    std::string *log = nullptr) {
    ScanLoadResult r;
    const std::string text =
        test::capture_console([&] { r = load_scan_file(ws, path.c_str(), gain); });
    if (log != nullptr) *log = text;
    return r;
}

// A snapshot of everything a refused load must leave alone.
struct Snapshot {
    std::vector<uint8_t> bytes;
    explicit Snapshot(const Workspace &ws) {
        auto add = [&](const void *p, size_t n) {
            const uint8_t *b = static_cast<const uint8_t *>(p);
            bytes.insert(bytes.end(), b, b + n);
        };
        add(ws.base_grid, sizeof ws.base_grid);
        add(ws.relief_grid, sizeof ws.relief_grid);
        add(ws.pressure_grid, sizeof ws.pressure_grid);
        add(ws.colour_grid, sizeof ws.colour_grid);
        add(ws.layers, sizeof ws.layers);
        add(ws.landmarks, sizeof ws.landmarks);
        add(&ws.template_mirrored, 4);
        add(&ws.template_index, 4);
        add(&ws.insole_length, 4);
        add(&ws.first_outline_cell, 4);
        add(&ws.meta_column, 4);
        add(&ws.meta_row, 4);
        add(ws.relief_preview, sizeof ws.relief_preview);
    }
};

class ScanLoad : public ::testing::Test {
  protected:
    std::string dir = test::scratch_dir();
    std::unique_ptr<Workspace> ws = test::startup_workspace();
};

}  // namespace

TEST_F(ScanLoad, SampleScanFillsEveryGrid) {
    synth::Outline o;
    synth::ScanRecipe recipe;
    recipe.length = 253;
    const Picture scan = synth::make_scan(recipe, &o);
    const std::string path = write_scan(dir, "left.bmp", scan);
    std::string log;
    const ScanLoadResult r = load(*ws, path, 3.0, &log);
    ASSERT_TRUE(r.accepted()) << r.outcome.message();
    EXPECT_NE(log.find("line 600\npitch 600\n"), std::string::npos) << log;
    EXPECT_NE(log.find("bpp 32\n"), std::string::npos);
    EXPECT_NE(log.find("ai 0.870000 \n"), std::string::npos);
    EXPECT_NEAR(r.ai, 0.87f, 1e-6);
    EXPECT_EQ(ws->outline_bottom_row, o.bottom);
    EXPECT_EQ(ws->outline_top_row, o.bottom + 252);
    EXPECT_EQ(ws->insole_length, 253);
    EXPECT_EQ(ws->template_mirrored, 0);
    EXPECT_EQ(ws->first_outline_cell, o.bottom * 150 + o.left[o.bottom]);
    Landmark expected[5];
    synth::scan_landmarks(o, expected);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(ws->landmarks[k].row, expected[k].row);
        EXPECT_EQ(ws->landmarks[k].column, expected[k].column);
    }
    for (int i = 0; i < kGridCells; ++i) {
        ASSERT_EQ(ws->base_grid[i], i < 359 * 150 ? scan.bits[4 * i] : 0) << i;
        ASSERT_EQ(ws->relief_grid[i], ws->base_grid[i]);
        ASSERT_EQ(ws->pressure_grid[i], scan.bits[4 * i + 3]);
    }
    for (auto &layer : ws->layers)
        for (float v : layer)
            ASSERT_EQ(v, 0.0f);
    EXPECT_TRUE(ws->meta_point_found);
}

TEST_F(ScanLoad, LandmarkDecodingAndMetadataBlanking) {
    Picture p = blank_scan();
    // Pixel 0: blue 0, green 170, red 40 -> {189, 40}; N above 359 gives a negative row.
    uint8_t *m0 = pixel(p, 0, 359);
    m0[0] = 0, m0[1] = 170, m0[2] = 40, m0[3] = 77;
    uint8_t *m1 = pixel(p, 1, 359);
    m1[0] = 2, m1[1] = 0, m1[2] = 255, m1[3] = 5;  // N = 512
    uint8_t *m5 = pixel(p, 5, 359);
    m5[0] = 9, m5[1] = 9, m5[2] = 123, m5[3] = 200;
    for (int y = 100; y < 200; ++y)
        for (int x = 50; x < 90; ++x)
            pixel(p, x, y)[0] = 30;
    std::string log;
    ASSERT_TRUE(load(*ws, write_scan(dir, "meta.bmp", p), 3.0, &log).accepted());
    EXPECT_EQ(ws->landmarks[0].row, 189.0f);
    EXPECT_EQ(ws->landmarks[0].column, 40.0f);
    EXPECT_EQ(ws->landmarks[1].row, -153.0f);
    EXPECT_EQ(ws->landmarks[1].column, 255.0f);
    EXPECT_NE(log.find("40 170 0\n255 0 2\n"), std::string::npos);
    EXPECT_NE(log.find("123 9 9\nai 1.230000 \n"), std::string::npos);
    // Metadata bytes never reach the base or the relief; their alpha reaches the pressure.
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(ws->base_grid[359 * 150 + k], 0);
        EXPECT_EQ(ws->relief_grid[359 * 150 + k], 0);
    }
    EXPECT_EQ(ws->pressure_grid[359 * 150 + 0], 77);
    EXPECT_EQ(ws->pressure_grid[359 * 150 + 5], 200);
    EXPECT_EQ(ws->outline_top_row, 199);
}

TEST_F(ScanLoad, EmptyBlueChannel) {
    ws->first_outline_cell = 4242;
    ASSERT_TRUE(load(*ws, write_scan(dir, "empty.bmp", blank_scan())).accepted());
    EXPECT_EQ(ws->template_mirrored, 1);
    EXPECT_EQ(ws->outline_top_row, 0);
    EXPECT_EQ(ws->outline_bottom_row, 360);
    EXPECT_EQ(ws->insole_length, -359);
    EXPECT_EQ(ws->first_outline_cell, 4242);
    EXPECT_FALSE(ws->meta_point_found);
}

TEST_F(ScanLoad, BlueInScanlineZeroOrTopCountsForRowsButNotForSide) {
    // Only row 0 near the left edge: rows count, the side sees an empty picture.
    Picture p = blank_scan();
    pixel(p, 3, 0)[0] = 50;
    ASSERT_TRUE(load(*ws, write_scan(dir, "row0.bmp", p)).accepted());
    EXPECT_EQ(ws->outline_bottom_row, 0);
    EXPECT_EQ(ws->outline_top_row, 0);
    EXPECT_EQ(ws->template_mirrored, 1);
    EXPECT_EQ(ws->first_outline_cell, 3);

    Picture q = blank_scan();
    pixel(q, 10, 359)[0] = 50;  // right of the metadata pixels
    for (int y = 100; y < 110; ++y)
        pixel(q, 140, y)[0] = 30;  // foot near the right edge
    ASSERT_TRUE(load(*ws, write_scan(dir, "row359.bmp", q)).accepted());
    EXPECT_EQ(ws->outline_top_row, 359);
    EXPECT_EQ(ws->outline_bottom_row, 100);
    EXPECT_EQ(ws->template_mirrored, 1);  // left margin 140 >= right margin 9

    Picture r = blank_scan();
    for (int y = 100; y < 110; ++y)
        pixel(r, 5, y)[0] = 30;
    ASSERT_TRUE(load(*ws, write_scan(dir, "left.bmp", r)).accepted());
    EXPECT_EQ(ws->template_mirrored, 0);
}

TEST_F(ScanLoad, PressureColouringUsesGainOnlyAtLoad) {
    for (int i = 0; i < 256; ++i)
        ws->colour_table[i][0] = ws->colour_table[i][1] = ws->colour_table[i][2] =
            static_cast<uint8_t>(i);
    Picture p = blank_scan();
    pixel(p, 10, 10)[3] = 85;
    pixel(p, 11, 10)[3] = 84;
    pixel(p, 12, 10)[3] = 255;
    ASSERT_TRUE(load(*ws, write_scan(dir, "gain.bmp", p), 3.0).accepted());
    EXPECT_EQ(ws->colour_grid[3 * (10 * 150 + 10)], 255);
    EXPECT_EQ(ws->colour_grid[3 * (10 * 150 + 11)], 252);
    EXPECT_EQ(ws->colour_grid[3 * (10 * 150 + 12)], 255);
    ASSERT_TRUE(load(*ws, write_scan(dir, "gain1.bmp", p), 1.0).accepted());
    EXPECT_EQ(ws->colour_grid[3 * (10 * 150 + 11)], 84);
}

TEST_F(ScanLoad, RefusedFilesChangeNothing) {
    synth::ScanRecipe recipe;
    ASSERT_TRUE(load(*ws, write_scan(dir, "good.bmp", synth::make_scan(recipe))).accepted());
    const Snapshot before(*ws);

    std::vector<std::pair<std::string, std::string>> refused;
    auto add_bytes = [&](const char *name, const std::vector<uint8_t> &bytes) {
        test::write_file(dir + "/" + name, bytes);
        refused.push_back({dir + "/" + name, name});
    };
    // Wrong size or depth, through FreeImage.
    auto add_picture = [&](const char *name, int w, int h, int bpp) {
        FIBITMAP *b = FreeImage_Allocate(w, h, bpp);
        const std::string path = dir + "/" + name;
        ASSERT_TRUE(FreeImage_Save(FIF_BMP, b, path.c_str(), 0));
        FreeImage_Unload(b);
        refused.push_back({path, name});
    };
    add_picture("24bit.bmp", 150, 360, 24);
    add_picture("wide.bmp", 151, 360, 32);
    add_picture("short.bmp", 150, 359, 32);
    add_picture("8bit.bmp", 150, 360, 8);
    add_bytes("text.bmp", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
    add_bytes("empty.bmp", {});
    std::vector<uint8_t> truncated = synth::scan_bmp(synth::make_scan(recipe));
    truncated.resize(1000);
    add_bytes("truncated.bmp", truncated);
    // A header claiming a huge picture.
    std::vector<uint8_t> huge = synth::scan_bmp(synth::make_scan(recipe));
    for (int k = 0; k < 4; ++k)
        huge[18 + k] = huge[22 + k] = 0x7f;
    add_bytes("huge.bmp", huge);
    mkdir((dir + "/folder.bmp").c_str(), 0755);
    refused.push_back({dir + "/folder.bmp", "folder"});
    refused.push_back({dir + "/missing.bmp", "missing"});

    for (const auto &[path, name] : refused) {
        std::string log;
        const ScanLoadResult r = load(*ws, path, 3.0, &log);
        EXPECT_FALSE(r.accepted()) << name;
        EXPECT_FALSE(r.outcome.message().empty()) << name;
        EXPECT_TRUE(Snapshot(*ws).bytes == before.bytes) << name;
    }
}

TEST_F(ScanLoad, UnreadableFileSaysSoWithoutNewline) {
    std::string log;
    load(*ws, dir + "/nothing-here.bmp", 3.0, &log);
    EXPECT_EQ(log, "Unable to load texture: ");
}

TEST_F(ScanLoad, ShortPixelDataIsRefusedEvenWithTheRightSize) {
    Picture p = blank_scan();
    p.bits.resize(1000);
    EXPECT_FALSE(load_scan_picture(*ws, p, 3.0).accepted());
}

TEST(FootSide, MarginsDecideAndTiesGoMirrored) {
    Picture p = blank_scan();
    EXPECT_EQ(decide_foot_side(p.bits.data()), 1);
    for (int y = 50; y < 60; ++y)
        pixel(p, 20, y)[0] = pixel(p, 129, y)[0] = 1;  // 20 vs 20
    EXPECT_EQ(decide_foot_side(p.bits.data()), 1);
    pixel(p, 19, 300)[0] = 1;  // 19 vs 20
    EXPECT_EQ(decide_foot_side(p.bits.data()), 0);
}

TEST_F(ScanLoad, HeadersClaimingHugePicturesAreRefusedBeforeDecoding) {
    // A run-length-encoded BMP header claiming 33,174 x 1,744,830,464 pixels: the decoder
    // would try to allocate terabytes.
    std::vector<uint8_t> rle = synth::scan_bmp(synth::make_scan({}));
    rle.resize(200);
    const uint32_t w = 33174, h = 0x68000000;
    for (int k = 0; k < 4; ++k) {
        rle[18 + k] = static_cast<uint8_t>(w >> (8 * k));
        rle[22 + k] = static_cast<uint8_t>(h >> (8 * k));
    }
    rle[30] = 1;  // compression: RLE8
    test::write_file(dir + "/rle.bmp", rle);
    const ScanLoadResult r = load(*ws, dir + "/rle.bmp");
    EXPECT_FALSE(r.accepted());
    EXPECT_NE(r.outcome.message().find("more than this program reads"), std::string::npos)
        << r.outcome.message();
}

TEST_F(ScanLoad, FuzzerFindingsStayFixed) {
    const auto files = test::files_in(PEDAFORM_SOURCE_DIR "/fuzz/regressions/scan");
    for (const std::string &f : files) {
        const ScanLoadResult r = load(*ws, f);
        EXPECT_FALSE(r.accepted()) << f;
    }
}

TEST_F(ScanLoad, NamesOfAnyLengthAndScript) {
    const Picture scan = synth::make_scan({});
    // A Chinese name.
    const std::string chinese = write_scan(dir, "右腳掃描.bmp", scan);
    EXPECT_TRUE(load(*ws, chinese).accepted());
    // A path far longer than 500 bytes, through nested folders.
    std::string deep = dir;
    for (int k = 0; k < 12; ++k) {
        deep += "/" + std::string(60, static_cast<char>('a' + k));
        ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    }
    ASSERT_GT(deep.size(), 700u);
    test::write_file(deep + "/scan.bmp", synth::scan_bmp(scan));
    EXPECT_TRUE(load(*ws, deep + "/scan.bmp").accepted());
    // A name too long for the file system is simply not found.
    EXPECT_FALSE(load(*ws, dir + "/" + std::string(5000, 'x') + ".bmp").accepted());
}

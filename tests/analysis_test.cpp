// The analysis layer: scan loading through real files (grids, metadata, foot side, refused
// and hostile files), size bins, the metatarsal point, and pressure colouring.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "analysis/filter_gain.h"
#include "analysis/meta_position.h"
#include "analysis/scan_loader.h"
#include "analysis/size_bin.h"
#include "design/design.h"
#include "io/scan_file.h"
#include "core/size_table.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

// Every scan is read from a folder far longer than 500 bytes with a Chinese name in it.
std::string deep_dir() {
    std::string dir = test::scratch_dir() + "/右腳掃描";
    for (int k = 0; k < 13; dir += "/" + std::string(60, static_cast<char>('a' + k++)))
        EXPECT_EQ(mkdir(dir.c_str(), 0755), 0) << dir;
    return dir.substr(0, dir.rfind('/'));
}

// Scans go through a design, which keeps the scan and starts its results from it.
class ScanLoad : public ::testing::Test {
  protected:
    std::string dir = deep_dir();
    std::unique_ptr<Resources> res = test::startup_resources();
    Design design{*res, load_scan_file};
    const Scan &scan = design.scan();
    const DesignResults &results = design.results();
    Result<ScanLoadResult> load(const std::string &path, double gain = 3.0) {
        Result<ScanLoadResult> r = Failure{"not loaded"};
        Controls start;
        start[Control::kGain] = gain;
        test::capture_console([&] { r = design.load(path, &start); });
        return r;
    }
    Result<ScanLoadResult> load_picture(const Picture &p, double gain = 3.0) {
        test::write_file(dir + "/scan.bmp", synth::scan_bmp(p));
        return load(dir + "/scan.bmp", gain);
    }
};

}  // namespace

TEST_F(ScanLoad, GeneratedScansOfEveryBinFillEveryGridAndChooseTheirSize) {
    for (const SizeBin &b : kSizeBins)
        for (bool right : {false, true})
            for (bool second : {true, false}) {
                synth::Outline o;
                synth::ScanRecipe recipe;
                recipe.length = b.length, recipe.right_foot = right, recipe.second_family = second;
                const Picture picture = synth::make_scan(recipe, &o);
                (void)design.set(Control::kHeel1, 3);  // a layer the next load clears
                const Result<ScanLoadResult> r = load_picture(picture);
                ASSERT_TRUE(r) << r.message();
                EXPECT_NEAR(r->ai, 0.87f, 1e-6);
                SCOPED_TRACE(std::to_string(b.length) + (right ? " right" : " left") +
                             (second ? " second" : " first"));
                EXPECT_EQ(scan.outline_bottom_row, o.bottom);
                EXPECT_EQ(scan.insole_length, b.length);
                EXPECT_EQ(scan.template_mirrored, right);
                EXPECT_EQ(scan.first_outline_cell, o.bottom * 150 + o.left[o.bottom]);
                const bool cm = second || !b.first_label;
                EXPECT_STREQ(r->size.label, cm ? b.second_label : b.first_label);
                EXPECT_EQ(scan.template_index, cm ? b.second_index : b.first_index);
                EXPECT_EQ(results.template_index, scan.template_index);
                EXPECT_EQ(r->size.pad_width, b.pad_width);
                EXPECT_EQ(r->size.pad_length, b.pad_length);
                EXPECT_EQ(r->size.pad_height, b.pad_height);
                Landmark expected[5];
                synth::scan_landmarks(o, expected, false, right);
                EXPECT_EQ(std::memcmp(scan.landmarks, expected, sizeof expected), 0);
                for (int i = 0; i < kGridCells; ++i) {  // blue but the metadata row; alpha
                    ASSERT_EQ(scan.base_grid[i], i < 359 * 150 ? picture.bits[4 * i] : 0) << i;
                    ASSERT_EQ(results.relief_grid[i], scan.base_grid[i]) << i;
                    ASSERT_EQ(scan.pressure_grid[i], picture.bits[4 * i + 3]) << i;
                }
                const uint8_t *t =
                    res->templates[scan.template_index.value()];  // mirrored: right foot
                for (int i = 0; i < kGridCells; ++i)  // the foot lies on its insole template
                    if (scan.base_grid[i] != 0) {
                        ASSERT_NE(t[right ? i + 149 - 2 * (i % 150) : i], 0) << i;
                    }
                for (int k = 0; k < kLayerCount; ++k) {  // cleared by the load
                    const float *layer = results.layer_cells(k);
                    ASSERT_TRUE(
                        std::all_of(layer, layer + kGridCells, [](float v) { return v == 0; }));
                }
                EXPECT_TRUE(scan.meta_point_found);
            }
}

TEST_F(ScanLoad, OutlineRowsAndFootSideByMargins) {
    // Blue columns x over rows y0..y1. The side is mirrored (1) when the left margin is not
    // smaller than the right one; rows 0 and 359 count for the rows but not for the side.
    struct Case {
        std::vector<std::array<int, 3>> blue;
        int mirrored, bottom, top, first;
    };
    const Case cases[] = {
        {{}, 1, 360, 0, 4242},  // empty: the first outline cell stays
        {{{3, 0, 0}}, 1, 0, 0, 3},
        {{{140, 100, 109}, {10, 359, 359}}, 1, 100, 359, 100 * 150 + 140},
        {{{5, 100, 109}}, 0, 100, 109, 100 * 150 + 5},
        {{{20, 50, 59}, {129, 50, 59}}, 1, 50, 59, 50 * 150 + 20},
        {{{20, 50, 59}, {129, 50, 59}, {19, 300, 300}}, 0, 50, 300, 50 * 150 + 20},
    };
    for (const Case &c : cases) {
        Picture p = test::blank_scan();
        for (const auto &b : c.blue)
            for (int y = b[1]; y <= b[2]; ++y)
                p.bits[4 * (y * 150 + b[0])] = 50;
        Scan loaded;
        loaded.first_outline_cell = 4242;
        test::capture_console([&] { ASSERT_TRUE(load_scan_picture(loaded, p)); });
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        EXPECT_EQ(loaded.template_mirrored, c.mirrored);
        EXPECT_EQ(decide_foot_side(p.bits.data()), c.mirrored);
        EXPECT_EQ(loaded.outline_bottom_row, c.bottom);
        EXPECT_EQ(loaded.outline_top_row, c.top);
        EXPECT_EQ(loaded.first_outline_cell, c.first);
        EXPECT_EQ(loaded.insole_length, c.top - c.bottom + 1);
    }
}

TEST_F(ScanLoad, RefusedAndHostileFilesChangeNothing) {
    ASSERT_TRUE(load_picture(synth::make_scan({})));
    auto snapshot = [&] {  // the scan and the results, byte for byte
        return std::string(reinterpret_cast<const char *>(&scan), sizeof scan) +
               std::string(reinterpret_cast<const char *>(&results), sizeof results);
    };
    const std::string before = snapshot();
    std::vector<std::string> refused;
    const int pictures[][3] = {{150, 360, 24}, {151, 360, 32}, {150, 359, 32}, {150, 360, 8}};
    for (const auto &q : pictures) {  // wrong size or depth
        refused.push_back(dir + "/" + std::to_string(refused.size()) + ".bmp");
        test::write_picture(refused.back(), q[0], q[1], q[2], [](int, int) { return 40; });
    }
    std::vector<uint8_t> good = synth::scan_bmp(synth::make_scan({})), cut = good;
    cut.resize(1000);
    for (int k = 0; k < 4; ++k)
        good[18 + k] = good[22 + k] = 0x7f;  // a header claiming a huge picture
    const std::vector<uint8_t> files[] = {{'h', 'e', 'l', 'l', 'o'}, {}, cut, good};
    for (const auto &bytes : files) {
        refused.push_back(dir + "/bytes" + std::to_string(refused.size()) + ".bmp");
        test::write_file(refused.back(), bytes);
    }
    mkdir((dir + "/folder.bmp").c_str(), 0755);
    refused.push_back(dir + "/folder.bmp");
    refused.push_back(dir + "/missing.bmp");
    refused.push_back(dir + "/" + std::string(5000, 'x') + ".bmp");  // too long a name
    // The fuzzer's findings, among them a run-length-encoded header claiming terabytes.
    for (const std::string &f : test::files_in(PEDAFORM_SOURCE_DIR "/fuzz/regressions/scan_load"))
        refused.push_back(f);
    for (const std::string &path : refused) {
        const Result<ScanLoadResult> r = load(path);
        EXPECT_FALSE(r) << path;
        EXPECT_FALSE(r.message().empty()) << path;
        if (path.find("huge-rle-header") != std::string::npos) {  // refused before decoding
            EXPECT_NE(r.message().find("more than this program reads"), std::string::npos);
        }
        if (path == dir + "/missing.bmp") {  // said as missing, not as a bad picture
            EXPECT_NE(r.message().find("No such file"), std::string::npos);
        }
        EXPECT_TRUE(snapshot() == before) << path;
    }
    Picture p = test::blank_scan();  // the right size, too few pixel bytes
    p.bits.resize(1000);
    Scan untouched;
    EXPECT_FALSE(load_scan_picture(untouched, p));
}

TEST(SizeBin, EveryBinBothFamiliesLabelsAndMisses) {
    auto ws = std::make_unique<Scan>();
    auto size = [&](int length, int first_cell) {
        ws->outline_bottom_row = 84;
        ws->outline_top_row = 84 + length - 1;
        ws->first_outline_cell = first_cell;
        SizeBinChoice c;
        test::capture_console([&] { c = choose_size_bin(*ws); });
        return c;
    };
    // Worked: 228 rows from the bin's first cell (84, 41) is CM22-23, one column in is 1-2.
    EXPECT_STREQ(size(228, 84 * 150 + 41).label, "CM22-23");
    EXPECT_EQ(ws->template_index, 12);
    EXPECT_STREQ(size(228, 84 * 150 + 42).label, "1-2");
    EXPECT_EQ(ws->template_index, 0);
    for (int length : {229, 166, 216, 306, 0, -359}) {  // no bin: never the previous template
        size(241, 10244);
        const SizeBinChoice c = size(length, 10244);
        EXPECT_FALSE(c.hit) << length;
        EXPECT_STREQ(c.label, "") << length;
        EXPECT_FALSE(ws->template_index) << length;
        EXPECT_EQ(ws->insole_length, length);
    }
    EXPECT_FALSE(size_label_index("CM99"));
    // {length, the nearest bin's}: a tie goes to the shorter bin.
    const int nearest[][2] = {{0, 167}, {173, 167}, {174, 180}, {247, 241}, {248, 253}, {999, 305}};
    for (const auto &n : nearest)
        EXPECT_EQ(nearest_size_bin(n[0]).length, n[1]) << n[0];
    EXPECT_EQ(size_bin_labels(nearest_size_bin(190)), "CM17.5-19");
    EXPECT_EQ(size_bin_labels(nearest_size_bin(252)), "4-5 / CM25-26");
}

TEST(MetaPosition, OutlinesGiveTheirPointOrNone) {
    // L1 joins the leftmost and rightmost cells of 10 or more (lowest row on ties), L2 the
    // lowest and highest rows' ends on the side nearer its edge; the point is their crossing.
    struct Case {
        int lens;                               // centre of a lens of 200, or 0
        std::vector<std::array<int, 5>> rects;  // x0, y0, x1, y1, value
        bool found;
        float column, row;
    };
    const Case cases[] = {
        // L1 (35,200)-(115,200); L2 (75,50)-(88,300) crosses row 200 at 75 + 13 * 150 / 250.
        {75, {}, true, 82.8f, 200},
        {55, {}, true, 47.2f, 200},
        {75, {{2, 10, 147, 349, 9}}, true, 82.8f, 200},  // in a skirt below ten
        {0, {{20, 30, 120, 330, 200}}, true, 20, 30},    // ties: the lowest row
        {0, {{40, 30, 140, 330, 200}}, true, 140, 30},   // right side
        // Column 10 in rows 150..160: L1 (10,150)-(100,100) meets L2 (column 30) at 150 - 1000/90
        {0, {{30, 100, 100, 250, 50}, {10, 150, 10, 160, 50}}, true, 30, 138.88889f},
        {0, {}, false, 0, 0},
        {0, {{10, 10, 100, 100, 9}}, false, 0, 0},
        {0, {{0, 10, 0, 300, 50}}, false, 0, 0},     // only column 0
        {0, {{5, 0, 60, 0, 50}}, false, 0, 0},       // only row 0, left side
        {0, {{70, 100, 70, 100, 50}}, false, 0, 0},  // a single cell
        {0, {{100, 0, 140, 0, 50}}, false, 0, 0},    // only row 0, right side
        {0, {{10, 40, 139, 40, 50}}, false, 0, 0},   // parallel lines
    };
    auto ws = std::make_unique<Scan>();
    for (const Case &c : cases) {
        std::memset(ws->base_grid, 0, sizeof ws->base_grid);
        for (const auto &r : c.rects)
            test::fill_rect(ws->base_grid, r[0], r[1], r[2], r[3], static_cast<uint8_t>(r[4]));
        for (int y = 50; c.lens && y <= 300; ++y) {  // half width 40 at row 200, 0 at row 50
            const int h = static_cast<int>(40 - std::abs(y - 200) * 40.0 / 150);
            test::fill_rect(ws->base_grid, c.lens - h, y, c.lens + h, y, 200);
        }
        ws->meta_column = 12, ws->meta_row = 34, ws->meta_point_found = !c.found;
        test::capture_console([&] { find_meta_position(*ws); });
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        EXPECT_EQ(ws->meta_point_found, c.found);
        // A missing point keeps the old one.
        EXPECT_NEAR(ws->meta_column, c.found ? c.column : 12, 1e-4);
        EXPECT_NEAR(ws->meta_row, c.found ? c.row : 34, 1e-4);
    }
}

TEST(FilterGain, EveryCellFollowsTheFormula) {
    auto ws = std::make_unique<test::Parts>();
    test::ramp_colour_table(ws->res);
    for (int i = 0; i < kGridCells; ++i)
        ws->scan.pressure_grid[i] = static_cast<uint8_t>(i % 256);
    // {filter, gain}: entry min(255, trunc(max(0, trunc(p - filter)) * gain)); at filter 20,
    // gain 3: p 21 -> 3, 104 -> 252, 105 -> 255.
    const double settings[][2] = {{0, 1}, {20, 3}, {255, 10}, {0, 1.5}, {40, 2.5}, {10.5, 2}};
    for (const auto &s : settings) {
        apply_filter_gain(ws->res, ws->scan, ws->results, s[0], s[1]);
        for (int i = 0; i < kGridCells; ++i) {
            const int t = std::max(0, static_cast<int>(i % 256 - s[0]));
            const int k = std::min(255, static_cast<int>(t * s[1]));
            const uint8_t *c = &ws->results.colour_grid[3 * i];
            ASSERT_EQ(c[0], k) << s[0] << " " << s[1] << " " << i;
            ASSERT_EQ(c[1], 255 - k) << s[0] << " " << s[1] << " " << i;
            ASSERT_EQ(c[2], k / 2) << s[0] << " " << s[1] << " " << i;
        }
    }
}

// Landmarks the steps cannot be placed from: the scan still loads, but the design says why
// (one rule a case, in the order they are judged), and the steps placed from the landmarks are
// refused with those words; the base, which raises the whole insole, is not.
TEST_F(ScanLoad, UnsoundLandmarksAreSaidAndTheStepsPlacedFromThemRefused) {
    const Picture sound = synth::make_scan({});
    const size_t pixels = static_cast<size_t>(kGridHeight - 1) * sound.pitch;  // metadata 0..5
    auto with = [&](std::initializer_list<std::array<int, 3>> landmarks, int fill = -1) {
        Picture p = sound;
        uint8_t *meta = &p.bits[pixels];
        if (fill >= 0) std::fill(meta, meta + 4 * 6, static_cast<uint8_t>(fill));
        for (const auto &[k, row, column] : landmarks) {  // row = 359 - (blue * 256 + green)
            const int n = kGridHeight - 1 - row;
            meta[4 * k] = static_cast<uint8_t>(n >> 8), meta[4 * k + 1] = n & 0xFF;
            meta[4 * k + 2] = static_cast<uint8_t>(column);
        }
        return p;
    };
    const std::pair<Picture, std::string> cases[] = {
        {with({}, 0xFF), "the scan's landmark 0 lies outside the grid (row -65176, column 255)"},
        {with({}, 0), "the scan has no landmarks"},
        {test::blank_scan(), "the scan has no insole outline (no cell of the insole base)"},
        {with({{2, 200, 0}}), "the scan's landmark 2 lies off the insole (row 200, column 0)"},
        {with({{3, 240, 62}}),
         "the scan's metatarsal heads (landmarks 0 and 1) lie behind its "
         "heel (landmark 3)"},
    };
    for (const auto &[picture, text] : cases) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(load_picture(picture));
        const std::optional<Warning> &said = design.landmark_warning();
        ASSERT_TRUE(said);
        EXPECT_EQ(said->text, text +
                                  ": the arch support, the heel cup and the metatarsal dome "
                                  "cannot be placed");
        EXPECT_FALSE(design.search_point_warning());
        EXPECT_FALSE(design.size_warning());  // never a length of -359
        test::capture_console([&] {
            EXPECT_EQ(design.place_dome_behind_heads().message(), said->text);
            EXPECT_EQ(design.set(Control::kArch, 8).gui_message(), said->gui);
            EXPECT_FALSE(design.set(Control::kHeelCup, 8));
            EXPECT_TRUE(design.set(Control::kBase, 2));
        });
        EXPECT_EQ(design.position(), 1u);
    }
    EXPECT_EQ(design.landmark_warning()->gui.rfind("掃描檔的蹠骨頭標記點", 0), 0u);
    ASSERT_TRUE(load_picture(with({}, 0)));
    EXPECT_EQ(design.landmark_warning()->gui,
              "掃描檔沒有標記點：足弓、後跟杯與蹠骨墊的位置無法決定");
    ASSERT_TRUE(load_picture(sound));
    EXPECT_FALSE(design.landmark_warning());
}

// The core layer: the resources read at start-up (the colour table parser, templates and
// the pad shape, warnings for missing files) and the atomic file output every exporter uses.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <tuple>

#include "io/picture_io.h"
#include "io/plain_pictures.h"
#include "io/resource_files.h"
#include "tools/synth.h"
#include "core/file_input.h"
#include "core/file_output.h"
#include "core/size_table.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

struct DataFolder {  // empty until a test writes a resource into it
    std::string dir = test::scratch_dir();
    DataFolder() { mkdir((dir + "/ButtomInsole").c_str(), 0755); }  // templates 0..6
    std::string path(const char *resource) const { return resource_path(dir, resource); }
    std::vector<std::string> warnings;
    std::unique_ptr<Resources> load() {
        auto res = std::make_unique<Resources>();
        test::capture_console([&] { warnings = load_startup_resources(*res, dir).texts(); });
        return res;
    }
};

}  // namespace

TEST(Startup, MissingDataFilesAreZeroedAndEachNamedInOneWarning) {
    DataFolder folder;
    auto res = folder.load();
    EXPECT_EQ(res->pad_shape_peak, 0);
    EXPECT_EQ(*std::max_element(res->colour_table[0], res->colour_table[0] + 768), 0);
    ASSERT_EQ(folder.warnings.size(), 2u + kTemplateCount);
    EXPECT_NE(folder.warnings.front().find(folder.path(kColourTableFile)), std::string::npos);
    EXPECT_NE(folder.warnings[1].find(folder.path(kTemplateFiles[0])), std::string::npos);
    EXPECT_NE(folder.warnings.back().find(folder.path(kPadShapeFile)), std::string::npos);
}

TEST(Startup, GeneratedDataFolderReadsBackWhatTheGeneratorWrote) {
    auto ws = test::startup_resources();
    EXPECT_EQ(ws->pad_shape_peak, 255.0f);
    uint8_t table[256][3];
    synth::colour_map(table);
    EXPECT_EQ(std::memcmp(table, ws->colour_table, sizeof table), 0);
    // Each template's outline is as long as its bin.
    for (int t = 0; t < kTemplateCount; ++t) {
        int lo = kGridHeight, hi = -1;
        for (int i = 0; i < kGridCells; ++i)
            if (ws->templates[t][i]) lo = std::min(lo, i / kGridWidth), hi = i / kGridWidth;
        EXPECT_EQ(hi - lo + 1, template_length(t)) << "template " << t;
    }
}

TEST(ColourTable, TextsGiveTheirEntries) {
    std::string ones;  // 768 numbers fill the table; what follows them is never read
    for (int i = 0; i < 768; ++i)
        ones += "1 ";
    // {text, the flat table's leading numbers, the value of the rest}
    const std::tuple<std::string, std::vector<int>, int> cases[] = {
        {"1 2 3\n4  \t5\t6\n", {1, 2, 3, 4, 5, 6}, 0},  // any white space between numbers
        // The low 8 bits of any whole number; 10^20 is a multiple of 256.
        {"300 -1 256 +7 100000000000000000044 -100000000000000000044", {44, 255, 0, 7, 44, 212}, 0},
        {"4 5 x 9 9 9", {4, 5}, 0},  // reading stops at the first thing that is not a number
        {"4 5 9.5 9", {4, 5, 9}, 0},
        {ones + "99 99 99", {}, 1},
    };
    for (const auto &[text, first, rest] : cases) {
        std::FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
        uint8_t table[256][3] = {};
        parse_colour_table(f, table);
        EXPECT_TRUE(!rest || std::ftell(f) < static_cast<long>(text.size()));
        std::fclose(f);
        for (int i = 0; i < 768; ++i)
            ASSERT_EQ(table[i / 3][i % 3], i < static_cast<int>(first.size()) ? first[i] : rest)
                << text.substr(0, 40) << " at " << i;
    }
}

TEST(Templates, FirstByteOfEveryDepthCutToTheGridAndThePadShapePeak) {
    DataFolder folder;
    auto value = [](int x, int y) { return (x + 2 * y) % 200 + 20; };
    const int pictures[][3] = {{150, 360, 8}, {150, 360, 24}, {150, 360, 32}, {400, 500, 24}};
    for (int t = 0; t < 4; ++t)
        test::write_picture(folder.path(kTemplateFiles[t]), pictures[t][0], pictures[t][1],
                            pictures[t][2], value);
    test::write_picture(folder.path(kTemplateFiles[4]), 20, 30, 8, [](int, int) { return 99; });
    // Beyond 250 x 250 the pad shape is cut: its 250s are neither copied nor the peak.
    test::write_picture(
        folder.path(kPadShapeFile), 300, 260, 8,
        [](int x, int y) { return x >= 250 || y >= 250 ? 250
                                  : x == 3 && y == 200 ? 173
                                                       : x % 50; },
        true);
    auto ws = folder.load();
    EXPECT_EQ(folder.warnings.size(), 1u + kTemplateCount - 5);  // the colour table, templates 5..
    for (int t = 0; t < 4; ++t)
        for (int y : {0, 1, 180, 359})
            for (int x : {0, 77, 149})
                EXPECT_EQ(ws->templates[t][y * 150 + x], value(x, y)) << t << " " << x << " " << y;
    const uint8_t *small = ws->templates[4];  // 20 x 30
    EXPECT_EQ(small[29 * 150 + 19], 99);
    EXPECT_EQ(small[29 * 150 + 20], 0);
    EXPECT_EQ(small[30 * 150], 0);
    EXPECT_EQ(*std::max_element(ws->templates[5], ws->templates[5] + kGridCells), 0);  // missing
    EXPECT_EQ(ws->pad_shape_peak, 173.0f);
    EXPECT_EQ(ws->pad_shape[200 * kPadShapeStride + 3], 173);
    EXPECT_EQ(ws->pad_shape[249 * kPadShapeStride + 249], 249 % 50);
    EXPECT_EQ(ws->pad_shape[249 * kPadShapeStride + 250], 0);  // row padding untouched
    Picture p = test::blank_scan();  // whether a picture had to be cut: 150 x 360 is not cut
    EXPECT_TRUE(copy_template(p, ws->templates[6]));
    EXPECT_FALSE(copy_pad_shape(p, *ws));
    p.width = 151;
    EXPECT_FALSE(copy_template(p, ws->templates[6]));
}

// The plain decoders must give exactly what FreeImage gives, and leave every other file to it.
TEST(Pictures, PlainKindsDecodeAsTheLibraryDoesAndOthersGoToIt) {
    const std::string dir = test::scratch_dir();
    auto file = [&](int w, int h, int bpp, bool png) {
        const std::string path = dir + "/p" + (png ? ".png" : ".bmp");
        test::write_picture(
            path, w, h, bpp, [](int x, int y) { return (x * 7 + y * 13) % 256; }, png);
        return test::read_file(path);
    };
    auto poke32 = [](std::vector<uint8_t> f, size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            f.at(at + k) = static_cast<uint8_t>(v >> (8 * k));
        return f;
    };
    const std::vector<uint8_t> bmp8 = file(33, 7, 8, false);
    const struct {
        const char *what;
        std::vector<uint8_t> bytes;
        bool plain;
    } cases[] = {
        {"8-bit BMP, odd width", bmp8, true},
        {"8-bit BMP naming 16 colours", poke32(bmp8, 46, 16), true},
        {"24-bit BMP, padded rows", file(5, 3, 24, false), true},
        {"24-bit BMP, a template", file(150, 360, 24, false), true},
        {"32-bit BMP, a scan", file(150, 360, 32, false), true},
        {"8-bit grey PNG, the pad shape", file(250, 250, 8, true), true},
        {"24-bit PNG", file(9, 4, 24, true), false},
        {"top-down BMP", poke32(bmp8, 22, static_cast<uint32_t>(-7)), false},
        {"run-length BMP", poke32(bmp8, 30, 1), false},
        {"BMP of 5000 x 5000", poke32(poke32(bmp8, 18, 5000), 22, 5000), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const bool png = c.bytes[0] != 'B';
        const std::optional<Picture> plain = png ? decode_plain_png(c.bytes, uint64_t{1} << 24)
                                                 : decode_plain_bmp(c.bytes, uint64_t{1} << 24);
        EXPECT_EQ(plain.has_value(), c.plain);
        const Result<Picture> ours = decode_picture(c.bytes);
        const Result<Picture> library = decode_picture_through_library(c.bytes);
        ASSERT_EQ(ours.ok(), library.ok());
        if (!ours) {
            EXPECT_EQ(ours.message(), library.message());
            continue;
        }
        const auto fields = [](const Picture &p) {
            return std::tie(p.width, p.height, p.bpp, p.pitch, p.line_bytes, p.dib_size,
                            p.colours_used, p.bits);
        };
        EXPECT_TRUE(fields(*ours) == fields(*library));
    }
}

TEST(FileOutput, FailuresKeepTheExistingFileAndLeaveNothingBehind) {
    const std::string dir = test::scratch_dir(), path = dir + "/kept.bmp";
    const std::vector<uint8_t> old = {1, 2, 3}, data(216054, 0x5a);
    test::write_file(path, old);
    mkdir((dir + "/folder.bmp").c_str(), 0755);  // a folder cannot be replaced
    for (const std::string &to : {dir + "/no/such/x.bmp", dir + "/folder.bmp"})
        EXPECT_FALSE(write_file_atomically(to, data.data(), data.size()).message().empty()) << to;
    // A disk that fills up part way: the file size limit cuts the write short.
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    const struct rlimit small = {100000, saved.rlim_max};
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result<> result = write_file_atomically(path, data.data(), data.size());
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_NE(result.message().find("cannot write"), std::string::npos) << result.message();
    EXPECT_EQ(test::read_file(path), old);
    ASSERT_TRUE(write_file_atomically(path, data.data(), data.size()));
    test::expect_same_bytes(data, test::read_file(path));
    EXPECT_EQ(test::files_in(dir), (std::vector<std::string>{dir + "/folder.bmp", path}));
}

// No input can hold the program up or fill its memory: a FIFO, a device, a folder and a file
// over the bound are refused, before a byte is read, as a scan, a design file, a recording or a
// data file. Each read runs in a child whose alarm is the failure bound should it ever wait.
TEST(FileInput, OnlyRegularFilesWithinTheirBoundAreRead) {
    const std::string dir = test::scratch_dir();
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((dir + "/x.bmp").c_str(), 0755), 0);
    test::write_file(dir + "/big", {});
    ASSERT_EQ(truncate((dir + "/big").c_str(), 70 << 20), 0);  // sparse: nothing written
    const std::pair<std::string, const char *> hostile[] = {
        {dir + "/fifo", "not a regular file .a pipe."},
        {"/dev/urandom", "not a regular file .a device."},
        {dir + "/x.bmp", "not a regular file .a folder."},
        {dir + "/big", "the file is too large: 70 MB, more than the [0-9]+ MB read at most"},
    };
    for (const size_t bound :
         {kMaxScanBytes, kMaxDesignBytes, kMaxRecordingBytes, kMaxDataFileBytes})
        for (const auto &[path, why] : hostile)
            EXPECT_EXIT(
                {
                    alarm(60);
                    const Result<std::vector<uint8_t>> read = read_file_bytes(path, bound);
                    std::fputs(read.message().c_str(), stderr);
                    std::_Exit(read ? 1 : 0);
                },
                ::testing::ExitedWithCode(0), why)
                << path << " within " << bound;
    EXPECT_EQ(read_file_bytes(dir + "/big", kMaxScanBytes).gui_message(),
              "檔案太大：70 MB，上限 64 MB");
    // A regular file is read whole up to its bound, and refused one byte over it.
    const std::vector<uint8_t> bytes(1000, 7);
    test::write_file(dir + "/kb", bytes);
    EXPECT_EQ(read_file_bytes(dir + "/kb", 1000).value(), bytes);
    EXPECT_NE(read_file_bytes(dir + "/kb", 999).message().find("too large"), std::string::npos);
}

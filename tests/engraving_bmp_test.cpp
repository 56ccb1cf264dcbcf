// The engraving BMP: byte layout, names, orientation, and failures that keep old files.
#include <FreeImage.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "relief/engraving_bmp.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

uint32_t u32(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t u16(const std::vector<uint8_t> &b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::unique_ptr<Workspace> relief_workspace() {
    auto ws = std::make_unique<Workspace>();
    for (int i = 0; i < kGridCells; ++i)
        ws->relief_grid[i] = static_cast<uint8_t>((i / 150) * 3 + i % 7);
    ws->relief_grid[0] = 0;
    ws->relief_grid[1] = 200;
    return ws;
}

}  // namespace

TEST(EngravingBmp, LayoutByteByByte) {
    auto ws = relief_workspace();
    fill_export_image(*ws);
    const std::string path = test::scratch_dir() + "/insole.bmp";
    ASSERT_TRUE(write_engraving_bmp(path, ws->export_image));
    const std::vector<uint8_t> b = test::read_file(path);
    ASSERT_EQ(b.size(), 216054u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), 216054u);
    EXPECT_EQ(u16(b, 6), 0);
    EXPECT_EQ(u16(b, 8), 0);
    EXPECT_EQ(u32(b, 10), 54u);
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(u32(b, 18), 150u);
    EXPECT_EQ(u32(b, 22), 360u);
    EXPECT_EQ(u16(b, 26), 1);
    EXPECT_EQ(u16(b, 28), 32);
    EXPECT_EQ(u32(b, 30), 0u);
    EXPECT_EQ(u32(b, 34), 0u);
    EXPECT_EQ(u32(b, 38), 3780u);
    EXPECT_EQ(u32(b, 42), 3780u);
    EXPECT_EQ(u32(b, 46), 0u);
    EXPECT_EQ(u32(b, 50), 0u);
    // Cell 0 (0) and cell 1 (200); the first 600 pixel bytes are grid row 0.
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 54, b.begin() + 58),
              (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 58, b.begin() + 62),
              (std::vector<uint8_t>{200, 200, 200, 255}));
    for (int k = 0; k < kGridCells; ++k) {
        ASSERT_EQ(b[54 + 4 * k], ws->relief_grid[k]);
        ASSERT_EQ(b[54 + 4 * k + 3], 255);
    }

    // A picture reader agrees: the bottom scanline is grid row 0.
    FIBITMAP *bmp = FreeImage_Load(FIF_BMP, path.c_str(), 0);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(bmp), 32u);
    EXPECT_EQ(FreeImage_GetScanLine(bmp, 0)[4], 200);
    EXPECT_EQ(FreeImage_GetScanLine(bmp, 359)[0], ws->relief_grid[359 * 150]);
    FreeImage_Unload(bmp);
}

TEST(EngravingBmp, NameRules) {
    std::string out;
    EXPECT_TRUE(engraving_file_name("insole", out));
    EXPECT_EQ(out, "insole.bmp");
    EXPECT_TRUE(engraving_file_name("insole.bmp", out));
    EXPECT_EQ(out, "insole.bmp");
    EXPECT_TRUE(engraving_file_name("insole.BMP", out));
    EXPECT_EQ(out, "insole.BMP.bmp");
    EXPECT_TRUE(engraving_file_name("bmp", out));
    EXPECT_EQ(out, "bmp.bmp");
    EXPECT_TRUE(engraving_file_name("/a/鞋墊", out));
    EXPECT_EQ(out, "/a/鞋墊.bmp");
    EXPECT_TRUE(engraving_file_name(std::string(495, 'a'), out));
    EXPECT_EQ(out.size(), 499u);
    EXPECT_FALSE(engraving_file_name(std::string(496, 'a'), out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(engraving_file_name(std::string(495, 'a') + ".bmp", out));
    EXPECT_FALSE(engraving_file_name(std::string(5000, 'a'), out));
}

TEST(EngravingBmp, FailuresKeepTheExistingFileAndLeaveNothingBehind) {
    auto ws = relief_workspace();
    fill_export_image(*ws);
    const std::string dir = test::scratch_dir();
    const std::string path = dir + "/kept.bmp";
    test::write_file(path, {1, 2, 3});

    EXPECT_FALSE(
        write_engraving_bmp(dir + "/no/such/folder/x.bmp", ws->export_image).message().empty());
    // A name that is a folder cannot be replaced.
    mkdir((dir + "/folder.bmp").c_str(), 0755);
    EXPECT_FALSE(write_engraving_bmp(dir + "/folder.bmp", ws->export_image));

    if (geteuid() != 0) {  // root writes into read-only folders
        chmod(dir.c_str(), 0555);
        EXPECT_FALSE(write_engraving_bmp(path, ws->export_image));
        chmod(dir.c_str(), 0755);
    }
    EXPECT_EQ(test::read_file(path), (std::vector<uint8_t>{1, 2, 3}));

    // A disk that fills up part way: the file size limit cuts the write short.
    {
        struct rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 100000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Result result = write_engraving_bmp(path, ws->export_image);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_NE(result.message().find("cannot write"), std::string::npos) << result.message();
    }
    EXPECT_EQ(test::read_file(path), (std::vector<uint8_t>{1, 2, 3}));

    // Success replaces the old file whole.
    ASSERT_TRUE(write_engraving_bmp(path, ws->export_image));
    EXPECT_EQ(test::read_file(path).size(), 216054u);
    // No temporary files are left beside it.
    const std::string listing = dir + "/listing.txt";
    ASSERT_EQ(std::system(("ls -A '" + dir + "' > '" + listing + "'").c_str()), 0);
    const std::vector<uint8_t> names = test::read_file(listing);
    EXPECT_EQ(std::string(names.begin(), names.end()), "folder.bmp\nkept.bmp\nlisting.txt\n");
}

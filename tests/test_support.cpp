#include "tests/test_support.h"

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <zip.h>

#include "core/console.h"
#include "import/pressure_import.h"
#include "io/resource_files.h"
#include "relief/engraving_bmp.h"
#include "relief/foot_axis.h"

namespace pedaform {
namespace test {

std::unique_ptr<Resources> startup_resources() {
    auto res = std::make_unique<Resources>();
    std::FILE *saved = console();
    set_console(nullptr);
    const Warnings warnings = load_startup_resources(*res, PEDAFORM_DATA_DIR);
    set_console(saved);
    EXPECT_EQ(warnings.texts(), std::vector<std::string>());
    return res;
}

namespace {
std::vector<std::string> g_dirs;
void remove_dirs() {
    for (const std::string &d : g_dirs)
        std::filesystem::remove_all(d);
}
}  // namespace

std::string unzipped(const std::string &name) {
    const std::string path = PEDAFORM_SOURCE_DIR "/tests/data/plates/" + name;
    int error = 0;
    zip_t *z = zip_open(path.c_str(), ZIP_RDONLY, &error);
    zip_stat_t st;
    if (z == nullptr || zip_stat_index(z, 0, 0, &st) != 0) return "";
    std::string text(st.size, '\0');
    zip_file_t *f = zip_fopen_index(z, 0, 0);
    const zip_int64_t read = zip_fread(f, text.data(), st.size);
    zip_fclose(f);
    zip_close(z);
    return read == static_cast<zip_int64_t>(st.size) ? text : "";
}

std::array<std::string, 2> plate_pair_scans(const std::string &dir) {
    ImportOptions o;
    o.row_pitch_mm = 7.62, o.col_pitch_mm = 5.08, o.units = "N/cm2";
    const Result<Import> im = import_recording(unzipped("barefoot_2.zip"), o);
    EXPECT_TRUE(im) << im.message();
    std::array<std::string, 2> paths = {dir + "/barefoot_2_L.bmp", dir + "/barefoot_2_R.bmp"};
    for (size_t k = 0; im && k < im->scans.size() && k < 2; ++k) {
        std::vector<uint8_t> bmp;
        encode_bmp32(im->scans[k].pixels.data(), kGridWidth, kGridHeight, bmp);
        write_file(paths[k], bmp);
    }
    return paths;
}

std::string scratch_dir() {
    const char *base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base != nullptr ? base : "/tmp") + "/pedaform-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) std::abort();
    if (g_dirs.empty()) std::atexit(remove_dirs);
    g_dirs.push_back(buf.data());
    return buf.data();
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::string capture_console_impl(void (*call)(void *), void *arg) {
    std::FILE *saved = console();
    char *buffer = nullptr;
    size_t size = 0;
    std::FILE *mem = open_memstream(&buffer, &size);
    set_console(mem);
    call(arg);
    std::fclose(mem);
    set_console(saved);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

void expect_same_bytes(const std::vector<uint8_t> &expected, const std::vector<uint8_t> &actual) {
    if (expected == actual) return;
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i])
        ++i;
    ADD_FAILURE() << "sizes " << expected.size() << " and " << actual.size()
                  << ", first difference at byte " << i;
}

void fill_rect(uint8_t *grid, int x0, int y0, int x1, int y1, uint8_t value) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            grid[y * kGridWidth + x] = value;
}

std::unique_ptr<Parts> foot_parts(uint8_t base) {
    auto parts = std::make_unique<Parts>();
    fill_rect(parts->scan.base_grid, 20, 20, 129, 339, base);
    std::memcpy(parts->results.relief_grid, parts->scan.base_grid, kGridCells);
    return parts;
}

void ramp_colour_table(Resources &res) {
    for (int k = 0; k < 256; ++k) {
        res.colour_table[k][0] = static_cast<uint8_t>(k);
        res.colour_table[k][1] = static_cast<uint8_t>(255 - k);
        res.colour_table[k][2] = static_cast<uint8_t>(k / 2);
    }
}

Picture blank_scan() {
    Picture p;
    p.width = kGridWidth, p.height = kGridHeight, p.bpp = 32;
    p.pitch = p.line_bytes = 4 * kGridWidth;
    p.bits.assign(4 * kGridCells, 0);
    return p;
}

void write_picture(const std::string &path, int w, int h, int bpp, int (*value)(int, int),
                   bool png) {
    FIBITMAP *b = FreeImage_Allocate(w, h, bpp);
    const int step = bpp / 8;
    for (int y = 0; y < h; ++y) {
        BYTE *line = FreeImage_GetScanLine(b, y);
        for (int x = 0; x < w; ++x) {
            line[x * step] = static_cast<BYTE>(value(x, y));
            for (int k = 1; k < step; ++k)
                line[x * step + k] = static_cast<BYTE>(7 * k);
        }
    }
    EXPECT_TRUE(FreeImage_Save(png ? FIF_PNG : FIF_BMP, b, path.c_str(), 0)) << path;
    FreeImage_Unload(b);
}

std::vector<std::string> files_in(const std::string &dir) {
    std::vector<std::string> files;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string()[0] != '.') files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

// How far the cells of `mask` reach along the line through `p` in direction `d` (unit), each
// way: the farthest point, in 0.25 mm steps, whose nearest cell is set.
std::pair<double, double> reach_along(const uint8_t *mask, GridDirection p, GridDirection d) {
    double low = 0, high = 0;
    for (double t = -150; t <= 150; t += 0.25) {
        const long x = std::lround(p.column + t * d.column), y = std::lround(p.row + t * d.row);
        if (x < 0 || x >= kGridWidth || y < 0 || y >= kGridHeight || !mask[y * kGridWidth + x])
            continue;
        low = std::min(low, t), high = std::max(high, t);
    }
    return {low, high};
}

// The farthest the insole's border cells behind the line through landmarks 2 and 4 lie from
// the nearest foot cell, mm.
double cup_rim_reach(const Scan &scan, const uint8_t *insole) {
    const std::optional<GridDirection> heel_ward =
        heel_ward_normal(scan, scan.landmarks[2], scan.landmarks[4]);
    EXPECT_TRUE(heel_ward);
    if (!heel_ward) return 0;
    const Landmark &c = scan.landmarks[2];
    double farthest = 0;
    for (int i = kGridWidth; i < kGridCells - kGridWidth; ++i) {
        const int x = i % kGridWidth, y = i / kGridWidth;
        if (!insole[i] || heel_ward->column * (x - c.column) + heel_ward->row * (y - c.row) <= 0)
            continue;
        if (insole[i - 1] && insole[i + 1] && insole[i - kGridWidth] && insole[i + kGridWidth])
            continue;
        double nearest = 1e9;
        for (int f = 0; f < kGridCells; ++f)
            if (scan.base_grid[f])
                nearest = std::min(nearest, std::hypot(f % kGridWidth - x, f / kGridWidth - y));
        farthest = std::max(farthest, nearest);
    }
    return farthest;
}

}  // namespace

void expect_insole_fits_foot(const Scan &scan, const uint8_t *insole) {
    const FootAxis axis = foot_axis(scan);
    ASSERT_TRUE(axis.toe_ward);
    const GridDirection t = *axis.toe_ward, across{t.row, -t.column};
    const Landmark &a = scan.landmarks[0], &b = scan.landmarks[1];
    const double n = std::hypot(b.column - a.column, b.row - a.row);
    const std::pair<GridDirection, GridDirection> lines[] = {
        {{axis.heel.column + 15 * t.column, axis.heel.row + 15 * t.row}, across},
        {{a.column, a.row}, {(b.column - a.column) / n, (b.row - a.row) / n}}};
    for (const auto &[p, d] : lines) {
        const auto foot = reach_along(scan.base_grid, p, d), sole = reach_along(insole, p, d);
        EXPECT_GE(foot.first - sole.first, 2) << "the line through row " << p.row;
        EXPECT_LE(foot.first - sole.first, 12) << "the line through row " << p.row;
        EXPECT_GE(sole.second - foot.second, 2) << "the line through row " << p.row;
        EXPECT_LE(sole.second - foot.second, 12) << "the line through row " << p.row;
    }
    EXPECT_LE(cup_rim_reach(scan, insole), 12);
}

std::string command_output(const std::string &command) {
    std::string out;
    std::FILE *p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    EXPECT_EQ(pclose(p), 0) << command;
    return out;
}

}  // namespace test
}  // namespace pedaform

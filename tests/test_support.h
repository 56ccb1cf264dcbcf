// Helpers shared by the tests: the generated data, hand-made design parts, scratch folders and
// files.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "tools/synth.h"
#include "core/design_results.h"
#include "core/resources.h"
#include "core/scan.h"

namespace pedaform {
namespace test {

// The generated data files, read as at start-up (console silenced).
std::unique_ptr<Resources> startup_resources();

// A design's parts as the tests put them together by hand.
struct Parts {
    Resources res;
    Scan scan;
    DesignResults results;
};

// A fresh empty folder under the system's temporary folder, removed at process exit.
std::string scratch_dir();

void write_file(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> read_file(const std::string &path);

std::string capture_console_impl(void (*call)(void *), void *arg);

// Runs `f` with the console routed to a string and returns what it printed.
template <typename F>
std::string capture_console(F &&f) {
    return capture_console_impl([](void *p) { (*static_cast<F *>(p))(); }, &f);
}

// Expects two byte strings to be equal; a difference is reported by the sizes and the first
// differing offset rather than by printing both.
void expect_same_bytes(const std::vector<uint8_t> &expected, const std::vector<uint8_t> &actual);

// A grid where every cell is `value` inside [x0, x1] x [y0, y1] and 0 elsewhere.
void fill_rect(uint8_t *grid, int x0, int y0, int x1, int y1, uint8_t value);

// Start values and a foot of `base` over columns 20..129, rows 20..339 (relief = base).
std::unique_ptr<Parts> foot_parts(uint8_t base);

// Colour table entry k = {k, 255 - k, k / 2}: each channel tells which entry was used.
void ramp_colour_table(Resources &res);

// A 150 x 360 x 32-bit scan with every byte 0; pixel (x, y) starts at bits[4 * (y * 150 + x)].
Picture blank_scan();

// Writes a w x h BMP (or PNG) of `bpp` bits: first byte value(x, y), other channels not.
void write_picture(const std::string &path, int w, int h, int bpp, int (*value)(int, int),
                   bool png = false);

// The one file of a zip archive of tests/data/plates; "" when it cannot be read.
std::string unzipped(const std::string &name);

// The left and right feet's scans the importer makes of the plate recording barefoot_2 (its
// documented pitch and unit), written as dir/barefoot_2_L.bmp and dir/barefoot_2_R.bmp; their
// paths, left first.
std::array<std::string, 2> plate_pair_scans(const std::string &dir);

// The fitted insole (`insole`, kGridCells, non-zero on insole cells) around the scan's foot (its
// base cells): on the row 15 mm in front of the heel's centre and on the metatarsal line it
// reaches 2 to 12 mm beyond the foot's contact edge on each side, and behind the line through
// landmarks 2 and 4 its border lies within 12 mm of the foot. One expectation a fact.
void expect_insole_fits_foot(const Scan &scan, const uint8_t *insole);

// The files of a folder (not its sub-folders), sorted; names starting with '.' are skipped.
std::vector<std::string> files_in(const std::string &dir);

// The standard output of a shell command; a failing command fails the test.
std::string command_output(const std::string &command);

}  // namespace test
}  // namespace pedaform

// Closed solids, header-only so that the fuzz targets share it without GoogleTest.
#include <algorithm>
#include <array>
#include <map>

#include "model3d/mesh.h"

namespace pedaform {
namespace test {

struct SolidCheck {
    size_t bad_edges = 0;  // directed edges without exactly one opposite edge, or used twice
    double volume = 0;     // signed: positive when the triangles face outward
    bool closed() const { return bad_edges == 0 && volume > 0; }
};

// Triangles as vertex ids, counter-clockwise seen from outside; at(id) gives the Vertex.
template <typename At>
SolidCheck check_solid(const std::vector<std::array<uint32_t, 3>> &triangles, At at) {
    SolidCheck s;
    std::vector<uint64_t> edges;
    for (const auto &t : triangles) {
        for (int k = 0; k < 3; ++k)
            edges.push_back(uint64_t{t[k]} << 32 | t[(k + 1) % 3]);
        const Vertex a = at(t[0]), b = at(t[1]), c = at(t[2]);
        s.volume += (double{a.x} * (double{b.y} * c.z - double{b.z} * c.y) +
                     double{a.y} * (double{b.z} * c.x - double{b.x} * c.z) +
                     double{a.z} * (double{b.x} * c.y - double{b.y} * c.x)) /
                    6;
    }
    std::sort(edges.begin(), edges.end());
    for (const uint64_t e : edges) {
        const uint64_t back = e << 32 | e >> 32;
        const auto same = std::equal_range(edges.begin(), edges.end(), e);
        const auto opposite = std::equal_range(edges.begin(), edges.end(), back);
        s.bad_edges +=
            e == back || same.second - same.first != 1 || opposite.second - opposite.first != 1;
    }
    return s;
}

// A mesh by its vertex ids; with `by_position`, vertices are one point exactly when their
// coordinates are equal, as an STL reader sees them.
inline SolidCheck check_solid(const Mesh &mesh, bool by_position = false) {
    std::vector<std::array<uint32_t, 3>> triangles;
    std::map<std::array<float, 3>, uint32_t> ids;
    for (const Triangle &t : mesh.triangles) {
        triangles.push_back({t.v[0], t.v[1], t.v[2]});
        for (uint32_t &v : triangles.back()) {
            const Vertex &p = mesh.vertices[v];
            if (by_position) v = ids.emplace(std::array<float, 3>{p.x, p.y, p.z}, v).first->second;
        }
    }
    return check_solid(triangles, [&](uint32_t id) { return mesh.vertices[id]; });
}

}  // namespace test
}  // namespace pedaform

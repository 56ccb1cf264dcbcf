// The 3D-print mesh: outline trace, corners, facets and file format; termination on hard
// footprints; the closed solid's edges; the fast writer against the plain one.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <tuple>

#include "analysis/scan_loader.h"
#include "bench/stl_reference.h"
#include "model3d/relief_mesh.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

struct Export {
    MeshOutline outline;
    std::vector<Facet> facets;
    std::string text;
    std::string log;
};

Export run(Workspace &ws) {
    Export e;
    e.log = test::capture_console([&] {
        e.outline = prepare_relief_mesh(ws);
        build_surface_facets(ws, e.outline, e.facets);
    });
    write_ascii_stl(e.facets, e.text);
    return e;
}

std::unique_ptr<Workspace> rectangle(int x0, int y0, int x1, int y1, uint8_t v = 100) {
    auto ws = std::make_unique<Workspace>();
    test::fill_rect(ws->relief_grid, x0, y0, x1, y1, v);
    return ws;
}

bool same(const OutlinePoint &p, float x, float y) {
    return p.x == x && p.y == y;
}

// Every edge (by exact coordinates) must be used by exactly two facets in opposite directions.
void expect_closed_manifold(const std::vector<Facet> &facets, const char *what) {
    using Key = std::tuple<float, float, float, float, float, float>;
    std::map<Key, int> directed;
    for (const Facet &f : facets)
        for (int k = 0; k < 3; ++k) {
            const Vertex &a = f.v[k], &b = f.v[(k + 1) % 3];
            ++directed[Key{a.x, a.y, a.z, b.x, b.y, b.z}];
        }
    int bad = 0;
    for (const auto &[key, count] : directed) {
        const auto &[ax, ay, az, bx, by, bz] = key;
        const auto back = directed.find(Key{bx, by, bz, ax, ay, az});
        if (count != 1 || back == directed.end() || back->second != 1) ++bad;
    }
    EXPECT_EQ(bad, 0) << what;
    // Outward normals: the signed volume is positive.
    double volume = 0;
    for (const Facet &f : facets) {
        const Vertex &a = f.v[0], &b = f.v[1], &c = f.v[2];
        volume += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
                   a.z * (b.x * c.y - b.y * c.x)) /
                  6.0;
    }
    EXPECT_GT(volume, 0) << what;
}

void random_blob(Workspace &ws, std::mt19937 &rng) {
    std::memset(ws.relief_grid, 0, kGridCells);
    const int blobs = 1 + rng() % 6;
    for (int b = 0; b < blobs; ++b) {
        const int cx = rng() % 150, cy = rng() % 360, r = 1 + rng() % 40;
        const int rx = 1 + rng() % 30;
        for (int y = std::max(0, cy - r); y < std::min(360, cy + r); ++y)
            for (int x = std::max(0, cx - rx); x < std::min(150, cx + rx); ++x)
                if ((x - cx) * (x - cx) * r * r + (y - cy) * (y - cy) * rx * rx <= r * r * rx * rx)
                    ws.relief_grid[y * 150 + x] = static_cast<uint8_t>(10 + rng() % 60);
    }
    // Sprinkle single cells and thin lines: spurs, pinches, diagonal contacts.
    for (int k = rng() % 30; k > 0; --k)
        ws.relief_grid[rng() % kGridCells] = static_cast<uint8_t>(1 + rng() % 255);
}

}  // namespace

TEST(StlExport, FilledRectangles) {
    for (auto [w, h] : {std::pair{3, 3}, std::pair{10, 10}, std::pair{5, 12}}) {
        const int x0 = 40, y0 = 100, x1 = x0 + w - 1, y1 = y0 + h - 1;
        auto ws = rectangle(x0, y0, x1, y1);
        const Export e = run(*ws);
        ASSERT_TRUE(e.outline.closed);
        ASSERT_EQ(ws->outline_points.size(), static_cast<size_t>(2 * (w + h) - 5));
        EXPECT_TRUE(same(ws->outline_points[0], x0, y1));
        EXPECT_TRUE(same(ws->outline_points[w - 1], x1, y1));
        EXPECT_TRUE(same(ws->outline_points.back(), x0, y1 - 1));
        // The bottom-left cell is cut by the diagonal step.
        for (const OutlinePoint &p : ws->outline_points)
            EXPECT_FALSE(same(p, x0, y0));
        ASSERT_EQ(ws->outline_corners.size(), 3u);
        EXPECT_TRUE(same(ws->outline_points[ws->outline_corners[0]], x0, y1));
        EXPECT_TRUE(same(ws->outline_points[ws->outline_corners[1]], x1, y1));
        EXPECT_TRUE(same(ws->outline_points[ws->outline_corners[2]], x1, y0));
        EXPECT_EQ(e.log, "t_point 3\nt_point 3\ncount_line 0\n");
        ASSERT_EQ(e.facets.size(), static_cast<size_t>(2 * (w - 1) * (h - 1) + 1));
        const Facet &edge = e.facets.back();
        EXPECT_EQ(edge.v[0].x, x1);
        EXPECT_EQ(edge.v[0].y, y1);
        EXPECT_EQ(edge.v[1].x, x0);
        EXPECT_EQ(edge.v[1].y, y1);
        EXPECT_EQ(edge.v[2].x, x1);
        EXPECT_EQ(edge.v[2].y, y0);
    }
}

TEST(StlExport, FileFormat) {
    auto ws = rectangle(3, 4, 5, 6, 100);
    const Export e = run(*ws);
    EXPECT_EQ(e.text.rfind("solid\nfacet normal 0.000000 0.000000 1.000000\nouter loop\n"
                           "vertex 3.000000 4.000000 20.000000\n"
                           "vertex 4.000000 4.000000 20.000000\n"
                           "vertex 4.000000 5.000000 20.000000\nendloop\nendfacet\n",
                           0),
              0u)
        << e.text.substr(0, 300);
    EXPECT_EQ(e.text.substr(e.text.size() - 17), "endfacet\nendsolid");
    // 7 lines per facet, plus the first and the last.
    EXPECT_EQ(std::count(e.text.begin(), e.text.end(), '\n'),
              static_cast<long>(7 * e.facets.size() + 1));
    // A zero cross product writes 0 0 0.
    Facet flat{{{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}};
    const Vertex n = facet_normal(flat);
    EXPECT_EQ(n.x, 0.0f);
    EXPECT_EQ(n.y, 0.0f);
    EXPECT_EQ(n.z, 0.0f);
}

TEST(StlExport, BorderCellsGiveFacetsButNoOutline) {
    auto ws = std::make_unique<Workspace>();
    test::fill_rect(ws->relief_grid, 0, 0, 4, 359, 50);    // column 0 and rows 0, 359
    test::fill_rect(ws->relief_grid, 147, 0, 149, 2, 50);  // column 149
    const Export e = run(*ws);
    for (const OutlinePoint &p : ws->outline_points) {
        EXPECT_GE(p.x, 1);
        EXPECT_LE(p.x, 148);
        EXPECT_GE(p.y, 1);
        EXPECT_LE(p.y, 358);
    }
    bool row0 = false, col149 = false;
    for (const Facet &f : e.facets)
        for (const Vertex &v : f.v) {
            row0 = row0 || v.y == 0;
            col149 = col149 || v.x == 149;
        }
    EXPECT_TRUE(row0);
    EXPECT_TRUE(col149);
}

TEST(StlExport, ThreeCornersGiveNoTopFacet) {
    auto ws = std::make_unique<Workspace>();
    ws->relief_grid[100 * 150 + 50] = 40;
    ws->relief_grid[100 * 150 + 51] = 40;
    ws->relief_grid[101 * 150 + 50] = 40;
    const Export e = run(*ws);
    for (const Facet &f : e.facets)
        for (const Vertex &v : f.v)
            EXPECT_FALSE(v.x == 51 && v.y == 101);
    size_t top = 0;
    for (const Facet &f : e.facets)
        top += f.v[0].z == 8.0f && f.v[1].z == 8.0f && f.v[2].z == 8.0f;
    EXPECT_LE(top, 1u);  // at most the one edge facet
}

TEST(StlExport, RepeatedExportsAreIdenticalAndReliefUntouched) {
    auto ws = test::startup_workspace();
    synth::ScanRecipe recipe;
    recipe.length = 279;
    Picture scan = synth::make_scan(recipe);
    test::capture_console([&] { load_scan_picture(*ws, scan, 3); });
    const std::vector<uint8_t> relief(ws->relief_grid, ws->relief_grid + kGridCells);
    const Export a = run(*ws);
    const Export b = run(*ws);
    EXPECT_EQ(a.text, b.text);
    EXPECT_TRUE(a.outline.closed);
    EXPECT_GT(a.facets.size(), 20000u);
    EXPECT_EQ(relief, std::vector<uint8_t>(ws->relief_grid, ws->relief_grid + kGridCells));
}

TEST(StlExport, ShippedWriterMatchesThePlainOneByteForByte) {
    auto ws = test::startup_workspace();
    synth::ScanRecipe recipe;
    recipe.right_foot = true;
    Picture scan = synth::make_scan(recipe);
    test::capture_console([&] { load_scan_picture(*ws, scan, 3); });
    // Fractional heights: a levelled outline and a relief with many values.
    for (int i = 0; i < kGridCells; ++i)
        if (ws->relief_grid[i]) ws->relief_grid[i] = static_cast<uint8_t>(10 + (i * 37) % 240);
    const Export e = run(*ws);
    const std::string path = test::scratch_dir() + "/ref.stl";
    std::FILE *f = std::fopen(path.c_str(), "w");
    write_ascii_stl_reference(e.facets, f);
    std::fclose(f);
    const std::vector<uint8_t> ref = test::read_file(path);
    ASSERT_EQ(std::string(ref.begin(), ref.end()), e.text);
}

TEST(StlExport, TraceTerminatesOnHardFootprints) {
    // Two cells high and ten wide: the trace would circle along the far end.
    {
        auto ws = rectangle(50, 100, 59, 101);
        const Export e = run(*ws);
        EXPECT_LT(ws->outline_points.size(), 200u);
    }
    // A one-cell spur: a dead end.
    {
        auto ws = rectangle(50, 100, 70, 130);
        test::fill_rect(ws->relief_grid, 60, 131, 60, 150, 100);
        const Export e = run(*ws);
        EXPECT_LT(ws->outline_points.size(), 54000u);
    }
    // Nothing inside the traced area: no outline, the top surface all the same.
    {
        auto ws = std::make_unique<Workspace>();
        test::fill_rect(ws->relief_grid, 0, 0, 149, 0, 30);
        test::fill_rect(ws->relief_grid, 0, 1, 149, 1, 0);
        const Export e = run(*ws);
        EXPECT_FALSE(e.outline.traced);
        EXPECT_TRUE(ws->outline_points.empty());
        EXPECT_NE(e.log.find("no boundary cell"), std::string::npos);
    }
}

TEST(StlExport, RandomBlobsAlwaysFinish) {
    std::mt19937 rng(2024);
    auto ws = std::make_unique<Workspace>();
    int closed = 0;
    for (int seed = 0; seed < 300; ++seed) {
        random_blob(*ws, rng);
        const Export e = run(*ws);
        ASSERT_LE(ws->outline_points.size(), 54000u);
        if (e.outline.traced && !e.outline.closed) {
            ASSERT_NE(e.log.find("outline not closed"), std::string::npos);
        }
        closed += e.outline.closed;
        for (const Facet &f : e.facets)
            for (const Vertex &v : f.v)
                ASSERT_TRUE(std::isfinite(v.z));
    }
    EXPECT_GT(closed, 50);
}

TEST(StlSolid, SamplesAndBlobsAreClosedManifolds) {
    auto ws = test::startup_workspace();
    for (int length : {191, 253, 305}) {
        for (bool right : {false, true}) {
            synth::ScanRecipe recipe;
            recipe.length = length;
            recipe.right_foot = right;
            Picture scan = synth::make_scan(recipe);
            test::capture_console([&] { load_scan_picture(*ws, scan, 3); });
            std::vector<Facet> facets;
            test::capture_console([&] { prepare_relief_mesh(*ws); });
            build_solid_facets(*ws, facets);
            expect_closed_manifold(facets, "sample");
        }
    }
    std::mt19937 rng(77);
    for (int seed = 0; seed < 60; ++seed) {
        random_blob(*ws, rng);
        test::capture_console([&] { prepare_relief_mesh(*ws); });
        for (SolidBottom bottom : {SolidBottom::kPerCell, SolidBottom::kStrips}) {
            std::vector<Facet> facets;
            build_solid_facets(*ws, facets, bottom);
            if (!facets.empty()) expect_closed_manifold(facets, "blob");
        }
    }
}

TEST(StlSolid, DiagonalContactIsSplit) {
    auto ws = std::make_unique<Workspace>();
    // Cells (10..11, 10..11) and (12..13, 12..13) have all four corners raised; they touch
    // only at lattice point (12, 12).
    test::fill_rect(ws->relief_grid, 10, 10, 12, 12, 50);
    test::fill_rect(ws->relief_grid, 12, 12, 14, 14, 50);
    test::capture_console([&] { prepare_relief_mesh(*ws); });
    for (SolidBottom bottom : {SolidBottom::kPerCell, SolidBottom::kStrips}) {
        std::vector<Facet> facets;
        build_solid_facets(*ws, facets, bottom);
        expect_closed_manifold(facets, "pinch");
        const auto split = std::count_if(facets.begin(), facets.end(), [](const Facet &f) {
            return f.v[0].x == 12.01f || f.v[1].x == 12.01f || f.v[2].x == 12.01f;
        });
        EXPECT_GT(split, 0);
    }
}

TEST(StlSolid, AdmeshFindsNothingToRepair) {
    if (std::system("command -v admesh >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "admesh not installed";
    auto ws = test::startup_workspace();
    synth::ScanRecipe recipe;
    Picture scan = synth::make_scan(recipe);
    test::capture_console([&] { load_scan_picture(*ws, scan, 3); });
    const std::string dir = test::scratch_dir();
    test::capture_console([&] { ASSERT_TRUE(export_relief_solid(*ws, dir + "/solid.stl")); });
    const std::string cmd = "admesh '" + dir + "/solid.stl' > '" + dir + "/report.txt' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::vector<uint8_t> r = test::read_file(dir + "/report.txt");
    const std::string report(r.begin(), r.end());
    for (const char *line : {"Backwards edges       :     0", "Edges fixed           :     0",
                             "Facets reversed       :     0", "Facets added          :     0",
                             "Degenerate facets     :     0"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    EXPECT_NE(report.find("Number of parts       :     1"), std::string::npos) << report;
}

TEST(StlExport, UnwritableTargetKeepsTheOldFile) {
    auto ws = rectangle(20, 20, 40, 40);
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/merge.stl", {'o', 'l', 'd'});
    test::capture_console([&] {
        EXPECT_FALSE(export_relief_stl(*ws, dir + "/missing/merge.stl").message().empty());
        EXPECT_FALSE(export_relief_stl(*ws, dir));  // a folder
    });
    EXPECT_EQ(test::read_file(dir + "/merge.stl"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST(StlExport, DiagonalPairWithBothCandidatesEmptyAddsNothing) {
    // Clusters of squares touching at their corners give closed outlines in which two
    // consecutive corners lie diagonally apart with both candidate cells empty.
    std::mt19937 rng(1);
    auto ws = std::make_unique<Workspace>();
    int checked = 0;
    for (int seed = 0; seed < 3000 && checked < 5; ++seed) {
        std::memset(ws->relief_grid, 0, kGridCells);
        int x = 20 + static_cast<int>(rng() % 50), y = 20 + static_cast<int>(rng() % 100);
        for (int k = 2 + static_cast<int>(rng() % 4); k > 0; --k) {
            const int size = 2 + static_cast<int>(rng() % 4), d = static_cast<int>(rng() % 4);
            test::fill_rect(ws->relief_grid, x, y, x + size - 1, y + size - 1, 50);
            x = std::clamp(x + ((d & 1) ? size : -size), 5, 140);
            y = std::clamp(y + ((d & 2) ? size : -size), 5, 350);
        }
        const Export e = run(*ws);
        if (!e.outline.closed || ws->outline_corners.size() <= 2) continue;
        const auto &pts = ws->outline_points;
        const auto &corners = ws->outline_corners;
        const float *w = ws->export_grid_a;
        for (size_t k = 1; k <= corners.size(); ++k) {
            const OutlinePoint p = pts[corners[k - 1]], q = pts[corners[k % corners.size()]];
            const bool empty_pair = p.x != q.x && p.y != q.y &&
                                    w[static_cast<int>(q.y * 150 + p.x)] == 0 &&
                                    w[static_cast<int>(p.y * 150 + q.x)] == 0;
            if (!empty_pair) continue;
            ++checked;
            for (const Facet &f : e.facets) {
                bool has_p = false, has_q = false;
                for (const Vertex &v : f.v) {
                    has_p = has_p || (v.x == p.x && v.y == p.y);
                    has_q = has_q || (v.x == q.x && v.y == q.y);
                }
                EXPECT_FALSE(has_p && has_q) << "a facet spans the empty diagonal, seed " << seed;
            }
            // The points between them keep the relief's heights.
            for (int m = corners[k - 1] + 1; m < corners[k % corners.size()]; ++m)
                EXPECT_EQ(w[static_cast<int>(pts[m].y * 150 + pts[m].x)], 50.0f);
        }
    }
    EXPECT_GE(checked, 5);
}

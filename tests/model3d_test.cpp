// The model3d layer: outline, repairs, STL bytes, sample feet through admesh, lib3mf and
// PrusaSlicer, zone texts, the fast "%f" against snprintf, the 3D view's vertex array.
#include <gtest/gtest.h>
#include <zip.h>

#include <Model/COM/NMR_DLLInterfaces.h>

#include <cmath>
#include <cstring>
#include <random>
#include <regex>
#include <tuple>

#include "bench/stl_reference.h"
#include "design/design.h"
#include "io/scan_file.h"
#include "model3d/fixed_format.h"
#include "model3d/mesh_arrays.h"
#include "model3d/print_3mf.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

struct Export {
    MeshOutline outline;
    std::vector<Facet> facets;
    std::string text;
};

Export run(MeshWork &ws) {
    Export e;
    test::capture_console([&] { e.outline = prepare_relief_mesh(ws); });
    build_surface_facets(ws, e.outline, e.facets);
    write_ascii_stl(e.facets, e.text);
    return e;
}

std::unique_ptr<MeshWork> rectangle(int x0, int y0, int x1, int y1, uint8_t v) {
    auto ws = std::make_unique<MeshWork>();
    test::fill_rect(ws->relief_grid, x0, y0, x1, y1, v);
    return ws;
}

std::vector<uint8_t> bytes(const std::string &s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

void expect_closed_solids(const MeshWork &ws) {
    for (SolidBottom bottom : {SolidBottom::kPerCell, SolidBottom::kStrips}) {
        std::vector<Facet> facets;
        build_solid_facets(ws, facets, bottom);
        EXPECT_TRUE(facets.empty() || test::check_solid(facets).closed());
    }
}

}  // namespace

TEST(ReliefMesh, TinyReliefAsciiStlByteForByte) {
    // Heights 2, 4, 2, 4 units: the cell's two facets, the edge facet from (4, 4) to (3, 5).
    auto ws = rectangle(3, 4, 4, 5, 20);
    ws->relief_grid[4 * kGridWidth + 3] = ws->relief_grid[5 * kGridWidth + 4] = 10;
    auto facet = [](const char *normal, const char *a, const char *b, const char *c) {
        return std::string("facet normal ") + normal + "\nouter loop\nvertex " + a + "\nvertex " +
               b + "\nvertex " + c + "\nendloop\nendfacet\n";
    };
    const char *p3_4 = "3.000000 4.000000 2.000000", *p4_4 = "4.000000 4.000000 4.000000",
               *p4_5 = "4.000000 5.000000 2.000000", *p3_5 = "3.000000 5.000000 4.000000";
    EXPECT_EQ(run(*ws).text, "solid\n" + facet("-0.666667 0.666667 0.333333", p3_4, p4_4, p4_5) +
                                 facet("0.666667 -0.666667 0.333333", p4_5, p3_5, p3_4) +
                                 facet("0.666667 0.666667 0.333333", p4_5, p3_5, p4_4) +
                                 "endsolid");
}

TEST(ReliefMesh, OneFacetOfBinaryStlByteForByte) {
    std::string out;
    write_binary_stl({Facet{{{1, 2, 3}, {2, 2, 3}, {1, 3, 3}}}}, out);
    ASSERT_EQ(out.size(), 84u + 50u);
    EXPECT_NE(out.compare(0, 5, "solid"), 0);  // a reader would take the file for text
    // Little-endian: count 1; normal (0, 0, 1); the corners; a zero attribute count.
    const uint8_t f1[] = {0, 0, 0x80, 0x3f}, f2[] = {0, 0, 0, 0x40}, f3[] = {0, 0, 0x40, 0x40};
    std::vector<uint8_t> expected = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const uint8_t *f : {f1, f1, f2, f3, f2, f2, f3, f1, f3, f3})
        expected.insert(expected.end(), f, f + 4);
    expected.insert(expected.end(), {0, 0});
    test::expect_same_bytes(expected, bytes(out.substr(80)));
}

TEST(ReliefMesh, TraceAndSpikeRepairOfANotchedBlock) {
    // Column 20 of a 10 x 71 block is cut away in rows 110..top. The trace runs clockwise from
    // the top-left cell (cutting the bottom-left one) and up column 21 from corner (20, 109) to
    // (20, top + 1); a run of over 30 rows has its two middle points moved onto column 20, now
    // corners, their cells taking column 21's height.
    for (auto [top, first] : {std::pair{138, 0}, std::pair{139, 124}, std::pair{150, 130}}) {
        auto ws = rectangle(20, 100, 29, 170, 50);
        test::fill_rect(ws->relief_grid, 21, 100, 21, 170, 60);
        test::fill_rect(ws->relief_grid, 20, 110, 20, top, 0);
        const Export e = run(*ws);
        std::vector<std::pair<float, float>> corners,
            expected = {{20, 170}, {29, 170}, {29, 100}, {20, 109}, {20, top + 1}};
        if (first) expected.insert(expected.end() - 1, {{20, first}, {20, first + 1}});
        for (int32_t k : ws->outline_corners)
            corners.emplace_back(ws->outline_points[k].x, ws->outline_points[k].y);
        EXPECT_EQ(corners, expected) << top;
        EXPECT_EQ(e.outline.corners, e.outline.corners_traced + (first ? 2 : 0));
        for (int y = 110; y <= top; ++y)
            EXPECT_EQ(ws->export_grid_a[y * kGridWidth + 20],
                      y == first || y == first + 1 ? 60.0f : 0.0f);
    }
}

TEST(ReliefMesh, HardFootprintsEndAndGiveClosedSolids) {
    // Two cells high: the trace would circle along the far end. A one-cell spur: a dead end.
    auto ws = rectangle(50, 100, 59, 101, 100);
    run(*ws);
    EXPECT_LT(ws->outline_points.size(), 200u);
    ws = rectangle(50, 100, 70, 130, 100);
    test::fill_rect(ws->relief_grid, 60, 131, 60, 150, 100);
    run(*ws);
    EXPECT_LT(ws->outline_points.size(), 200u);
    // Two squares touching only at (12, 12), which their solids must not share.
    ws = rectangle(10, 10, 12, 12, 50);
    test::fill_rect(ws->relief_grid, 12, 12, 14, 14, 50);
    run(*ws);
    expect_closed_solids(*ws);
    // Consecutive corners (40, 101), (36, 104) with both candidate cells empty: no facet joins.
    ws = rectangle(36, 103, 37, 104, 50);
    test::fill_rect(ws->relief_grid, 38, 101, 40, 103, 50);
    for (const Facet &f : run(*ws).facets) {
        int ends = 0;
        for (const Vertex &v : f.v)
            ends |= (v.x == 40 && v.y == 101) | (v.x == 36 && v.y == 104) << 1;
        EXPECT_NE(ends, 3);
    }
    // An octagon: its cut corners step diagonally in every direction; the trace closes round
    // all of them and comes back to its start.
    ws = std::make_unique<MeshWork>();
    for (int y = 160; y <= 200; ++y) {
        const int inset = std::max({0, 170 - y, y - 190});
        test::fill_rect(ws->relief_grid, 50 + inset, y, 100 - inset, y, 60);
    }
    const Export octagon = run(*ws);
    EXPECT_TRUE(octagon.outline.closed);
    // Nothing inside the traced area: no outline.
    ws = rectangle(0, 0, 149, 0, 30);
    EXPECT_FALSE(run(*ws).outline.traced);
}

namespace {

struct Mesh {  // as lib3mf reads a file back: its unit and its one object's mesh
    DWORD unit = 0;
    std::vector<NMR::MODELMESHVERTEX> v;
    std::vector<NMR::MODELMESHTRIANGLE> t;
    const float *at(size_t triangle, int corner) const {
        return v[t[triangle].m_nIndices[corner]].m_fPosition;
    }
    test::SolidCheck part(size_t first, size_t last, float *z_min, float *z_max) const {
        std::vector<std::array<uint32_t, 3>> triangles;
        for (size_t k = first; k <= last; ++k) {
            const DWORD *i = t[k].m_nIndices;
            triangles.push_back({i[0], i[1], i[2]});
            for (int e = 0; e < 3; ++e)
                *z_min = std::min(*z_min, at(k, e)[2]), *z_max = std::max(*z_max, at(k, e)[2]);
        }
        return test::check_solid(triangles, [&](uint32_t id) {
            return Vertex{v[id].m_fPosition[0], v[id].m_fPosition[1], v[id].m_fPosition[2]};
        });
    }
};

Mesh read_mesh(const std::string &path, const char *kind) {
    using namespace NMR;
    Mesh r;
    PLib3MFModel *model = nullptr;
    PLib3MFModelReader *reader = nullptr;
    PLib3MFModelResourceIterator *it = nullptr;
    lib3mf_createmodel(&model);
    lib3mf_model_queryreader(model, kind, &reader);
    EXPECT_EQ(lib3mf_reader_readfromfileutf8(reader, path.c_str()), 0) << path;
    lib3mf_model_getunit(model, &r.unit);
    lib3mf_model_getobjects(model, &it);
    BOOL one = false;
    PLib3MFModelResource *mesh = nullptr;
    EXPECT_EQ(lib3mf_resourceiterator_movenext(it, &one), 0);
    EXPECT_TRUE(one);
    lib3mf_resourceiterator_getcurrent(it, &mesh);
    DWORD nv = 0, nt = 0;
    lib3mf_meshobject_getvertexcount(mesh, &nv);
    lib3mf_meshobject_gettrianglecount(mesh, &nt);
    r.v.resize(nv);
    r.t.resize(nt);
    lib3mf_meshobject_getvertices(mesh, r.v.data(), nv, nullptr);
    lib3mf_meshobject_gettriangleindices(mesh, r.t.data(), nt, nullptr);
    lib3mf_release(mesh);
    lib3mf_release(it);
    lib3mf_release(reader);
    lib3mf_release(model);
    return r;
}

std::string zip_entry(const std::string &path, const char *name) {
    zip_t *z = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
    zip_stat_t st;
    std::string data;
    if (z && zip_stat(z, name, 0, &st) == 0) {
        data.resize(st.size);
        zip_file_t *f = zip_fopen(z, name, 0);
        EXPECT_EQ(zip_fread(f, &data[0], st.size), static_cast<zip_int64_t>(st.size));
        zip_fclose(f);
    }
    if (z) zip_close(z);
    return data;
}

// For every cell, how many upward triangles of the part lie over a point inside the cell.
void add_footprint(const Mesh &m, size_t first, size_t last, std::vector<int> &covered) {
    for (size_t k = first; k <= last; ++k) {
        const float *a = m.at(k, 0), *b = m.at(k, 1), *c = m.at(k, 2);
        auto side = [](const float *p, const float *q, double x, double y) {
            return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]);
        };
        if (side(a, b, c[0], c[1]) <= 0) continue;  // facing down or vertical
        for (int y = std::max(0, static_cast<int>(std::floor(std::min({a[1], b[1], c[1]}))));
             y <= std::min<float>(std::max({a[1], b[1], c[1]}), kGridHeight - 1); ++y)
            for (int x = std::max(0, static_cast<int>(std::floor(std::min({a[0], b[0], c[0]}))));
                 x <= std::min<float>(std::max({a[0], b[0], c[0]}), kGridWidth - 1); ++x) {
                const double px = x + 0.123, py = y + 0.0567;  // off every lattice line
                if (side(a, b, px, py) > 0 && side(b, c, px, py) > 0 && side(c, a, px, py) > 0)
                    ++covered[y * kGridWidth + x];
            }
    }
}

}  // namespace

TEST(SampleFeet, ThroughAdmeshLib3mfAndPrusaSlicer) {
    double filament[2] = {};
    std::unique_ptr<Resources> res = test::startup_resources();
    Design design(*res, load_scan_file);
    std::unique_ptr<MeshWork> ws;
    const std::string dir = test::scratch_dir(), stl = dir + "/solid.stl", file = stl + ".3mf";
    for (const char *text : {"", "0:35,96:20,160:10", "40:50,120:15", "0:5", "0:60"}) {
        const char *scan = text[0] == '4' ? "right_305_CM29-30.bmp" : "left_253_CM25-26.bmp";
        SCOPED_TRACE(std::string(scan) + " zones \"" + text + "\"");
        std::vector<PrintZone> zones;
        ASSERT_TRUE(parse_print_zones(text, zones).ok() || zones.empty());
        Result r = Result::success();
        test::capture_console([&] {
            ASSERT_TRUE(design.load(std::string(PEDAFORM_DATA_DIR "/samples/") + scan));
            ws = make_mesh_work(design.scan(), design.results());
            ASSERT_TRUE(export_relief_solid(*ws, stl));
            r = export_relief_3mf(*ws, file, zones, {scan, {}});
        });
        ASSERT_TRUE(r.ok()) << r.message();
        if (!*text) {  // the insole alone
            const Export a = run(*ws), b = run(*ws);
            test::expect_same_bytes(bytes(a.text), bytes(b.text));
            const char *clean =
                "'^(Edges fixed|Facets reversed|Facets added) +: +0$|^Number of parts +: +1( |$)'";
            const std::string admesh = "test $(admesh '" + stl + "' | grep -cE " + clean + ") = 4";
            EXPECT_EQ(std::system(admesh.c_str()), 0) << admesh << " (scripts/setup installs it)";
        }
        if (zones.size() == 1) {  // sliced headless, on a bed that holds a 253 mm foot
            const std::string cmd =
                "env -u DISPLAY -u WAYLAND_DISPLAY prusa-slicer --export-gcode "
                "--bed-shape 0x0,400x0,400x400,0x400 --output '" +
                dir + "/g' '" + file + "' > '" + dir + "/log' 2>&1";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd << " (scripts/setup installs it)";
            const std::vector<uint8_t> g = test::read_file(dir + "/g");
            const std::string gcode(g.begin(), g.end());
            const size_t at = gcode.find("; filament used [mm] = ");
            ASSERT_NE(at, std::string::npos);
            filament[zones[0].density > 5] = std::atof(gcode.c_str() + at + 23);
        }
        const Mesh m = read_mesh(file, "3mf"), solid = read_mesh(stl, "stl");
        EXPECT_EQ(m.unit, static_cast<DWORD>(NMR::MODELUNIT_MILLIMETER));

        // The parts by triangle range: the insole alone, or as the slicer's config lists them.
        const std::string config = zip_entry(file, "Metadata/Slic3r_PE_model.config");
        EXPECT_EQ(config.empty(), zones.empty());
        std::vector<std::pair<size_t, size_t>> parts;
        std::vector<std::string> kinds;
        const std::regex volume_re(
            "<volume firstid=\"(\\d+)\" lastid=\"(\\d+)\">([\\s\\S]*?)</volume>");
        for (std::sregex_iterator it(config.begin(), config.end(), volume_re), end; it != end;
             ++it) {
            parts.push_back({std::stoul((*it)[1]), std::stoul((*it)[2])});
            kinds.push_back((*it)[3]);
        }
        if (zones.empty()) parts.push_back({0, m.t.size() - 1}), kinds.push_back("\"ModelPart\"");
        ASSERT_EQ(parts.back().second, m.t.size() - 1);

        std::vector<int> covered(kGridCells, 0), covering_zone(kGridCells, -1);
        float insole_top = 0, unused;
        for (size_t p = 0; p < parts.size(); ++p) {
            float z_min = 1e9f, z_max = -1e9f;
            const test::SolidCheck part = m.part(parts[p].first, parts[p].second, &z_min, &z_max);
            EXPECT_TRUE(part.closed()) << "part " << p << ", " << part.bad_edges;
            if (p == 0) {
                insole_top = z_max;
                const double stl = solid.part(0, solid.t.size() - 1, &unused, &unused).volume;
                EXPECT_NEAR(part.volume, stl, 0.001 * part.volume);
                continue;
            }
            // A modifier through the insole, its zone known by its density (distinct here).
            EXPECT_LT(z_min, 0.0f);
            EXPECT_GT(z_max, insole_top);
            std::smatch d;
            ASSERT_TRUE(std::regex_search(
                kinds[p], d,
                std::regex("ParameterModifier[\\s\\S]*fill_density\" value=\"(\\d+)%")));
            size_t z = 0;
            while (z < zones.size() && zones[z].density != std::stoi(d[1]))
                ++z;
            ASSERT_LT(z, zones.size());
            std::vector<int> mine(kGridCells, 0);
            add_footprint(m, parts[p].first, parts[p].second, mine);
            for (int i = 0; i < kGridCells; ++i)
                if (mine[i]) covered[i] += mine[i], covering_zone[i] = static_cast<int>(z);
        }
        // Foot cells under their pressure's zone only (no slivers here), other cells under none.
        int strays = 0;
        for (int i = 0; i < kGridCells && !zones.empty(); ++i) {
            int own = -1;
            for (size_t k = 0; k < zones.size(); ++k)
                own = zones[k].threshold <= ws->pressure_grid[i] ? static_cast<int>(k) : own;
            ASSERT_LE(covered[i], ws->base_grid[i] ? 1 : 0) << i;
            ASSERT_TRUE(!ws->base_grid[i] || covered[i] == 1 || zones[0].threshold > 0) << i;
            strays += ws->base_grid[i] && covering_zone[i] != own;
        }
        EXPECT_EQ(strays, 0);
    }
    EXPECT_GT(filament[0], 0);
    EXPECT_GT(filament[1], filament[0]);
    // Fractional heights, from a levelled outline over a relief of many values.
    for (int i = 0; i < kGridCells; ++i)
        if (ws->relief_grid[i]) ws->relief_grid[i] = static_cast<uint8_t>(10 + (i * 37) % 240);
    const Export e = run(*ws);
    std::FILE *f = std::fopen((dir + "/ref.stl").c_str(), "w");
    write_ascii_stl_reference(e.facets, f);
    std::fclose(f);
    test::expect_same_bytes(test::read_file(dir + "/ref.stl"), bytes(e.text));
}

TEST(PrintZones, BadTextsAreRefusedAndZonesWithoutFootCellsAreNotExported) {
    for (const char *text : {"", "0:35,", "a:10", "0:35;96:20", "0:3.5", "96:20,96:10",
                             "96:20,50:10", "256:10", "0:101", "0:99999999999"}) {
        std::vector<PrintZone> zones{{1, 1}};
        const Result r = parse_print_zones(text, zones);
        EXPECT_FALSE(r.ok()) << text;
        EXPECT_TRUE(zones.empty()) << text;
        EXPECT_NE(r.message().find("\"0:35,96:20,160:10\""), std::string::npos);
    }
    // Blanks are allowed. Zones that keep no foot cell are not exported; the old file stays.
    std::vector<PrintZone> zones;
    ASSERT_TRUE(parse_print_zones(" 0 : 35 , 255:100", zones).ok());
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(zones[0].density, 35);
    EXPECT_EQ(zones[1].threshold, 255);
    EXPECT_EQ(zones[1].density, 100);
    auto ws = rectangle(40, 100, 70, 160, 30);
    test::fill_rect(ws->base_grid, 40, 100, 70, 160, 30);
    test::fill_rect(ws->pressure_grid, 40, 100, 70, 160, 100);
    const std::string file = test::scratch_dir() + "/zoned.3mf";
    test::write_file(file, {'o', 'l', 'd'});
    ASSERT_TRUE(parse_print_zones("101:0", zones).ok());
    test::capture_console([&] { EXPECT_FALSE(export_relief_3mf(*ws, file, zones, {}).ok()); });
    EXPECT_EQ(test::read_file(file).size(), 3u);
    // Two blocks of a zone touching only at a corner, below which the zone goes on: each
    // block's prism keeps its own vertices there and stays closed.
    test::fill_rect(ws->pressure_grid, 45, 120, 54, 129, 200);
    test::fill_rect(ws->pressure_grid, 55, 130, 64, 139, 200);
    test::fill_rect(ws->pressure_grid, 55, 110, 64, 128, 200);
    PrintModel model;
    test::capture_console([&] { prepare_relief_mesh(*ws); });
    ASSERT_TRUE(build_print_model(*ws, {{0, 35}, {160, 10}}, model));
    for (const PrintPart &part : model.parts) {
        std::vector<std::array<uint32_t, 3>> triangles;
        for (uint32_t k = part.first; k <= part.last; ++k)
            triangles.push_back({model.mesh.triangles[k].v[0], model.mesh.triangles[k].v[1],
                                 model.mesh.triangles[k].v[2]});
        EXPECT_TRUE(
            test::check_solid(triangles, [&](uint32_t id) { return model.mesh.vertices[id]; })
                .closed())
            << part.zone;
    }
    test::fill_rect(ws->pressure_grid, 40, 100, 70, 160, 100);
    // A piece under 8 cells joins the zone around it: 8 cells keep their zone, 7 do not.
    test::fill_rect(ws->pressure_grid, 45, 110, 46, 113, 200);
    test::fill_rect(ws->pressure_grid, 60, 110, 60, 116, 200);
    std::vector<int16_t> cell_zone;
    assign_print_zones(*ws, {{0, 35}, {160, 10}}, cell_zone);
    EXPECT_EQ(cell_zone[113 * 150 + 46], 1);
    EXPECT_EQ(cell_zone[110 * 150 + 60], 0);
}

TEST(FixedFormat, AsSnprintfWritesIt) {
    auto expect_fixed6 = [](float v) {
        char mine[64], theirs[64];
        mine[format_fixed6(v, mine)] = '\0';
        std::snprintf(theirs, sizeof theirs, "%f", static_cast<double>(v));
        ASSERT_STREQ(mine, theirs) << std::hexfloat << v;
    };
    expect_fixed6(-0.0f);
    // k / 2^7 .. k / 2^24 hit exact halves of a millionth: ties go to even.
    for (int shift = 7; shift <= 24; ++shift)
        for (int k = 0; k < 2000; ++k)
            expect_fixed6(std::ldexp(static_cast<float>(k), -shift));
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> mesh_like(-1.0f, 51.0f);  // normals and heights
    for (int i = 0; i < 100000; ++i) {
        const uint32_t bits = rng();
        float v;
        std::memcpy(&v, &bits, 4);
        if (std::isfinite(v)) expect_fixed6(v);
        expect_fixed6(mesh_like(rng));
    }
}

TEST(MeshArrays, DrawnCellsHeightsAndNormals) {
    auto ws = std::make_unique<DesignResults>();
    std::vector<float> out(size_t{kMaxMeshVertices} * kMeshVertexFloats);
    auto build = [&] { return build_mesh_vertices(*ws, false, out.data()); };
    auto v = [&](int k) { return &out[size_t{kMeshVertexFloats} * k]; };
    std::memset(ws->relief_grid, 10, kGridCells);
    EXPECT_EQ(build(), 3 * 2 * 149 * 359);
    // Cells of 9 are not drawn, but a 10 at (row 100, column 50) draws the four cells it is a
    // corner of, the first (99, 49): P1 = (99, 9 / 5, 49), P3 = (100, 10 / 5, 50).
    std::memset(ws->relief_grid, 9, kGridCells);
    ws->relief_grid[100 * 150 + 50] = 10;
    ASSERT_EQ(build(), 4 * 6);
    // {vertex, x, y, z}
    const float corners[][4] = {{0, 99, 9 / 5.0f, 49}, {2, 100, 2, 50}};
    for (const auto &c : corners)
        for (int a = 0; a < 3; ++a)
            EXPECT_EQ(v(static_cast<int>(c[0]))[a], c[1 + a]) << "vertex " << c[0] << " axis " << a;
    // A flat patch: inside it, normals straight up and the base colour.
    test::fill_rect(ws->relief_grid, 10, 10, 20, 20, 50);
    int inner = 0, bad = 0;
    for (int k = 0, n = build(); k < n; ++k)
        if (v(k)[0] > 10 && v(k)[0] < 20 && v(k)[2] > 10 && v(k)[2] < 20)
            ++inner, bad +=
                     v(k)[3] != 0 || !(v(k)[4] > 0) || v(k)[5] != 0 || v(k)[8] != kSurfaceColour[2];
    EXPECT_GT(inner, 0);
    EXPECT_EQ(bad, 0);
    // A sloped cell: heights 2, 4, 7 mm at P1, P2, P3 give (P3 - P1) x (P2 - P1) = (1, 5, 1) x
    // (1, 2, 0) = (-2, 1, -3) for its first triangle.
    uint8_t sloped[kGridWidth + 2] = {10};
    sloped[kGridWidth] = 20, sloped[kGridWidth + 1] = 35;
    const CellQuad q = cell_quad(sloped, 0, 0);
    EXPECT_EQ(q.n1[0], -2);
    EXPECT_EQ(q.n1[1], 1);
    EXPECT_EQ(q.n1[2], -3);
}

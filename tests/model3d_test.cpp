// The model3d layer: outline, repairs, STL bytes, the simplified surface, pressure zones, the
// three slicer forms of the 3MF file read and sliced by the slicers' own code (lib3mf, admesh,
// PrusaSlicer, Savitar, CuraEngine), the fast "%f" against snprintf, the 3D view's vertices.
#include <gtest/gtest.h>
#include <zip.h>

#include <Model/COM/NMR_DLLInterfaces.h>

#include <cmath>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <sstream>

#include "design/design.h"
#include "io/scan_file.h"
#include "model3d/fixed_format.h"
#include "model3d/mesh_arrays.h"
#include "model3d/print_3mf.h"
#include "relief/smoothing.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

struct Export {
    PreparedRelief prepared;
    Mesh mesh;
    std::string text;
};

Export run(const uint8_t *relief) {
    Export e;
    test::capture_console([&] { e.prepared = prepare_relief(relief); });
    build_open_surface(e.prepared, e.mesh);
    write_ascii_stl(e.mesh, e.text);
    return e;
}

std::unique_ptr<test::Parts> rectangle(int x0, int y0, int x1, int y1, uint8_t v) {
    auto ws = std::make_unique<test::Parts>();
    test::fill_rect(ws->results.relief_grid, x0, y0, x1, y1, v);
    return ws;
}

std::string text_of(const std::string &path) {
    const std::vector<uint8_t> b = test::read_file(path);
    return std::string(b.begin(), b.end());
}

double cross(const Vertex &a, const Vertex &b, double x, double y) {
    return (double{b.x} - a.x) * (y - a.y) - (double{b.y} - a.y) * (x - a.x);
}

// Calls at(i, z) for every grid point i (moved by dx, dy) under an upward triangle of `m` (only
// those above z = 0 with `top_only`), z its height there; returns the triangles facing down.
template <typename At>
int for_points_under(const Mesh &m, double dx, double dy, bool top_only, At at) {
    int down = 0;
    for (const Triangle &t : m.triangles) {
        const Vertex &a = m.corner(t, 0), &b = m.corner(t, 1), &d = m.corner(t, 2);
        if (top_only && !(a.z > 0 && b.z > 0 && d.z > 0)) continue;
        const double area = cross(a, b, d.x, d.y);
        if (!(area > 0)) {
            down += top_only;
            continue;
        }
        for (int y = std::max(0, static_cast<int>(std::min({a.y, b.y, d.y})) - 1);
             y <= std::min<float>(std::max({a.y, b.y, d.y}), kGridHeight - 1); ++y)
            for (int x = std::max(0, static_cast<int>(std::min({a.x, b.x, d.x})) - 1);
                 x <= std::min<float>(std::max({a.x, b.x, d.x}), kGridWidth - 1); ++x) {
                const double l1 = cross(b, d, x + dx, y + dy) / area;
                const double l2 = cross(d, a, x + dx, y + dy) / area;
                if (l1 >= -1e-6 && l2 >= -1e-6 && 1 - l1 - l2 >= -1e-6)
                    at(y * kGridWidth + x, l1 * a.z + l2 * b.z + (1 - l1 - l2) * d.z);
            }
    }
    return down;
}

// The top of an insole solid against the prepared heights, seen from above: its largest
// vertical distance at a grid point of the insole, and the triangles facing down plus the
// points left uncovered.
std::pair<double, int> check_top(const Mesh &m, const PreparedRelief &p) {
    std::vector<double> z(kGridCells, NAN);
    std::pair<double, int> c{0,
                             for_points_under(m, 0, 0, true, [&](int i, double h) { z[i] = h; })};
    std::vector<uint8_t> insole;
    mark_insole_cells(p.heights.data(), insole);
    for (int i = 0; i < kGridCells; ++i)
        if (insole[i]) {
            c.second += std::isnan(z[i]);
            c.first = std::max(c.first, std::fabs(z[i] - p.heights[i] / 5.0));
        }
    return c;
}

// The mesh objects of a 3MF (or STL) file as lib3mf reads them, by object id.
std::map<DWORD, Mesh> read_3mf(const std::string &path, const char *kind = "3mf") {
    using namespace NMR;
    std::map<DWORD, Mesh> r;
    PLib3MFModel *model = nullptr;
    PLib3MFModelReader *reader = nullptr;
    PLib3MFModelResourceIterator *it = nullptr;
    lib3mf_createmodel(&model);
    lib3mf_model_queryreader(model, kind, &reader);
    EXPECT_EQ(lib3mf_reader_readfromfileutf8(reader, path.c_str()), 0) << path;
    lib3mf_model_getobjects(model, &it);
    BOOL more = false;
    while (lib3mf_resourceiterator_movenext(it, &more) == 0 && more) {
        PLib3MFModelResource *object = nullptr;
        lib3mf_resourceiterator_getcurrent(it, &object);
        BOOL mesh = false;
        DWORD id = 0, nv = 0, nt = 0;
        lib3mf_object_ismeshobject(object, &mesh);
        lib3mf_resource_getresourceid(object, &id);
        static_assert(sizeof(MODELMESHVERTEX) == sizeof(Vertex), "three floats");
        static_assert(sizeof(MODELMESHTRIANGLE) == sizeof(Triangle), "three indices");
        if (mesh) {
            lib3mf_meshobject_getvertexcount(object, &nv);
            lib3mf_meshobject_gettrianglecount(object, &nt);
            Mesh &m = r[id];
            m.vertices.resize(nv);
            m.triangles.resize(nt);
            lib3mf_meshobject_getvertices(
                object, reinterpret_cast<MODELMESHVERTEX *>(m.vertices.data()), nv, nullptr);
            lib3mf_meshobject_gettriangleindices(
                object, reinterpret_cast<MODELMESHTRIANGLE *>(m.triangles.data()), nt, nullptr);
        }
        lib3mf_release(object);
    }
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

Mesh part_of(const Mesh &m, size_t first, size_t last) {
    Mesh part{m.vertices, {m.triangles.begin() + first, m.triangles.begin() + last + 1}};
    drop_unused_vertices(part);
    return part;
}

// A part as the slicer sees it: its mesh, and the infill density it sets (-1: the insole).
struct SlicerPart {
    Mesh mesh;
    int density = -1;
};

// The parts of a zoned file as its slicer finds them: PrusaSlicer's volumes by triangle range,
// OrcaSlicer's components by object id, each with its settings from the slicer's config file.
std::vector<SlicerPart> parts_of(const std::string &file, Slicer slicer) {
    const std::map<DWORD, Mesh> meshes = read_3mf(file);
    std::vector<SlicerPart> parts;
    if (slicer == Slicer::kPrusa) {
        const std::string config = zip_entry(file, "Metadata/Slic3r_PE_model.config");
        const std::regex volume(
            R"re(<volume firstid="(\d+)" lastid="(\d+)">([\s\S]*?)</volume>)re");
        const std::regex modifier(R"re(ParameterModifier[\s\S]*fill_density" value="(\d+)%)re");
        for (std::sregex_iterator it(config.begin(), config.end(), volume), end; it != end; ++it) {
            const std::string body = (*it)[3];
            std::smatch d;
            parts.push_back({part_of(meshes.at(1), std::stoul((*it)[1]), std::stoul((*it)[2])),
                             std::regex_search(body, d, modifier) ? std::stoi(d[1]) : -1});
        }
        return parts;
    }
    // The build item is an object of components; the config names each by object id.
    const std::string model = zip_entry(file, "3D/3dmodel.model");
    const std::string config = zip_entry(file, "Metadata/model_settings.config");
    std::smatch item, object;
    EXPECT_TRUE(std::regex_search(model, item, std::regex(R"re(<item objectid="(\d+)"/>)re")));
    EXPECT_TRUE(std::regex_search(config, object, std::regex(R"re(<object id="(\d+)">)re")));
    EXPECT_EQ(item[1], object[1]);
    const std::regex part(
        R"re(<part id="(\d+)" subtype="(\w+)">[\s\S]*?(?:sparse_infill_density" value="(\d+)%"[\s\S]*?)?</part>)re");
    for (std::sregex_iterator it(config.begin(), config.end(), part), end; it != end; ++it) {
        const bool modifier = (*it)[2] == "modifier_part";
        EXPECT_EQ(modifier, (*it)[3].matched);
        EXPECT_NE(model.find("<component objectid=\"" + (*it)[1].str() + "\"/>"),
                  std::string::npos);
        parts.push_back({meshes.at(std::stoul((*it)[1])), modifier ? std::stoi((*it)[3]) : -1});
    }
    return parts;
}

// Cura's view of a file: its nodes (tests/cura_read_3mf.py through Savitar), each written as
// STL into `dir`.
nlohmann::json read_as_cura(const std::string &file, const std::string &dir) {
    const std::string out = dir + "/cura.json";
    const std::string cmd = "/usr/bin/python3 '" PEDAFORM_SOURCE_DIR "/tests/cura_read_3mf.py' '" +
                            file + "' '" + dir + "' > '" + out + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd << " (scripts/setup installs python3-savitar)";
    return nlohmann::json::parse(text_of(out), nullptr, false);
}

// Slices Cura's nodes with CuraEngine as Cura's front end hands them over: the engine takes only
// final settings, so the line distance comes from the density by fdmprinter.def.json's formula
// (grid: 0.4 x 100 / density x 2), walls and skins from the thicknesses. `density`: the insole's.
std::string cura_slice(const nlohmann::json &nodes, int density, const std::string &gcode) {
    auto distance = [](double d) {
        return " -s infill_line_distance=" + std::to_string(0.4 * 100 / d * 2);
    };
    std::string cmd =
        "CuraEngine slice -j /usr/share/cura/resources/definitions/fdmprinter.def.json"
        " -s machine_width=400 -s machine_depth=400 -s machine_height=100"
        " -s layer_height=0.3 -s layer_height_0=0.3 -s adhesion_type=none"
        " -s infill_pattern=grid" +
        distance(density) + " -e0 -s infill_pattern=grid";
    for (const nlohmann::json &n : nodes) {
        const nlohmann::json &s = n["settings"];
        const bool mesh = s.contains("infill_mesh");
        cmd += " -l '" + n["stl"].get<std::string>() + "'" +
               distance(mesh ? std::stod(s["infill_sparse_density"].get<std::string>()) : density);
        if (mesh)
            cmd += " -s infill_mesh_order=1 -s infill_mesh=" +
                   std::string(s["infill_mesh"] == "True" ? "true" : "false");
        if (s.value("wall_thickness", "") == "0") cmd += " -s wall_line_count=0";
        if (s.value("top_bottom_thickness", "") == "0")
            cmd += " -s top_layers=0 -s bottom_layers=0";
    }
    cmd += " -o '" + gcode + "' > /dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd << " (scripts/setup installs cura-engine)";
    return text_of(gcode);
}

// What a Cura G-code extrudes (mm of filament): in all, and as sparse infill per mesh and layer.
struct CuraUse {
    double filament = 0;
    std::map<std::pair<std::string, int>, double> infill;
};

CuraUse cura_use(const std::string &gcode) {
    CuraUse use;
    std::istringstream lines(gcode);
    std::string line, mesh, type;
    int layer = -1;
    double e = 0, next = 0;
    while (std::getline(lines, line)) {
        if (line.rfind(";LAYER:", 0) == 0) layer = std::stoi(line.substr(7));
        if (line.rfind(";MESH:", 0) == 0) mesh = line.substr(line.rfind('/') + 1);
        if (line.rfind(";TYPE:", 0) == 0) type = line.substr(6);
        if (std::sscanf(line.c_str(), "G92 E%lf", &next) == 1) e = next;
        if (std::sscanf(line.c_str(), "G%*1[01] %*[^E]E%lf", &next) != 1) continue;
        use.filament += next - e;
        if (type == "FILL" && next > e) use.infill[{mesh, layer}] += next - e;
        e = next;
    }
    return use;
}

double prusa_filament(const std::string &file, const std::string &dir,
                      const std::string &options = "", int bed = 400) {
    const std::string b = std::to_string(bed);
    const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY prusa-slicer --export-gcode " +
                            options + " --bed-shape 0x0," + b + "x0," + b + "x" + b + ",0x" + b +
                            " --output '" + dir + "/g' '" + file + "' > '" + dir + "/log' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd << " (scripts/setup installs it)";
    const std::string gcode = text_of(dir + "/g");
    const size_t at = gcode.find("; filament used [mm] = ");
    return at == std::string::npos ? -1 : std::atof(gcode.c_str() + at + 23);
}

// A sample scan as a design holds it right after the load.
// A sample scan's design after the load and the given control values, smoothed once when
// `smoothed`.
std::unique_ptr<test::Parts> sample(const char *scan,
                                    std::initializer_list<std::pair<Control, double>> set = {},
                                    bool smoothed = false) {
    static const std::unique_ptr<Resources> res = test::startup_resources();
    Design design(*res, load_scan_file);
    test::capture_console([&] {
        EXPECT_TRUE(design.load(std::string(PEDAFORM_DATA_DIR "/samples/") + scan));
        for (const auto &[control, value] : set)
            EXPECT_TRUE(design.set(control, value));
        if (smoothed) {
            EXPECT_TRUE(design.smooth());
        }
    });
    auto ws = std::make_unique<test::Parts>();
    ws->scan = design.scan();
    ws->results = design.results();
    return ws;
}

// The heights of the top of a solid read back from `path` (a binary STL) at the grid points
// under it, NAN elsewhere.
std::vector<double> solid_top(const std::string &path) {
    std::vector<double> z(kGridCells, NAN);
    const Mesh m = read_3mf(path, "stl").begin()->second;
    for_points_under(m, 0, 0, true, [&](int i, double h) { z[i] = h; });
    return z;
}

}  // namespace

TEST(ReliefMesh, TinyReliefAsciiStlByteForByte) {
    // Heights 2, 4, 2, 4 units: the cell's two facets, the edge facet from (4, 4) to (3, 5).
    auto ws = rectangle(3, 4, 4, 5, 20);
    ws->results.relief_grid[4 * kGridWidth + 3] = ws->results.relief_grid[5 * kGridWidth + 4] = 10;
    auto facet = [](const char *normal, const char *a, const char *b, const char *c) {
        return std::string("facet normal ") + normal + "\nouter loop\nvertex " + a + "\nvertex " +
               b + "\nvertex " + c + "\nendloop\nendfacet\n";
    };
    const char *p3_4 = "3.000000 4.000000 2.000000", *p4_4 = "4.000000 4.000000 4.000000",
               *p4_5 = "4.000000 5.000000 2.000000", *p3_5 = "3.000000 5.000000 4.000000";
    EXPECT_EQ(run(ws->results.relief_grid).text,
              "solid\n" + facet("-0.666667 0.666667 0.333333", p3_4, p4_4, p4_5) +
                  facet("0.666667 -0.666667 0.333333", p4_5, p3_5, p3_4) +
                  facet("0.666667 0.666667 0.333333", p4_5, p3_5, p4_4) + "endsolid");
}

TEST(ReliefMesh, OneFacetOfBinaryStlByteForByte) {
    std::string out;
    write_binary_stl(Mesh{{{1, 2, 3}, {2, 2, 3}, {1, 3, 3}}, {{{0, 1, 2}}}}, out);
    ASSERT_EQ(out.size(), 84u + 50u);
    EXPECT_NE(out.compare(0, 5, "solid"), 0);  // a reader would take the file for text
    // Little-endian: count 1; normal (0, 0, 1); the corners; a zero attribute count.
    const uint8_t f1[] = {0, 0, 0x80, 0x3f}, f2[] = {0, 0, 0, 0x40}, f3[] = {0, 0, 0x40, 0x40};
    std::vector<uint8_t> expected = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const uint8_t *f : {f1, f1, f2, f3, f2, f2, f3, f1, f3, f3})
        expected.insert(expected.end(), f, f + 4);
    expected.insert(expected.end(), {0, 0});
    test::expect_same_bytes(expected, std::vector<uint8_t>(out.begin() + 80, out.end()));
}

TEST(ReliefMesh, TraceAndSpikeRepairOfANotchedBlock) {
    // Column 20 of a 10 x 71 block is cut away in rows 110..top. The trace runs clockwise from
    // the top-left cell (cutting the bottom-left one) and up column 21 from corner (20, 109) to
    // (20, top + 1); a run of over 30 rows has its two middle points moved onto column 20, now
    // corners, their cells taking column 21's height.
    for (auto [top, first] : {std::pair{138, 0}, std::pair{139, 124}, std::pair{150, 130}}) {
        auto ws = rectangle(20, 100, 29, 170, 50);
        test::fill_rect(ws->results.relief_grid, 21, 100, 21, 170, 60);
        test::fill_rect(ws->results.relief_grid, 20, 110, 20, top, 0);
        const PreparedRelief p = run(ws->results.relief_grid).prepared;
        std::vector<std::pair<float, float>> corners,
            expected = {{20, 170}, {29, 170}, {29, 100}, {20, 109}, {20, top + 1}};
        if (first) expected.insert(expected.end() - 1, {{20, first}, {20, first + 1}});
        for (int32_t k : p.outline.corners)
            corners.emplace_back(p.outline.points[k].x, p.outline.points[k].y);
        EXPECT_EQ(corners, expected) << top;
        EXPECT_EQ(p.report.corners, p.report.corners_traced + (first ? 2 : 0));
        for (int y = 110; y <= top; ++y)
            EXPECT_EQ(p.heights[y * kGridWidth + 20], y == first || y == first + 1 ? 60.0f : 0.0f);
    }
}

TEST(ReliefMesh, HardFootprintsEndAndGiveClosedSolids) {
    // Two cells high: the trace would circle along the far end. A one-cell spur: a dead end.
    auto ws = rectangle(50, 100, 59, 101, 100);
    const PreparedRelief thin = run(ws->results.relief_grid).prepared;
    EXPECT_LT(thin.outline.points.size(), 200u);
    // An outline left open is said, for the batch command to warn of even when quiet.
    ASSERT_EQ(thin.report.warnings.size(), 1u) << thin.report.closed;
    EXPECT_NE(thin.report.warnings.texts()[0].find("did not close"), std::string::npos);
    ws = rectangle(50, 100, 70, 130, 100);
    test::fill_rect(ws->results.relief_grid, 60, 131, 60, 150, 100);
    EXPECT_LT(run(ws->results.relief_grid).prepared.outline.points.size(), 200u);
    // Two squares touching only at (12, 12), which their solids must not share.
    ws = rectangle(10, 10, 12, 12, 50);
    test::fill_rect(ws->results.relief_grid, 12, 12, 14, 14, 50);
    for (double tolerance : {0.0, 0.05})
        for (bool per_cell : {true, false}) {
            Mesh m;
            build_insole_solid(run(ws->results.relief_grid).prepared, tolerance, per_cell, m);
            EXPECT_TRUE(test::check_solid(m, true).closed()) << tolerance << " " << per_cell;
        }
    // Consecutive corners (40, 101), (36, 104) with both candidate cells empty: no facet joins.
    ws = rectangle(36, 103, 37, 104, 50);
    test::fill_rect(ws->results.relief_grid, 38, 101, 40, 103, 50);
    const Export e = run(ws->results.relief_grid);
    for (const Triangle &t : e.mesh.triangles) {
        int ends = 0;
        for (int k = 0; k < 3; ++k) {
            const Vertex &v = e.mesh.corner(t, k);
            ends |= (v.x == 40 && v.y == 101) | (v.x == 36 && v.y == 104) << 1;
        }
        EXPECT_NE(ends, 3);
    }
    // An octagon: its cut corners step diagonally in every direction; the trace closes round
    // all of them and comes back to its start.
    ws = std::make_unique<test::Parts>();
    for (int y = 160; y <= 200; ++y) {
        const int inset = std::max({0, 170 - y, y - 190});
        test::fill_rect(ws->results.relief_grid, 50 + inset, y, 100 - inset, y, 60);
    }
    const PreparedRelief octagon = run(ws->results.relief_grid).prepared;
    EXPECT_TRUE(octagon.report.closed);
    EXPECT_TRUE(octagon.report.warnings.empty());
    // Nothing inside the traced area: no outline.
    ws = rectangle(0, 0, 149, 0, 30);
    EXPECT_FALSE(run(ws->results.relief_grid).prepared.report.traced);
}

TEST(SurfaceSimplify, WithinTheToleranceFacingUpAndClosed) {
    // 40 x 80 cells: a plateau at 10 mm, a 0.2 mm step, then a plane rising 0.2 mm a row.
    auto ws = rectangle(20, 100, 60, 180, 50);
    test::fill_rect(ws->results.relief_grid, 20, 140, 60, 150, 51);
    for (int y = 151; y <= 180; ++y)
        test::fill_rect(ws->results.relief_grid, 20, y, 60, y, static_cast<uint8_t>(51 + y - 150));
    const PreparedRelief p = run(ws->results.relief_grid).prepared;
    size_t count[3];
    const double tolerance[3] = {0, 0.05, 0.3};
    for (int k = 0; k < 3; ++k) {
        Mesh m;
        build_insole_solid(p, tolerance[k], false, m);
        const auto [worst, bad] = check_top(m, p);
        count[k] = m.triangles.size();
        EXPECT_LE(worst, tolerance[k] + 1e-6) << tolerance[k];
        EXPECT_EQ(bad, 0) << tolerance[k];
        EXPECT_TRUE(test::check_solid(m).closed()) << tolerance[k];
    }
    // 0: every cell. 0.05 mm merges the plateau and the plane but keeps the step, which 0.3 mm
    // may smooth.
    EXPECT_LT(count[1] * 4, count[0]);
    EXPECT_LT(count[2], count[1]);
}

TEST(SampleFeet, ThroughAdmeshLib3mfPrusaSlicerSavitarAndCuraEngine) {
    const std::string dir = test::scratch_dir(), stl = dir + "/solid.stl";
    const char *clean =
        "'^(Edges fixed|Facets reversed|Facets added) +: +0$|^Number of parts +: +1( |$)'";
    const std::string admesh = "test $(admesh '" + stl + "' | grep -cE " + clean + ") = 4";
    // An orthotic, smoothed: the fitted outline's cells stand on the template's floor, those
    // beyond the template where it stands as well, raised by the orthotic layers.
    for (const char *scan : {"left_253_CM25-26.bmp", "right_305_CM29-30.bmp"}) {
        SCOPED_TRACE(scan);
        auto ws =
            sample(scan, {{Control::kArch, 4}, {Control::kHeelCup, 4}, {Control::kBase, 1}}, true);
        const DesignResults &r = ws->results;
        const PreparedRelief p = prepare_insole(r.insole_relief);
        std::vector<uint8_t> insole;
        mark_insole_cells(p.heights.data(), insole);
        // Every insole cell is printed, at the relief's height wherever the relief has one.
        int relief_cells = 0;
        for (int i = 0; i < kGridCells; ++i) {
            ASSERT_EQ(insole[i], r.insole_grid[i]) << i;
            if (!insole[i] || r.relief_grid[i] == 0) continue;
            ++relief_cells;
            ASSERT_EQ(r.insole_relief[i], r.relief_grid[i]) << i;
        }
        EXPECT_LT(relief_cells, std::count(insole.begin(), insole.end(), 1));
        PrintSettings print;
        print.zones = parse_print_zones(kDefaultPrintZones).value();
        const PrintDescription about{scan, "left", "", "", {}};
        auto write = [&](const std::string &file, const PrintSettings &s) {
            test::capture_console([&] {
                ASSERT_TRUE(
                    export_relief_3mf(r.insole_relief, ws->scan.pressure_grid, file, s, about));
            });
        };

        // The binary STL, exact and simplified: clean for admesh, one part, every insole cell's
        // top within the tolerance of the designed height, the outline's cells included.
        for (double tolerance : {0.0, kDefault3mfTolerance}) {
            ASSERT_TRUE(export_relief_solid(r.insole_relief, stl, tolerance));
            EXPECT_EQ(std::system(admesh.c_str()), 0) << admesh << " (scripts/setup installs it)";
            const auto [worst, bad] = check_top(read_3mf(stl, "stl").begin()->second, p);
            EXPECT_LE(worst, tolerance + 1e-5);
            EXPECT_EQ(bad, 0);
        }
        const std::string plain = dir + "/plain.3mf";  // the insole alone: one object
        write(plain, PrintSettings{{}, print.slicer, print.tolerance_mm, print.bed});
        EXPECT_EQ(read_3mf(plain).size(), 1u);
        const auto [worst_3mf, bad_3mf] = check_top(read_3mf(plain).begin()->second, p);
        EXPECT_LE(worst_3mf, print.tolerance_mm + 1e-5);  // the 3MF's insole is the design too
        EXPECT_EQ(bad_3mf, 0);

        // Each form: the insole and one closed block per zone, from below the insole to above
        // it, covering each insole cell once with the zone its pressure gives.
        int peak = 0;
        for (int i = 0; i < kGridCells; ++i)
            peak = std::max(peak, insole[i] ? ws->scan.pressure_grid[i] + 0 : 0);
        size_t facets = 0;
        for (Slicer slicer : {Slicer::kPrusa, Slicer::kOrca}) {
            SCOPED_TRACE(slicer_name(slicer));
            print.slicer = slicer;
            const std::string file = dir + "/" + slicer_name(slicer) + ".3mf";
            write(file, print);
            const std::vector<SlicerPart> parts = parts_of(file, slicer);
            ASSERT_EQ(parts.size(), print.zones.size() + 1);
            std::vector<int> covered(kGridCells, 0), covering(kGridCells, -1);
            facets = 0;
            float insole_top = 0;
            for (const SlicerPart &part : parts) {
                facets += part.mesh.triangles.size();
                EXPECT_TRUE(test::check_solid(part.mesh).closed());
                const auto [low, high] =
                    std::minmax_element(part.mesh.vertices.begin(), part.mesh.vertices.end(),
                                        [](const Vertex &a, const Vertex &b) { return a.z < b.z; });
                if (part.density < 0) {
                    insole_top = high->z;
                    continue;
                }
                EXPECT_LT(low->z, 0);
                EXPECT_GT(high->z, insole_top);
                for_points_under(part.mesh, 0.123, 0.0567, false, [&](int i, double) {
                    ++covered[i];  // at a point off every lattice line, inside cell i
                    covering[i] = part.density;
                });
            }
            int strays = 0, cells = 0;
            for (int i = 0; i < kGridCells; ++i) {
                int own = print.zones[0].density;
                for (const PrintZone &z : print.zones)
                    if (ws->scan.pressure_grid[i] > 0 &&
                        ws->scan.pressure_grid[i] * 100 >= z.threshold * peak)
                        own = z.density;
                ASSERT_EQ(covered[i], insole[i]) << i;
                strays += insole[i] && covering[i] != own;
                cells += insole[i];
            }
            EXPECT_LT(strays, cells / 200);  // pieces under 8 cells join their neighbours
        }
        // The real-size foot stays within what CAD programs import.
        EXPECT_LT(facets, std::strstr(scan, "253") ? 30000u : 60000u);

        // The slicers: no more filament zoned than plain at the first zone's density.
        const int firm = print.zones[0].density;
        const double prusa_plain =
            prusa_filament(plain, dir, "--fill-density " + std::to_string(firm) + "%");
        const double prusa_zoned = prusa_filament(dir + "/prusa.3mf", dir);
        EXPECT_GT(prusa_zoned, 0);
        EXPECT_LE(prusa_zoned, prusa_plain);
        print.slicer = Slicer::kCura;
        write(dir + "/cura.3mf", print);
        const double cura_plain =
            cura_use(cura_slice(read_as_cura(plain, dir)["nodes"], firm, dir + "/c")).filament;
        const double cura_zoned =
            cura_use(cura_slice(read_as_cura(dir + "/cura.3mf", dir)["nodes"], firm, dir + "/c"))
                .filament;
        EXPECT_GT(cura_zoned, 0);
        EXPECT_LE(cura_zoned, cura_plain);
        std::printf(
            "%s filament mm, plain and zoned: PrusaSlicer %.0f %.0f, CuraEngine %.0f %.0f\n", scan,
            prusa_plain, prusa_zoned, cura_plain, cura_zoned);
    }
}

// The top cover is a closed part of its own after the zones at 100 % infill in each slicer's
// form (Cura's above the zones' meshes); PrusaSlicer then lays more filament than without it.
TEST(PrintFile, TheTopCoverIsAPartOfItsOwnAtFullInfill) {
    auto ws = sample("left_253_CM25-26.bmp");
    const std::string dir = test::scratch_dir();
    PrintSettings print;
    print.zones = parse_print_zones(kDefaultPrintZones).value();
    const PrintDescription about{"l.bmp", "left", "", "", {}};
    auto write = [&](const std::string &file) {
        test::capture_console([&] {
            ASSERT_TRUE(export_relief_3mf(ws->results.insole_relief, ws->scan.pressure_grid, file,
                                          print, about));
        });
    };
    write(dir + "/zones.3mf");
    print.top_cover_mm = 1.5;
    for (Slicer slicer : {Slicer::kPrusa, Slicer::kOrca}) {
        print.slicer = slicer;
        const std::string file = dir + "/" + slicer_name(slicer) + ".3mf";
        write(file);
        const std::vector<SlicerPart> parts = parts_of(file, slicer);
        ASSERT_EQ(parts.size(), print.zones.size() + 2) << slicer_name(slicer);
        EXPECT_EQ(parts.back().density, 100);
        EXPECT_TRUE(test::check_solid(parts.back().mesh).closed());
    }
    print.slicer = Slicer::kCura;
    write(dir + "/cura.3mf");
    const nlohmann::json cura = read_as_cura(dir + "/cura.3mf", dir);
    const nlohmann::json &cover = cura["nodes"][cura["nodes"].size() - 1];
    EXPECT_EQ(cover["name"], "top cover 1.5 mm, infill 100 %");
    EXPECT_EQ(cover["settings"]["infill_sparse_density"], "100");
    EXPECT_EQ(cover["settings"]["infill_mesh_order"], "1");
    EXPECT_GT(prusa_filament(dir + "/prusa.3mf", dir), prusa_filament(dir + "/zones.3mf", dir));
}

// "The whole insole": a base under the metatarsal pads (whose lowering the foot's floor at
// 10 grey levels holds up) raises the solid's top by its thickness on every insole cell, the
// outline's included, before and after smoothing.
TEST(PrintFile, TheBaseRaisesEveryInsoleCellOfTheSolidByItsThickness) {
    const std::string stl = test::scratch_dir() + "/base.stl";
    for (bool smoothed : {false, true}) {
        std::vector<double> top[2];
        std::unique_ptr<test::Parts> ws;
        for (int base : {0, 2}) {
            ws = sample("left_253_CM25-26.bmp", {{Control::kMeta1, 2}, {Control::kBase, base}},
                        smoothed);
            ASSERT_TRUE(export_relief_solid(ws->results.insole_relief, stl));
            top[base / 2] = solid_top(stl);
        }
        int cells = 0, raised = 0;
        for (int i = 0; i < kGridCells; ++i) {
            cells += ws->results.insole_grid[i];
            raised += ws->results.insole_grid[i] && std::fabs(top[1][i] - top[0][i] - 2) < 1e-4;
        }
        EXPECT_EQ(raised, cells) << (smoothed ? "smoothed" : "as composed");
    }
}

// The builder refuses a relief without a printable cell and a tolerance out of range, and the
// export then writes nothing; so does the solid STL for an empty relief.
TEST(PrintFile, NothingToPrintOrABadToleranceIsRefusedAndWritesNothing) {
    const std::vector<uint8_t> flat(kGridCells, 0);
    auto ws = rectangle(30, 100, 109, 129, 60);
    const std::string dir = test::scratch_dir();
    const struct {
        const uint8_t *relief;
        double tolerance;
        const char *message;
    } cases[] = {
        {flat.data(), kDefault3mfTolerance, "nothing to print"},
        {ws->results.relief_grid, kMaxMeshTolerance + 0.01, "between 0 and 1 mm"},
        {ws->results.relief_grid, std::nan(""), "between 0 and 1 mm"},
    };
    for (const auto &c : cases) {
        PrintSettings print;
        print.tolerance_mm = c.tolerance;
        print.zones = parse_print_zones(kDefaultPrintZones).value();
        Result<> r;
        test::capture_console([&] {
            r = export_relief_3mf(c.relief, ws->scan.pressure_grid, dir + "/p.3mf", print, {});
        });
        EXPECT_FALSE(r) << c.message;
        EXPECT_NE(r.message().find(c.message), std::string::npos) << r.message();
    }
    // The solid STL refuses the empty relief alike, in the operator's words too.
    Result<> solid;
    test::capture_console([&] { solid = export_relief_solid(flat.data(), dir + "/s.stl"); });
    EXPECT_EQ(solid.gui_message(), "鞋墊是空的，沒有可以列印的部分");
    EXPECT_TRUE(test::files_in(dir).empty());
}

TEST(PrintFile, TitleTheSlicersFormsAndCuraEngineFillingTheSofterZoneLess) {
    // Two halves of one block, 40 x 30 cells each: no pressure (the first zone, 35 %) and the
    // peak (10 %).
    auto ws = rectangle(30, 100, 109, 129, 60);
    test::fill_rect(ws->scan.pressure_grid, 70, 100, 109, 129, 200);
    const std::string dir = test::scratch_dir();
    const PrintDescription about{"a&b.bmp", "right", "4-5", "p.json", {{"meta1", "3"}}};
    PrintSettings print;
    print.zones = parse_print_zones("0:35,50%:10").value();
    for (Slicer slicer : {Slicer::kPrusa, Slicer::kOrca, Slicer::kCura}) {
        SCOPED_TRACE(slicer_name(slicer));
        print.slicer = slicer;
        const std::string file = dir + "/" + slicer_name(slicer) + ".3mf";
        test::capture_console([&] {
            ASSERT_TRUE(export_relief_3mf(ws->results.relief_grid, ws->scan.pressure_grid, file,
                                          print, about));
        });
        const std::string model = zip_entry(file, "3D/3dmodel.model");
        EXPECT_NE(model.find("<metadata name=\"Title\">a&amp;b.bmp, right foot, size 4-5, design "
                             "p.json</metadata>"),
                  std::string::npos);
        EXPECT_NE(model.find("<metadata name=\"Application\">Pedaform</metadata>"),
                  std::string::npos);
        EXPECT_EQ(read_3mf(file).size(), slicer == Slicer::kPrusa ? 1u : 3u);
        EXPECT_NE(model.find("<model unit=\"millimeter\""), std::string::npos);
        if (slicer != Slicer::kCura) continue;  // their parts and configs: see SampleFeet
        // Cura: the nodes as its reader finds them, sliced with each zone as an infill mesh.
        const nlohmann::json cura = read_as_cura(file, dir);
        ASSERT_EQ(cura["nodes"].size(), 3u);
        EXPECT_TRUE(cura["nodes"][0]["settings"].empty());  // the insole sets nothing
        for (int k : {1, 2}) {
            const nlohmann::json &s = cura["nodes"][k]["settings"];
            EXPECT_EQ(s["infill_mesh"], "True");
            EXPECT_EQ(s["infill_sparse_density"], k == 1 ? "35" : "10");
            EXPECT_EQ(cura["nodes"][k]["name"],
                      "pressure " + std::string(k == 1 ? "0\u201350" : "50\u2013100") +
                          " % of peak, infill " + (k == 1 ? "35" : "10") + " %");
        }
        const CuraUse use = cura_use(cura_slice(cura["nodes"], 20, dir + "/g"));
        int layers = 0;
        for (const auto &[key, firm] : use.infill) {
            if (key.first != "1.stl") continue;
            const auto soft = use.infill.find({"2.stl", key.second});
            ASSERT_NE(soft, use.infill.end()) << "layer " << key.second;
            EXPECT_LT(soft->second, 0.5 * firm) << "layer " << key.second;
            ++layers;
        }
        EXPECT_GT(layers, 10);
    }
}

TEST(PrintZones, TextsSharesAndNames) {
    for (const char *text :
         {"", "0:35,", "a:10", "0:35;96:20", "0:3.5", "96:20,96:10", "96:20,50:10", "256:10",
          "0:101", "0:99999999999", "101%:10", "10%:5,96:20", "40%%:5", "%:5"}) {
        const Result<std::vector<PrintZone>> r = parse_print_zones(text);
        EXPECT_FALSE(r.ok()) << text;
        EXPECT_NE(r.message().find("\"0:35,40%:20,70%:10\""), std::string::npos);
    }
    const std::pair<const char *, const char *> read[] = {
        {" 0 : 35 , 40 % : 20,70%:10", "0%:35,40%:20,70%:10"},
        {"0:35,96:20,160:10", "0:35,96:20,160:10"},
        {"0%:35,96:20", "0:35,96:20"},
    };
    for (const auto &[text, back] : read) {
        const Result<std::vector<PrintZone>> zones = parse_print_zones(text);
        ASSERT_TRUE(zones) << text;
        EXPECT_EQ(print_zones_text(*zones), back);
    }
    std::vector<PrintZone> zones = parse_print_zones("10:35,96:20,160:10").value();
    EXPECT_EQ(print_zone_name(zones, 0), "pressure 0\u201395, infill 35 %");
    EXPECT_EQ(print_zone_name(zones, 2), "pressure 160\u2013255, infill 10 %");

    // Shares of the insole's peak (100 here), and cells below the first start in the first
    // zone. A piece under 8 cells joins the zone around it: 8 cells keep their zone, 7 do not.
    std::vector<uint8_t> insole(kGridCells, 0), pressure(kGridCells, 0);
    test::fill_rect(insole.data(), 40, 100, 70, 160, 1);
    test::fill_rect(pressure.data(), 40, 100, 70, 160, 60);
    test::fill_rect(pressure.data(), 40, 100, 40, 160, 0);
    test::fill_rect(pressure.data(), 41, 100, 41, 160, 10);
    test::fill_rect(pressure.data(), 45, 110, 46, 113, 100);
    test::fill_rect(pressure.data(), 60, 110, 60, 116, 100);
    pressure[10] = 250;  // outside the insole: no share of anything
    zones = parse_print_zones("20%:35,60%:20,61%:5,100%:10").value();
    std::vector<int16_t> cell_zone;
    assign_print_zones(insole.data(), pressure.data(), zones, cell_zone);
    EXPECT_EQ(cell_zone[10], kNotInsole);
    EXPECT_EQ(cell_zone[130 * 150 + 40], 0);  // no pressure
    EXPECT_EQ(cell_zone[130 * 150 + 41], 0);  // 10 %
    EXPECT_EQ(cell_zone[130 * 150 + 50], 1);  // 60 %, and nothing reaches 61 %
    EXPECT_EQ(cell_zone[113 * 150 + 46], 3);
    EXPECT_EQ(cell_zone[110 * 150 + 60], 1);
}

TEST(PrintZones, DefaultsSoftenTheHeelAndTheMetatarsalHeadsAgainstTheMidfoot) {
    // The sample feet, and the 253 mm foot of measured proportions with the pressures of a
    // realistic gait: peaks of about 290 kPa under the heel, 260 under the second and third
    // metatarsal heads, 230 under the first, 145 under the fifth and 250 under the hallux, and
    // 80 kPa along the lateral band of the midfoot; the medial arch carries nothing.
    const std::vector<PrintZone> zones = parse_print_zones(kDefaultPrintZones).value();
    std::vector<std::string> scans = test::files_in(PEDAFORM_DATA_DIR "/samples");
    scans.push_back("/realistic");
    for (const std::string &scan : scans) {
        SCOPED_TRACE(scan);
        const bool realistic = scan == "/realistic";
        auto ws = sample(realistic ? "left_253_measured.bmp" : &scan[scan.rfind('/') + 1]);
        const Landmark *l = ws->scan.landmarks;
        const Landmark heel{(l[2].row + l[4].row) / 2, (l[2].column + l[4].column) / 2};
        const Landmark meta{(l[0].row + l[1].row) / 2, (l[0].column + l[1].column) / 2};
        const float length = meta.row - heel.row, width = l[1].column - l[0].column;
        for (int i = 0; i < kGridCells && realistic; ++i) {
            auto blob = [i](float row, float col, double kpa, double rows, double cols) {
                const double dr = (i / kGridWidth - row) / rows, dc = (i % kGridWidth - col) / cols;
                return kpa * std::exp(-(dr * dr + dc * dc) / 2);
            };
            const double kpa = blob(heel.row, heel.column, 290, 14, 14) +
                               blob(l[0].row, l[0].column + 5, 145, 8, 8) +
                               blob(l[1].row, l[1].column - 5, 230, 8, 8) +
                               blob(meta.row + 4, meta.column - 5, 260, 8, 10) +
                               blob(l[1].row + 0.4f * length, l[1].column - 8, 250, 8, 8) +
                               blob(heel.row + length / 2, l[0].column + 0.25f * width, 80,
                                    0.3 * length, 0.125 * width);
            ws->scan.pressure_grid[i] =
                ws->scan.base_grid[i] ? static_cast<uint8_t>(kpa * 255 / 400) : 0;
        }
        std::vector<uint8_t> insole;
        mark_insole_cells(ws->results.relief_grid, insole);
        std::vector<int16_t> cell_zone;
        assign_print_zones(insole.data(), ws->scan.pressure_grid, zones, cell_zone);
        auto density = [&](float row, float col) {
            return zones[cell_zone[static_cast<int>(row) * kGridWidth + static_cast<int>(col)]]
                .density;
        };
        const int midfoot = density((heel.row + meta.row) / 2, (heel.column + meta.column) / 2);
        EXPECT_LT(density(l[0].row, l[0].column), midfoot);
        EXPECT_LT(density(l[1].row, l[1].column), midfoot);
        EXPECT_LT(density(heel.row, heel.column), midfoot);
    }
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

// A cell's four corners: printed when all have a height, drawn when any is a foot cell.
TEST(SurfaceCells, PrintedAndDrawnCells) {
    const struct {
        uint8_t corners[4];  // (c, r), (c + 1, r), (c, r + 1), (c + 1, r + 1)
        bool printed, drawn;
    } cases[] = {
        {{10, 10, 10, 10}, true, true},
        {{10, 10, 10, 0}, false, true},
        {{9, 9, 9, 9}, true, false},
        {{0, 0, 0, 0}, false, false},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> relief(kGridCells, 0);
        const int at = 100 * kGridWidth + 40;
        for (int k = 0; k < 4; ++k)
            relief[at + k % 2 + k / 2 * kGridWidth] = c.corners[k];
        EXPECT_EQ(surface_cell(relief.data(), 40, 100), c.printed) << +c.corners[3];
        EXPECT_EQ(mesh_cell_drawn(relief.data(), 100, 40), c.drawn) << +c.corners[0];
        std::vector<uint8_t> mask;
        mark_insole_cells(relief.data(), mask);
        EXPECT_EQ(std::count(mask.begin(), mask.end(), 1), c.printed ? 4 : 0);
    }
}

TEST(MeshArrays, DrawnCellsHeightsAndNormals) {
    auto ws = std::make_unique<test::Parts>();
    std::vector<float> vertices(size_t{kMeshVertices} * kMeshVertexFloats);
    std::vector<uint32_t> indices(kMaxMeshIndices);
    auto build = [&] {
        return build_surface_arrays(ws->results.relief_grid, nullptr, vertices.data(),
                                    indices.data());
    };
    auto v = [&](int k) { return &vertices[size_t{kMeshVertexFloats} * indices[k]]; };
    std::memset(ws->results.relief_grid, 10, kGridCells);
    EXPECT_EQ(build(), 3 * 2 * 149 * 359);
    // Cells of 9 are not drawn, but a 10 at (row 100, column 50) draws the four cells it is a
    // corner of, the first (99, 49): P1 = (99, 9 / 5, 49), P3 = (100, 10 / 5, 50).
    std::memset(ws->results.relief_grid, 9, kGridCells);
    ws->results.relief_grid[100 * 150 + 50] = 10;
    ASSERT_EQ(build(), 4 * 6);
    EXPECT_EQ(std::vector<float>(v(0), v(0) + 3), (std::vector<float>{99, 9 / 5.0f, 49}));
    EXPECT_EQ(std::vector<float>(v(2), v(2) + 3), (std::vector<float>{100, 2, 50}));

    // The top's normals at row 180, worked by hand: a plane rising a level (0.2 mm) a column has
    // the normal (0, 5, -1) / sqrt 26 everywhere; a flat top's step of one level between columns
    // 74 and 75 tilts the six columns round it by 1 2 3 3 2 1 twelfths of 0.2 mm a cell.
    auto top_normal = [&](int column) {
        const float *n = &vertices[size_t{kMeshVertexFloats} * (2 * (180 * 150 + column)) + 3];
        return std::vector<float>(n, n + 3);
    };
    auto tilted = [](float slope) {
        const float s = std::sqrt(1 + slope * slope);
        return std::vector<float>{0, 1 / s, -slope / s};
    };
    for (int i = 0; i < kGridCells; ++i)
        ws->results.relief_grid[i] = static_cast<uint8_t>(20 + i % 150);
    build();
    for (int c : {0, 1, 74, 148, 149})
        EXPECT_EQ(top_normal(c), tilted(0.2f)) << c;
    for (int i = 0; i < kGridCells; ++i)
        ws->results.relief_grid[i] = i % 150 < 75 ? 50 : 51;
    build();
    const int twelfths[] = {0, 1, 2, 3, 3, 2, 1, 0};  // columns 71 .. 78
    for (int k = 0; k < 8; ++k)                       // twelfths of a fifth of a millimetre
        EXPECT_EQ(top_normal(71 + k), tilted(twelfths[k] / 60.0f)) << 71 + k;

    // A plateau's rim keeps its top flat; the wall below it faces out (slope 10 mm a cell).
    std::memset(ws->results.relief_grid, 0, kGridCells);
    for (int r = 100; r < 200; ++r)
        std::memset(&ws->results.relief_grid[r * 150 + 40], 50, 70);
    const int triangles = build() / 3;
    EXPECT_EQ(top_normal(40), tilted(0));
    const float *wall = &vertices[size_t{kMeshVertexFloats} * (2 * (180 * 150 + 40) + 1) + 3];
    EXPECT_NEAR(wall[2], -10 / std::sqrt(101.0), 1e-6);
    int on_wall = 0;  // both triangles of each cell round the plateau's 100 x 70 points
    for (int t = 0; t < triangles; ++t)
        on_wall += indices[3 * t] % 2;
    EXPECT_EQ(on_wall, 2 * (101 * 71 - 99 * 69));
}

// Ellipses of 100 x 320 mm as a foot's points: side by side, their nearest points 10 mm apart,
// unturned and centred on a 300 x 400 mm bed; on a 400 x 300 mm bed turned by the first whole
// degree at which an ellipse's height, 2 sqrt(160² cos² a + 50² sin² a), is 300 mm or less
// (21.5°, so 22°); none on 256 x 256 mm, where even 45° leaves them 266 mm high.
TEST(BedPlacement, SideBySideTenApartTurnedToFitOrNone) {
    std::vector<Vertex> ellipse;
    for (int k = 0; k < 4000; ++k) {
        const double a = 2 * M_PI * k / 4000;
        ellipse.push_back({static_cast<float>(75 + 50 * std::cos(a)),
                           static_cast<float>(180 + 160 * std::sin(a)), 0});
    }
    const std::array<std::vector<Vertex>, 2> feet = {ellipse, ellipse};
    const struct {
        BedSize bed;
        double degrees;
    } cases[] = {{{300, 400}, 0}, {{400, 300}, 22}};
    for (const auto &c : cases) {
        const auto at = place_pair_on_bed(feet, c.bed);
        ASSERT_TRUE(at) << c.bed.width;
        EXPECT_EQ((*at)[0].degrees, c.degrees);
        EXPECT_EQ((*at)[1].degrees, c.degrees);
        double nearest = 1e9, x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
        for (size_t i = 0; i < ellipse.size(); ++i) {
            const Vertex l = placed((*at)[0], ellipse[i]), r = placed((*at)[1], ellipse[i]);
            x0 = std::min(x0, double{l.x}), x1 = std::max(x1, double{r.x});
            y0 = std::min({y0, double{l.y}, double{r.y}});
            y1 = std::max({y1, double{l.y}, double{r.y}});
            for (size_t j = 0; i % 7 == 0 && j < ellipse.size(); j += 7) {
                const Vertex other = placed((*at)[1], ellipse[j]);
                nearest =
                    std::min(nearest, std::hypot(double{l.x} - other.x, double{l.y} - other.y));
            }
        }
        EXPECT_GE(nearest, kPairGapMm - 1e-3);
        EXPECT_LT(nearest, kPairGapMm + 1.5);  // no more room between them than the bands need
        EXPECT_NEAR(x0 + x1, c.bed.width, 1) << "centred across";
        EXPECT_GE(y0, 0);
        EXPECT_LE(y1, c.bed.depth);
    }
    EXPECT_FALSE(place_pair_on_bed(feet, BedSize{256, 256}));
}

// A pair's 3MF in each slicer's form: each foot's object named for its foot, its build item
// placed by its transform, lib3mf finding both feet's meshes; PrusaSlicer and CuraEngine slice
// it with both feet's zones, using as much filament as the two feet's files sliced apart.
TEST(PairPrint, BothFeetOnTheBedWithTheirZonesInEverySlicer) {
    const std::string dir = test::scratch_dir();
    std::array<std::unique_ptr<test::Parts>, 2> feet = {sample("left_253_CM25-26.bmp"),
                                                        sample("right_253_4-5.bmp")};
    std::array<PairPrintInput, 2> input;
    for (int k = 0; k < 2; ++k) {
        smooth_relief(feet[k]->res, feet[k]->scan, feet[k]->results);
        input[k] = {feet[k]->results.relief_grid,
                    feet[k]->scan.pressure_grid,
                    {k == 0 ? "l.bmp" : "r.bmp", k == 0 ? "left" : "right", "", "", {}}};
    }
    PrintSettings print;
    print.zones = parse_print_zones(kDefaultPrintZones).value();
    std::map<Slicer, std::array<double, 3>> filament;  // the pair, the left, the right
    for (Slicer slicer : {Slicer::kPrusa, Slicer::kOrca, Slicer::kCura}) {
        SCOPED_TRACE(slicer_name(slicer));
        print.slicer = slicer;
        Result<PairPrint> pair = Failure{""};
        test::capture_console([&] { pair = build_pair_print(input, print); });
        ASSERT_TRUE(pair);
        ASSERT_TRUE(pair->placement);
        const std::string file = dir + "/" + slicer_name(slicer) + ".3mf";
        ASSERT_TRUE(write_pair_print(*pair, print, file));
        const std::string model = zip_entry(file, "3D/3dmodel.model");
        for (const char *name : {"左 L l.bmp", "右 R r.bmp"})
            EXPECT_NE(model.find(std::string("name=\"") + name + "\""), std::string::npos);
        const std::regex item(R"re(<item objectid="\d+" transform="([^"]+)"/>)re");
        const long items = std::distance(std::sregex_iterator(model.begin(), model.end(), item),
                                         std::sregex_iterator());
        EXPECT_EQ(items, slicer == Slicer::kCura ? 2 * (1 + 3) : 2);  // Cura: every part
        const std::string one = dir + "/foot.3mf";
        ASSERT_TRUE(write_foot_print(*pair, 0, print, one));
        EXPECT_EQ(read_3mf(file).size(), 2 * read_3mf(one).size());  // lib3mf finds both feet
        if (slicer == Slicer::kOrca) continue;
        for (int k = 0; k < 3; ++k) {
            if (k > 0) {
                ASSERT_TRUE(write_foot_print(*pair, k - 1, print, one));
            }
            const std::string sliced = k == 0 ? file : one;
            filament[slicer][k] =
                slicer == Slicer::kPrusa
                    ? prusa_filament(sliced, dir, "--dont-arrange --skirts 0", k == 0 ? 256 : 400)
                    : cura_use(cura_slice(read_as_cura(sliced, dir)["nodes"], 35, dir + "/c"))
                          .filament;
        }
        const auto &f = filament[slicer];
        EXPECT_GT(f[1], 0);
        EXPECT_NEAR(f[0], f[1] + f[2], 0.01 * f[0]);
        std::printf("%s: pair %.0f mm of filament, the feet apart %.0f + %.0f\n",
                    slicer_name(slicer), f[0], f[1], f[2]);
    }
}

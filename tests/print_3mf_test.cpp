// The printable 3MF end to end: zone texts, lib3mf reading every file back (unit, metadata,
// closed parts, the insole's volume against the binary STL, the zones' footprints), and
// PrusaSlicer slicing zoned projects.
#include <gtest/gtest.h>
#include <zip.h>

#include <Model/COM/NMR_DLLInterfaces.h>

#include <map>
#include <random>
#include <regex>

#include "io/scan_file.h"
#include "model3d/print_3mf.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

struct Mesh {  // as lib3mf reads a file back; v and t of its last object
    DWORD unit = 0;
    int objects = 0;
    std::map<std::string, std::string> metadata;
    std::vector<NMR::MODELMESHVERTEX> v;
    std::vector<NMR::MODELMESHTRIANGLE> t;
    const float *at(size_t triangle, int corner) const {
        return v[t[triangle].m_nIndices[corner]].m_fPosition;
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
    DWORD count = 0;
    lib3mf_model_getmetadatacount(model, &count);
    for (DWORD k = 0; k < count; ++k) {
        char key[256] = {}, value[1024] = {};
        ULONG need = 0;
        lib3mf_model_getmetadatakeyutf8(model, k, key, sizeof key, &need);
        lib3mf_model_getmetadatavalueutf8(model, k, value, sizeof value, &need);
        r.metadata[key] = value;
    }
    lib3mf_model_getobjects(model, &it);
    for (BOOL more = true; lib3mf_resourceiterator_movenext(it, &more) == 0 && more; ++r.objects) {
        PLib3MFModelResource *mesh = nullptr;
        lib3mf_resourceiterator_getcurrent(it, &mesh);
        DWORD nv = 0, nt = 0;
        lib3mf_meshobject_getvertexcount(mesh, &nv);
        lib3mf_meshobject_gettrianglecount(mesh, &nt);
        r.v.resize(nv);
        r.t.resize(nt);
        lib3mf_meshobject_getvertices(mesh, r.v.data(), nv, nullptr);
        lib3mf_meshobject_gettriangleindices(mesh, r.t.data(), nt, nullptr);
        lib3mf_release(mesh);
    }
    lib3mf_release(it);
    lib3mf_release(reader);
    lib3mf_release(model);
    return r;
}

// One file of a zip package; empty when it is not there.
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

struct Part {
    int bad_edges = 0;  // not used exactly once in each direction
    double volume = 0;
    float z_min = 1e9f, z_max = -1e9f;
};

Part check_part(const Mesh &m, size_t first, size_t last) {
    Part p;
    std::map<std::pair<uint32_t, uint32_t>, int> directed;
    for (size_t k = first; k <= last; ++k) {
        const float *a = m.at(k, 0), *b = m.at(k, 1), *c = m.at(k, 2);
        for (int e = 0; e < 3; ++e) {
            ++directed[{m.t[k].m_nIndices[e], m.t[k].m_nIndices[(e + 1) % 3]}];
            p.z_min = std::min(p.z_min, m.at(k, e)[2]);
            p.z_max = std::max(p.z_max, m.at(k, e)[2]);
        }
        p.volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                     a[2] * (b[0] * c[1] - b[1] * c[0])) /
                    6.0;
    }
    for (const auto &[edge, n] : directed) {
        const auto back = directed.find({edge.second, edge.first});
        p.bad_edges += n != 1 || back == directed.end() || back->second != 1;
    }
    return p;
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

// For each foot cell, the size of its piece: the cells of its zone joined to it through sides.
std::vector<int> piece_sizes(const std::vector<int> &zone, const Workspace &ws) {
    std::vector<int> size(kGridCells, 0), piece;
    for (int s = 0; s < kGridCells; ++s) {
        if (!ws.base_grid[s] || size[s]) continue;
        piece = {s};
        size[s] = 1;
        for (size_t k = 0; k < piece.size(); ++k) {
            const int c = piece[k], x = c % kGridWidth;
            for (int n : {x > 0 ? c - 1 : -1, x + 1 < kGridWidth ? c + 1 : -1, c - kGridWidth,
                          c + kGridWidth})
                if (n >= 0 && n < kGridCells && ws.base_grid[n] && zone[n] == zone[s] && !size[n])
                    size[n] = 1, piece.push_back(n);
        }
        for (int c : piece)
            size[c] = static_cast<int>(piece.size());
    }
    return size;
}

}  // namespace

TEST(Print3mf, ZoneTextsInATable) {
    auto ws = std::make_unique<Workspace>();
    test::fill_rect(ws->base_grid, 40, 100, 70, 160, 30);
    test::fill_rect(ws->relief_grid, 40, 100, 70, 160, 30);
    test::fill_rect(ws->pressure_grid, 40, 100, 70, 160, 100);
    const std::string file = test::scratch_dir() + "/zoned.3mf";
    const struct {
        const char *text;
        std::vector<PrintZone> zones;  // empty: refused
        bool exported;                 // the zones cover cells of pressure 100
    } rows[] = {
        {"0:35,96:20,160:10", {{0, 35}, {96, 20}, {160, 10}}, true},
        {" 0 : 35 , 255:100", {{0, 35}, {255, 100}}, true},
        {"101:0", {{101, 0}}, false},
        {"", {}, false},
        {"0:35,", {}, false},
        {"a:10", {}, false},
        {"0:35;96:20", {}, false},
        {"0:3.5", {}, false},
        {"96:20,96:10", {}, false},
        {"96:20,50:10", {}, false},
        {"256:10", {}, false},
        {"0:101", {}, false},
        {"0:99999999999", {}, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<PrintZone> zones{{1, 1}};
        const Result r = parse_print_zones(row.text, zones);
        ASSERT_EQ(r.ok(), !row.zones.empty()) << r.message();
        ASSERT_EQ(zones.size(), row.zones.size());
        for (size_t k = 0; k < zones.size(); ++k)
            EXPECT_TRUE(zones[k].threshold == row.zones[k].threshold &&
                        zones[k].density == row.zones[k].density);
        EXPECT_TRUE(r.ok() || r.message().find("\"0:35,96:20,160:10\"") != std::string::npos);
        if (!r.ok()) continue;
        test::write_file(file, {'o', 'l', 'd'});
        Result e = Result::success();
        test::capture_console([&] { e = export_relief_3mf(*ws, file, zones, {}); });
        EXPECT_EQ(e.ok(), row.exported) << e.message();
        EXPECT_EQ(test::read_file(file).size() == 3, !row.exported);  // a refusal keeps the file
    }
}

TEST(Print3mf, Lib3mfReadsBackTheInsoleAndItsZones) {
    const struct {
        const char *scan, *zones;
        bool noisy;  // random pressures in rows 150..169: slivers to merge, corner contacts
    } rows[] = {
        {"left_253_CM25-26.bmp", "", false},
        {"right_305_CM29-30.bmp", "", false},
        {"left_253_CM25-26.bmp", "0:35,96:20,160:10", false},
        {"right_305_CM29-30.bmp", "40:50,120:15", false},
        {"left_253_CM25-26.bmp", "0:35,96:20,160:10", true},
    };
    std::mt19937 rng(5);
    auto ws = test::startup_workspace();
    const std::string stl = test::scratch_dir() + "/solid.stl", file = stl + ".3mf";
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.scan) + " zones \"" + row.zones + "\"");
        std::vector<PrintZone> zones;
        ASSERT_TRUE(parse_print_zones(row.zones, zones).ok() || zones.empty());
        Result r = Result::success();
        test::capture_console([&] {
            load_scan_file(*ws, (std::string(PEDAFORM_DATA_DIR "/samples/") + row.scan).c_str(),
                           3.0);
            for (int i = 150 * kGridWidth; row.noisy && i < 170 * kGridWidth; ++i)
                ws->pressure_grid[i] = static_cast<uint8_t>(rng());
            ASSERT_TRUE(export_relief_solid(*ws, stl));
            r = export_relief_3mf(*ws, file, zones, {row.scan, {{"gain", "3"}, {"meta1", "2"}}});
        });
        ASSERT_TRUE(r.ok()) << r.message();
        const Mesh m = read_mesh(file, "3mf"), solid = read_mesh(stl, "stl");
        EXPECT_EQ(m.unit, static_cast<DWORD>(NMR::MODELUNIT_MILLIMETER));
        EXPECT_EQ(m.objects, 1);
        EXPECT_EQ(m.metadata.at("Title"), row.scan);
        EXPECT_EQ(m.metadata.at("Application"), "Pedaform");
        EXPECT_NE(m.metadata.at("Description").find("gain=3, meta1=2"), std::string::npos);
        const std::string version = "http://schemas.slic3r.org/3mf/2017/06:Version3mf";
        EXPECT_EQ(m.metadata.count(version) ? m.metadata.at(version) : "",
                  zones.empty() ? "" : "1");

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

        auto pressure_zone = [&](int i) {
            int z = -1;
            for (size_t k = 0; k < zones.size(); ++k)
                if (zones[k].threshold <= ws->pressure_grid[i]) z = static_cast<int>(k);
            return z;
        };
        std::vector<int> covered(kGridCells, 0), covering_zone(kGridCells, -1);
        float insole_top = 0;
        for (size_t p = 0; p < parts.size(); ++p) {
            EXPECT_EQ(parts[p].first, p ? parts[p - 1].second + 1 : 0);
            const Part part = check_part(m, parts[p].first, parts[p].second);
            EXPECT_EQ(part.bad_edges, 0) << "part " << p;
            EXPECT_GT(part.volume, 0) << "part " << p;
            EXPECT_EQ(kinds[p].find("\"ModelPart\"") != std::string::npos, p == 0);
            if (p == 0) {
                insole_top = part.z_max;
                EXPECT_NEAR(part.volume, check_part(solid, 0, solid.t.size() - 1).volume,
                            0.001 * part.volume);
                continue;
            }
            EXPECT_NE(kinds[p].find("key=\"modifier\" value=\"1\""), std::string::npos);
            EXPECT_NE(kinds[p].find("\"ParameterModifier\""), std::string::npos);
            EXPECT_LT(part.z_min, 0.0f);
            EXPECT_GT(part.z_max, insole_top);
            // The part's zone is the one whose pressure range holds most of its cells.
            std::vector<int> mine(kGridCells, 0), votes(zones.size() + 1, 0);
            add_footprint(m, parts[p].first, parts[p].second, mine);
            for (int i = 0; i < kGridCells; ++i)
                votes[pressure_zone(i) + 1] += mine[i];
            const int z = static_cast<int>(std::max_element(votes.begin() + 1, votes.end()) -
                                           votes.begin() - 1);
            const std::string density = std::to_string(zones[z].density);
            EXPECT_NE(kinds[p].find("\"fill_density\" value=\"" + density + "%\""),
                      std::string::npos);
            for (int i = 0; i < kGridCells; ++i)
                if (mine[i]) covered[i] += mine[i], covering_zone[i] = z;
        }
        if (zones.empty()) continue;
        // Foot cells lie under one zone (all of them when the lowest zone starts at 0), other
        // cells under none. A cell leaves the zone of its pressure only when its piece of that
        // zone was a sliver, and no sliver is left (the samples' feet are all in one piece).
        std::vector<int> own(kGridCells);
        for (int i = 0; i < kGridCells; ++i)
            own[i] = pressure_zone(i);
        const std::vector<int> own_piece = piece_sizes(own, *ws);
        const std::vector<int> given_piece = piece_sizes(covering_zone, *ws);
        int strays = 0;
        for (int i = 0; i < kGridCells; ++i) {
            SCOPED_TRACE("cell " + std::to_string(i % 150) + ", " + std::to_string(i / 150));
            const bool foot = ws->base_grid[i] != 0;
            ASSERT_LE(covered[i], foot ? 1 : 0);
            if (!foot) continue;
            ASSERT_TRUE(covered[i] == 1 || zones[0].threshold > 0);
            ASSERT_GE(given_piece[i], kMinZonePieceCells);
            strays += covering_zone[i] != own[i];
            ASSERT_TRUE(covering_zone[i] == own[i] || own_piece[i] < kMinZonePieceCells);
        }
        EXPECT_TRUE(strays > 0 || !row.noisy);
    }
}

TEST(Print3mf, PrusaSlicerUsesMoreFilamentForDenserZones) {
    if (std::system("command -v prusa-slicer >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "prusa-slicer is not installed (scripts/setup installs it)";
    auto ws = test::startup_workspace();
    const std::string dir = test::scratch_dir();
    std::map<int, double> filament;
    for (int density : {5, 60}) {
        const std::string d = std::to_string(density), base = dir + "/zones" + d;
        std::vector<PrintZone> zones;
        ASSERT_TRUE(parse_print_zones("0:" + d + ",96:" + d + ",160:" + d, zones).ok());
        Result r = Result::success();
        test::capture_console([&] {
            load_scan_file(*ws, PEDAFORM_DATA_DIR "/samples/left_253_CM25-26.bmp", 3.0);
            r = export_relief_3mf(*ws, base + ".3mf", zones, {"left_253", {}});
        });
        ASSERT_TRUE(r.ok()) << r.message();
        // Headless: no display, and a bed that holds a 253 mm foot.
        const std::string cmd =
            "env -u DISPLAY -u WAYLAND_DISPLAY prusa-slicer --export-gcode "
            "--bed-shape 0x0,400x0,400x400,0x400 --output '" +
            base + ".gcode' '" + base + ".3mf' > '" + base + ".log' 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        const std::vector<uint8_t> g = test::read_file(base + ".gcode");
        const std::string gcode(g.begin(), g.end());
        const size_t at = gcode.find("; filament used [mm] = ");
        ASSERT_NE(at, std::string::npos);
        filament[density] = std::atof(gcode.c_str() + at + 23);
        EXPECT_GT(filament[density], 0) << density << " %";
    }
    EXPECT_GT(filament[60], filament[5]);
}

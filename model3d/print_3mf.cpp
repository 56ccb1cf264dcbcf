#include "model3d/print_3mf.h"

#include <zip.h>

#include <Model/COM/NMR_DLLInterfaces.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "model3d/row_strips.h"
#include "workspace/file_output.h"

namespace pedaform {

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// Merges exactly equal vertices (by their bits, with -0 taken as 0) through an open-addressing
// table sized for the worst case, three new vertices per facet, at most three quarters full.
class VertexMerger {
  public:
    VertexMerger(size_t facets, std::vector<Vertex> &out) : out_(out) {
        size_t capacity = 16;
        while (capacity < 4 * facets + 16)
            capacity *= 2;
        slots_.assign(capacity, kNone);
        mask_ = capacity - 1;
    }

    uint32_t index(Vertex v) {
        v.x += 0.0f;
        v.y += 0.0f;
        v.z += 0.0f;
        uint32_t b[3];
        std::memcpy(b, &v, sizeof b);
        uint64_t h = b[0] * 0x9E3779B97F4A7C15ull ^ b[1] * 0xC2B2AE3D27D4EB4Full ^
                     b[2] * 0x165667B19E3779F9ull;
        h ^= h >> 29;
        for (size_t s = h & mask_;; s = (s + 1) & mask_) {
            const uint32_t id = slots_[s];
            if (id == kNone) {
                slots_[s] = static_cast<uint32_t>(out_.size());
                out_.push_back(v);
                return slots_[s];
            }
            if (std::memcmp(&out_[id], &v, sizeof v) == 0) return id;
        }
    }

  private:
    std::vector<Vertex> &out_;
    std::vector<uint32_t> slots_;
    size_t mask_ = 0;
};

// The closed prism over the cells of one zone: cell (x, y) spans lattice points x .. x + 1,
// y .. y + 1 (see row_strips.h), lattice point (i, j) standing at x = i - 0.5, y = j - 0.5 mm.
class PrismBuilder {
  public:
    PrismBuilder(const std::vector<int16_t> &cell_zone, PrintMesh &mesh)
        : cell_zone_(cell_zone), mesh_(mesh), ids_(4 * kLattice) {}

    void build(int zone, float z_bottom, float z_top) {
        zone_ = zone;
        z_[0] = z_bottom;
        z_[1] = z_top;
        std::fill(ids_.begin(), ids_.end(), kNone);
        for (int y = 0; y < kGridHeight; ++y)
            for (int x = 0; x < kGridWidth; ++x)
                if (in(x, y)) walls(x, y);
        auto zone_cell = [this](int x, int y) { return in(x, y); };
        cut_into_row_strips(kGridWidth, kGridHeight, zone_cell,
                            [this](LatticePoint a, LatticePoint b, LatticePoint c, int r, int) {
                                for (int level = 0; level < 2; ++level) {
                                    const uint32_t va = vertex(a.x, a.y, level, a.y == r);
                                    const uint32_t vb = vertex(b.x, b.y, level, b.y == r);
                                    const uint32_t vc = vertex(c.x, c.y, level, c.y == r);
                                    level ? add(va, vb, vc) : add(va, vc, vb);
                                }
                            });
    }

  private:
    static constexpr int kLatticeW = kGridWidth + 1;
    static constexpr int kLattice = kLatticeW * (kGridHeight + 1);

    bool in(int x, int y) const {
        return x >= 0 && y >= 0 && x < kGridWidth && y < kGridHeight &&
               cell_zone_[y * kGridWidth + x] == zone_;
    }

    // `upper`: the cell using the point lies in row j (above the point), else in row j - 1.
    // Where two cells of the zone touch only at this point, each gets its own vertex.
    uint32_t vertex(int i, int j, int level, bool upper) {
        const bool a = in(i - 1, j - 1), b = in(i, j - 1), c = in(i - 1, j), d = in(i, j);
        const bool pinch = (a && d && !b && !c) || (b && c && !a && !d);
        const int copy = level * 2 + (pinch && upper ? 1 : 0);
        uint32_t &id = ids_[copy * kLattice + j * kLatticeW + i];
        if (id == kNone) {
            id = static_cast<uint32_t>(mesh_.vertices.size());
            mesh_.vertices.push_back(
                {static_cast<float>(i) - 0.5f, static_cast<float>(j) - 0.5f, z_[level]});
        }
        return id;
    }

    void add(uint32_t a, uint32_t b, uint32_t c) { mesh_.triangles.push_back({{a, b, c}}); }

    // Walls along the sides without a neighbour in the zone, as in build_solid_facets: A to B
    // runs counter-clockwise around the cell seen from above, so the wall faces outward.
    void walls(int x, int y) {
        auto wall = [&](int ai, int aj, int bi, int bj) {
            const uint32_t ab = vertex(ai, aj, 0, aj == y), bb = vertex(bi, bj, 0, bj == y);
            const uint32_t at = vertex(ai, aj, 1, aj == y), bt = vertex(bi, bj, 1, bj == y);
            add(ab, bb, bt);
            add(ab, bt, at);
        };
        if (!in(x, y - 1)) wall(x, y, x + 1, y);
        if (!in(x + 1, y)) wall(x + 1, y, x + 1, y + 1);
        if (!in(x, y + 1)) wall(x + 1, y + 1, x, y + 1);
        if (!in(x - 1, y)) wall(x, y + 1, x, y);
    }

    const std::vector<int16_t> &cell_zone_;
    PrintMesh &mesh_;
    std::vector<uint32_t> ids_;  // [level * 2 + copy][j][i]
    int zone_ = 0;
    float z_[2] = {0, 0};
};

// Text for XML attributes and element content.
std::string xml_escaped(const std::string &s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string description(const PrintDescription &about) {
    std::string text =
        "One grid cell is 1 mm; heights are grey level / 5 mm; the insole stands on z = 0.";
    for (size_t k = 0; k < about.controls.size(); ++k) {
        text += k == 0 ? " Controls: " : ", ";
        text += about.controls[k].first + "=" + about.controls[k].second;
    }
    return text;
}

std::string zone_name(const std::vector<PrintZone> &zones, int zone) {
    const PrintZone &z = zones[zone];
    const int top = zone + 1 < static_cast<int>(zones.size()) ? zones[zone + 1].threshold - 1 : 255;
    return "zone " + std::to_string(zone + 1) + ": pressure " + std::to_string(z.threshold) + ".." +
           std::to_string(top) + ", infill " + std::to_string(z.density) + " %";
}

// ---- the insole alone, through lib3mf ----

struct Lib3mf {
    NMR::PLib3MFBase *handle = nullptr;
    Lib3mf() = default;
    Lib3mf(const Lib3mf &) = delete;
    Lib3mf &operator=(const Lib3mf &) = delete;
    ~Lib3mf() {
        if (handle) NMR::lib3mf_release(handle);
    }
};

Result lib3mf_failure(NMR::PLib3MFBase *instance, const char *step) {
    DWORD code = 0;
    LPCSTR message = nullptr;
    if (instance) NMR::lib3mf_getlasterror(instance, &code, &message);
    return Result::failure(std::string("3MF writer (lib3mf) failed to ") + step +
                           (message && *message ? std::string(": ") + message : std::string()));
}

// A growable byte buffer that lib3mf writes into and seeks back in (for the zip headers). The
// callbacks have lib3mf's ExportStream_WriteCallbackType and _SeekCallbackType signatures and
// return 0 for success.
struct BufferSink {
    std::string *out;
    size_t base, pos;
};

unsigned int sink_write(unsigned char *data, unsigned int bytes, void *user) {
    BufferSink &s = *static_cast<BufferSink *>(user);
    if (s.base + s.pos + bytes > s.out->size()) s.out->resize(s.base + s.pos + bytes);
    std::memcpy(&(*s.out)[s.base + s.pos], data, bytes);
    s.pos += bytes;
    return 0;
}

unsigned int sink_seek(unsigned long long position, void *user) {
    BufferSink &s = *static_cast<BufferSink *>(user);
    s.pos = static_cast<size_t>(position);
    return 0;
}

Result write_with_lib3mf(const PrintModel &model, const PrintDescription &about, std::string &out) {
    Lib3mf m, mesh, item, writer;
    if (NMR::lib3mf_createmodel(&m.handle) != 0) return lib3mf_failure(nullptr, "start");
    // lib3mf 1.8 writes metadata and names as given: escape them here.
    const std::string title = xml_escaped(about.title);
    bool ok = NMR::lib3mf_model_setunit(m.handle, NMR::MODELUNIT_MILLIMETER) == 0 &&
              NMR::lib3mf_model_addmetadatautf8(m.handle, "Title", title.c_str()) == 0 &&
              NMR::lib3mf_model_addmetadatautf8(m.handle, "Application", "Pedaform") == 0 &&
              NMR::lib3mf_model_addmetadatautf8(m.handle, "Description",
                                                xml_escaped(description(about)).c_str()) == 0;
    if (!ok) return lib3mf_failure(m.handle, "set the unit and metadata");

    std::vector<NMR::MODELMESHVERTEX> vertices(model.mesh.vertices.size());
    for (size_t k = 0; k < vertices.size(); ++k) {
        const Vertex &v = model.mesh.vertices[k];
        vertices[k] = {{v.x, v.y, v.z}};
    }
    std::vector<NMR::MODELMESHTRIANGLE> triangles(model.mesh.triangles.size());
    for (size_t k = 0; k < triangles.size(); ++k) {
        const IndexedTriangle &t = model.mesh.triangles[k];
        triangles[k] = {{t.v[0], t.v[1], t.v[2]}};
    }
    if (NMR::lib3mf_model_addmeshobject(m.handle, &mesh.handle) != 0)
        return lib3mf_failure(m.handle, "add the mesh");
    ok = NMR::lib3mf_object_setnameutf8(mesh.handle, title.c_str()) == 0 &&
         NMR::lib3mf_meshobject_setgeometry(mesh.handle, vertices.data(),
                                            static_cast<DWORD>(vertices.size()), triangles.data(),
                                            static_cast<DWORD>(triangles.size())) == 0;
    if (!ok) return lib3mf_failure(mesh.handle, "store the mesh");
    if (NMR::lib3mf_model_addbuilditem(m.handle, mesh.handle, nullptr, &item.handle) != 0)
        return lib3mf_failure(m.handle, "add the build item");
    if (NMR::lib3mf_model_querywriter(m.handle, "3mf", &writer.handle) != 0)
        return lib3mf_failure(m.handle, "open a writer");
    BufferSink sink{&out, out.size(), 0};
    if (NMR::lib3mf_writer_writetocallback(writer.handle, reinterpret_cast<void *>(&sink_write),
                                           reinterpret_cast<void *>(&sink_seek), &sink) != 0)
        return lib3mf_failure(writer.handle, "write the package");
    return Result::success();
}

// ---- the zoned slicer project, through libzip ----

// Writes the mesh lines into a buffer sized for their longest form: a float takes at most 15
// characters in its shortest exact form and an index at most 10, so a vertex line at most 70;
// 64 more for the lines between the lists.
class MeshText {
  public:
    explicit MeshText(size_t lines) : buffer_(lines * 72 + 64, '\0'), at_(&buffer_[0]) {}

    template <size_t N>
    void put(const char (&text)[N]) {
        std::memcpy(at_, text, N - 1);
        at_ += N - 1;
    }
    template <typename T>
    void put(T value) {
        at_ = std::to_chars(at_, at_ + 16, value).ptr;
    }
    std::string take() {
        buffer_.resize(static_cast<size_t>(at_ - buffer_.data()));
        return std::move(buffer_);
    }

  private:
    std::string buffer_;
    char *at_;
};

std::string project_model_xml(const PrintModel &model, const PrintDescription &about) {
    const std::string title = xml_escaped(about.title);
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<model unit=\"millimeter\" xml:lang=\"en-US\" "
        "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\" "
        "xmlns:slic3rpe=\"http://schemas.slic3r.org/3mf/2017/06\">\n"
        " <metadata name=\"slic3rpe:Version3mf\">1</metadata>\n"
        " <metadata name=\"Title\">" +
        title +
        "</metadata>\n <metadata name=\"Application\">Pedaform</metadata>\n"
        " <metadata name=\"Description\">" +
        xml_escaped(description(about)) + "</metadata>\n <resources>\n  <object id=\"1\" name=\"" +
        title + "\" type=\"model\">\n   <mesh>\n    <vertices>\n";
    MeshText mesh(model.mesh.vertices.size() + model.mesh.triangles.size());
    for (const Vertex &v : model.mesh.vertices) {
        mesh.put("<vertex x=\"");
        mesh.put(v.x);
        mesh.put("\" y=\"");
        mesh.put(v.y);
        mesh.put("\" z=\"");
        mesh.put(v.z);
        mesh.put("\"/>\n");
    }
    mesh.put("    </vertices>\n    <triangles>\n");
    for (const IndexedTriangle &t : model.mesh.triangles) {
        mesh.put("<triangle v1=\"");
        mesh.put(t.v[0]);
        mesh.put("\" v2=\"");
        mesh.put(t.v[1]);
        mesh.put("\" v3=\"");
        mesh.put(t.v[2]);
        mesh.put("\"/>\n");
    }
    s += mesh.take();
    s += "    </triangles>\n   </mesh>\n  </object>\n </resources>\n"
         " <build>\n  <item objectid=\"1\"/>\n </build>\n</model>\n";
    return s;
}

std::string project_config_xml(const PrintModel &model, const std::vector<PrintZone> &zones,
                               const PrintDescription &about) {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n"
        " <object id=\"1\" instances_count=\"1\">\n"
        "  <metadata type=\"object\" key=\"name\" value=\"" +
        xml_escaped(about.title) + "\"/>\n";
    for (const PrintPart &part : model.parts) {
        s += "  <volume firstid=\"" + std::to_string(part.first) + "\" lastid=\"" +
             std::to_string(part.last) + "\">\n";
        auto meta = [&](const std::string &key, const std::string &value) {
            s += "   <metadata type=\"volume\" key=\"" + key + "\" value=\"" + xml_escaped(value) +
                 "\"/>\n";
        };
        if (part.zone < 0) {
            meta("name", "insole");
            meta("volume_type", "ModelPart");
        } else {
            meta("name", zone_name(zones, part.zone));
            meta("modifier", "1");
            meta("volume_type", "ParameterModifier");
            meta("fill_density", std::to_string(zones[part.zone].density) + "%");
        }
        s += "  </volume>\n";
    }
    s += " </object>\n</config>\n";
    return s;
}

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n"
    " <Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
    " <Default Extension=\"model\" "
    "ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>\n"
    " <Default Extension=\"config\" ContentType=\"text/xml\"/>\n"
    "</Types>\n";

const char kRelationships[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    " <Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>\n"
    "</Relationships>\n";

// 2000-01-01 00:00 UTC, the time stamp of every file of a zoned package.
constexpr time_t kPackageTime = 946684800;

Result zip_failure(const std::string &step, zip_error_t *error) {
    return Result::failure("3MF writer (libzip) failed to " + step + ": " +
                           zip_error_strerror(error));
}

Result write_project_zip(const std::vector<std::pair<const char *, std::string>> &files,
                         std::string &out) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer) return zip_failure("start", &error);
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(buffer);
        return zip_failure("start", &error);
    }
    zip_source_keep(buffer);  // still needed after zip_close, to read the bytes
    for (const auto &[name, data] : files) {
        zip_source_t *s = zip_source_buffer(archive, data.data(), data.size(), 0);
        const zip_int64_t index = s ? zip_file_add(archive, name, s, ZIP_FL_ENC_UTF_8) : -1;
        // Level 1: the mesh text is very repetitive, and stronger levels cost several times
        // the time for a few per cent of size.
        // A fixed time stamp: the same design gives the same bytes, whenever it is exported.
        if (index < 0 ||
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                     1) != 0 ||
            zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), kPackageTime, 0) != 0) {
            if (s && index < 0) zip_source_free(s);
            Result r = zip_failure(std::string("add ") + name, zip_get_error(archive));
            zip_discard(archive);
            zip_source_free(buffer);
            return r;
        }
    }
    if (zip_close(archive) != 0) {
        Result r = zip_failure("pack the files", zip_get_error(archive));
        zip_discard(archive);
        zip_source_free(buffer);
        return r;
    }
    bool ok = zip_source_open(buffer) == 0;
    zip_int64_t size = -1;
    if (ok) {
        ok = zip_source_seek(buffer, 0, SEEK_END) == 0 && (size = zip_source_tell(buffer)) >= 0 &&
             zip_source_seek(buffer, 0, SEEK_SET) == 0;
        const size_t base = out.size();
        if (ok) {
            out.resize(base + static_cast<size_t>(size));
            ok = zip_source_read(buffer, &out[base], static_cast<zip_uint64_t>(size)) == size;
        }
        if (!ok) out.resize(base);
        zip_source_close(buffer);
    }
    Result r = ok ? Result::success() : zip_failure("read the package", zip_source_error(buffer));
    zip_source_free(buffer);
    return r;
}

}  // namespace

Result build_print_model(const MeshWork &ws, const std::vector<PrintZone> &zones,
                         PrintModel &model) {
    model = PrintModel();
    std::vector<Facet> facets;
    build_solid_facets(ws, facets, SolidBottom::kStrips);
    if (facets.empty())
        return Result::failure("nothing to print: no cell of the relief has four raised corners");

    PrintMesh &mesh = model.mesh;
    mesh.vertices.reserve(facets.size() / 2 + 16);
    mesh.triangles.reserve(facets.size());
    VertexMerger merger(facets.size(), mesh.vertices);
    float z_max = 0;
    for (const Facet &f : facets) {
        IndexedTriangle t;
        for (int k = 0; k < 3; ++k) {
            t.v[k] = merger.index(f.v[k]);
            z_max = std::max(z_max, f.v[k].z);
        }
        mesh.triangles.push_back(t);
    }
    model.parts.push_back({0, static_cast<uint32_t>(mesh.triangles.size() - 1), -1});
    if (zones.empty()) return Result::success();

    std::vector<int16_t> cell_zone;
    assign_print_zones(ws, zones, cell_zone);
    PrismBuilder prisms(cell_zone, mesh);
    for (int z = 0; z < static_cast<int>(zones.size()); ++z) {
        const uint32_t first = static_cast<uint32_t>(mesh.triangles.size());
        prisms.build(z, -1.0f, z_max + 1.0f);
        if (mesh.triangles.size() > first)
            model.parts.push_back({first, static_cast<uint32_t>(mesh.triangles.size() - 1), z});
    }
    if (model.parts.size() == 1)
        return Result::failure("the zones cover no foot cell: every foot pressure is below " +
                               std::to_string(zones.front().threshold) +
                               " (or in pieces too small to print)");
    return Result::success();
}

Result write_print_3mf(const PrintModel &model, const std::vector<PrintZone> &zones,
                       const PrintDescription &about, std::string &out) {
    if (model.parts.size() <= 1) return write_with_lib3mf(model, about, out);
    std::vector<std::pair<const char *, std::string>> files;
    files.emplace_back("[Content_Types].xml", kContentTypes);
    files.emplace_back("_rels/.rels", kRelationships);
    files.emplace_back("3D/3dmodel.model", project_model_xml(model, about));
    files.emplace_back("Metadata/Slic3r_PE_model.config", project_config_xml(model, zones, about));
    return write_project_zip(files, out);
}

Result export_relief_3mf(MeshWork &ws, const std::string &path,
                         const std::vector<PrintZone> &zones, const PrintDescription &about) {
    prepare_relief_mesh(ws);
    PrintModel model;
    Result built = build_print_model(ws, zones, model);
    if (!built) return built;
    std::string data;
    Result written = write_print_3mf(model, zones, about, data);
    if (!written) return written;
    return write_file_atomically(path, data.data(), data.size());
}

}  // namespace pedaform

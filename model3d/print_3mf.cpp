#include "model3d/print_3mf.h"

#include <zip.h>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstring>
#include <sstream>

#include "model3d/closed_solid.h"
#include "core/file_output.h"

namespace pedaform {

namespace {

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

const char *const kPhysicalSize =
    "One grid cell is 1 mm; heights are grey level / 5 mm; the insole stands on z = 0.";

// " Controls: a=1, b=2" after `head` (" Controls: " for one foot), nothing without controls.
std::string controls_text(const PrintDescription &about, const char *head) {
    std::string text;
    for (size_t k = 0; k < about.controls.size(); ++k) {
        text += k == 0 ? head : ", ";
        text += about.controls[k].first + "=" + about.controls[k].second;
    }
    return text;
}

constexpr int kTopCoverDensity = 100;

// The model's Title and Description.
struct ModelText {
    std::string title, description;
};

ModelText model_text_of(const PrintDescription &about) {
    return {print_title(about), kPhysicalSize + controls_text(about, " Controls: ")};
}

std::string part_name(const PrintPart &part, const std::vector<PrintZone> &zones) {
    if (part.top_cover) {
        std::ostringstream name;
        name << "top cover " << part.top_cover_mm << " mm, infill " << kTopCoverDensity << " %";
        return name.str();
    }
    return part.zone ? print_zone_name(zones, *part.zone) : "insole";
}

bool modifier(const PrintPart &part) {
    return part.zone || part.top_cover;
}

int density(const PrintPart &part, const std::vector<PrintZone> &zones) {
    return part.top_cover ? kTopCoverDensity : zones[*part.zone].density;
}

// One foot's object in the package: its model, the object's name, its parts' names' prefix
// (where the parts are objects of their own beside the other foot's) and its placement.
struct PrintItem {
    const PrintModel *model;
    std::string name;
    std::string part_prefix;
    std::optional<ItemPlacement> placement;
};

std::string build_item(int id, const PrintItem &item) {
    std::string s = "  <item objectid=\"" + std::to_string(id) + "\"";
    if (item.placement) s += " transform=\"" + placement_transform(*item.placement) + "\"";
    return s + "/>\n";
}

// The mesh element's text around and in its lists, and the longest numbers: a float in its
// shortest exact form takes at most 15 characters ("-1.17549435e-38"), an index at most 10.
constexpr char kMeshOpen[] = "   <mesh>\n    <vertices>\n";
constexpr char kMeshBetween[] = "    </vertices>\n    <triangles>\n";
constexpr char kMeshClose[] = "    </triangles>\n   </mesh>\n";
constexpr char kVertexOpen[] = "<vertex x=\"", kY[] = "\" y=\"", kZ[] = "\" z=\"";
constexpr char kTriangleOpen[] = "<triangle v1=\"", kV2[] = "\" v2=\"", kV3[] = "\" v3=\"";
constexpr char kLineEnd[] = "\"/>\n";
constexpr size_t kFloatChars = 15, kIndexChars = 10;
constexpr size_t kVertexLine =
    sizeof kVertexOpen + sizeof kY + sizeof kZ + sizeof kLineEnd - 4 + 3 * kFloatChars;
constexpr size_t kTriangleLine =
    sizeof kTriangleOpen + sizeof kV2 + sizeof kV3 + sizeof kLineEnd - 4 + 3 * kIndexChars;
constexpr size_t kMeshFixed = sizeof kMeshOpen + sizeof kMeshBetween + sizeof kMeshClose - 3;

// Writes the mesh lines into a buffer sized for what it holds at its longest. A piece that
// would not fit is not written and fails the text.
class MeshText {
  public:
    MeshText(size_t vertices, size_t triangles)
        : buffer_(kMeshFixed + vertices * kVertexLine + triangles * kTriangleLine, '\0'),
          at_(&buffer_[0]),
          end_(at_ + buffer_.size()) {}

    template <size_t N>
    void put(const char (&text)[N]) {
        if (static_cast<size_t>(end_ - at_) < N - 1) return fail();
        std::memcpy(at_, text, N - 1);
        at_ += N - 1;
    }
    template <typename T>
    void put(T value) {
        const std::to_chars_result r = std::to_chars(at_, end_, value);
        if (r.ec != std::errc()) return fail();
        at_ = r.ptr;
    }
    Result<std::string> take() {
        if (failed_) return Failure{"3MF writer: the mesh text outgrew its buffer"};
        buffer_.resize(static_cast<size_t>(at_ - buffer_.data()));
        return std::move(buffer_);
    }

  private:
    void fail() {
        failed_ = true;
        at_ = end_;
    }
    std::string buffer_;
    char *at_;
    char *end_;
    bool failed_ = false;
};

// "<mesh>" with the meshes' vertices and triangles, each mesh's indices moved past the ones
// before it.
Result<std::string> mesh_element(const std::vector<const Mesh *> &meshes) {
    size_t vertices = 0, triangles = 0;
    for (const Mesh *m : meshes) {
        vertices += m->vertices.size();
        triangles += m->triangles.size();
    }
    MeshText text(vertices, triangles);
    text.put(kMeshOpen);
    for (const Mesh *m : meshes)
        for (const Vertex &v : m->vertices) {
            text.put(kVertexOpen);
            text.put(v.x);
            text.put(kY);
            text.put(v.y);
            text.put(kZ);
            text.put(v.z);
            text.put(kLineEnd);
        }
    text.put(kMeshBetween);
    uint32_t base = 0;
    for (const Mesh *m : meshes) {
        for (const Triangle &t : m->triangles) {
            text.put(kTriangleOpen);
            text.put(base + t.v[0]);
            text.put(kV2);
            text.put(base + t.v[1]);
            text.put(kV3);
            text.put(base + t.v[2]);
            text.put(kLineEnd);
        }
        base += static_cast<uint32_t>(m->vertices.size());
    }
    text.put(kMeshClose);
    return text.take();
}

std::string model_head(const ModelText &about, const char *namespaces, const char *extra_metadata) {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<model unit=\"millimeter\" xml:lang=\"en-US\" "
               "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\"") +
           namespaces + ">\n" + extra_metadata + " <metadata name=\"Title\">" +
           xml_escaped(about.title) +
           "</metadata>\n <metadata name=\"Application\">Pedaform</metadata>\n"
           " <metadata name=\"Description\">" +
           xml_escaped(about.description) + "</metadata>\n <resources>\n";
}

std::string object_open(int id, const std::string &name) {
    return "  <object id=\"" + std::to_string(id) + "\" name=\"" + xml_escaped(name) +
           "\" type=\"model\">\n";
}

// Each foot's insole alone, or PrusaSlicer's one object of several volumes: object k + 1 for
// foot k.
Result<std::string> one_object_model(const std::vector<PrintItem> &items, const ModelText &about,
                                     bool prusa) {
    std::string s =
        prusa ? model_head(about, " xmlns:slic3rpe=\"http://schemas.slic3r.org/3mf/2017/06\"",
                           " <metadata name=\"slic3rpe:Version3mf\">1</metadata>\n")
              : model_head(about, "", "");
    for (size_t k = 0; k < items.size(); ++k) {
        std::vector<const Mesh *> meshes;
        for (const PrintPart &p : items[k].model->parts)
            meshes.push_back(&p.mesh);
        s += object_open(static_cast<int>(k + 1), items[k].name);
        const Result<std::string> mesh = mesh_element(meshes);
        if (!mesh) return mesh;
        s += *mesh;
        s += "  </object>\n";
    }
    s += " </resources>\n <build>\n";
    for (size_t k = 0; k < items.size(); ++k)
        s += build_item(static_cast<int>(k + 1), items[k]);
    return s + " </build>\n</model>\n";
}

// One object's volumes for Metadata/Slic3r_PE_model.config: each part's triangle range within
// the object's mesh, the insole a ModelPart and each zone a ParameterModifier.
void prusa_volumes(const PrintModel &model, const std::vector<PrintZone> &zones, std::string &s) {
    size_t first = 0;
    for (const PrintPart &part : model.parts) {
        const size_t last = first + part.mesh.triangles.size() - 1;
        s += "  <volume firstid=\"" + std::to_string(first) + "\" lastid=\"" +
             std::to_string(last) + "\">\n";
        first = last + 1;
        auto meta = [&](const std::string &key, const std::string &value) {
            s += "   <metadata type=\"volume\" key=\"" + key + "\" value=\"" + xml_escaped(value) +
                 "\"/>\n";
        };
        meta("name", part_name(part, zones));
        if (!modifier(part)) {
            meta("volume_type", "ModelPart");
        } else {
            meta("modifier", "1");
            meta("volume_type", "ParameterModifier");
            meta("fill_density", std::to_string(density(part, zones)) + "%");
        }
        s += "  </volume>\n";
    }
}

std::string prusa_config(const std::vector<PrintItem> &items, const std::vector<PrintZone> &zones) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n";
    for (size_t k = 0; k < items.size(); ++k) {
        s += " <object id=\"" + std::to_string(k + 1) +
             "\" instances_count=\"1\">\n"
             "  <metadata type=\"object\" key=\"name\" value=\"" +
             xml_escaped(items[k].name) + "\"/>\n";
        prusa_volumes(*items[k].model, zones, s);
        s += " </object>\n";
    }
    return s + "</config>\n";
}

// One part as a mesh object of its own; Cura's zones carry their infill settings.
Result<std::string> part_object(int id, const PrintPart &part, const PrintItem &item,
                                const std::vector<PrintZone> &zones, bool cura) {
    std::string s = object_open(
        id, !modifier(part) && cura ? item.name : item.part_prefix + part_name(part, zones));
    if (cura && modifier(part)) {
        // What Cura's own per-model settings make of an infill mesh: no walls, no skins.
        auto setting = [&s](const char *key, const std::string &value) {
            s += std::string("    <metadata name=\"cura:") + key +
                 "\" preserve=\"true\" type=\"xs:string\">" + value + "</metadata>\n";
        };
        s += "   <metadatagroup>\n";
        setting("infill_mesh", "True");
        setting("infill_sparse_density", std::to_string(density(part, zones)));
        setting("wall_thickness", "0");
        setting("top_bottom_thickness", "0");
        if (part.top_cover) setting("infill_mesh_order", "1");
        s += "   </metadatagroup>\n";
    }
    const Result<std::string> mesh = mesh_element({&part.mesh});
    if (!mesh) return mesh;
    return s + *mesh + "  </object>\n";
}

// Each foot's parts as mesh objects: for Cura each a build item; for OrcaSlicer the components
// of the foot's build object, which follows its parts (parts 1..n, object n + 1, then the next
// foot's).
Result<std::string> separate_objects_model(const std::vector<PrintItem> &items,
                                           const std::vector<PrintZone> &zones,
                                           const ModelText &about, Slicer slicer) {
    const bool cura = slicer == Slicer::kCura;
    std::string s = model_head(
        about, cura ? " xmlns:cura=\"http://software.ultimaker.com/xml/cura/3mf/2015/10\"" : "",
        "");
    std::string build;
    int id = 0;
    for (const PrintItem &item : items) {
        const int first = id + 1;
        for (const PrintPart &part : item.model->parts) {
            const Result<std::string> object = part_object(++id, part, item, zones, cura);
            if (!object) return object;
            s += *object;
            if (cura) build += build_item(id, item);
        }
        if (cura) continue;
        s += object_open(++id, item.name) + "   <components>\n";
        for (int k = first; k < id; ++k)
            s += "    <component objectid=\"" + std::to_string(k) + "\"/>\n";
        s += "   </components>\n  </object>\n";
        build += build_item(id, item);
    }
    return s + " </resources>\n <build>\n" + build + " </build>\n</model>\n";
}

std::string orca_config(const std::vector<PrintItem> &items, const std::vector<PrintZone> &zones) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n";
    int id = 0;
    for (const PrintItem &item : items) {
        const int n = static_cast<int>(item.model->parts.size());
        s += "  <object id=\"" + std::to_string(id + n + 1) +
             "\">\n    <metadata key=\"name\" value=\"" + xml_escaped(item.name) + "\"/>\n";
        for (const PrintPart &part : item.model->parts) {
            s += "    <part id=\"" + std::to_string(++id) + "\" subtype=\"" +
                 (modifier(part) ? "modifier_part" : "normal_part") + "\">\n";
            s += "      <metadata key=\"name\" value=\"" + xml_escaped(part_name(part, zones)) +
                 "\"/>\n";
            if (modifier(part))
                s += "      <metadata key=\"sparse_infill_density\" value=\"" +
                     std::to_string(density(part, zones)) + "%\"/>\n";
            s += "    </part>\n";
        }
        s += "  </object>\n";
        ++id;
    }
    return s + "</config>\n";
}

std::string content_types(bool with_config) {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n"
               " <Default Extension=\"rels\" "
               "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
               " <Default Extension=\"model\" "
               "ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>\n") +
           (with_config ? " <Default Extension=\"config\" ContentType=\"text/xml\"/>\n" : "") +
           "</Types>\n";
}

const char kRelationships[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    " <Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>\n"
    "</Relationships>\n";

// 2000-01-01 00:00 UTC, the time stamp of every file of a package.
constexpr time_t kPackageTime = 946684800;

Result<> zip_failure(const std::string &step, zip_error_t *error) {
    return Result<>::failure("3MF writer (libzip) failed to " + step + ": " +
                             zip_error_strerror(error));
}

Result<> write_zip(const std::vector<std::pair<const char *, std::string>> &files,
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
            Result<> r = zip_failure(std::string("add ") + name, zip_get_error(archive));
            zip_discard(archive);
            zip_source_free(buffer);
            return r;
        }
    }
    if (zip_close(archive) != 0) {
        Result<> r = zip_failure("pack the files", zip_get_error(archive));
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
    Result<> r =
        ok ? Result<>::success() : zip_failure("read the package", zip_source_error(buffer));
    zip_source_free(buffer);
    return r;
}

// A closed block for each zone that keeps cells, from below the insole to above it.
void add_zone_blocks(const PreparedRelief &prepared, const uint8_t *pressure,
                     const PrintSettings &settings, PrintModel &model);
// The top cover's shell over the insole.
PrintPart top_cover_part(const PreparedRelief &prepared, const PrintSettings &settings);

}  // namespace

std::optional<Slicer> parse_slicer(const std::string &name) {
    for (Slicer s : {Slicer::kPrusa, Slicer::kOrca, Slicer::kCura})
        if (name == slicer_name(s)) return s;
    return std::nullopt;
}

const char *slicer_name(Slicer slicer) {
    switch (slicer) {
        case Slicer::kOrca:
            return "orca";
        case Slicer::kCura:
            return "cura";
        case Slicer::kPrusa:
            break;
    }
    return "prusa";
}

std::string print_title(const PrintDescription &about) {
    return about.scan + ", " + (about.side.empty() ? "unknown" : about.side) + " foot, " +
           (about.size_label.empty() ? std::string("no size") : "size " + about.size_label) + ", " +
           (about.design_file.empty() ? std::string("unsaved design")
                                      : "design " + about.design_file);
}

std::vector<int16_t> print_zone_cells(const PreparedRelief &prepared, const uint8_t *pressure,
                                      const std::vector<PrintZone> &zones) {
    std::vector<uint8_t> cells;
    mark_insole_cells(prepared.heights.data(), cells);
    std::vector<int16_t> cell_zone;
    assign_print_zones(cells.data(), pressure, zones, cell_zone);
    return cell_zone;
}

Result<PrintModel> build_print_model(const PreparedRelief &prepared, const uint8_t *pressure,
                                     const PrintSettings &settings) {
    if (!(settings.tolerance_mm >= 0 && settings.tolerance_mm <= kMaxMeshTolerance))
        return Failure{"the mesh tolerance must lie between 0 and 1 mm",
                       "網格容差須在 0 到 1 mm 之間"};
    PrintModel model;
    model.parts.emplace_back();
    Mesh &insole = model.parts[0].mesh;
    build_insole_solid(prepared, settings.tolerance_mm, false, insole);
    if (insole.triangles.empty()) return nothing_to_print();
    add_zone_blocks(prepared, pressure, settings, model);
    if (settings.top_cover_mm > 0) model.parts.push_back(top_cover_part(prepared, settings));
    return model;
}

namespace {

void add_zone_blocks(const PreparedRelief &prepared, const uint8_t *pressure,
                     const PrintSettings &settings, PrintModel &model) {
    if (settings.zones.empty()) return;
    const Mesh &insole = model.parts[0].mesh;
    float z_max = 0;
    for (const Vertex &v : insole.vertices)
        z_max = std::max(z_max, v.z);
    const std::vector<int16_t> cell_zone = print_zone_cells(prepared, pressure, settings.zones);
    SolidShape block;
    block.cells_x = kGridWidth;
    block.cells_y = kGridHeight;
    block.origin_x = block.origin_y = -0.5f;
    block.top_z = z_max + 1.0f;
    block.bottom_z = -1.0f;
    for (int z = 0; z < static_cast<int>(settings.zones.size()); ++z) {
        block.cells.assign(kGridCells, 0);
        for (int i = 0; i < kGridCells; ++i)
            block.cells[i] = cell_zone[i] == z;
        PrintPart part;
        part.zone = z;
        build_closed_solid(block, part.mesh);
        if (!part.mesh.triangles.empty()) model.parts.push_back(std::move(part));
    }
}

PrintPart top_cover_part(const PreparedRelief &prepared, const PrintSettings &settings) {
    SolidShape shell = insole_shape(prepared);
    shell.bottom.resize(shell.top.size());
    for (size_t i = 0; i < shell.top.size(); ++i) {
        shell.bottom[i] = shell.top[i] - static_cast<float>(settings.top_cover_mm);
        shell.top[i] += kTopCoverMarginMm;
    }
    shell.per_cell_bottom = true;
    shell.tolerance = settings.tolerance_mm;
    PrintPart part;
    part.top_cover = true;
    part.top_cover_mm = settings.top_cover_mm;
    build_closed_solid(shell, part.mesh);
    return part;
}

}  // namespace

namespace {

// The package of the items, one foot's or a pair's.
Result<> write_items_3mf(const std::vector<PrintItem> &items, const PrintSettings &settings,
                         const ModelText &about, std::string &out) {
    bool zoned = false;
    for (const PrintItem &item : items)
        zoned = zoned || item.model->parts.size() > 1;
    const Result<std::string> model_text =
        !zoned ? one_object_model(items, about, false)
        : settings.slicer == Slicer::kPrusa
            ? one_object_model(items, about, true)
            : separate_objects_model(items, settings.zones, about, settings.slicer);
    if (!model_text) return Failure{model_text.message()};
    std::vector<std::pair<const char *, std::string>> files;
    files.emplace_back("[Content_Types].xml",
                       content_types(zoned && settings.slicer != Slicer::kCura));
    files.emplace_back("_rels/.rels", kRelationships);
    files.emplace_back("3D/3dmodel.model", *model_text);
    if (zoned && settings.slicer == Slicer::kPrusa)
        files.emplace_back("Metadata/Slic3r_PE_model.config", prusa_config(items, settings.zones));
    if (zoned && settings.slicer == Slicer::kOrca)
        files.emplace_back("Metadata/model_settings.config", orca_config(items, settings.zones));
    return write_zip(files, out);
}

}  // namespace

Result<> write_print_3mf(const PrintModel &model, const PrintSettings &settings,
                         const PrintDescription &about, std::string &out) {
    return write_items_3mf({{&model, about.scan, "", std::nullopt}}, settings, model_text_of(about),
                           out);
}

std::string pair_foot_name(int foot, const std::string &scan) {
    return (foot == 0 ? "左 L " : "右 R ") + scan;
}

Result<> write_pair_print_3mf(const std::array<PrintFoot, 2> &feet, const PrintSettings &settings,
                              std::string &out) {
    std::vector<PrintItem> items;
    ModelText text{"", kPhysicalSize};
    for (int k = 0; k < 2; ++k) {
        const PrintFoot &foot = feet[k];
        const std::string name = pair_foot_name(k, foot.about.scan);
        items.push_back({foot.model, name, name + " ", foot.placement});
        text.title += (k == 0 ? "" : "; ") + print_title(foot.about);
        text.description += controls_text(
            foot.about, k == 0 ? " Left foot's controls: " : " Right foot's controls: ");
    }
    return write_items_3mf(items, settings, text, out);
}

Result<std::string> encode_relief_3mf(const uint8_t *insole_relief, const uint8_t *pressure,
                                      const PrintSettings &settings, const PrintDescription &about,
                                      MeshExport *report) {
    PreparedRelief prepared = prepare_insole(insole_relief);
    const Result<PrintModel> built = build_print_model(prepared, pressure, settings);
    if (report != nullptr) {
        report->outline = std::move(prepared.outline);
        report->triangles = 0;
        if (built)
            for (const PrintPart &p : built->parts)
                report->triangles += p.mesh.triangles.size();
    }
    if (!built) return built.reason();
    std::string data;
    const Result<> written = write_print_3mf(*built, settings, about, data);
    if (!written) return written.reason();
    return data;
}

Result<> export_relief_3mf(const uint8_t *insole_relief, const uint8_t *pressure,
                           const std::string &path, const PrintSettings &settings,
                           const PrintDescription &about, MeshExport *report) {
    const Result<std::string> data =
        encode_relief_3mf(insole_relief, pressure, settings, about, report);
    if (!data) return data.reason();
    return write_file_atomically(path, data->data(), data->size());
}

Result<PairPrint> build_pair_print(const std::array<PairPrintInput, 2> &feet,
                                   const PrintSettings &settings,
                                   std::array<MeshExport, 2> *reports) {
    PairPrint print;
    std::array<std::vector<Vertex>, 2> points;
    for (int k = 0; k < 2; ++k) {
        PreparedRelief prepared = prepare_insole(feet[k].insole_relief);
        PrintSettings foot_settings = settings;
        foot_settings.top_cover_mm = feet[k].top_cover_mm;
        Result<PrintModel> built = build_print_model(prepared, feet[k].pressure, foot_settings);
        if (reports != nullptr) (*reports)[k].outline = std::move(prepared.outline);
        if (!built) return built.reason();
        print.models[k] = std::move(*built);
        print.about[k] = feet[k].about;
        for (const PrintPart &p : print.models[k].parts) {
            points[k].insert(points[k].end(), p.mesh.vertices.begin(), p.mesh.vertices.end());
            if (reports != nullptr) (*reports)[k].triangles += p.mesh.triangles.size();
        }
    }
    print.placement = place_pair_on_bed(points, settings.bed);
    return print;
}

Result<std::string> encode_pair_print(const PairPrint &print, const PrintSettings &settings) {
    assert(print.placement);
    std::string data;
    const std::array<PrintFoot, 2> both = {
        PrintFoot{&print.models[0], print.about[0], (*print.placement)[0]},
        PrintFoot{&print.models[1], print.about[1], (*print.placement)[1]}};
    if (Result<> r = write_pair_print_3mf(both, settings, data); !r) return r.reason();
    return data;
}

Result<std::string> encode_foot_print(const PairPrint &print, int foot,
                                      const PrintSettings &settings) {
    std::string data;
    if (Result<> r = write_print_3mf(print.models[foot], settings, print.about[foot], data); !r)
        return r.reason();
    return data;
}

Result<> write_pair_print(const PairPrint &print, const PrintSettings &settings,
                          const std::string &path) {
    const Result<std::string> data = encode_pair_print(print, settings);
    if (!data) return data.reason();
    return write_file_atomically(path, data->data(), data->size());
}

Result<> write_foot_print(const PairPrint &print, int foot, const PrintSettings &settings,
                          const std::string &path) {
    const Result<std::string> data = encode_foot_print(print, foot, settings);
    if (!data) return data.reason();
    return write_file_atomically(path, data->data(), data->size());
}

}  // namespace pedaform

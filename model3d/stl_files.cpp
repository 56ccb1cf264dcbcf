#include "model3d/stl_files.h"

#include <algorithm>
#include <cstring>

#include "model3d/closed_solid.h"
#include "model3d/fixed_format.h"
#include "core/file_output.h"

namespace pedaform {

namespace {

// STL's binary numbers are little-endian whatever the host: the low byte first.
char *put_le(char *dst, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k)
        *dst++ = static_cast<char>((value >> (8 * k)) & 0xFFu);
    return dst;
}

char *put_le(char *dst, float value) {
    static_assert(sizeof(float) == 4, "STL numbers are IEEE 754 single precision");
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return put_le(dst, bits, 4);
}

}  // namespace

namespace {

// Facets are formatted into a buffer of this many at a time, which then goes to the file: a
// whole-file buffer (7 MB of text for a foot) cost more in fresh pages than the formatting.
constexpr size_t kFacetsPerPiece = 4096;

void append_ascii_facets(const Mesh &mesh, size_t first, size_t end, std::string &out) {
    char line[192];
    auto three = [&](const char *lead, size_t lead_len, float a, float b, float c) {
        std::memcpy(line, lead, lead_len);
        size_t n = lead_len;
        n += static_cast<size_t>(format_fixed6(a, line + n));
        line[n++] = ' ';
        n += static_cast<size_t>(format_fixed6(b, line + n));
        line[n++] = ' ';
        n += static_cast<size_t>(format_fixed6(c, line + n));
        line[n++] = '\n';
        out.append(line, n);
    };
    for (size_t k = first; k < end; ++k) {
        const Triangle &t = mesh.triangles[k];
        const Vertex &a = mesh.corner(t, 0), &b = mesh.corner(t, 1), &c = mesh.corner(t, 2);
        const Vertex n = facet_normal(a, b, c);
        three("facet normal ", 13, n.x, n.y, n.z);
        out += "outer loop\n";
        for (const Vertex *v : {&a, &b, &c})
            three("vertex ", 7, v->x, v->y, v->z);
        out += "endloop\nendfacet\n";
    }
}

void append_binary_facets(const Mesh &mesh, size_t first, size_t end, std::string &out) {
    for (size_t k = first; k < end; ++k) {
        const Triangle &t = mesh.triangles[k];
        const Vertex &a = mesh.corner(t, 0), &b = mesh.corner(t, 1), &c = mesh.corner(t, 2);
        char record[50];
        char *p = record;
        for (const Vertex &v : {facet_normal(a, b, c), a, b, c}) {
            p = put_le(p, v.x);
            p = put_le(p, v.y);
            p = put_le(p, v.z);
        }
        put_le(p, 0, 2);  // attribute byte count
        out.append(record, sizeof record);
    }
}

void append_binary_head(const Mesh &mesh, std::string &out) {
    char header[80] = {};
    std::strncpy(header, "Pedaform insole solid", sizeof header);
    out.append(header, sizeof header);
    char count[4];
    put_le(count, static_cast<uint32_t>(mesh.triangles.size()), 4);
    out.append(count, 4);
}

// The file's text as the writer below makes it: `head`, the facets a piece at a time, `tail`.
using AppendFacets = void (*)(const Mesh &, size_t, size_t, std::string &);
Result<> write_in_pieces(const std::string &path, const Mesh &mesh, std::string head,
                         AppendFacets append_facets, const char *tail) {
    AtomicFileWriter file;
    if (Result<> opened = file.open(path); !opened) return opened;
    std::string piece = std::move(head);
    for (size_t first = 0; first < mesh.triangles.size(); first += kFacetsPerPiece) {
        append_facets(mesh, first, std::min(first + kFacetsPerPiece, mesh.triangles.size()), piece);
        file.append(piece.data(), piece.size());
        piece.clear();
    }
    piece += tail;
    file.append(piece.data(), piece.size());
    return file.commit();
}

}  // namespace

void write_ascii_stl(const Mesh &mesh, std::string &out) {
    // Roughly 230 characters a facet; one reservation, then plain appends.
    out.reserve(out.size() + mesh.triangles.size() * 240 + 16);
    out += "solid\n";
    append_ascii_facets(mesh, 0, mesh.triangles.size(), out);
    out += "endsolid";
}

void write_binary_stl(const Mesh &mesh, std::string &out) {
    append_binary_head(mesh, out);
    out.reserve(out.size() + mesh.triangles.size() * 50);
    append_binary_facets(mesh, 0, mesh.triangles.size(), out);
}

void build_insole_solid(const PreparedRelief &prepared, double tolerance_mm, bool per_cell_bottom,
                        Mesh &mesh) {
    const float *w = prepared.heights.data();
    SolidShape shape;
    shape.cells_x = kGridWidth - 1;
    shape.cells_y = kGridHeight - 1;
    shape.cells.resize(static_cast<size_t>(shape.cells_x) * shape.cells_y);
    for (int r = 0; r < shape.cells_y; ++r)
        for (int c = 0; c < shape.cells_x; ++c)
            shape.cells[static_cast<size_t>(r) * shape.cells_x + c] = surface_cell(w, c, r);
    // The lattice is the grid itself: point (i, j) is cell (i, j) of the relief.
    shape.top.resize(kGridCells);
    for (int i = 0; i < kGridCells; ++i)
        shape.top[i] = w[i] / static_cast<float>(kGreyLevelsPerMm);
    shape.per_cell_bottom = per_cell_bottom;
    shape.tolerance = tolerance_mm;
    build_closed_solid(shape, mesh);
}

Result<> export_relief_stl(const uint8_t *relief, const std::string &path, MeshExport *report) {
    PreparedRelief prepared = prepare_relief(relief);
    Mesh mesh;
    build_open_surface(prepared, mesh);
    if (report != nullptr) {
        report->outline = std::move(prepared.outline);
        report->warnings = prepared.report.warnings;
        report->triangles = mesh.triangles.size();
    }
    // The text of write_ascii_stl.
    return write_in_pieces(path, mesh, "solid\n", append_ascii_facets, "endsolid");
}

Result<> export_relief_solid(const uint8_t *relief, const std::string &path, double tolerance_mm,
                             MeshExport *report) {
    PreparedRelief prepared = prepare_relief(relief);
    Mesh mesh;
    build_insole_solid(prepared, tolerance_mm, tolerance_mm == 0, mesh);
    if (report != nullptr) {
        report->outline = std::move(prepared.outline);
        report->triangles = mesh.triangles.size();
    }
    // The bytes of write_binary_stl.
    std::string head;
    append_binary_head(mesh, head);
    return write_in_pieces(path, mesh, std::move(head), append_binary_facets, "");
}

}  // namespace pedaform

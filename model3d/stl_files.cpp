#include "model3d/stl_files.h"

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

void write_ascii_stl(const Mesh &mesh, std::string &out) {
    // Roughly 230 characters a facet; one reservation, then plain appends.
    out.reserve(out.size() + mesh.triangles.size() * 240 + 16);
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
    out += "solid\n";
    for (const Triangle &t : mesh.triangles) {
        const Vertex &a = mesh.corner(t, 0), &b = mesh.corner(t, 1), &c = mesh.corner(t, 2);
        const Vertex n = facet_normal(a, b, c);
        three("facet normal ", 13, n.x, n.y, n.z);
        out += "outer loop\n";
        for (const Vertex *v : {&a, &b, &c})
            three("vertex ", 7, v->x, v->y, v->z);
        out += "endloop\nendfacet\n";
    }
    out += "endsolid";
}

void write_binary_stl(const Mesh &mesh, std::string &out) {
    char header[80] = {};
    std::strncpy(header, "Pedaform insole solid", sizeof header);
    out.append(header, sizeof header);
    char count[4];
    put_le(count, static_cast<uint32_t>(mesh.triangles.size()), 4);
    out.append(count, 4);
    out.reserve(out.size() + mesh.triangles.size() * 50);
    for (const Triangle &t : mesh.triangles) {
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

SolidShape insole_shape(const PreparedRelief &prepared) {
    const float *w = prepared.heights.data();
    SolidShape shape;
    shape.cells_x = kGridWidth - 1;
    shape.cells_y = kGridHeight - 1;
    shape.cells.resize(static_cast<size_t>(shape.cells_x) * shape.cells_y);
    for (int r = 0; r < shape.cells_y; ++r)
        for (int c = 0; c < shape.cells_x; ++c)
            shape.cells[static_cast<size_t>(r) * shape.cells_x + c] = surface_cell(w, c, r);
    shape.top.resize(kGridCells);
    for (int i = 0; i < kGridCells; ++i)
        shape.top[i] = w[i] / static_cast<float>(kGreyLevelsPerMm);
    return shape;
}

void build_insole_solid(const PreparedRelief &prepared, double tolerance_mm, bool per_cell_bottom,
                        Mesh &mesh) {
    SolidShape shape = insole_shape(prepared);
    shape.per_cell_bottom = per_cell_bottom;
    shape.tolerance = tolerance_mm;
    build_closed_solid(shape, mesh);
}

Failure nothing_to_print() {
    return Failure{"nothing to print: no cell of the relief has four raised corners",
                   "鞋墊是空的，沒有可以列印的部分"};
}

std::string encode_relief_stl(const uint8_t *relief, MeshExport *report) {
    PreparedRelief prepared = prepare_relief(relief);
    Mesh mesh;
    build_open_surface(prepared, mesh);
    std::string text;
    write_ascii_stl(mesh, text);
    if (report != nullptr) {
        report->outline = std::move(prepared.outline);
        report->warnings = prepared.report.warnings;
        report->triangles = mesh.triangles.size();
    }
    return text;
}

Result<> export_relief_stl(const uint8_t *relief, const std::string &path, MeshExport *report) {
    const std::string text = encode_relief_stl(relief, report);
    return write_file_atomically(path, text.data(), text.size());
}

Result<std::string> encode_relief_solid(const uint8_t *insole_relief, double tolerance_mm,
                                        MeshExport *report) {
    PreparedRelief prepared = prepare_insole(insole_relief);
    Mesh mesh;
    build_insole_solid(prepared, tolerance_mm, tolerance_mm == 0, mesh);
    if (report != nullptr) {
        report->outline = std::move(prepared.outline);
        report->triangles = mesh.triangles.size();
    }
    if (mesh.triangles.empty()) return nothing_to_print();
    std::string data;
    write_binary_stl(mesh, data);
    return data;
}

Result<> export_relief_solid(const uint8_t *insole_relief, const std::string &path,
                             double tolerance_mm, MeshExport *report) {
    const Result<std::string> data = encode_relief_solid(insole_relief, tolerance_mm, report);
    if (!data) return data.reason();
    return write_file_atomically(path, data->data(), data->size());
}

}  // namespace pedaform

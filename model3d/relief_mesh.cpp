#include "model3d/relief_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "model3d/fixed_format.h"
#include "model3d/row_strips.h"
#include "workspace/console.h"
#include "workspace/file_output.h"

namespace pedaform {

std::unique_ptr<MeshWork> make_mesh_work(const Scan &scan, const DesignResults &results) {
    auto work = std::make_unique<MeshWork>();
    std::memcpy(work->relief_grid, results.relief_grid, sizeof work->relief_grid);
    std::memcpy(work->base_grid, scan.base_grid, sizeof work->base_grid);
    std::memcpy(work->pressure_grid, scan.pressure_grid, sizeof work->pressure_grid);
    return work;
}

namespace {

constexpr float kLevels = static_cast<float>(kGreyLevelsPerMm);

constexpr uint8_t kMarked = 255;
constexpr int kRingSize = 7;
constexpr int kMaxTracePoints = kGridCells;
constexpr int kMaxVisits = 4;

// Trace directions, tried from 7 down to 0 at every step.
constexpr int kStepX[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
constexpr int kStepY[8] = {0, -1, -1, -1, 0, 1, 1, 1};

struct GridPoint {
    int x, y;
    bool operator==(const GridPoint &o) const { return x == o.x && y == o.y; }
};

inline int cell(int x, int y) {
    return y * kGridWidth + x;
}
inline int cell(const OutlinePoint &p) {
    return static_cast<int>(p.y * kGridWidth + p.x);
}

// Work-grid access by outline coordinates.
struct WorkGrid {
    float *w;
    float &at(int x, int y) const { return w[cell(x, y)]; }
    float &at(const OutlinePoint &p) const { return w[cell(p)]; }
};

// True when one whole quadrant around (x, y), two edge neighbours and the diagonal between
// them, is empty: a convex corner of the footprint.
bool is_outline_corner(const WorkGrid &g, int x, int y) {
    if (!(g.at(x, y) > 0)) return false;
    auto empty3 = [&](int ax, int ay, int bx, int by, int cx, int cy) {
        return g.at(ax, ay) == 0 && g.at(bx, by) == 0 && g.at(cx, cy) == 0;
    };
    return empty3(x, y - 1, x - 1, y - 1, x - 1, y) || empty3(x + 1, y + 1, x + 1, y, x, y + 1) ||
           empty3(x - 1, y, x - 1, y + 1, x, y + 1) || empty3(x + 1, y, x + 1, y - 1, x, y - 1);
}

bool is_outline_corner(const WorkGrid &g, const OutlinePoint &p) {
    return is_outline_corner(g, static_cast<int>(p.x), static_cast<int>(p.y));
}

OutlinePoint to_outline(GridPoint p) {
    return {static_cast<float>(p.x), static_cast<float>(p.y)};
}

// Footprint and boundary masks, then the trace from the highest row's leftmost boundary cell.
void trace_outline(MeshWork &ws, const WorkGrid &g, MeshOutline &result) {
    static thread_local uint8_t footprint[kGridCells];
    static thread_local uint8_t boundary[kGridCells];
    static thread_local uint8_t visits[kGridCells];
    std::memset(footprint, 0, sizeof footprint);
    std::memset(boundary, 0, sizeof boundary);
    std::memset(visits, 0, sizeof visits);
    for (int y = 1; y <= kGridHeight - 2; ++y)
        for (int x = 1; x <= kGridWidth - 2; ++x)
            if (g.at(x, y) != 0) footprint[cell(x, y)] = kMarked;
    for (int y = 1; y <= kGridHeight - 2; ++y)
        for (int x = 1; x <= kGridWidth - 2; ++x) {
            const int i = cell(x, y);
            if (footprint[i] && (!footprint[i - 1] || !footprint[i + 1] ||
                                 !footprint[i - kGridWidth] || !footprint[i + kGridWidth]))
                boundary[i] = kMarked;
        }

    GridPoint start{-1, -1};
    for (int y = kGridHeight - 1; y >= 0 && start.x < 0; --y)
        for (int x = 0; x < kGridWidth; ++x)
            if (boundary[cell(x, y)]) {
                start = {x, y};
                break;
            }
    if (start.x < 0) {
        console_printf("outline: no boundary cell inside rows 1..358 and columns 1..148\n");
        return;
    }
    result.traced = true;
    ws.outline_points.push_back(to_outline(start));
    ws.outline_corners.push_back(0);

    GridPoint ring[kRingSize];
    for (GridPoint &r : ring)
        r = start;
    int ring_pos = 0;
    GridPoint current = start;
    visits[cell(start.x, start.y)] = 1;
    const char *stop_reason = nullptr;
    while (!result.closed && stop_reason == nullptr) {
        bool moved = false;
        for (int d = 7; d >= 0; --d) {
            const GridPoint cand{current.x + kStepX[d], current.y + kStepY[d]};
            // current is a boundary cell (rows 1..358, columns 1..148): cand is in the grid.
            if (!boundary[cell(cand.x, cand.y)]) continue;
            if (cand == start) {
                result.closed = true;
                break;
            }
            bool recent = false;
            for (const GridPoint &r : ring)
                recent = recent || r == cand;
            if (recent) continue;

            const int n = static_cast<int>(ws.outline_points.size());
            ws.outline_points.push_back(to_outline(cand));
            if (is_outline_corner(g, cand.x, cand.y)) ws.outline_corners.push_back(n);
            ring[ring_pos] = current;
            ring_pos = (ring_pos + 1) % kRingSize;
            current = cand;
            moved = true;
            if (++visits[cell(cand.x, cand.y)] > kMaxVisits)
                stop_reason = "it circles without reaching its start";
            else if (n + 1 >= kMaxTracePoints)
                stop_reason = "it grew past 54,000 points";
            break;
        }
        if (!result.closed && !moved && stop_reason == nullptr)
            stop_reason = "it reached a dead end";
    }
    if (!result.closed)
        console_printf("outline not closed (%s): the edge facets are left out\n", stop_reason);
}

// A straight run of more than 30 rows between two corners in one column, whose middle cell
// is empty, is a detour through a gap: pull its two middle points onto the column.
void repair_spikes(MeshWork &ws, const WorkGrid &g) {
    std::vector<OutlinePoint> &pts = ws.outline_points;
    const std::vector<int32_t> &corners = ws.outline_corners;
    int i = corners[0];
    OutlinePoint p = pts[i];
    for (size_t k = 1; k < corners.size(); ++k) {
        const int j = corners[k];
        const OutlinePoint q = pts[j];
        const int px = static_cast<int>(p.x);
        const int py = static_cast<int>(p.y), qy = static_cast<int>(q.y);
        if (q.x == p.x && g.at(px, (py + qy) / 2) == 0 && std::abs(py - qy) > 30) {
            const int s = g.at(px - 1, py) != 0 ? px - 1 : px + 1;
            const int m = (i + j) / 2;
            for (int idx : {m, m + 1}) {
                pts[idx].x = p.x;
                const int ym = static_cast<int>(pts[idx].y);
                g.at(px, ym) = g.at(s, ym);
            }
        }
        p = q;
        i = j;
    }
}

// The cell beside a run between corners p and q that carries the run's heights, as the edge
// levelling and the edge facets both use it. Returns false when the pair needs nothing.
enum class PairKind { kNone, kDiagonal, kColumn, kRow };

struct PairGeometry {
    PairKind kind = PairKind::kNone;
    OutlinePoint t{}, u{};  // diagonal: t only; column/row: a = t, b = u
};

PairGeometry pair_geometry(const WorkGrid &g, const OutlinePoint &p, const OutlinePoint &q) {
    PairGeometry pg;
    const int px = static_cast<int>(p.x), py = static_cast<int>(p.y);
    const int qx = static_cast<int>(q.x), qy = static_cast<int>(q.y);
    if (px != qx && py != qy) {
        if (g.at(px, qy) != 0) {
            pg.t = {p.x, q.y};
        } else if (g.at(qx, py) != 0) {
            pg.t = {q.x, p.y};
        } else {
            return pg;  // both candidate cells empty: nothing to fill
        }
        pg.kind = PairKind::kDiagonal;
    } else if (px == qx) {
        if (g.at(px, (py + qy) / 2) != 0) return pg;
        const float s = g.at(px - 1, py) != 0 ? p.x - 1 : p.x + 1;
        pg.kind = PairKind::kColumn;
        pg.t = {s, q.y};
        pg.u = {s, p.y};
    } else {
        if (g.at((px + qx) / 2, py) != 0) return pg;
        const float s = g.at(px, py - 1) != 0 ? p.y - 1 : p.y + 1;
        pg.kind = PairKind::kRow;
        pg.t = {q.x, s};
        pg.u = {p.x, s};
    }
    return pg;
}

// Levels the outline points between consecutive corners to a straight ramp of heights.
int level_edges(MeshWork &ws, const WorkGrid &g) {
    const std::vector<OutlinePoint> &pts = ws.outline_points;
    const std::vector<int32_t> &corners = ws.outline_corners;
    const size_t count = corners.size();
    int levelled = 0;
    for (size_t k = 1; k <= count; ++k) {
        const int i = corners[k - 1];
        const int j = corners[k % count];
        const OutlinePoint &p = pts[i];
        const OutlinePoint &q = pts[j];
        const PairGeometry pg = pair_geometry(g, p, q);
        float start = 0, end = 0;
        switch (pg.kind) {
            case PairKind::kNone:
                continue;
            case PairKind::kDiagonal: {
                if (j - i <= 1) continue;
                const float v = g.at(pg.t);
                if (std::fabs(q.x - pg.t.x) + std::fabs(q.y - pg.t.y) <=
                    std::fabs(p.x - pg.t.x) + std::fabs(p.y - pg.t.y)) {
                    start = g.at(p);
                    end = v;
                } else {
                    start = v;
                    end = g.at(q);
                }
                break;
            }
            case PairKind::kColumn:
            case PairKind::kRow:
                ++levelled;
                start = g.at(pg.u);
                end = g.at(pg.t);
                break;
        }
        // The closing pair runs backwards (j < i) and changes nothing.
        for (int m = i + 1; m < j; ++m) {
            const float f = static_cast<float>(m - i) / static_cast<float>(j - i);
            g.at(pts[m]) = start + f * (end - start);
        }
    }
    return levelled;
}

Vertex vertex_at(const WorkGrid &g, float x, float y) {
    return {x, y, g.at(static_cast<int>(x), static_cast<int>(y)) / kLevels};
}

Vertex vertex_at(const WorkGrid &g, const OutlinePoint &p) {
    return vertex_at(g, p.x, p.y);
}

// Cells of the top surface: all four corners non-zero.
bool top_cell(const float *w, int c, int r) {
    return w[cell(c, r)] != 0 && w[cell(c + 1, r)] != 0 && w[cell(c + 1, r + 1)] != 0 &&
           w[cell(c, r + 1)] != 0;
}

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

MeshOutline prepare_relief_mesh(MeshWork &ws) {
    MeshOutline result;
    ws.outline_points.clear();
    ws.outline_corners.clear();
    for (int i = 0; i < kGridCells; ++i)
        ws.export_grid_a[i] = ws.relief_grid[i];
    const WorkGrid g{ws.export_grid_a};

    trace_outline(ws, g, result);
    if (result.closed && ws.outline_corners.size() > 2) repair_spikes(ws, g);

    result.corners_traced = static_cast<int>(ws.outline_corners.size());
    console_printf("t_point %d\n", result.corners_traced);
    ws.outline_corners.clear();
    for (size_t n = 0; n < ws.outline_points.size(); ++n)
        if (is_outline_corner(g, ws.outline_points[n]))
            ws.outline_corners.push_back(static_cast<int32_t>(n));
    result.corners = static_cast<int>(ws.outline_corners.size());
    console_printf("t_point %d\n", result.corners);

    if (result.closed && ws.outline_corners.size() > 2) {
        result.levelled_runs = level_edges(ws, g);
        console_printf("count_line %d\n", result.levelled_runs);
    }
    return result;
}

void build_surface_facets(const MeshWork &ws, const MeshOutline &outline,
                          std::vector<Facet> &facets) {
    const WorkGrid g{const_cast<float *>(ws.export_grid_a)};
    const float *w = ws.export_grid_a;
    facets.clear();
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!top_cell(w, c, r)) continue;
            const float x = static_cast<float>(c), y = static_cast<float>(r);
            const Vertex a = vertex_at(g, x, y), b = vertex_at(g, x + 1, y);
            const Vertex cc = vertex_at(g, x + 1, y + 1), d = vertex_at(g, x, y + 1);
            facets.push_back({{a, b, cc}});
            facets.push_back({{cc, d, a}});
        }

    const std::vector<int32_t> &corners = ws.outline_corners;
    if (!outline.closed || corners.size() <= 2) return;
    const size_t count = corners.size();
    OutlinePoint p = ws.outline_points[corners[0]];
    for (size_t k = 1; k <= count; ++k) {
        const OutlinePoint q = ws.outline_points[corners[k % count]];
        const PairGeometry pg = pair_geometry(g, p, q);
        if (pg.kind == PairKind::kDiagonal) {
            facets.push_back({{vertex_at(g, pg.t), vertex_at(g, q), vertex_at(g, p)}});
        } else if (pg.kind != PairKind::kNone) {
            const Vertex a = vertex_at(g, pg.t), b = vertex_at(g, pg.u);
            const Vertex vq = vertex_at(g, q), vp = vertex_at(g, p);
            facets.push_back({{a, vq, vp}});
            facets.push_back({{vp, b, a}});
        }
        p = q;
    }
}

Vertex facet_normal(const Facet &f) {
    const float ux = f.v[1].x - f.v[0].x, uy = f.v[1].y - f.v[0].y, uz = f.v[1].z - f.v[0].z;
    const float vx = f.v[2].x - f.v[0].x, vy = f.v[2].y - f.v[0].y, vz = f.v[2].z - f.v[0].z;
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (len == 0.0f) return {0.0f, 0.0f, 0.0f};
    return {nx / len, ny / len, nz / len};
}

void write_ascii_stl(const std::vector<Facet> &facets, std::string &out) {
    // Roughly 230 characters a facet; one reservation, then plain appends.
    out.reserve(out.size() + facets.size() * 240 + 16);
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
    for (const Facet &f : facets) {
        const Vertex n = facet_normal(f);
        three("facet normal ", 13, n.x, n.y, n.z);
        out += "outer loop\n";
        for (const Vertex &v : f.v)
            three("vertex ", 7, v.x, v.y, v.z);
        out += "endloop\nendfacet\n";
    }
    out += "endsolid";
}

Result export_relief_stl(MeshWork &ws, const std::string &path) {
    const MeshOutline outline = prepare_relief_mesh(ws);
    std::vector<Facet> facets;
    build_surface_facets(ws, outline, facets);
    std::string text;
    write_ascii_stl(facets, text);
    return write_file_atomically(path, text.data(), text.size());
}

void build_solid_facets(const MeshWork &ws, std::vector<Facet> &facets, SolidBottom bottom_cut) {
    const float *w = ws.export_grid_a;
    constexpr int kCellsW = kGridWidth - 1, kCellsH = kGridHeight - 1;
    auto present = [&](int c, int r) {
        return c >= 0 && r >= 0 && c < kCellsW && r < kCellsH && top_cell(w, c, r);
    };
    // A lattice point where exactly two diagonally opposite cells are present is shared by
    // two parts that touch only there; each part gets its own copy, nudged into its cell.
    constexpr float kNudge = 0.01f;
    auto point = [&](int vx, int vy, int c, int r, float z) {
        Vertex v{static_cast<float>(vx), static_cast<float>(vy), z};
        const bool sw = present(vx - 1, vy - 1), se = present(vx, vy - 1);
        const bool nw = present(vx - 1, vy), ne = present(vx, vy);
        const bool pinch = (sw && ne && !se && !nw) || (se && nw && !sw && !ne);
        if (pinch) {
            v.x += c == vx ? kNudge : -kNudge;
            v.y += r == vy ? kNudge : -kNudge;
        }
        return v;
    };
    auto top = [&](int vx, int vy, int c, int r) {
        return point(vx, vy, c, r, w[cell(vx, vy)] / kLevels);
    };
    auto bottom = [&](int vx, int vy, int c, int r) { return point(vx, vy, c, r, 0.0f); };

    facets.clear();
    for (int r = 0; r < kCellsH; ++r)
        for (int c = 0; c < kCellsW; ++c) {
            if (!present(c, r)) continue;
            // Top, as the ASCII surface; bottom, the same cell turned over.
            const Vertex a = top(c, r, c, r), b = top(c + 1, r, c, r);
            const Vertex cc = top(c + 1, r + 1, c, r), d = top(c, r + 1, c, r);
            facets.push_back({{a, b, cc}});
            facets.push_back({{cc, d, a}});
            if (bottom_cut == SolidBottom::kPerCell) {
                const Vertex a0 = bottom(c, r, c, r), b0 = bottom(c + 1, r, c, r);
                const Vertex c0 = bottom(c + 1, r + 1, c, r), d0 = bottom(c, r + 1, c, r);
                facets.push_back({{a0, c0, b0}});
                facets.push_back({{c0, a0, d0}});
            }

            // Walls along the sides without a neighbouring cell, running with the cell on
            // their left seen from above, so that the wall faces outward.
            auto wall = [&](int ax, int ay, int bx, int by) {
                const Vertex at = top(ax, ay, c, r), bt = top(bx, by, c, r);
                const Vertex ab = bottom(ax, ay, c, r), bb = bottom(bx, by, c, r);
                facets.push_back({{ab, bb, bt}});
                facets.push_back({{ab, bt, at}});
            };
            if (!present(c, r - 1)) wall(c, r, c + 1, r);
            if (!present(c + 1, r)) wall(c + 1, r, c + 1, r + 1);
            if (!present(c, r + 1)) wall(c + 1, r + 1, c, r + 1);
            if (!present(c - 1, r)) wall(c, r + 1, c, r);
        }
    if (bottom_cut == SolidBottom::kStrips) {
        // Turned over to face down; each point takes its copy for the run's own cell.
        cut_into_row_strips(kCellsW, kCellsH, present,
                            [&](LatticePoint p, LatticePoint q, LatticePoint s, int r, int last) {
                                facets.push_back({{bottom(p.x, p.y, std::min(p.x, last), r),
                                                   bottom(s.x, s.y, std::min(s.x, last), r),
                                                   bottom(q.x, q.y, std::min(q.x, last), r)}});
                            });
    }
}

void write_binary_stl(const std::vector<Facet> &facets, std::string &out) {
    char header[80] = {};
    std::strncpy(header, "Pedaform insole solid", sizeof header);
    out.append(header, sizeof header);
    char count[4];
    put_le(count, static_cast<uint32_t>(facets.size()), 4);
    out.append(count, 4);
    out.reserve(out.size() + facets.size() * 50);
    for (const Facet &f : facets) {
        char record[50];
        char *p = record;
        for (const Vertex &v : {facet_normal(f), f.v[0], f.v[1], f.v[2]}) {
            p = put_le(p, v.x);
            p = put_le(p, v.y);
            p = put_le(p, v.z);
        }
        put_le(p, 0, 2);  // attribute byte count
        out.append(record, sizeof record);
    }
}

Result export_relief_solid(MeshWork &ws, const std::string &path) {
    prepare_relief_mesh(ws);
    std::vector<Facet> facets;
    build_solid_facets(ws, facets);
    std::string data;
    write_binary_stl(facets, data);
    return write_file_atomically(path, data.data(), data.size());
}

}  // namespace pedaform

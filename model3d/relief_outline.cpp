#include "model3d/relief_outline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/console.h"

namespace pedaform {

namespace {

constexpr float kLevels = static_cast<float>(kGreyLevelsPerMm);

constexpr uint8_t kMarked = 255;
constexpr int kRingSize = 7;
constexpr int kMaxTracePoints = kGridCells;
constexpr int kMaxVisits = 4;

// Trace directions, tried from 7 down to 0 at every step.
constexpr int kStepX[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
constexpr int kStepY[8] = {0, -1, -1, -1, 0, 1, 1, 1};

inline int cell(int x, int y) {
    return y * kGridWidth + x;
}
inline int cell(const OutlinePoint &p) {
    return static_cast<int>(p.y * kGridWidth + p.x);
}
inline int cell(const GridPoint &p) {
    return static_cast<int>(p.row) * kGridWidth + static_cast<int>(p.column);
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
    return {p.column, p.row};
}

// Footprint and boundary masks, then the trace from the highest row's leftmost boundary cell.
// The footprint's cells inside rows 1..358 and columns 1..148 that touch a cell outside it.
void mark_boundary(const WorkGrid &g, uint8_t (&boundary)[kGridCells]) {
    static thread_local uint8_t footprint[kGridCells];
    std::memset(footprint, 0, sizeof footprint);
    std::memset(boundary, 0, sizeof boundary);
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
}

// An outline that did not close: the console line, and the warning the batch command repeats.
void say_open(const char *stop_reason, OutlineReport &result) {
    console_printf("outline not closed (%s): the edge facets are left out\n", stop_reason);
    result.warnings.add(
        {std::string("the insole's outline did not close (") + stop_reason +
             "): the surface STL leaves out its edge facets",
         std::string("鞋墊輪廓未能閉合（") + stop_reason + "），表面 STL 缺少邊緣面"});
}

void trace_outline(TracedOutline &outline, const WorkGrid &g, OutlineReport &result) {
    static thread_local uint8_t boundary[kGridCells];
    static thread_local uint8_t visits[kGridCells];
    mark_boundary(g, boundary);
    std::memset(visits, 0, sizeof visits);

    std::optional<GridPoint> first;
    for (int y = kGridHeight - 1; y >= 0 && !first; --y)
        for (int x = 0; x < kGridWidth; ++x)
            if (boundary[cell(x, y)]) {
                first = GridPoint{static_cast<float>(x), static_cast<float>(y)};
                break;
            }
    if (!first) {
        console_printf("outline: no boundary cell inside rows 1..358 and columns 1..148\n");
        return;
    }
    const GridPoint start = *first;
    result.traced = true;
    outline.points.push_back(to_outline(start));
    outline.corners.push_back(0);

    GridPoint ring[kRingSize];
    for (GridPoint &r : ring)
        r = start;
    int ring_pos = 0;
    GridPoint current = start;
    visits[cell(start)] = 1;
    const char *stop_reason = nullptr;
    while (!result.closed && stop_reason == nullptr) {
        bool moved = false;
        for (int d = 7; d >= 0; --d) {
            const GridPoint cand{current.column + kStepX[d], current.row + kStepY[d]};
            // current is a boundary cell (rows 1..358, columns 1..148): cand is in the grid.
            if (!boundary[cell(cand)]) continue;
            if (cand == start) {
                result.closed = true;
                break;
            }
            if (std::find(std::begin(ring), std::end(ring), cand) != std::end(ring)) continue;

            const int n = static_cast<int>(outline.points.size());
            outline.points.push_back(to_outline(cand));
            if (is_outline_corner(g, to_outline(cand))) outline.corners.push_back(n);
            ring[ring_pos] = current;
            ring_pos = (ring_pos + 1) % kRingSize;
            current = cand;
            moved = true;
            if (++visits[cell(cand)] > kMaxVisits)
                stop_reason = "it circles without reaching its start";
            else if (n + 1 >= kMaxTracePoints)
                stop_reason = "it grew past 54,000 points";
            break;
        }
        if (!result.closed && !moved && stop_reason == nullptr)
            stop_reason = "it reached a dead end";
    }
    if (!result.closed) say_open(stop_reason, result);
}

// A straight run of more than 30 rows between two corners in one column, whose middle cell
// is empty, is a detour through a gap: pull its two middle points onto the column.
void repair_spikes(TracedOutline &outline, const WorkGrid &g) {
    std::vector<OutlinePoint> &pts = outline.points;
    const std::vector<int32_t> &corners = outline.corners;
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
int level_edges(const TracedOutline &outline, const WorkGrid &g) {
    const std::vector<OutlinePoint> &pts = outline.points;
    const std::vector<int32_t> &corners = outline.corners;
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

}  // namespace

PreparedRelief prepare_relief(const uint8_t *relief) {
    PreparedRelief p;
    p.heights.assign(relief, relief + kGridCells);
    const WorkGrid g{p.heights.data()};
    TracedOutline &outline = p.outline;
    OutlineReport &result = p.report;

    trace_outline(outline, g, result);
    if (result.closed && outline.corners.size() > 2) repair_spikes(outline, g);

    result.corners_traced = static_cast<int>(outline.corners.size());
    console_printf("t_point %d\n", result.corners_traced);
    outline.corners.clear();
    for (size_t n = 0; n < outline.points.size(); ++n)
        if (is_outline_corner(g, outline.points[n]))
            outline.corners.push_back(static_cast<int32_t>(n));
    result.corners = static_cast<int>(outline.corners.size());
    console_printf("t_point %d\n", result.corners);

    if (result.closed && outline.corners.size() > 2) {
        result.levelled_runs = level_edges(outline, g);
        console_printf("count_line %d\n", result.levelled_runs);
    }
    return p;
}

PreparedRelief prepare_insole(const uint8_t *insole_relief) {
    PreparedRelief p;
    p.heights.assign(insole_relief, insole_relief + kGridCells);
    auto off = [&](int x, int y) {
        return x < 0 || x >= kGridWidth || y < 0 || y >= kGridHeight ||
               insole_relief[cell(x, y)] == 0;
    };
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (!off(x, y) && (off(x - 1, y) || off(x + 1, y) || off(x, y - 1) || off(x, y + 1)))
                p.outline.points.push_back({static_cast<float>(x), static_cast<float>(y)});
    return p;
}

void build_open_surface(const PreparedRelief &prepared, Mesh &mesh) {
    const float *w = prepared.heights.data();
    mesh = Mesh();
    // One vertex per grid point, made when first used.
    std::vector<uint32_t> ids(kGridCells, UINT32_MAX);
    auto at = [&](int x, int y) {
        uint32_t &id = ids[cell(x, y)];
        if (id == UINT32_MAX)
            id = mesh.add_vertex(
                {static_cast<float>(x), static_cast<float>(y), w[cell(x, y)] / kLevels});
        return id;
    };
    auto at_point = [&](const OutlinePoint &p) {
        return at(static_cast<int>(p.x), static_cast<int>(p.y));
    };
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!surface_cell(w, c, r)) continue;
            const uint32_t a = at(c, r), b = at(c + 1, r), cc = at(c + 1, r + 1), d = at(c, r + 1);
            mesh.add_triangle(a, b, cc);
            mesh.add_triangle(cc, d, a);
        }

    const TracedOutline &outline = prepared.outline;
    const std::vector<int32_t> &corners = outline.corners;
    if (!prepared.report.closed || corners.size() <= 2) return;
    const WorkGrid g{const_cast<float *>(w)};
    const size_t count = corners.size();
    OutlinePoint p = outline.points[corners[0]];
    for (size_t k = 1; k <= count; ++k) {
        const OutlinePoint q = outline.points[corners[k % count]];
        const PairGeometry pg = pair_geometry(g, p, q);
        if (pg.kind == PairKind::kDiagonal) {
            mesh.add_triangle(at_point(pg.t), at_point(q), at_point(p));
        } else if (pg.kind != PairKind::kNone) {
            const uint32_t a = at_point(pg.t), b = at_point(pg.u);
            const uint32_t vq = at_point(q), vp = at_point(p);
            mesh.add_triangle(a, vq, vp);
            mesh.add_triangle(vp, b, a);
        }
        p = q;
    }
}

}  // namespace pedaform

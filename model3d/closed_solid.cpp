#include "model3d/closed_solid.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include "model3d/row_strips.h"
#include "model3d/surface_simplify.h"

namespace pedaform {

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
// How far a pinched corner's copies move into their cells: far below a printer's resolution,
// far above float rounding at 360 mm.
constexpr float kNudge = 0.01f;

class SolidBuilder {
  public:
    SolidBuilder(const SolidShape &shape, Mesh &mesh)
        : s_(shape),
          mesh_(mesh),
          lattice_w_(shape.cells_x + 1),
          lattice_(static_cast<size_t>(shape.cells_x + 1) * (shape.cells_y + 1)),
          ids_(4 * lattice_, kNone) {}

    void build() {
        assert(s_.bottom.empty() || s_.per_cell_bottom);
        const bool flat = s_.top.empty();
        const bool simplify = !flat && s_.tolerance > 0;
        const size_t first_vertex = mesh_.vertices.size();
        std::vector<Triangle> top;
        for (int r = 0; r < s_.cells_y; ++r)
            for (int c = 0; c < s_.cells_x; ++c) {
                if (!present(c, r)) continue;
                if (!flat) {
                    const uint32_t a = vertex(c, r, 1, c, r), b = vertex(c + 1, r, 1, c, r);
                    const uint32_t cc = vertex(c + 1, r + 1, 1, c, r),
                                   d = vertex(c, r + 1, 1, c, r);
                    if (simplify) {
                        top.push_back({{a, b, cc}});
                        top.push_back({{cc, d, a}});
                    } else {
                        mesh_.add_triangle(a, b, cc);
                        mesh_.add_triangle(cc, d, a);
                    }
                }
                if (s_.per_cell_bottom) {
                    const uint32_t a = vertex(c, r, 0, c, r), b = vertex(c + 1, r, 0, c, r);
                    const uint32_t cc = vertex(c + 1, r + 1, 0, c, r),
                                   d = vertex(c, r + 1, 0, c, r);
                    mesh_.add_triangle(a, cc, b);
                    mesh_.add_triangle(cc, a, d);
                }
                walls(c, r);
            }
        auto in = [this](int c, int r) { return present(c, r); };
        if (flat)
            cut_into_row_strips(s_.cells_x, s_.cells_y, in,
                                [this](LatticePoint p, LatticePoint q, LatticePoint t, int r,
                                       int last) { strip_triangle(p, q, t, r, last, 1); });
        if (!s_.per_cell_bottom)
            cut_into_row_strips(s_.cells_x, s_.cells_y, in,
                                [this](LatticePoint p, LatticePoint q, LatticePoint t, int r,
                                       int last) { strip_triangle(p, t, q, r, last, 0); });
        if (!simplify) return;
        std::vector<uint8_t> locked(mesh_.vertices.size(), 0);
        for (size_t k = first_vertex; k < locked.size(); ++k)
            locked[k] = border_[k - first_vertex];
        const LatticeHeights heights{lattice_w_, s_.cells_y + 1, s_.origin_x, s_.origin_y,
                                     s_.top.data()};
        simplify_height_surface(mesh_.vertices, locked, heights, s_.tolerance, top);
        mesh_.triangles.insert(mesh_.triangles.end(), top.begin(), top.end());
        drop_unused_vertices(mesh_);
    }

  private:
    bool present(int c, int r) const {
        return c >= 0 && r >= 0 && c < s_.cells_x && r < s_.cells_y &&
               s_.cells[static_cast<size_t>(r) * s_.cells_x + c] != 0;
    }

    // Lattice point (i, j) as used by cell (c, r), on the bottom (level 0) or the top (1).
    uint32_t vertex(int i, int j, int level, int c, int r) {
        const bool a = present(i - 1, j - 1), b = present(i, j - 1);
        const bool d = present(i - 1, j), e = present(i, j);
        const bool pinch = (a && e && !b && !d) || (b && d && !a && !e);
        const int copy = level * 2 + (pinch && r == j ? 1 : 0);
        const size_t point = static_cast<size_t>(j) * lattice_w_ + i;
        uint32_t &id = ids_[copy * lattice_ + point];
        if (id != kNone) return id;
        Vertex v{s_.origin_x + static_cast<float>(i), s_.origin_y + static_cast<float>(j),
                 level == 0 ? (s_.bottom.empty() ? s_.bottom_z : s_.bottom[point])
                            : (s_.top.empty() ? s_.top_z : s_.top[point])};
        if (pinch) {
            v.x += c == i ? kNudge : -kNudge;
            v.y += r == j ? kNudge : -kNudge;
        }
        id = mesh_.add_vertex(v);
        border_.push_back(!(a && b && d && e));
        return id;
    }

    void walls(int c, int r) {
        auto wall = [&](int ai, int aj, int bi, int bj) {
            const uint32_t at = vertex(ai, aj, 1, c, r), bt = vertex(bi, bj, 1, c, r);
            const uint32_t ab = vertex(ai, aj, 0, c, r), bb = vertex(bi, bj, 0, c, r);
            mesh_.add_triangle(ab, bb, bt);
            mesh_.add_triangle(ab, bt, at);
        };
        if (!present(c, r - 1)) wall(c, r, c + 1, r);
        if (!present(c + 1, r)) wall(c + 1, r, c + 1, r + 1);
        if (!present(c, r + 1)) wall(c + 1, r + 1, c, r + 1);
        if (!present(c - 1, r)) wall(c, r + 1, c, r);
    }

    // A strip's point x belongs to the run's cell in column min(x, last).
    void strip_triangle(LatticePoint p, LatticePoint q, LatticePoint t, int r, int last,
                        int level) {
        auto at = [&](LatticePoint l) { return vertex(l.x, l.y, level, std::min(l.x, last), r); };
        const uint32_t a = at(p), b = at(q), c = at(t);
        mesh_.add_triangle(a, b, c);
    }

    const SolidShape &s_;
    Mesh &mesh_;
    const int lattice_w_;
    const size_t lattice_;
    std::vector<uint32_t> ids_;    // [level * 2 + copy][j][i]
    std::vector<uint8_t> border_;  // per vertex made here: on the footprint's border
};

}  // namespace

void build_closed_solid(const SolidShape &shape, Mesh &mesh) {
    SolidBuilder(shape, mesh).build();
}

}  // namespace pedaform

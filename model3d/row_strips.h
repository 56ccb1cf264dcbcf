// A flat face made of whole grid cells, cut into few triangles: one strip per run of cells
// along a row instead of two triangles per cell.
#pragma once

#include <vector>

namespace pedaform {

// Lattice point (x, y) is the corner shared by cells (x - 1 .. x, y - 1 .. y); cell (c, r)
// spans lattice points c .. c + 1, r .. r + 1.
struct LatticePoint {
    int x, y;
};

// Calls face(a, b, c, row, last) for the triangles covering the cells for which present(c, r)
// holds; `present` must answer false outside the region's grid (any c, r). Triangles run
// counter-clockwise seen from +z. Each strip covers a run of cells of row `row` ending at
// column `last`; a point x of it belongs to the run's cell in column min(x, last).
//
// A strip's two long edges carry exactly the lattice points whose four cells are not all in
// the region: the strips above and below carry the same points on a shared stretch, and every
// point of the outline is there, so triangles meet edge to edge with each other and with side
// walls built along each unit edge of the outline. Every triangle has two points on one
// lattice row and one on the other, so none is degenerate.
template <typename Present, typename Face>
void cut_into_row_strips(int width, int height, const Present &present, const Face &face) {
    auto on_outline = [&](int x, int y) {
        const bool a = present(x - 1, y - 1), b = present(x, y - 1);
        const bool c = present(x - 1, y), d = present(x, y);
        return !(a == b && b == c && c == d);
    };
    std::vector<int> bottom, top;
    for (int r = 0; r < height; ++r)
        for (int first = 0; first < width; ++first) {
            if (!present(first, r)) continue;
            int last = first;
            while (present(last + 1, r))
                ++last;
            bottom.clear();
            top.clear();
            for (int x = first; x <= last + 1; ++x) {
                if (on_outline(x, r)) bottom.push_back(x);
                if (on_outline(x, r + 1)) top.push_back(x);
            }
            size_t k = 0, l = 0;
            while (k + 1 < bottom.size() || l + 1 < top.size()) {
                if (l + 1 == top.size() || (k + 1 < bottom.size() && bottom[k + 1] <= top[l + 1])) {
                    face(LatticePoint{bottom[k], r}, LatticePoint{bottom[k + 1], r},
                         LatticePoint{top[l], r + 1}, r, last);
                    ++k;
                } else {
                    face(LatticePoint{bottom[k], r}, LatticePoint{top[l + 1], r + 1},
                         LatticePoint{top[l], r + 1}, r, last);
                    ++l;
                }
            }
            first = last + 1;
        }
}

}  // namespace pedaform

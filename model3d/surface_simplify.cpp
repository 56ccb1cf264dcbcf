#include "model3d/surface_simplify.h"

#include <algorithm>
#include <cmath>

namespace pedaform {

namespace {

struct Point {
    double x, y, z;
};

// z = a x + b y + c
struct Plane {
    double a, b, c;
    double at(double x, double y) const { return a * x + b * y + c; }
};

// Twice the signed area seen from above: positive counter-clockwise.
double cross(const Point &p, const Point &q, const Point &r) {
    return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
}

Plane plane_through(const Point &p, const Point &q, const Point &r) {
    const double d = cross(p, q, r);
    const double a = ((q.z - p.z) * (r.y - p.y) - (q.y - p.y) * (r.z - p.z)) / d;
    const double b = ((q.x - p.x) * (r.z - p.z) - (q.z - p.z) * (r.x - p.x)) / d;
    return {a, b, p.z - a * p.x - b * p.y};
}

bool same_plane(const Plane &p, const Plane &q) {
    return std::fabs(p.a - q.a) < 1e-9 && std::fabs(p.b - q.b) < 1e-9 &&
           std::fabs(p.c - q.c) < 1e-6;
}

// Heights are float grey levels / 5; planes through them agree with the lattice to about
// 1e-6 mm, so a triangle within this of every point it covers counts as exact.
constexpr double kExact = 1e-5;
// Barycentric slack for points on a triangle's edge.
constexpr double kOnEdge = 1e-7;
// A vertex gathers at most this many triangles: fans of many thin triangles make every later
// check cost more and the result no smaller.
constexpr int kMaxFan = 16;
constexpr int kFanSlots = kMaxFan + 4;

class Simplifier {
  public:
    Simplifier(const std::vector<Vertex> &vertices, const std::vector<uint8_t> &locked,
               const LatticeHeights &lattice, double tolerance, std::vector<Triangle> &triangles)
        : lattice_(lattice),
          tolerance_(tolerance),
          triangles_(triangles),
          points_(vertices.size()),
          locked_(locked),
          fans_(vertices.size()),
          alive_(triangles.size(), 1),
          exact_(triangles.size(), 1),
          planes_(triangles.size()) {
        for (size_t k = 0; k < vertices.size(); ++k)
            points_[k] = {vertices[k].x - lattice.origin_x, vertices[k].y - lattice.origin_y,
                          vertices[k].z};
        used_.assign(vertices.size(), 0);
        for (size_t t = 0; t < triangles.size(); ++t) {
            for (uint32_t v : triangles[t].v) {
                Fan &f = fans_[v];
                // A lattice point has at most six triangles of a per-cell cut; a vertex with
                // more than its fan holds is left as it is.
                if (f.count == kFanSlots) used_[v] = kFrozen;
                if (used_[v] == kFrozen) continue;
                f.tri[f.count++] = static_cast<uint32_t>(t);
                used_[v] = kInUse;
            }
            planes_[t] = plane_of(triangles[t]);
        }
    }

    void run() {
        std::vector<uint8_t> dirty(points_.size(), 1);
        std::vector<uint32_t> stamp(points_.size(), 0), around;
        uint32_t pass_stamp = 0;
        for (bool changed = true; changed;) {
            changed = false;
            for (uint32_t v = 0; v < points_.size(); ++v) {
                if (used_[v] != kInUse || locked_[v] || !dirty[v]) continue;
                dirty[v] = 0;
                around.clear();
                ++pass_stamp;
                const Fan &f = fans_[v];
                for (uint32_t k = 0; k < f.count; ++k)
                    for (uint32_t w : triangles_[f.tri[k]].v)
                        if (w != v && stamp[w] != pass_stamp) {
                            stamp[w] = pass_stamp;
                            around.push_back(w);
                        }
                for (uint32_t u : around)
                    if (collapse(v, u)) {
                        for (uint32_t w : around)
                            dirty[w] = 1;
                        changed = true;
                        break;
                    }
            }
        }
        size_t kept = 0;
        for (size_t t = 0; t < triangles_.size(); ++t)
            if (alive_[t]) triangles_[kept++] = triangles_[t];
        triangles_.resize(kept);
    }

  private:
    static constexpr uint8_t kInUse = 1, kFrozen = 2;

    struct Fan {
        uint32_t count = 0;
        uint32_t tri[kFanSlots];
    };

    Plane plane_of(const Triangle &t) const {
        return plane_through(points_[t.v[0]], points_[t.v[1]], points_[t.v[2]]);
    }

    // The largest vertical distance between the triangle's plane and the lattice points it
    // covers; stops early above the tolerance.
    double worst_error(const Triangle &t, const Plane &plane) const {
        const Point &p = points_[t.v[0]], &q = points_[t.v[1]], &r = points_[t.v[2]];
        const double area = cross(p, q, r);
        const int x0 = std::max(0, static_cast<int>(std::ceil(std::min({p.x, q.x, r.x}) - 1e-6)));
        const int x1 = std::min(lattice_.width - 1,
                                static_cast<int>(std::floor(std::max({p.x, q.x, r.x}) + 1e-6)));
        const int y0 = std::max(0, static_cast<int>(std::ceil(std::min({p.y, q.y, r.y}) - 1e-6)));
        const int y1 = std::min(lattice_.height - 1,
                                static_cast<int>(std::floor(std::max({p.y, q.y, r.y}) + 1e-6)));
        double worst = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const Point s{static_cast<double>(x), static_cast<double>(y), 0};
                const double l1 = cross(s, q, r) / area, l2 = cross(p, s, r) / area;
                if (l1 < -kOnEdge || l2 < -kOnEdge || 1 - l1 - l2 < -kOnEdge) continue;
                worst = std::max(
                    worst, std::fabs(plane.at(s.x, s.y) - lattice_.z[y * lattice_.width + x]));
                if (worst > tolerance_) return worst;
            }
        return worst;
    }

    // Moves v onto u: the triangles with both are dropped, the others get u for v.
    bool collapse(uint32_t v, uint32_t u) {
        const Fan &fan = fans_[v];
        if (used_[u] == kFrozen || fans_[u].count + fan.count > kMaxFan + 4) return false;
        size_t n = 0;
        bool coplanar = true;
        for (uint32_t k = 0; k < fan.count; ++k) {
            const uint32_t t = fan.tri[k];
            coplanar = coplanar && exact_[t] && same_plane(planes_[t], planes_[fan.tri[0]]);
            Triangle moved = triangles_[t];
            if (moved.v[0] == u || moved.v[1] == u || moved.v[2] == u) continue;
            for (uint32_t &w : moved.v)
                if (w == v) w = u;
            if (!(cross(points_[moved.v[0]], points_[moved.v[1]], points_[moved.v[2]]) > 1e-9))
                return false;  // it would turn over or stand on its edge
            moved_[n++] = moved;
        }
        // Triangles in one plane, each exact: the new ones lie in it and cover only its points.
        for (size_t k = 0; k < n; ++k) {
            if (coplanar) {
                new_planes_[k] = planes_[fan.tri[0]];
                new_exact_[k] = 1;
                continue;
            }
            new_planes_[k] = plane_of(moved_[k]);
        }
        if (!coplanar) {
            if (!keeps_own_height(v, n)) return false;
            for (size_t k = 0; k < n; ++k) {
                const double e = worst_error(moved_[k], new_planes_[k]);
                if (e > tolerance_) return false;
                new_exact_[k] = e <= kExact;
            }
        }

        size_t k = 0;
        Fan &to = fans_[u];
        for (uint32_t i = 0; i < fan.count; ++i) {
            const uint32_t t = fan.tri[i];
            const Triangle &old = triangles_[t];
            if (old.v[0] == u || old.v[1] == u || old.v[2] == u) {
                alive_[t] = 0;
                for (uint32_t w : old.v)
                    if (w != v) remove(fans_[w], t);
                continue;
            }
            triangles_[t] = moved_[k];
            planes_[t] = new_planes_[k];
            exact_[t] = new_exact_[k];
            ++k;
            to.tri[to.count++] = t;
        }
        fans_[v].count = 0;
        used_[v] = 0;
        return true;
    }

    // The cheapest test first: the removed vertex itself against the new triangle over it.
    bool keeps_own_height(uint32_t v, size_t n) const {
        const Point &s = points_[v];
        for (size_t k = 0; k < n; ++k) {
            const Point &p = points_[moved_[k].v[0]], &q = points_[moved_[k].v[1]],
                        &r = points_[moved_[k].v[2]];
            const double area = cross(p, q, r);
            const double l1 = cross(s, q, r) / area, l2 = cross(p, s, r) / area;
            if (l1 < -kOnEdge || l2 < -kOnEdge || 1 - l1 - l2 < -kOnEdge) continue;
            if (std::fabs(new_planes_[k].at(s.x, s.y) - s.z) > tolerance_) return false;
        }
        return true;
    }

    static void remove(Fan &f, uint32_t t) {
        for (uint32_t k = 0; k < f.count; ++k)
            if (f.tri[k] == t) {
                f.tri[k] = f.tri[--f.count];
                return;
            }
    }

    const LatticeHeights &lattice_;
    const double tolerance_;
    std::vector<Triangle> &triangles_;
    std::vector<Point> points_;
    const std::vector<uint8_t> &locked_;
    std::vector<uint8_t> used_;
    std::vector<Fan> fans_;
    std::vector<uint8_t> alive_, exact_;
    std::vector<Plane> planes_;
    Triangle moved_[kFanSlots];
    Plane new_planes_[kFanSlots];
    uint8_t new_exact_[kFanSlots];
};

}  // namespace

void simplify_height_surface(const std::vector<Vertex> &vertices,
                             const std::vector<uint8_t> &locked, const LatticeHeights &lattice,
                             double tolerance, std::vector<Triangle> &triangles) {
    Simplifier(vertices, locked, lattice, tolerance, triangles).run();
}

}  // namespace pedaform

#include "import/footprints.h"

#include <algorithm>
#include <cmath>

#include "import/binary_morphology.h"

namespace pedaform {

namespace {

struct Period {
    int first, last;  // frames
};

bool counts(const Recording &r, const StuckSensels &stuck, long i) {
    return !r.absent[i] && (!stuck.any() || stuck.kind[i] == kNotStuck);
}

std::vector<Period> contact_periods(const Recording &r, const StuckSensels &stuck,
                                    RecordingLayout layout) {
    if (layout != RecordingLayout::kInShoe) return {{0, r.frames - 1}};
    std::vector<Period> periods;
    bool loaded_before = false;
    for (int f = 0; f < r.frames; ++f) {
        const float *v = r.frame(f);
        int loaded = 0;
        for (long i = 0; i < r.sensels() && loaded < kStepMinLoadedSensels; ++i)
            loaded += v[i] > 0 && counts(r, stuck, i);
        const bool loaded_now = loaded >= kStepMinLoadedSensels;
        if (loaded_now && !loaded_before && static_cast<int>(periods.size()) < kMaxSteps)
            periods.push_back({f, f});
        if (loaded_now) periods.back().last = f;
        loaded_before = loaded_now;
    }
    return periods;
}

struct PeakMaps {
    std::vector<float> peak;
    std::vector<int32_t> first, last;
};

PeakMaps peak_maps(const Recording &r, Period p, const StuckSensels &stuck) {
    const size_t n = static_cast<size_t>(r.sensels());
    PeakMaps m{std::vector<float>(n, 0.0f), std::vector<int32_t>(n, -1),
               std::vector<int32_t>(n, -1)};
    for (int f = p.first; f <= p.last; ++f) {
        const float *v = r.frame(f);
        for (size_t i = 0; i < n; ++i) {
            if (!(v[i] > 0)) continue;
            m.peak[i] = std::max(m.peak[i], v[i]);
            if (m.first[i] < 0) m.first[i] = f;
            m.last[i] = f;
        }
    }
    fill_stuck_sensels(stuck, r, m.peak.data());
    for (size_t i = 0; i < n; ++i) {
        if (r.absent[i]) m.peak[i] = 0;
        if (stuck.any() && stuck.kind[i] != kNotStuck) m.first[i] = m.last[i] = -1;
    }
    return m;
}

template <typename T>
void flip(std::vector<T> &map, int rows, int cols, bool flip_rows, bool flip_cols) {
    if (flip_rows)
        for (int r = 0; r < rows / 2; ++r)
            std::swap_ranges(map.begin() + static_cast<long>(r) * cols,
                             map.begin() + static_cast<long>(r + 1) * cols,
                             map.begin() + static_cast<long>(rows - 1 - r) * cols);
    if (flip_cols)
        for (int r = 0; r < rows; ++r)
            std::reverse(map.begin() + static_cast<long>(r) * cols,
                         map.begin() + static_cast<long>(r + 1) * cols);
}

// Labels 0.. of the groups of loaded sensels, -1 elsewhere: sensels within `join` of each other
// are one group (their discs of join / 2 touch).
std::vector<int32_t> group_labels(const MaskGrid &g, const std::vector<uint8_t> &loaded,
                                  double join, int &groups) {
    std::vector<uint8_t> grown(loaded.size());
    dilate_disc(g, loaded.data(), join / 2, grown.data());
    std::vector<int32_t> label(loaded.size(), -1), stack;
    groups = 0;
    for (size_t seed = 0; seed < loaded.size(); ++seed) {
        if (!loaded[seed] || label[seed] >= 0) continue;
        label[seed] = groups;
        stack.assign(1, static_cast<int32_t>(seed));
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            const int r = i / g.w, c = i % g.w;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const int rr = r + dr, cc = c + dc;
                    if (rr < 0 || rr >= g.h || cc < 0 || cc >= g.w) continue;
                    const int j = rr * g.w + cc;
                    if (!grown[j] || label[j] >= 0) continue;
                    label[j] = groups;
                    stack.push_back(j);
                }
        }
        ++groups;
    }
    for (size_t i = 0; i < loaded.size(); ++i)
        if (!loaded[i]) label[i] = -1;
    return label;
}

std::string whole_number_text(double v) {
    return std::to_string(static_cast<long>(std::lround(v)));
}

struct Box {
    int rmin = 1 << 30, rmax = -1, cmin = 1 << 30, cmax = -1;
};

// Each group's bounding box of sensels.
std::vector<Box> group_boxes(const std::vector<int32_t> &label, int rows, int cols, int groups) {
    std::vector<Box> boxes(groups);
    for (int i = 0; i < rows * cols; ++i) {
        if (label[i] < 0) continue;
        Box &b = boxes[label[i]];
        b.rmin = std::min(b.rmin, i / cols), b.rmax = std::max(b.rmax, i / cols);
        b.cmin = std::min(b.cmin, i % cols), b.cmax = std::max(b.cmax, i % cols);
    }
    return boxes;
}

// The footprint of the sensels labelled `group` within `box`, its window and measures.
Footprint footprint_of(const Recording &r, const FootprintSearch &s, const PeakMaps &m,
                       const std::vector<int32_t> &label, int group, const Box &box) {
    const int rows = r.rows, cols = r.cols;
    const int rmin = box.rmin, rmax = box.rmax, cmin = box.cmin, cmax = box.cmax;
    Footprint f;
    f.r0 = rmin - 1, f.c0 = cmin - 1, f.rows = rmax - rmin + 3, f.cols = cmax - cmin + 3;
    const size_t n = static_cast<size_t>(f.rows) * f.cols;
    f.member.assign(n, 0), f.peak.assign(n, 0.0f), f.first_loaded.assign(n, -1);
    f.first_frame = r.frames, f.last_frame = -1;
    bool edge = false;
    int count = 0;
    for (int rr = rmin; rr <= rmax; ++rr)
        for (int cc = cmin; cc <= cmax; ++cc) {
            const int i = rr * cols + cc;
            if (label[i] != group) continue;
            const size_t k = static_cast<size_t>(rr - f.r0) * f.cols + (cc - f.c0);
            f.member[k] = 1, f.peak[k] = m.peak[i], f.first_loaded[k] = m.first[i];
            f.peak_value = std::max(f.peak_value, m.peak[i]);
            if (m.first[i] >= 0) f.first_frame = std::min(f.first_frame, m.first[i]);
            f.last_frame = std::max(f.last_frame, m.last[i]);
            edge = edge || rr == 0 || cc == 0 || rr == rows - 1 || cc == cols - 1;
            f.centre_x_mm += (cc + 0.5) * s.col_pitch_mm,
                f.centre_y_mm += (rr + 0.5) * s.row_pitch_mm;
            ++count;
        }
    if (f.last_frame < 0) f.first_frame = f.last_frame = 0;  // stuck sensels alone
    f.whole_in_time = r.frames == 1 || (f.first_frame > 0 && f.last_frame < r.frames - 1);
    f.area_cm2 = count * s.row_pitch_mm * s.col_pitch_mm / 100.0;
    f.centre_x_mm /= count, f.centre_y_mm /= count;
    const double length = (rmax - rmin + 1) * s.row_pitch_mm,
                 width = (cmax - cmin + 1) * s.col_pitch_mm;
    f.touches_edge = edge && s.layout == RecordingLayout::kPlate;
    f.extent_mm = std::max(length, width);
    if (f.touches_edge) {
        f.set_aside = "touches the plate's edge";
        f.set_aside_words = "碰到壓力板邊緣";
    } else if (f.extent_mm > kMaxFootprintMm) {
        f.set_aside = "larger than a foot (" + whole_number_text(f.extent_mm) + " mm)";
        f.set_aside_words = "比腳大";
    } else if (f.area_cm2 < kMinFootprintCm2) {
        f.set_aside = "area " + whole_number_text(f.area_cm2) + " cm², under " +
                      whole_number_text(kMinFootprintCm2) + " cm²";
        f.set_aside_words = "面積不到 " + whole_number_text(kMinFootprintCm2) + " cm²";
    }
    return f;
}

}  // namespace

Footprints find_footprints(const Recording &r, const FootprintSearch &s) {
    Footprints out;
    out.rows = r.rows, out.cols = r.cols;
    out.stuck = find_stuck_sensels(r);
    std::vector<uint8_t> absent = r.absent;
    flip(absent, r.rows, r.cols, s.flip_rows, s.flip_cols);
    const MaskGrid g{r.cols, r.rows, s.row_pitch_mm, s.col_pitch_mm};
    for (const Period &p : contact_periods(r, out.stuck, s.layout)) {
        PeakMaps m = peak_maps(r, p, out.stuck);
        flip(m.peak, r.rows, r.cols, s.flip_rows, s.flip_cols);
        flip(m.first, r.rows, r.cols, s.flip_rows, s.flip_cols);
        flip(m.last, r.rows, r.cols, s.flip_rows, s.flip_cols);
        std::vector<uint8_t> loaded(m.peak.size());
        for (size_t i = 0; i < loaded.size(); ++i)
            loaded[i] = m.peak[i] > 0 && !absent[i];
        int groups = 0;
        const std::vector<int32_t> label = group_labels(g, loaded, kFootprintJoinMm, groups);
        const std::vector<Box> boxes = group_boxes(label, r.rows, r.cols, groups);
        for (int k = 0; k < groups; ++k)
            out.list.push_back(footprint_of(r, s, m, label, k, boxes[k]));
    }
    std::stable_sort(out.list.begin(), out.list.end(), [](const Footprint &a, const Footprint &b) {
        if (a.first_frame != b.first_frame) return a.first_frame < b.first_frame;
        return a.r0 != b.r0 ? a.r0 < b.r0 : a.c0 < b.c0;
    });
    return out;
}

}  // namespace pedaform

#include "import/stuck_sensels.h"

#include <algorithm>

namespace pedaform {

namespace {

std::vector<float> minimum_over_frames(const Recording &r) {
    std::vector<float> m(r.frame(0), r.frame(0) + r.sensels());
    for (int f = 1; f < r.frames; ++f) {
        const float *v = r.frame(f);
        for (long i = 0; i < r.sensels(); ++i)
            m[i] = std::min(m[i], v[i]);
    }
    return m;
}

// Sensels far above both neighbours along (dr, dc) and its opposite; outside the grid reads 0.
std::vector<uint8_t> far_above(const Recording &r, const std::vector<float> &m, int dr, int dc) {
    std::vector<uint8_t> out(m.size(), 0);
    auto at = [&](int row, int col) {
        if (row < 0 || row >= r.rows || col < 0 || col >= r.cols) return 0.0f;
        return m[static_cast<size_t>(row) * r.cols + col];
    };
    for (int row = 0; row < r.rows; ++row)
        for (int col = 0; col < r.cols; ++col) {
            const float v = at(row, col);
            const float next = std::max(at(row + dr, col + dc), at(row - dr, col - dc));
            out[static_cast<size_t>(row) * r.cols + col] = v > 0 && v > kStuckRatio * next;
        }
    return out;
}

// Keeps the runs of at least kStuckRunMin set cells along (dr, dc) = (1, 0) or (0, 1).
void keep_runs(std::vector<uint8_t> &set, int rows, int cols, bool along_column) {
    const int lines = along_column ? cols : rows, length = along_column ? rows : cols;
    for (int line = 0; line < lines; ++line) {
        auto cell = [&](int k) -> uint8_t & {
            return set[along_column ? static_cast<size_t>(k) * cols + line
                                    : static_cast<size_t>(line) * cols + k];
        };
        for (int k = 0; k < length;) {
            int end = k;
            while (end < length && cell(end))
                ++end;
            if (end - k < kStuckRunMin)
                for (int j = k; j < end; ++j)
                    cell(j) = 0;
            k = end + 1;
        }
    }
}

std::string span(const char *what, int from, int to) {
    return std::string(what) +
           (from == to ? " " + std::to_string(from + 1)
                       : "s " + std::to_string(from + 1) + "-" + std::to_string(to + 1));
}

// One line for each run of one kind: "column 12 (rows 1-256)", "row 4 (columns 2-9)",
// "row 5, column 7".
std::vector<std::string> describe(const std::vector<uint8_t> &kind, int rows, int cols) {
    std::vector<std::string> found;
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r) {
            if (kind[static_cast<size_t>(r) * cols + c] != kStuckInColumn) continue;
            int end = r;
            while (end + 1 < rows &&
                   kind[static_cast<size_t>(end + 1) * cols + c] == kStuckInColumn)
                ++end;
            found.push_back("column " + std::to_string(c + 1) + " (" + span("row", r, end) + ")");
            r = end;
        }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const uint8_t k = kind[static_cast<size_t>(r) * cols + c];
            if (k == kStuckAlone)
                found.push_back("row " + std::to_string(r + 1) + ", column " +
                                std::to_string(c + 1));
            if (k != kStuckInRow) continue;
            int end = c;
            while (end + 1 < cols && kind[static_cast<size_t>(r) * cols + end + 1] == kStuckInRow)
                ++end;
            found.push_back("row " + std::to_string(r + 1) + " (" + span("column", c, end) + ")");
            c = end;
        }
    return found;
}

}  // namespace

StuckSensels find_stuck_sensels(const Recording &r) {
    StuckSensels stuck;
    if (r.frames < kStuckMinFrames) return stuck;
    const std::vector<float> m = minimum_over_frames(r);
    std::vector<uint8_t> column = far_above(r, m, 0, 1), row = far_above(r, m, 1, 0);
    std::vector<uint8_t> alone(m.size());
    for (size_t i = 0; i < m.size(); ++i)
        alone[i] = column[i] && row[i];
    keep_runs(column, r.rows, r.cols, true);
    keep_runs(row, r.rows, r.cols, false);
    std::vector<uint8_t> kind(m.size(), kNotStuck);
    bool any = false;
    for (size_t i = 0; i < m.size(); ++i) {
        if (r.absent[i]) continue;
        kind[i] = column[i]  ? kStuckInColumn
                  : row[i]   ? kStuckInRow
                  : alone[i] ? kStuckAlone
                             : kNotStuck;
        any = any || kind[i] != kNotStuck;
    }
    if (!any) return stuck;
    stuck.found = describe(kind, r.rows, r.cols);
    stuck.kind = std::move(kind);
    return stuck;
}

void fill_stuck_sensels(const StuckSensels &stuck, const Recording &recording, float *map) {
    if (!stuck.any()) return;
    const int rows = recording.rows, cols = recording.cols;
    static const int kColumnSides[][2] = {{0, -1}, {0, 1}};
    static const int kRowSides[][2] = {{-1, 0}, {1, 0}};
    static const int kAllSides[][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const uint8_t k = stuck.kind[static_cast<size_t>(r) * cols + c];
            if (k == kNotStuck) continue;
            const int(*sides)[2] = k == kStuckInColumn ? kColumnSides
                                   : k == kStuckInRow  ? kRowSides
                                                       : kAllSides;
            const int count = k == kStuckAlone ? 4 : 2;
            float sum = 0;
            int n = 0;
            for (int s = 0; s < count; ++s) {
                const int rr = r + sides[s][0], cc = c + sides[s][1];
                if (rr < 0 || rr >= rows || cc < 0 || cc >= cols) continue;
                const size_t j = static_cast<size_t>(rr) * cols + cc;
                if (stuck.kind[j] != kNotStuck || recording.absent[j]) continue;
                sum += map[j];
                ++n;
            }
            map[static_cast<size_t>(r) * cols + c] = n > 0 ? sum / n : 0.0f;
        }
}

}  // namespace pedaform

#include "tools/recording_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pedaform {
namespace synth {

namespace {

// Squared distance from (cu, cv) in units of the semi-axes: 1 on the ellipse.
double ellipse(double u, double v, double cu, double cv, double ru, double rv) {
    const double a = (u - cu) / ru, b = (v - cv) / rv;
    return a * a + b * b;
}

double blob(double u, double v, double cu, double cv, double su, double sv) {
    return std::exp(-ellipse(u, v, cu, cv, su, sv));
}

// The lesser toes' centres, shares of the length (u, v), from the second toe out.
constexpr double kLesserToes[4][2] = {{0.04, 0.86}, {-0.03, 0.845}, {-0.09, 0.82}, {-0.14, 0.79}};
constexpr double kLesserToeRadius = 0.028;

bool inside_foot(double u, double v, double L) {
    if (ellipse(u, v, 0, 0.14 * L, 0.125 * L, 0.14 * L) <= 1) return true;  // heel
    const double s = (v - 0.14 * L) / (0.56 * L);
    if (s >= 0 && s <= 1) {  // midfoot: the lateral band, the medial edge drawn in by the arch
        const double lateral = -0.125 * L - 0.035 * L * s;
        const double medial = 0.125 * L + 0.075 * L * s - 0.135 * L * std::sin(M_PI * s);
        if (u >= lateral && u <= medial) return true;
    }
    if (ellipse(u, v, 0.02 * L, 0.705 * L, 0.18 * L, 0.095 * L) <= 1) return true;   // ball
    if (ellipse(u, v, 0.12 * L, 0.875 * L, 0.055 * L, 0.055 * L) <= 1) return true;  // hallux
    for (const auto &t : kLesserToes)
        if (ellipse(u, v, t[0] * L, t[1] * L, kLesserToeRadius * L, kLesserToeRadius * L) <= 1)
            return true;
    return false;
}

// The share of a point's peak load at frame t, the load moving from heel to toes.
double load_share(const FootStep &s, double v, int t) {
    if (s.stance_frames <= 0) return 1;  // standing
    const double along = std::clamp(v / s.length_mm, 0.0, 1.0);
    const double on = s.strike_frame + 0.3 * s.stance_frames * along;
    const double off = s.strike_frame + s.stance_frames * (0.55 + 0.45 * along);
    if (t <= on || t >= off) return 0;
    return std::sin(M_PI * (t - on) / (off - on));
}

struct SenselStep {
    std::vector<double> peak, along;  // per sensel: the step's full load and v
};

SenselStep place_step(const SensorRecording &r, const FootStep &s) {
    const double a = s.heading_degrees * M_PI / 180;
    const double ax = std::sin(a), ay = std::cos(a);
    // Medial: a left foot's is on the walker's right, (-ay, ax) as seen from above.
    const double side = s.right_foot ? -1 : 1, mx = -ay * side, my = ax * side;
    SenselStep out{std::vector<double>(static_cast<size_t>(r.rows) * r.cols),
                   std::vector<double>(static_cast<size_t>(r.rows) * r.cols)};
    for (int row = 0; row < r.rows; ++row)
        for (int col = 0; col < r.cols; ++col) {
            const double dx = (col + 0.5) * r.col_pitch_mm - s.heel_x_mm;
            const double dy = (row + 0.5) * r.row_pitch_mm - s.heel_y_mm;
            const size_t i = static_cast<size_t>(row) * r.cols + col;
            out.along[i] = dx * ax + dy * ay;
            out.peak[i] = foot_pressure(s, dx * mx + dy * my, out.along[i]);
        }
    return out;
}

std::vector<float> peak_over_frames(const SensorRecording &r) {
    const std::vector<float> frames = sensor_frames(r);
    const size_t n = static_cast<size_t>(r.rows) * r.cols;
    std::vector<float> peak(n, 0.0f);
    for (int f = 0; f < r.frames; ++f)
        for (size_t i = 0; i < n; ++i)
            peak[i] = std::max(peak[i], frames[f * n + i]);
    return peak;
}

// 1 for sensels farther than the margin from every loaded sensel.
std::vector<int> absent_sensels(const SensorRecording &r) {
    const std::vector<float> peak = peak_over_frames(r);
    std::vector<int> absent(peak.size(), 0);
    if (r.sensor_margin_mm <= 0) return absent;
    const int dr = static_cast<int>(r.sensor_margin_mm / r.row_pitch_mm);
    const int dc = static_cast<int>(r.sensor_margin_mm / r.col_pitch_mm);
    for (int row = 0; row < r.rows; ++row)
        for (int col = 0; col < r.cols; ++col) {
            bool near = false;
            for (int y = std::max(0, row - dr); y <= std::min(r.rows - 1, row + dr) && !near; ++y)
                for (int x = std::max(0, col - dc); x <= std::min(r.cols - 1, col + dc); ++x)
                    near = near || peak[static_cast<size_t>(y) * r.cols + x] > 0;
            absent[static_cast<size_t>(row) * r.cols + col] = !near;
        }
    return absent;
}

void append_value(std::string &out, float v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(v));
    out += text;
}

}  // namespace

double foot_pressure(const FootStep &s, double u, double v) {
    const double L = s.length_mm;
    if (!inside_foot(u, v, L)) return 0;
    double share = 0.12 + 0.88 * blob(u, v, 0, 0.14 * L, 0.09 * L, 0.1 * L) +
                   0.8 * blob(u, v, 0.14 * L, 0.72 * L, 0.05 * L, 0.05 * L) +
                   0.9 * blob(u, v, 0.03 * L, 0.71 * L, 0.06 * L, 0.05 * L) +
                   0.55 * blob(u, v, -0.13 * L, 0.645 * L, 0.04 * L, 0.05 * L) +
                   0.6 * blob(u, v, 0.12 * L, 0.875 * L, 0.035 * L, 0.035 * L);
    for (const auto &t : kLesserToes)
        share += 0.25 * blob(u, v, t[0] * L, t[1] * L, 0.02 * L, 0.02 * L);
    return std::min(1.0, share) * s.peak_kpa;
}

std::vector<float> sensor_frames(const SensorRecording &r) {
    const size_t n = static_cast<size_t>(r.rows) * r.cols;
    std::vector<float> values(n * r.frames, 0.0f);
    for (const FootStep &s : r.steps) {
        const SenselStep placed = place_step(r, s);
        for (int f = 0; f < r.frames; ++f)
            for (size_t i = 0; i < n; ++i)
                if (placed.peak[i] > 0)
                    values[f * n + i] += static_cast<float>(
                        placed.peak[i] * load_share(s, placed.along[i], f) / r.kpa_per_unit);
    }
    if (r.stuck_column >= 0)
        for (int f = 0; f < r.frames; ++f)
            for (int row = 0; row < r.rows; ++row)
                values[f * n + static_cast<size_t>(row) * r.cols + r.stuck_column] = r.stuck_value;
    return values;
}

std::string rolloff_text(const SensorRecording &r) {
    const std::vector<float> values = sensor_frames(r);
    std::string out;
    out.reserve(values.size() * 4 + static_cast<size_t>(r.frames) * 32);
    for (int f = 0; f < r.frames; ++f) {
        char head[64];
        std::snprintf(head, sizeof head, "Frame %d (%.2f ms)\r\n", f, f * 7.94);
        out += head;
        for (int row = 0; row < r.rows; ++row) {
            for (int col = 0; col < r.cols; ++col) {
                if (col) out += '\t';
                append_value(out, values[(static_cast<size_t>(f) * r.rows + row) * r.cols + col],
                             1);
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

std::string tekscan_text(const SensorRecording &r, bool mirror_cols) {
    const std::vector<float> values = sensor_frames(r);
    const std::vector<int> absent = absent_sensels(r);
    char head[512];
    std::snprintf(head, sizeof head,
                  "DATA_TYPE MOVIE\r\nVERSION synthetic\r\nSENSOR_TYPE FSCAN\r\nROWS %d\r\n"
                  "COLS %d\r\nROW_SPACING %.2f mm\r\nCOL_SPACING %.2f mm\r\nCOMMENTS:\r\n"
                  "generated for the tests\r\nSTART_FRAME 1\r\nEND_FRAME %d\r\n"
                  "UNITS KPa\r\nMIRROR_ROW 0\r\nMIRROR_COL %d\r\nASCII_DATA @@\r\n\r\n",
                  r.rows, r.cols, r.row_pitch_mm, r.col_pitch_mm, r.frames, mirror_cols ? 1 : 0);
    std::string out = head;
    for (int f = 0; f < r.frames; ++f) {
        out += "Frame " + std::to_string(f + 1) + "\r\n";
        for (int row = 0; row < r.rows; ++row) {
            for (int k = 0; k < r.cols; ++k) {
                const int col = mirror_cols ? r.cols - 1 - k : k;
                const size_t i = static_cast<size_t>(row) * r.cols + col;
                if (k) out += ',';
                if (absent[i])
                    out += 'B';
                else
                    append_value(out,
                                 values[static_cast<size_t>(f) * r.rows * r.cols + i] *
                                     static_cast<float>(r.kpa_per_unit),
                                 0);
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out + "@@\r\n";
}

std::string peak_grid_text(const SensorRecording &r, char separator) {
    const std::vector<float> peak = peak_over_frames(r);
    std::string out;
    for (int col = 0; col < r.cols; ++col)
        out += (col ? std::string(1, separator) : "") + "c" + std::to_string(col + 1);
    out += "\n";
    for (int row = 0; row < r.rows; ++row) {
        for (int col = 0; col < r.cols; ++col) {
            if (col) out += separator;
            append_value(out, peak[static_cast<size_t>(row) * r.cols + col], 1);
        }
        out += "\n";
    }
    return out;
}

}  // namespace synth
}  // namespace pedaform

#include "import/pressure_import.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "import/footprints.h"
#include "import/grid_reader.h"
#include "import/pressure_units.h"
#include "import/recording_text.h"
#include "import/rolloff_reader.h"
#include "import/scan_placement.h"
#include "import/tekscan_reader.h"

namespace pedaform {

namespace {

// A Tekscan sensor no larger than this is worn in a shoe; a larger one is a mat or a walkway.
constexpr double kInShoeMaxLengthMm = 420, kInShoeMaxWidthMm = 200;
constexpr long kInShoeMaxSensels = 10000;
// A side score this close to 0 hardly tells the side.
constexpr double kSideDoubtMm = 2.0;
// The header of a Tekscan file lies within its first bytes.
constexpr size_t kHeaderSearchBytes = 1 << 16;
constexpr int kMaxKpaAt255 = 65535;

RecordingSource detect_source(std::string_view text) {
    TextLines lines(text.substr(0, kHeaderSearchBytes));
    std::string_view line;
    bool first = true;
    while (lines.next(line)) {
        const std::string_view t = trim(line);
        if (t.empty()) continue;
        if (first && starts_with_word(t, "Frame")) return RecordingSource::kPlateRollOff;
        if (starts_with_word(t, "ASCII_DATA")) return RecordingSource::kTekscanMovie;
        first = false;
    }
    return RecordingSource::kPeakGrid;
}

Result<Recording> read_recording(std::string_view text, RecordingSource source) {
    switch (source) {
        case RecordingSource::kTekscanMovie:
            return read_tekscan_asf(text);
        case RecordingSource::kPlateRollOff:
            return read_plate_rolloff(text);
        case RecordingSource::kPeakGrid:
            break;
    }
    return read_peak_grid(text);
}

// The pitch and the unit: the operator's, else the file's; kPa per unit into `kpa`.
Result<> settle_scale(Recording &r, const ImportOptions &o, Import &out, double &kpa) {
    if (o.row_pitch_mm > 0) r.row_pitch_mm = o.row_pitch_mm, r.col_pitch_mm = o.col_pitch_mm;
    if (r.row_pitch_mm <= 0 || r.col_pitch_mm <= 0)
        return Failure{"the file does not give the sensor pitch: give --pitch ROW_MM,COL_MM",
                       "檔案沒有記錄感測點間距"};
    if (!o.units.empty()) r.unit = o.units;
    if (r.unit.empty())
        return Failure{"the file does not give the values' unit: give --units (kPa, N/cm2, ...)",
                       "檔案沒有記錄壓力單位"};
    const Result<double> factor = kpa_per_unit(r.unit);
    if (!factor) return Failure{factor.message()};
    kpa = *factor;
    out.row_pitch_mm = r.row_pitch_mm, out.col_pitch_mm = r.col_pitch_mm, out.unit = r.unit;
    return Result<>::success();
}

RecordingLayout layout_of(const Recording &r) {
    if (r.source == RecordingSource::kPeakGrid) return RecordingLayout::kPeakGrid;
    if (r.source == RecordingSource::kTekscanMovie &&
        r.rows * r.row_pitch_mm <= kInShoeMaxLengthMm &&
        r.cols * r.col_pitch_mm <= kInShoeMaxWidthMm && r.sensels() <= kInShoeMaxSensels)
        return RecordingLayout::kInShoe;
    return RecordingLayout::kPlate;
}

const char *layout_name(RecordingLayout layout) {
    switch (layout) {
        case RecordingLayout::kPlate:
            return "plate";
        case RecordingLayout::kInShoe:
            return "in-shoe";
        case RecordingLayout::kPeakGrid:
            break;
    }
    return "peak grid";
}

// The side a file's name ends in: "...L", "..._R", "...left" (case ignored), after a digit,
// '_', '-', ' ' or '.' for a single letter.
bool side_in_name(const std::string &name, FootSide &side) {
    std::string stem = name.substr(name.find_last_of('/') + 1);
    stem = stem.substr(0, stem.find_last_of('.'));
    for (char &c : stem)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    auto ends = [&](const char *w) {
        const size_t n = std::char_traits<char>::length(w);
        return stem.size() >= n && stem.compare(stem.size() - n, n, w) == 0;
    };
    if (ends("left") || ends("right")) {
        side = ends("left") ? FootSide::kLeft : FootSide::kRight;
        return true;
    }
    if (stem.empty() || (stem.back() != 'l' && stem.back() != 'r')) return false;
    const char before = stem.size() > 1 ? stem[stem.size() - 2] : '_';
    if (!(before >= '0' && before <= '9') && before != '_' && before != '-' && before != ' ' &&
        before != '.')
        return false;
    side = stem.back() == 'l' ? FootSide::kLeft : FootSide::kRight;
    return true;
}

struct Measured {
    FootRaster raster;
    FootMeasures measures;
};

// The raster's contact, cropped, in levels of its own peak.
FootPicture picture_of(const FootRaster &raster) {
    int x0 = raster.w, x1 = -1;
    float peak = 0;
    for (int y = raster.heel_row; y <= raster.toe_row; ++y)
        for (int x = 0; x < raster.w; ++x)
            if (raster.contact_at(x, y)) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                peak = std::max(peak, raster.pressure_at(x, y));
            }
    FootPicture p;
    if (x1 < x0) return p;
    p.w = x1 - x0 + 1, p.h = raster.toe_row - raster.heel_row + 1;
    p.level.assign(static_cast<size_t>(p.w) * p.h, 0);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            if (!raster.contact_at(x0 + x, raster.heel_row + y)) continue;
            const float share =
                peak > 0 ? raster.pressure_at(x0 + x, raster.heel_row + y) / peak : 0;
            p.level[static_cast<size_t>(y) * p.w + x] =
                static_cast<uint8_t>(std::clamp(1.0f + std::round(share * 254.0f), 1.0f, 255.0f));
        }
    return p;
}

}  // namespace

const char *foot_side_name(FootSide side) {
    return side == FootSide::kLeft ? "left" : "right";
}

std::string imported_scan_name(const std::string &recording, FootSide side) {
    std::string name = recording.substr(recording.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0) name.resize(dot);
    return name + (side == FootSide::kLeft ? "_L.bmp" : "_R.bmp");
}

namespace {

// The footprint in 1 mm cells and its measures: sampled along its principal axis, measured,
// then sampled again turned as the sample feet lie.
std::optional<Measured> measure(const Footprint &f, const FootprintSearch &s,
                                const ImportOptions &o) {
    const FootFrame frame = find_foot_frame(f, s.row_pitch_mm, s.col_pitch_mm, s.layout);
    FootRaster first = sample_footprint(f, s.row_pitch_mm, s.col_pitch_mm, frame);
    if (first.empty()) return std::nullopt;
    const FootMeasures measures = measure_foot(first);
    const FootSide side = o.side_given ? o.side : measures.side;
    const FootFrame placed = turned(frame, placement_turn_degrees(measures, side));
    Measured m{sample_footprint(f, s.row_pitch_mm, s.col_pitch_mm, placed), {}};
    if (m.raster.empty()) return std::nullopt;
    m.measures = measure_foot(m.raster);
    m.measures.side = measures.side;
    m.measures.side_score_mm = measures.side_score_mm;
    return m;
}

// Every footprint's entry, measured unless it was set aside for its size.
void measure_footprints(const Footprints &fps, const FootprintSearch &s, const ImportOptions &o,
                        double kpa, Import &out, std::vector<std::optional<Measured>> &measured) {
    for (size_t i = 0; i < fps.list.size(); ++i) {
        const Footprint &f = fps.list[i];
        ImportedFootprint e;
        e.number = static_cast<int>(i) + 1;
        e.first_frame = f.first_frame, e.last_frame = f.last_frame;
        e.whole_in_time = f.whole_in_time;
        e.area_cm2 = f.area_cm2;
        e.centre_x_mm = f.centre_x_mm, e.centre_y_mm = f.centre_y_mm;
        e.peak_kpa = f.peak_value * kpa;
        e.set_aside = f.set_aside, e.set_aside_words = f.set_aside_words;
        std::optional<Measured> m;
        // A step cut by the plate's edge is still measured for the report; nothing larger than
        // a foot is.
        if ((f.set_aside.empty() || f.touches_edge) && f.extent_mm <= kMaxFootprintMm) {
            m = measure(f, s, o);
            if (!m && e.set_aside.empty())
                e.set_aside = "no contact left once resampled",
                e.set_aside_words = "重新取樣後沒有接觸";
        }
        if (m) {
            e.measured = true;
            e.side = o.side_given ? o.side : m->measures.side;
            e.length_mm = m->measures.length_mm, e.width_mm = m->measures.width_mm;
            e.arch_index = m->measures.arch_index;
            e.picture = picture_of(m->raster);
        }
        out.footprints.push_back(e);
        measured.push_back(std::move(m));
    }
}

// Warnings about the chosen feet's sides: a shape that hardly tells, a name that says
// otherwise.
void check_sides(const ImportOptions &o, RecordingLayout layout, const int (&chosen)[2],
                 const std::vector<std::optional<Measured>> &measured, Import &out) {
    if (o.side_given) return;
    FootSide named_side = FootSide::kLeft;
    const bool named = layout != RecordingLayout::kPlate && side_in_name(o.file_name, named_side);
    for (const int i : chosen) {
        if (i < 0) continue;
        const ImportedFootprint &e = out.footprints[i];
        const std::string which = "footprint " + std::to_string(e.number);
        if (std::fabs(measured[i]->measures.side_score_mm) < kSideDoubtMm)
            out.warnings.push_back(which + ": its shape hardly tells its side (read as " +
                                   foot_side_name(e.side) + "); --side sets it");
        if (named && named_side != e.side)
            out.warnings.push_back(which + ": the file's name says " + foot_side_name(named_side) +
                                   " but the foot's shape reads " + foot_side_name(e.side) +
                                   "; --side sets it");
    }
}

std::string no_footprint(const Import &out) {
    if (out.footprints.empty()) return "no footprint: no sensel was loaded";
    std::string text =
        "no footprint: " + std::to_string(out.footprints.size()) + " found, each set aside:";
    constexpr size_t kListed = 6;
    for (size_t i = 0; i < out.footprints.size() && i < kListed; ++i)
        text += (i ? "; " : " ") + std::to_string(out.footprints[i].number) + " " +
                out.footprints[i].set_aside;
    if (out.footprints.size() > kListed) text += "; ...";
    return text;
}

// The footprint each side's scan comes from (-1 for none): the chosen steps for their sides,
// and the most complete one for a side without.
Result<> choose_steps(const ImportOptions &o, const Import &out, int (&chosen)[2]) {
    chosen[0] = chosen[1] = -1;
    const int n = static_cast<int>(out.footprints.size());
    for (const int step : o.steps) {
        const std::string which = "--step " + std::to_string(step);
        if (step < 1 || step > n)
            return Failure{which + ": the recording has " + std::to_string(n) + " footprint" +
                               (n == 1 ? "" : "s"),
                           "沒有第 " + std::to_string(step) + " 個足印"};
        const ImportedFootprint &e = out.footprints[step - 1];
        if (!e.set_aside.empty())
            return Failure{which + ": that footprint was set aside (" + e.set_aside + ")",
                           "第 " + std::to_string(step) + " 個足印未採用"};
        int &side = chosen[static_cast<int>(e.side)];
        if (side >= 0)
            return Failure{which + ": footprint " + std::to_string(side + 1) +
                               " was chosen for that foot already",
                           "同一隻腳選了兩個足印"};
        side = step - 1;
    }
    for (int side = 0; side < 2; ++side) {
        if (chosen[side] >= 0) continue;
        for (int i = 0; i < n; ++i) {
            const ImportedFootprint &e = out.footprints[i];
            if (!e.set_aside.empty() || !e.measured || static_cast<int>(e.side) != side) continue;
            const ImportedFootprint *best =
                chosen[side] < 0 ? nullptr : &out.footprints[chosen[side]];
            if (!best || e.whole_in_time > best->whole_in_time ||
                (e.whole_in_time == best->whole_in_time && e.area_cm2 > best->area_cm2))
                chosen[side] = i;
        }
    }
    if (chosen[0] < 0 && chosen[1] < 0) return Failure{no_footprint(out), "記錄中沒有可用的足印"};
    return Result<>::success();
}

Result<> make_scans(const Footprints &fps, const std::vector<std::optional<Measured>> &measured,
                    const int (&chosen)[2], double kpa, Import &out) {
    const int frames = out.frames;
    for (int side = 0; side < 2; ++side) {
        const int k = chosen[side];
        if (k < 0) continue;
        const Footprint &f = fps.list[k];
        const Measured &m = *measured[k];
        int kpa_at_255 = 0;
        double units_at_255 = f.peak_value > 0 ? f.peak_value : 1.0;
        if (kpa > 0) {
            kpa_at_255 = static_cast<int>(
                std::clamp(std::ceil(f.peak_value * kpa), 1.0, double{kMaxKpaAt255}));
            units_at_255 = kpa_at_255 / kpa;
        }
        const FootSide foot = static_cast<FootSide>(side);
        Result<PlacedScan> placed =
            place_foot(m.raster, m.measures, foot, units_at_255, kpa_at_255);
        if (!placed) return Failure{"footprint " + std::to_string(k + 1) + ": " + placed.message()};
        ImportedScan s;
        s.side = foot, s.footprint = k + 1, s.pixels = std::move(placed->pixels);
        for (int i = 0; i < 5; ++i) {
            s.landmarks[i] = placed->landmarks[i];
            s.landmarks_mm[i] = m.measures.landmarks[i].y - m.raster.heel_row;
        }
        s.arch_index = m.measures.arch_index, s.kpa_at_255 = kpa_at_255;
        s.size_bin_length = placed->bin_length;
        out.footprints[k].used = true;
        // A foot loaded from the first frame to the last stood still; one cut at one end only
        // walked in or out of the recording.
        const bool cut = (f.first_frame == 0) != (f.last_frame == frames - 1);
        if (cut)
            out.warnings.push_back(std::string("the ") + foot_side_name(foot) +
                                   " foot's scan comes from footprint " + std::to_string(k + 1) +
                                   ", loaded in the recording's first or last frame: it may lack "
                                   "part of the step");
        out.scans.push_back(std::move(s));
    }
    return Result<>::success();
}

std::string stuck_warning(const StuckSensels &stuck) {
    std::string text = "stuck sensels found and filled from their neighbours:";
    constexpr size_t kListed = 8;
    for (size_t i = 0; i < stuck.found.size() && i < kListed; ++i)
        text += (i ? ", " : " ") + stuck.found[i];
    if (stuck.found.size() > kListed)
        text += " and " + std::to_string(stuck.found.size() - kListed) + " more";
    return text;
}

}  // namespace

Result<RecordingScale> recording_scale(std::string_view bytes) {
    RecordingScale scale;
    scale.source = detect_source(bytes);
    if (scale.source != RecordingSource::kTekscanMovie) return scale;
    const Result<Recording> header = read_tekscan_header(bytes);
    if (!header) return header.reason();
    scale.row_pitch_mm = header->row_pitch_mm, scale.col_pitch_mm = header->col_pitch_mm;
    scale.unit = header->unit;
    return scale;
}

Result<Import> import_recording(std::string_view bytes, const ImportOptions &o) {
    Import out;
    out.source = detect_source(bytes);
    Result<Recording> read = read_recording(bytes, out.source);
    if (!read) return read.reason();
    Recording &r = *read;
    double kpa = 0;
    if (Result<> e = settle_scale(r, o, out, kpa); !e) return e.reason();
    const RecordingLayout layout = layout_of(r);
    out.layout = layout_name(layout);
    out.rows = r.rows, out.cols = r.cols, out.frames = r.frames;
    const FootprintSearch search{layout, r.row_pitch_mm, r.col_pitch_mm, r.mirror_rows,
                                 r.mirror_cols != o.mirror};
    const Footprints fps = find_footprints(r, search);
    if (fps.stuck.any()) out.warnings.push_back(stuck_warning(fps.stuck));
    std::vector<std::optional<Measured>> measured;
    measure_footprints(fps, search, o, kpa, out, measured);
    int chosen[2];
    if (Result<> e = choose_steps(o, out, chosen); !e) return e.reason();
    check_sides(o, layout, chosen, measured, out);
    if (Result<> e = make_scans(fps, measured, chosen, kpa, out); !e) return Failure{e.message()};
    return out;
}

}  // namespace pedaform

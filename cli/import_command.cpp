#include "cli/import_command.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

#include "cli/batch.h"
#include "core/file_output.h"
#include "import/pressure_units.h"
#include "io/picture_io.h"
#include "relief/engraving_bmp.h"

namespace pedaform {

namespace {

const char *const kImportUsage =
    "usage: pedaform-cli import FILE --out DIR [options]\n"
    "\n"
    "Turns a pressure recording into scans, one a foot: DIR/NAME_L.bmp and/or DIR/NAME_R.bmp.\n"
    "FILE is a Tekscan ASCII movie (.asf), a plate's roll-off text export or a peak-pressure\n"
    "grid (CSV or TSV).\n"
    "\n"
    "  --out DIR            folder the scans are written to\n"
    "  --pitch R,C          sensor pitch in mm from row to row and column to column, e.g.\n"
    "                       7.62,5.08 (needed unless the file gives it)\n"
    "  --units U            the values' unit: kPa, N/cm2, MPa, psi, mmHg or kg/cm2 (needed\n"
    "                       unless the file gives it)\n"
    "  --step K             use footprint K (as the report numbers them) for its side\n"
    "  --side left|right    every footprint is of that foot, whatever its shape says\n"
    "  --mirror             the plate records seen from below: turn its columns\n"
    "  --report FILE|-      JSON list of every footprint (\"-\": standard output)\n"
    "  --quiet              no summary lines\n"
    "\n"
    "Exit status: 0 done, 2 usage error, 3 recording refused, 4 a scan could not be written.\n";

bool parse_step(const std::string &text, int &out) {
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || *end != '\0' || v < 1 || v > 100000) return false;
    out = static_cast<int>(v);
    return true;
}

// One option with its value; false for an unknown option.
Result<> parse_option(const std::string &name, const std::string &value, ImportCommand &c) {
    ImportOptions &o = c.options;
    if (name == "--out") {
        c.out_dir = value;
    } else if (name == "--report") {
        c.report = value;
    } else if (name == "--pitch") {
        return parse_pitch(value, o.row_pitch_mm, o.col_pitch_mm);
    } else if (name == "--units") {
        if (Result<double> u = kpa_per_unit(value); !u) return Failure{"--units: " + u.message()};
        o.units = value;
    } else if (name == "--step") {
        int step = 0;
        if (!parse_step(value, step))
            return Failure{"--step takes a footprint's number, 1 or more"};
        o.steps.assign(1, step);
    } else if (name == "--side") {
        if (value != "left" && value != "right") return Failure{"--side takes left or right"};
        o.side_given = true;
        o.side = value == "left" ? FootSide::kLeft : FootSide::kRight;
    } else {
        return Failure{"unknown option " + name + " (pedaform-cli import --help)"};
    }
    return Result<>::success();
}

}  // namespace

std::string import_usage_text() {
    return kImportUsage;
}

Result<> parse_import_command(int argc, const char *const *argv, ImportCommand &c) {
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help") {
            c.help = true;
        } else if (word == "--mirror") {
            c.options.mirror = true;
        } else if (word == "--quiet") {
            c.quiet = true;
        } else if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            if (i + 1 >= argc) return Failure{word + " needs a value"};
            if (Result<> r = parse_option(word, argv[++i], c); !r) return r;
        } else if (c.recording.empty()) {
            c.recording = word;
        } else {
            return Failure{"one recording at a time: " + word};
        }
    }
    if (c.help) return Result<>::success();
    if (c.recording.empty()) return Failure{"no recording named (pedaform-cli import --help)"};
    if (c.out_dir.empty()) return Failure{"--out DIR is needed"};
    c.options.file_name = c.recording;
    return Result<>::success();
}

namespace {

const char *source_name(RecordingSource source) {
    switch (source) {
        case RecordingSource::kTekscanMovie:
            return "Tekscan ASCII movie";
        case RecordingSource::kPlateRollOff:
            return "plate roll-off";
        case RecordingSource::kPeakGrid:
            break;
    }
    return "peak grid";
}

std::string scan_path(const ImportCommand &c, FootSide side) {
    return c.out_dir + "/" + imported_scan_name(c.recording, side);
}

// v to `decimals` places, as the shortest decimal the report prints.
double rounded(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

nlohmann::ordered_json footprint_json(const ImportedFootprint &f, const Import &im) {
    nlohmann::ordered_json j;
    j["number"] = f.number;
    j["side"] = f.measured ? nlohmann::ordered_json(foot_side_name(f.side)) : nullptr;
    j["length_mm"] = f.measured ? nlohmann::ordered_json(rounded(f.length_mm, 1)) : nullptr;
    j["width_mm"] = f.measured ? nlohmann::ordered_json(rounded(f.width_mm, 1)) : nullptr;
    j["area_cm2"] = rounded(f.area_cm2, 1);
    j["centre_mm"] = {rounded(f.centre_x_mm, 1), rounded(f.centre_y_mm, 1)};
    j["peak_kpa"] = f.peak_kpa > 0 ? nlohmann::ordered_json(rounded(f.peak_kpa, 1)) : nullptr;
    j["arch_index"] = f.measured ? nlohmann::ordered_json(rounded(f.arch_index, 2)) : nullptr;
    j["frames"] = {f.first_frame, f.last_frame};
    j["whole_in_time"] = f.whole_in_time || im.frames == 1;
    j["used"] = f.used;
    j["set_aside"] =
        f.set_aside.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(f.set_aside);
    return j;
}

nlohmann::ordered_json report_json(const ImportCommand &c, const Import &im) {
    nlohmann::ordered_json report;
    report["recording"] = c.recording;
    report["format"] = source_name(im.source);
    report["layout"] = im.layout;
    report["sensels"] = {im.rows, im.cols};
    report["pitch_mm"] = {im.row_pitch_mm, im.col_pitch_mm};
    report["unit"] = im.unit;
    report["frames"] = im.frames;
    report["footprints"] = nlohmann::ordered_json::array();
    for (const ImportedFootprint &f : im.footprints)
        report["footprints"].push_back(footprint_json(f, im));
    report["scans"] = nlohmann::ordered_json::array();
    for (const ImportedScan &s : im.scans) {
        nlohmann::ordered_json landmarks = nlohmann::ordered_json::array(), mm = landmarks;
        for (int k = 0; k < 5; ++k) {
            landmarks.push_back({s.landmarks[k].row, s.landmarks[k].column});
            mm.push_back(rounded(s.landmarks_mm[k], 1));
        }
        report["scans"].push_back({{"side", foot_side_name(s.side)},
                                   {"file", scan_path(c, s.side)},
                                   {"footprint", s.footprint},
                                   {"pressure_full_scale_kpa", s.kpa_at_255},
                                   {"arch_index", rounded(s.arch_index, 2)},
                                   {"size_bin_length", s.size_bin_length},
                                   {"landmarks", landmarks},
                                   {"landmarks_mm_from_heel", mm}});
    }
    report["warnings"] = im.warnings;
    return report;
}

void print_summary(const ImportCommand &c, const Import &im) {
    std::printf("%s: %s, %d frame%s of %d x %d sensels\n", c.recording.c_str(),
                source_name(im.source), im.frames, im.frames == 1 ? "" : "s", im.rows, im.cols);
    for (const ImportedFootprint &f : im.footprints) {
        std::printf("footprint %d: ", f.number);
        if (f.measured)
            std::printf("%s, %.0f x %.0f mm, peak %.0f kPa, arch index %.2f",
                        foot_side_name(f.side), f.length_mm, f.width_mm, f.peak_kpa, f.arch_index);
        else
            std::printf("%.1f cm2", f.area_cm2);
        std::printf("%s%s\n", f.used ? ", used" : "",
                    f.set_aside.empty() ? "" : (", set aside: " + f.set_aside).c_str());
    }
    for (const ImportedScan &s : im.scans)
        std::printf("%s\n", scan_path(c, s.side).c_str());
}

int refused(const ImportCommand &c, const std::string &why) {
    std::fprintf(stderr, "pedaform-cli: %s: %s\n", c.recording.c_str(), why.c_str());
    return kBatchScanRefused;
}

int not_written(const std::string &why) {
    std::fprintf(stderr, "pedaform-cli: %s\n", why.c_str());
    return kBatchWriteFailed;
}

}  // namespace

int run_import_command(const ImportCommand &c) {
    const Result<std::vector<uint8_t>> bytes = read_file_bytes(c.recording, kMaxRecordingBytes);
    if (!bytes) return refused(c, bytes.message());
    const std::string_view text(reinterpret_cast<const char *>(bytes->data()), bytes->size());
    const Result<Import> im = import_recording(text, c.options);
    if (!im) return refused(c, im.message());
    for (const std::string &w : im->warnings)
        std::fprintf(stderr, "pedaform-cli: warning: %s\n", w.c_str());
    for (const ImportedScan &s : im->scans) {
        std::vector<uint8_t> file;
        encode_bmp32(s.pixels.data(), kGridWidth, kGridHeight, file);
        if (Result<> r = write_file_atomically(scan_path(c, s.side), file.data(), file.size()); !r)
            return not_written(r.message());
    }
    if (!c.quiet) print_summary(c, *im);
    if (c.report.empty()) return kBatchDone;
    const std::string text_out = report_json(c, *im).dump(2) + "\n";
    if (c.report == "-") {
        std::fflush(stdout);
        std::fwrite(text_out.data(), 1, text_out.size(), stdout);
        return kBatchDone;
    }
    const Result<> r = write_file_atomically(c.report, text_out.data(), text_out.size());
    return r ? kBatchDone : not_written(r.message());
}

}  // namespace pedaform

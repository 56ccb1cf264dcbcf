#include "cli/batch.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "analysis/size_bin.h"
#include "design/design.h"
#include "design/design_file.h"
#include "io/file_hash.h"
#include "io/picture_io.h"
#include "io/resource_files.h"
#include "io/scan_file.h"
#include "model3d/print_3mf.h"
#include "model3d/stl_files.h"
#include "relief/engraving_bmp.h"
#include "core/console.h"
#include "core/file_output.h"

namespace pedaform {

namespace {

const char *const kUsageHead =
    "usage: pedaform-cli [options] SCAN.bmp\n"
    "       pedaform-cli --design FILE.json [options] [SCAN.bmp]\n"
    "\n"
    "Runs an insole design without a screen, as the operator would in the GUI.\n"
    "\n"
    "  --resources DIR      folder of the data files (default: $PEDAFORM_DATA, data/ beside\n"
    "                       the program, then ../share/pedaform)\n"
    "  --design FILE        replay a design file first (on SCAN instead, when one is given)\n"
    "  --ignore-checksum    open a design whose scan's bytes have changed\n"
    "  --size LABEL         choose the size (its template and presets), e.g. CM25-26\n";

const char *const kUsagePoint =
    "  --meta-point C,R     place the metatarsal point at column C 0 ... 149, row R 0 ... 359\n"
    "  --dome-apex C,R      place the stamped dome's highest cell on column C, row R\n"
    "  --dome-behind-heads MM  place the dome's highest cell MM mm (0 ... 30, e.g. 7) behind\n"
    "                       the metatarsal heads (landmarks 0 and 1)\n";

const char *const kUsageTail =
    "  --smooth N           run \"Smooth\" N times (0 ... 1000)\n"
    "  --save-design FILE   the design the options made, as a design file\n"
    "  --engrave FILE       engraving BMP (smoothed; \".bmp\" appended unless present)\n"
    "  --stl FILE           3D-print surface as ASCII STL\n"
    "  --stl-solid FILE     closed solid as binary STL\n"
    "  --3mf FILE           closed solid as 3MF in millimetres\n"
    "  --zones T:D,...      with --3mf: infill D% for insole cells from pressure T up to the\n"
    "                       next T, T a share of the foot's peak (\"40%\") or 0 ... 255, e.g.\n"
    "                       \"0:30,30%:20,60%:15\"; cells below the first T join the first zone\n"
    "  --slicer NAME        the zones for prusa (PrusaSlicer, default), orca (OrcaSlicer,\n"
    "                       Bambu Studio) or cura\n"
    "  --mesh-tolerance MM  simplify the 3MF and solid STL meshes: every point of the exact\n"
    "                       surface within MM (0 ... 1) of the file's; default 0.05 for --3mf,\n"
    "                       0 (every cell) for --stl-solid\n"
    "  --relief-raw FILE    the relief as 54,000 bytes, row 0 first\n"
    "  --preview FILE.png   the relief preview, upright\n"
    "  --pressure FILE.png  the pressure colouring, upright\n"
    "  --report FILE|-      JSON report (\"-\": standard output; use with --quiet)\n"
    "  --quiet              no console lines of the actions\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 done, 2 usage error, 3 scan refused, 4 an output could not be written.\n";

// The controls in the order the batch command applies them.
std::vector<Control> controls_in_batch_order() {
    std::vector<Control> order;
    for (int i = 0; i < kControlCount; ++i)
        order.push_back(static_cast<Control>(i));
    std::stable_sort(order.begin(), order.end(), [](Control a, Control b) {
        return control_spec(a).batch_order < control_spec(b).batch_order;
    });
    return order;
}

// One line of usage text for a control: its option, its value's form and range.
std::string control_usage(Control c) {
    const ControlSpec &s = control_spec(c);
    std::ostringstream line;
    line << "  " << s.option;
    if (s.widget != Widget::kCheckButton) line << (control_whole(c) ? " N" : " X");
    const std::string head = line.str();
    std::ostringstream text;
    text << head << std::string(head.size() < 23 ? 23 - head.size() : 1, ' ') << s.usage;
    if (s.widget != Widget::kCheckButton) {
        text << ", " << s.min << " ... " << s.max;
        if (!control_whole(c)) text << " in steps of " << s.step;
    }
    return text.str() + "\n";
}

}  // namespace

std::string batch_usage_text() {
    std::string text = kUsageHead;
    for (Control c : controls_in_batch_order())
        if (control_spec(c).batch_order < kBatchAfterPoint) text += control_usage(c);
    text += kUsagePoint;
    for (Control c : controls_in_batch_order())
        if (control_spec(c).batch_order >= kBatchAfterPoint) text += control_usage(c);
    return text + kUsageTail;
}

namespace {

bool parse_whole(const std::string &text, long min, long max, int &out) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    out = static_cast<int>(v);
    return true;
}

// A finite number within [min, max].
bool parse_number(const std::string &text, double min, double max, double &out) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(v >= min && v <= max)) return false;
    out = v;
    return true;
}

// A value of control `c` within its range on its step grid, moved exactly onto the grid.
bool parse_stepped(const std::string &text, Control c, double &out) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !control_value_valid(c, v)) return false;
    out = control_value_snapped(c, v);
    return true;
}

}  // namespace

namespace {

// Reads one option's value at a time from the command line; on a malformed value it sets
// `error` to one line that names the option and what it allows.
class OptionReader {
  public:
    OptionReader(int argc, const char *const *argv, std::string &error)
        : argc_(argc), argv_(argv), error_(error) {}

    bool next(std::string &arg) {
        if (++i_ >= argc_) return false;
        arg = argv_[i_];
        return true;
    }
    bool value(const std::string &arg) {
        if (i_ + 1 >= argc_) return fail(arg + " needs a value");
        value_ = argv_[++i_];
        return true;
    }
    bool whole(const std::string &arg, int min, int max, int &out) {
        if (!value(arg)) return false;
        if (parse_whole(value_, min, max, out)) return true;
        return fail(arg + " takes a whole number from " + std::to_string(min) + " to " +
                    std::to_string(max) + ", not \"" + value_ + "\"");
    }
    bool whole(const std::string &arg, int min, int max, std::optional<int> &out) {
        int n = 0;
        if (!whole(arg, min, max, n)) return false;
        out = n;
        return true;
    }
    bool stepped(const std::string &arg, Control c, std::optional<double> &out) {
        double x = 0;
        if (!value(arg)) return false;
        if (!parse_stepped(value_, c, x)) {
            const ControlSpec &range = control_spec(c);
            std::ostringstream allowed;
            allowed << range.min << " to " << range.max << " in steps of " << range.step;
            return fail(arg + " takes " + allowed.str() + ", not \"" + value_ + "\"");
        }
        out = x;
        return true;
    }
    bool file(const std::string &arg, std::string &out) {
        if (!value(arg)) return false;
        out = value_;
        return !out.empty() || fail(arg + " needs a file name");
    }
    bool size(const std::string &arg, std::string &out) {
        if (!value(arg)) return false;
        if (size_label_index(value_) >= 0) return out = value_, true;
        std::string labels;
        for (int k = 0; k < kSizeLabelCount; ++k)
            labels += std::string(" ") + size_label(k);
        return fail(arg + " takes one of" + labels + ", not \"" + value_ + "\"");
    }
    bool point(const std::string &arg, bool &given, float &column, float &row) {
        if (!value(arg)) return false;
        const size_t comma = value_.find(',');
        double c = 0, r = 0;
        if (comma == std::string::npos ||
            !parse_number(value_.substr(0, comma), 0, kGridWidth - 1, c) ||
            !parse_number(value_.substr(comma + 1), 0, kGridHeight - 1, r))
            return fail(arg + " takes COLUMN,ROW in grid cells, column 0 to 149 and row 0 to " +
                        "359, not \"" + value_ + "\"");
        given = true;
        column = static_cast<float>(c);
        row = static_cast<float>(r);
        return true;
    }
    bool number(const std::string &arg, double min, double max, std::optional<double> &out) {
        double x = 0;
        if (!value(arg)) return false;
        if (!parse_number(value_, min, max, x)) {
            std::ostringstream allowed;
            allowed << min << " to " << max;
            return fail(arg + " takes a number from " + allowed.str() + ", not \"" + value_ + "\"");
        }
        out = x;
        return true;
    }
    bool slicer(const std::string &arg, std::string &out) {
        Slicer parsed;
        if (!value(arg)) return false;
        if (!parse_slicer(value_, parsed))
            return fail(arg + " takes prusa, orca or cura, not \"" + value_ + "\"");
        out = value_;
        return true;
    }
    bool tolerance(const std::string &arg, std::optional<double> &out) {
        double mm = 0;
        if (!value(arg)) return false;
        if (!parse_number(value_, 0, kMaxMeshTolerance, mm))
            return fail(arg + " takes a length from 0 to 1 mm, not \"" + value_ + "\"");
        out = mm;
        return true;
    }
    bool zones(const std::string &arg, std::string &out) {
        std::vector<PrintZone> parsed;
        if (!value(arg)) return false;
        if (Result<> r = parse_print_zones(value_, parsed); !r)
            return fail(arg + ": " + r.message());
        out = value_;
        return true;
    }
    bool fail(const std::string &why) {
        error_ = why;
        return false;
    }

  private:
    int argc_;
    const char *const *argv_;
    std::string &error_;
    int i_ = 0;
    std::string value_;
};

using OptionHandler = std::function<bool(OptionReader &, const std::string &)>;

// Every control is an option, as its row in the control table says.
void add_control_options(BatchOptions &o,
                         std::vector<std::pair<const char *, OptionHandler>> &table) {
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        std::optional<double> &out = o.controls[i];
        if (control_spec(c).widget == Widget::kCheckButton)
            table.emplace_back(control_spec(c).option, [&out](OptionReader &, const std::string &) {
                return out = 1, true;
            });
        else if (control_whole(c))
            table.emplace_back(
                control_spec(c).option, [c, &out](OptionReader &r, const std::string &a) {
                    const ControlSpec &range = control_spec(c);
                    std::optional<int> n;
                    if (!r.whole(a, static_cast<int>(range.min), static_cast<int>(range.max), n))
                        return false;
                    return out = *n, true;
                });
        else
            table.emplace_back(
                control_spec(c).option,
                [c, &out](OptionReader &r, const std::string &a) { return r.stepped(a, c, out); });
    }
}

// Every option with what it reads into `o`.
std::vector<std::pair<const char *, OptionHandler>> option_table(BatchOptions &o) {
    auto flag = [](bool &out) {
        return [&out](OptionReader &, const std::string &) { return out = true; };
    };
    auto file = [](std::string &out) {
        return [&out](OptionReader &r, const std::string &a) { return r.file(a, out); };
    };
    std::vector<std::pair<const char *, OptionHandler>> table = {
        {"--help", flag(o.help)},
        {"-h", flag(o.help)},
        {"--version", flag(o.version)},
        {"--quiet", flag(o.quiet)},
        {"--ignore-checksum", flag(o.ignore_checksum)},
        {"--resources", file(o.resources)},
        {"--design", file(o.design)},
        {"--save-design", file(o.save_design)},
        {"--size", [&o](OptionReader &r, const std::string &a) { return r.size(a, o.size); }},
        {"--meta-point",
         [&o](OptionReader &r, const std::string &a) {
             return r.point(a, o.meta_point_given, o.meta_column, o.meta_row);
         }},
        {"--dome-apex",
         [&o](OptionReader &r, const std::string &a) {
             return r.point(a, o.dome_apex_given, o.dome_column, o.dome_row);
         }},
        {"--dome-behind-heads",
         [&o](OptionReader &r, const std::string &a) {
             return r.number(a, 0, 30, o.dome_behind_heads);
         }},
        {"--smooth",
         [&o](OptionReader &r, const std::string &a) { return r.whole(a, 0, 1000, o.smooth); }},
        {"--engrave", file(o.engrave)},
        {"--stl", file(o.stl)},
        {"--stl-solid", file(o.stl_solid)},
        {"--3mf", file(o.print_3mf)},
        {"--zones", [&o](OptionReader &r, const std::string &a) { return r.zones(a, o.zones); }},
        {"--slicer", [&o](OptionReader &r, const std::string &a) { return r.slicer(a, o.slicer); }},
        {"--mesh-tolerance",
         [&o](OptionReader &r, const std::string &a) { return r.tolerance(a, o.mesh_tolerance); }},
        {"--relief-raw", file(o.relief_raw)},
        {"--preview", file(o.preview)},
        {"--pressure", file(o.pressure)},
        {"--report", file(o.report)},
    };
    add_control_options(o, table);
    return table;
}

}  // namespace

Result<> parse_batch_options(int argc, const char *const *argv, BatchOptions &o) {
    std::string error;
    OptionReader reader(argc, argv, error);
    const auto options = option_table(o);
    std::string arg;
    while (reader.next(arg)) {
        const auto known = std::find_if(options.begin(), options.end(),
                                        [&](const auto &option) { return arg == option.first; });
        if (known != options.end()) {
            if (!known->second(reader, arg)) return Result<>::failure(error);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Result<>::failure("unknown option " + arg + " (see --help)");
        } else if (!o.scan.empty()) {
            return Result<>::failure("one scan at a time: \"" + o.scan + "\" and \"" + arg +
                                     "\" were given");
        } else {
            o.scan = arg;
        }
    }
    if (o.scan.empty() && o.design.empty() && !o.help && !o.version)
        return Result<>::failure("no scan given (pedaform-cli [options] SCAN.bmp)");
    return Result<>::success();
}

namespace {

// Upright RGB rows (the view's top row, grid row 359, first) from grid-order cells.
std::vector<unsigned char> upright_rgb(const uint8_t *cells, int bytes_per_cell) {
    std::vector<unsigned char> rgb(static_cast<size_t>(kGridCells) * 3);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            const uint8_t *src = cells + (static_cast<size_t>(y) * kGridWidth + x) * bytes_per_cell;
            unsigned char *dst =
                &rgb[(static_cast<size_t>(kGridHeight - 1 - y) * kGridWidth + x) * 3];
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    return rgb;
}

nlohmann::json report_json(const Design &design, float ai,
                           const std::vector<std::string> &warnings) {
    const Scan &scan = design.scan();
    const DesignResults &results = design.results();
    const Controls &c = design.controls();
    nlohmann::json landmarks = nlohmann::json::array();
    for (const Landmark &l : scan.landmarks)
        landmarks.push_back({l.row, l.column});
    nlohmann::json meta = nullptr;
    if (results.meta_point_found) meta = {results.meta_column, results.meta_row};
    nlohmann::json label = design.size_label();
    if (design.size_label()[0] == '\0') label = nullptr;
    nlohmann::json report = {
        {"insole_length", scan.insole_length},
        {"size_label", label},
        {"template_index", results.template_index},
        {"template_mirrored", scan.template_mirrored},
        {"first_outline_cell", scan.first_outline_cell},
        {"outline_top_row", scan.outline_top_row},
        {"outline_bottom_row", scan.outline_bottom_row},
        {"landmarks", landmarks},
        {"meta_point", meta},
        {"pad",
         {{"width", c[Control::kPadWidth]},
          {"length", c[Control::kPadLength]},
          {"height", c[Control::kPadHeight]}}},
        // The scan carries "ai" in hundredths: report it as such, not as the float's expansion.
        {"ai", std::round(ai * 100.0) / 100.0},
        {"steps", nlohmann::json(design_steps_json(design.steps()))},
    };
    // The orthotic controls, when any is in use (a report without them reads as it always did).
    nlohmann::json orthotics = nlohmann::json::object();
    bool in_use = false;
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSpec &row = control_spec(static_cast<Control>(i));
        if (!row.optional_in_file) continue;
        orthotics[row.name] = c.value[i];
        in_use = in_use || c.value[i] != 0;
    }
    if (in_use) report["orthotics"] = orthotics;
    if (scan.pressure_full_scale_kpa != 0)
        report["pressure_full_scale_kpa"] = scan.pressure_full_scale_kpa;
    if (!warnings.empty()) report["warnings"] = warnings;
    return report;
}

class Batch {
  public:
    explicit Batch(const BatchOptions &o)
        : o_(o), resources_(std::make_unique<Resources>()), design_(*resources_, load_scan_file) {}

    int run() {
        for (const std::string &warning : load_startup_resources(*resources_, o_.resources))
            warn(warning);
        int status = o_.design.empty() ? load_scan() : open_design_file();
        if (status == kBatchDone) say_load_warnings();
        if (status == kBatchDone) status = apply_options();
        if (status == kBatchDone) status = write_outputs();
        return status;
    }

  private:
    int load_scan() {
        ScanLoadResult loaded;
        const Result<> r = design_.load(o_.scan, &loaded);
        ai_ = loaded.ai;
        if (!loaded.accepted()) return scan_refused(o_.scan, r);
        return r ? kBatchDone : step_failed(r);
    }

    int open_design_file() {
        DesignFile file;
        if (Result<> r = read_design_file(o_.design, file); !r) {
            std::fprintf(stderr, "pedaform-cli: %s\n", r.message().c_str());
            return kBatchUsage;
        }
        // A scan given on the command line takes the design's steps instead of its own scan.
        const std::string scan = o_.scan.empty() ? design_scan_path(o_.design, file) : o_.scan;
        if (o_.scan.empty()) {
            std::string sha256;
            if (Result<> r = file_sha256(scan, sha256); !r) {
                std::fprintf(stderr, "pedaform-cli: %s: the design's scan is missing (%s)\n",
                             scan.c_str(), r.message().c_str());
                return kBatchScanRefused;
            }
            if (!o_.ignore_checksum && sha256 != file.scan_sha256) {
                std::fprintf(stderr,
                             "pedaform-cli: %s: the scan's bytes differ from the design's "
                             "checksum (--ignore-checksum opens it anyway)\n",
                             scan.c_str());
                return kBatchScanRefused;
            }
        }
        ScanLoadResult loaded;
        const Result<> r = open_design(design_, file, scan, &loaded);
        ai_ = loaded.ai;
        if (!loaded.accepted()) return scan_refused(scan, r);
        return r ? kBatchDone : step_failed(r);
    }

    // Each option is the call its control makes in the GUI, in the order of the help text.
    int apply_options() {
        if (!o_.size.empty())
            if (Result<> r = design_.choose_size(size_label_index(o_.size)); !r)
                return step_failed(r);
        const std::vector<Control> order = controls_in_batch_order();
        auto set_controls = [&](bool after_point) {
            for (Control c : order) {
                const std::optional<double> &value = o_.controls[static_cast<int>(c)];
                if (!value || (control_spec(c).batch_order >= kBatchAfterPoint) != after_point)
                    continue;
                if (Result<> r = design_.set(c, *value); !r) return step_failed(r);
            }
            return static_cast<int>(kBatchDone);
        };
        if (int status = set_controls(false); status != kBatchDone) return status;
        if (o_.meta_point_given)
            if (Result<> r = design_.move_meta_point(o_.meta_column, o_.meta_row); !r)
                return step_failed(r);
        if (o_.dome_apex_given)
            if (Result<> r = design_.move_dome_apex(o_.dome_column, o_.dome_row); !r)
                return step_failed(r);
        if (o_.dome_behind_heads)
            if (Result<> r = design_.place_dome_behind_heads(*o_.dome_behind_heads); !r)
                return step_failed(r);
        if (int status = set_controls(true); status != kBatchDone) return status;
        for (int i = 0; i < o_.smooth; ++i)
            if (Result<> r = design_.smooth(); !r) return step_failed(r);
        if (!o_.save_design.empty())
            if (Result<> r = save_design(design_, o_.save_design); !r)
                return write_failed(r.message());
        return kBatchDone;
    }

    int write_outputs() {
        const DesignResults &results = design_.results();
        if (!o_.engrave.empty()) {
            if (Result<> r = design_.smooth(); !r) return step_failed(r);
            std::string name;
            if (Result<> r = engraving_file_name(o_.engrave, name); !r)
                return write_failed(r.message());
            if (Result<> r = write_engraving_bmp(name, results.relief_grid); !r)
                return write_failed(r.message());
        }
        PrintSettings print;
        if (!o_.zones.empty()) (void)parse_print_zones(o_.zones, print.zones);  // checked
        (void)parse_slicer(o_.slicer, print.slicer);                            // by the parser
        print.tolerance_mm = o_.mesh_tolerance.value_or(kDefault3mfTolerance);
        // The file the design came from, else the one it is saved to.
        const std::string design_file = o_.design.empty() ? o_.save_design : o_.design;
        const std::pair<const std::string &, std::function<Result<>()>> writers[] = {
            {o_.stl,
             [&] {
                 MeshExport surface;
                 Result<> r = export_relief_stl(results.relief_grid, o_.stl, &surface);
                 if (!surface.warning.empty()) warn(surface.warning);
                 return r;
             }},
            {o_.stl_solid,
             [&] {
                 return export_relief_solid(results.relief_grid, o_.stl_solid,
                                            o_.mesh_tolerance.value_or(0));
             }},
            {o_.print_3mf,
             [&] {
                 return export_relief_3mf(results.relief_grid, design_.scan().pressure_grid,
                                          o_.print_3mf, print,
                                          print_description(design_, design_file));
             }},
            {o_.relief_raw,
             [&] { return write_file_atomically(o_.relief_raw, results.relief_grid, kGridCells); }},
            {o_.preview,
             [&] {
                 const auto rgb = upright_rgb(results.relief_preview, 4);
                 return write_png_rgb(o_.preview, kGridWidth, kGridHeight, rgb.data());
             }},
            {o_.pressure,
             [&] {
                 const auto rgb = upright_rgb(results.colour_grid, 3);
                 return write_png_rgb(o_.pressure, kGridWidth, kGridHeight, rgb.data());
             }},
        };
        for (const auto &[name, write] : writers)
            if (!name.empty())
                if (Result<> r = write(); !r) return write_failed(r.message());
        return o_.report.empty() ? kBatchDone : write_report();
    }

    int write_report() {
        std::vector<std::string> warnings = warnings_;
        if (design_.nearest_size() != nullptr && design_.size_label()[0] == '\0')
            warnings.insert(warnings.begin(), size_warning(*design_.nearest_size()));
        const std::string text = report_json(design_, ai_, warnings).dump(2) + "\n";
        if (o_.report == "-") {
            std::fflush(stdout);
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
            return kBatchDone;
        }
        const Result<> r = write_file_atomically(o_.report, text.data(), text.size());
        return r ? kBatchDone : write_failed(r.message());
    }

    // What the load found doubtful: on standard error at once. The report keeps what still
    // holds when it is written (a size chosen by --size ends the length's warning).
    void say_load_warnings() {
        if (const SizeBin *nearest = design_.nearest_size())
            std::fprintf(stderr, "pedaform-cli: warning: %s\n", size_warning(*nearest).c_str());
        if (design_.search_point_doubtful())
            warn(
                "the outline search put the metatarsal point far behind the metatarsal heads or "
                "off the insole; place the dome from the heads (--dome-behind-heads 7)");
    }

    std::string size_warning(const SizeBin &nearest) const {
        return "insole length " + std::to_string(design_.scan().insole_length) +
               " matches no size; nearest " + size_bin_labels(nearest) +
               ": no template until a size is chosen (--size)";
    }

    // A warning that changes the outcome: on standard error even under --quiet, and in the
    // report.
    void warn(const std::string &warning) {
        std::fprintf(stderr, "pedaform-cli: warning: %s\n", warning.c_str());
        warnings_.push_back(warning);
    }

    int scan_refused(const std::string &scan, const Result<> &r) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, scan.c_str(), r.message().c_str());
        return kBatchScanRefused;
    }

    // A step the design refused: only values outside the controls' ranges could cause it,
    // and the parser lets none through.
    int step_failed(const Result<> &r) {
        std::fprintf(stderr, "pedaform-cli: %s\n", r.message().c_str());
        return kBatchUsage;
    }

    int write_failed(const std::string &why) {
        std::fprintf(stderr, "pedaform-cli: %s\n", why.c_str());
        return kBatchWriteFailed;
    }

    const BatchOptions &o_;
    std::unique_ptr<Resources> resources_;
    Design design_;
    float ai_ = 0;
    std::vector<std::string> warnings_;
};

}  // namespace

int run_batch(const BatchOptions &options) {
    set_console(options.quiet ? nullptr : stdout);
    Batch batch(options);
    const int status = batch.run();
    std::fflush(stdout);
    return status;
}

}  // namespace pedaform

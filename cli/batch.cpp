#include "cli/batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "design/design.h"
#include "design/design_file.h"
#include "design/prescription.h"
#include "design/proposal.h"
#include "io/file_hash.h"
#include "io/picture_io.h"
#include "io/resource_files.h"
#include "io/scan_file.h"
#include "model3d/print_3mf.h"
#include "model3d/stl_files.h"
#include "order/foot_sheet.h"
#include "relief/engraving_bmp.h"
#include "core/console.h"
#include "core/file_output.h"

namespace pedaform {

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

nlohmann::json report_json(const Design &design, float ai, const Warnings &warnings) {
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
        {"template_index", results.template_index.value_or(-1)},
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
    // The orthotic controls, when any is in use: the arch support, heel cup and base always,
    // the others when not 0.
    nlohmann::json orthotics = nlohmann::json::object();
    bool in_use = false;
    for (int i = 0; i < kControlCount; ++i) {
        const Control control = static_cast<Control>(i);
        const ControlSpec &row = control_spec(control);
        if (row.group != ControlGroup::kOrthotics) continue;
        const bool always =
            control == Control::kArch || control == Control::kHeelCup || control == Control::kBase;
        if (always || c.value[i] != 0) orthotics[row.name] = c.value[i];
        in_use = in_use || c.value[i] != 0;
    }
    if (in_use) report["orthotics"] = orthotics;
    nlohmann::json words = nlohmann::json::object();
    for (const PrescriptionItem &entry : prescription(c))
        words[control_spec(entry.control).name] = entry.words;
    if (!words.empty()) report["prescription"] = words;
    if (scan.pressure_full_scale_kpa != 0)
        report["pressure_full_scale_kpa"] = scan.pressure_full_scale_kpa;
    if (!warnings.empty()) report["warnings"] = warnings.texts();
    return report;
}

class Batch {
  public:
    explicit Batch(const BatchOptions &o)
        : o_(o), resources_(std::make_unique<Resources>()), design_(*resources_, load_scan_file) {}

    int run() {
        for (const Warning &warning : load_startup_resources(*resources_, o_.resources))
            warn(warning);
        int status = o_.design.empty() ? load_scan() : open_design_file();
        if (status == kBatchDone) say_load_warnings();
        if (status == kBatchDone) status = check_outputs();
        if (status == kBatchDone) status = apply_options();
        if (status == kBatchDone) say_point_warning();
        if (status == kBatchDone) status = write_outputs();
        return status;
    }

  private:
    // An output asked for: its option, its path, and how its bytes are made.
    struct Output {
        const char *option;
        std::string path;
        std::function<Result<std::string>()> encode;
    };

    int load_scan() {
        const Result<ScanLoadResult> loaded = design_.load(o_.scan);
        if (!loaded) return scan_refused(o_.scan, loaded.message());
        ai_ = loaded->ai;
        return kBatchDone;
    }

    int open_design_file() {
        const Result<DesignFile> file = read_design_file(o_.design);
        if (!file) {
            std::fprintf(stderr, "pedaform-cli: %s\n", file.message().c_str());
            return kBatchUsage;
        }
        // A scan given on the command line takes the design's steps instead of its own scan,
        // whose bytes must still be those the design recorded.
        const bool own = o_.scan.empty();
        const std::string scan = own ? design_scan_path(o_.design, *file) : o_.scan;
        bool changed = false;
        const LoadCheck checksum = [&](const ScanLoadResult &loaded, const Controls &) {
            changed = own && !o_.ignore_checksum && loaded.sha256 != file->scan_sha256;
            if (!changed) return Result<>();
            return Result<>::failure(
                "the scan's bytes differ from the design's checksum (--ignore-checksum opens it "
                "anyway)");
        };
        const OpenedDesign opened = open_design(design_, *file, scan, checksum);
        if (opened.file_refused) {
            std::fprintf(stderr, "pedaform-cli: %s: %s\n", o_.design.c_str(),
                         opened.load.message().c_str());
            return kBatchUsage;
        }
        if (changed) {
            std::fprintf(stderr, "pedaform-cli: %s: %s\n", scan.c_str(),
                         opened.load.message().c_str());
            return kBatchScanRefused;
        }
        struct stat st;
        if (!opened.load && own && stat(scan.c_str(), &st) != 0) {
            std::fprintf(stderr, "pedaform-cli: %s: the design's scan is missing (%s)\n",
                         scan.c_str(), opened.load.message().c_str());
            return kBatchScanRefused;
        }
        if (!opened.load) return scan_refused(scan, opened.load.message());
        if (opened.start_changed) warn(*opened.start_changed);
        ai_ = opened.load->ai;
        return opened.replayed ? kBatchDone : step_failed(opened.replayed);
    }

    // The controls of one side of the metatarsal point options, in their batch order.
    int set_controls(bool after_point) {
        for (Control c : controls_in_batch_order()) {
            const std::optional<double> &value = o_.controls[static_cast<int>(c)];
            if (!value || (control_spec(c).batch_order >= kBatchAfterPoint) != after_point)
                continue;
            if (Result<> r = design_.set(c, *value); !r) return step_failed(r);
        }
        return kBatchDone;
    }

    // Each option is the call its control makes in the GUI, in the order of the help text.
    int apply_options() {
        if (o_.propose) {
            Result<std::vector<ProposedValue>> proposed = propose(design_);
            if (!proposed) return step_failed(Failure{proposed.message()});
            proposal_ = std::move(*proposed);
        }
        if (o_.size)
            if (Result<> r = design_.choose_size(*o_.size); !r) return step_failed(r);
        if (int status = set_controls(false); status != kBatchDone) return status;
        if (o_.meta_point)
            if (Result<> r = design_.move_meta_point(o_.meta_point->column, o_.meta_point->row); !r)
                return step_failed(r);
        if (o_.dome_apex)
            if (Result<> r = design_.move_dome_apex(o_.dome_apex->column, o_.dome_apex->row); !r)
                return step_failed(r);
        if (o_.dome_behind_heads) {
            const Result<Warnings> r = design_.place_dome_behind_heads(*o_.dome_behind_heads);
            if (!r) return step_failed(r.reason());
            for (const Warning &warning : *r)
                warn(warning);
        }
        if (int status = set_controls(true); status != kBatchDone) return status;
        for (int i = 0; i < o_.smooth; ++i)
            if (Result<> r = design_.smooth(); !r) return step_failed(r);
        OrderData order = design_.order();
        for (int i = 0; i < kOrderFieldCount; ++i)
            if (o_.order[i]) order.text[i] = *o_.order[i];
        design_.set_order(order);
        return kBatchDone;
    }

    // Every output asked for, in the order their bytes are made: the design file as the
    // options left it, the engraving (its smoothing comes first, and the others write the
    // smoothed relief), the meshes, the grids, and the report, which lists what they warned of.
    std::vector<Output> outputs() {
        const uint8_t *relief = design_.results().relief_grid;
        const uint8_t *insole = design_.results().insole_relief;  // the printed solids' top
        // The file the design came from, else the one it is saved to.
        const std::string design_file = o_.design.empty() ? o_.save_design : o_.design;
        const std::string engraving =
            o_.engrave.empty() ? "" : engraving_file_name(o_.engrave).value();
        auto picture = [](const uint8_t *cells, int bytes_per_cell) {
            return [cells, bytes_per_cell]() -> Result<std::string> {
                const auto rgb = upright_rgb(cells, bytes_per_cell);
                return encode_png_rgb(kGridWidth, kGridHeight, rgb.data());
            };
        };
        std::vector<Output> all = {
            {"--save-design", o_.save_design,
             [this]() -> Result<std::string> {
                 return design_file_text(design_file_of(design_, o_.save_design));
             }},
            {"--engrave", engraving,
             [this]() -> Result<std::string> {
                 if (Result<> r = design_.smooth(); !r) return r.reason();
                 const std::vector<uint8_t> bmp =
                     encode_engraving_bmp(design_.results().relief_grid);
                 return std::string(bmp.begin(), bmp.end());
             }},
            {"--stl", o_.stl,
             [this, relief]() -> Result<std::string> {
                 MeshExport surface;
                 std::string text = encode_relief_stl(relief, &surface);
                 for (const Warning &warning : surface.warnings)
                     warn(warning);
                 return text;
             }},
            {"--stl-solid", o_.stl_solid,
             [this, insole] { return encode_relief_solid(insole, o_.mesh_tolerance.value_or(0)); }},
            {"--3mf", o_.print_3mf,
             [this, insole, design_file] {
                 PrintSettings print;
                 print.zones = o_.zones;
                 if (o_.propose && print.zones.empty())
                     print.zones = parse_print_zones(kDefaultPrintZones).value();
                 print.slicer = o_.slicer;
                 print.tolerance_mm = o_.mesh_tolerance.value_or(kDefault3mfTolerance);
                 print.top_cover_mm = design_.controls()[Control::kTopCover];
                 return encode_relief_3mf(insole, design_.scan().pressure_grid, print,
                                          print_description(design_, design_file));
             }},
            {"--relief-raw", o_.relief_raw,
             [relief]() -> Result<std::string> {
                 return std::string(reinterpret_cast<const char *>(relief), kGridCells);
             }},
            {"--preview", o_.preview, picture(design_.results().relief_preview, 4)},
            {"--pressure", o_.pressure, picture(design_.results().colour_grid, 3)},
            {"--report", o_.report == "-" ? "" : o_.report,
             [this]() -> Result<std::string> { return report_text(); }},
        };
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [](const Output &out) { return out.path.empty(); }),
                  all.end());
        return all;
    }

    // The order sheet, after every other output's bytes (`files`): it names each of them with
    // the SHA-256 of its bytes.
    Result<std::string> order_sheet(const std::vector<OutputFile> &files) const {
        const std::string design_file = o_.save_design.empty() ? o_.design : o_.save_design;
        OrderSheet sheet = order_sheet_of(design_.order(), {&design_}, design_file);
        for (const OutputFile &f : files)
            sheet.exports.push_back(
                {f.path.substr(f.path.find_last_of('/') + 1),
                 sha256_hex(reinterpret_cast<const uint8_t *>(f.bytes.data()), f.bytes.size())});
        const Result<std::vector<uint8_t>> pdf = order_sheet_pdf(sheet);
        if (!pdf) return pdf.reason();
        return std::string(pdf->begin(), pdf->end());
    }

    // Before any step is taken: every output can be written, and none is an input.
    int check_outputs() {
        if (!o_.engrave.empty())
            if (const Result<std::string> name = engraving_file_name(o_.engrave); !name)
                return write_failed(name.message());
        const std::string inputs[] = {design_.scan_path(), o_.design};
        std::vector<Output> all = outputs();
        if (!o_.order_pdf.empty()) all.push_back({"--order-pdf", o_.order_pdf, nullptr});
        for (const Output &out : all) {
            for (const std::string &input : inputs)
                if (!input.empty() && same_file(out.path, input)) {
                    std::fprintf(stderr,
                                 "pedaform-cli: %s %s is %s, which this run reads: an output "
                                 "never replaces an input\n",
                                 out.option, out.path.c_str(), input.c_str());
                    return kBatchUsage;
                }
            if (Result<> r = check_output_path(out.path); !r) return write_failed(r.message());
        }
        return kBatchDone;
    }

    // Every output's bytes, then all of them written together or none; the report on standard
    // output once they are.
    int write_outputs() {
        std::vector<OutputFile> files;
        for (const Output &out : outputs()) {
            Result<std::string> bytes = out.encode();
            if (!bytes) return write_failed(bytes.message());
            files.push_back({out.path, std::move(*bytes)});
        }
        if (!o_.order_pdf.empty()) {
            Result<std::string> sheet = order_sheet(files);
            if (!sheet) return write_failed(sheet.message());
            files.push_back({o_.order_pdf, std::move(*sheet)});
        }
        if (Result<> r = write_files_atomically(files); !r) return write_failed(r.message());
        if (o_.report == "-") {
            const std::string text = report_text();
            std::fflush(stdout);
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
        }
        return kBatchDone;
    }

    // The report: the length's warning first while no size is chosen, then the others in the
    // order they were said.
    std::string report_text() const {
        Warnings warnings;
        if (const std::optional<Warning> size = design_.size_warning();
            size && design_.size_label()[0] == '\0')
            warnings.add(*size);
        warnings.add(warnings_);
        nlohmann::json report = report_json(design_, ai_, warnings);
        for (const ProposedValue &p : proposal_)
            report["proposal"].push_back({{"what", p.what}, {"value", p.value}, {"why", p.why}});
        return report.dump(2) + "\n";
    }

    // What the load found doubtful: on standard error at once. The report keeps what still
    // holds when it is written (a size chosen by --size ends the length's warning).
    void say_load_warnings() {
        if (const std::optional<Warning> size = design_.size_warning())
            std::fprintf(stderr, "pedaform-cli: warning: %s\n", size->text.c_str());
        if (const std::optional<Warning> &landmarks = design_.landmark_warning()) warn(*landmarks);
    }

    // A doubtful search point, unless the options placed the point or the dome.
    void say_point_warning() {
        if (const std::optional<Warning> point = design_.search_point_warning()) warn(*point);
    }

    // A warning that changes the outcome: on standard error even under --quiet, and in the
    // report.
    void warn(const Warning &warning) {
        std::fprintf(stderr, "pedaform-cli: warning: %s\n", warning.text.c_str());
        warnings_.add(warning);
    }

    int scan_refused(const std::string &scan, const std::string &why) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, scan.c_str(), why.c_str());
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
    Warnings warnings_;
    std::vector<ProposedValue> proposal_;  // --propose: each value and why
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

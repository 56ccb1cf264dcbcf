#include "cli/batch.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "cli/batch_report.h"
#include "design/design_file.h"
#include "design/pair.h"
#include "design/pair_file.h"
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

// The options one foot takes: the plain ones, each replaced by the foot's own where given.
DesignOptions foot_options(const BatchOptions &o, Foot foot) {
    DesignOptions d = o;
    const DesignOptions &own = o.feet[foot_index(foot)];
    for (int i = 0; i < kControlCount; ++i)
        if (own.controls[i]) d.controls[i] = own.controls[i];
    if (own.size) d.size = own.size;
    if (own.meta_point) d.meta_point = own.meta_point;
    if (own.dome_apex) d.dome_apex = own.dome_apex;
    if (own.dome_behind_heads) d.dome_behind_heads = own.dome_behind_heads;
    if (own.smooth) d.smooth = own.smooth;
    return d;
}

// True when the feet take the same linked settings: every control, the dome step, and, while
// the feet's sizes are linked, the size and the stamped pad's size.
bool same_linked_settings(const DesignOptions &left, const DesignOptions &right,
                          bool sizes_linked) {
    for (int i = 0; i < kControlCount; ++i)
        if (left.controls[i] != right.controls[i] &&
            (sizes_linked || !preset_by_size(static_cast<Control>(i))))
            return false;
    return (left.size == right.size || !sizes_linked) &&
           left.dome_behind_heads == right.dome_behind_heads;
}

class Batch {
  public:
    explicit Batch(const BatchOptions &o)
        : o_(o),
          resources_(std::make_unique<Resources>()),
          pair_(*resources_, load_scan_file),
          is_pair_(!o.pair[0].empty() || (!o.design.empty() && is_pair_file(o.design))) {
        feet_.push_back(Foot::kLeft);
        if (is_pair_) feet_.push_back(Foot::kRight);
    }

    int run() {
        for (const Warning &warning : load_startup_resources(*resources_, o_.resources))
            warn(warning);
        int status = check_options();
        if (status == kBatchDone) status = open();
        if (status == kBatchDone) say_load_warnings();
        if (status == kBatchDone) status = apply_options();
        if (status == kBatchDone) status = write_outputs();
        if (status == kBatchDone && !o_.report.empty()) status = write_report();
        return status;
    }

  private:
    Design &design(Foot foot) { return pair_.design(foot); }

    // One foot's options need a pair; a pair's feet need their own cells.
    int check_options() {
        const char *why = nullptr;
        if (!is_pair_ && (o_.feet[0].any() || o_.feet[1].any()))
            why = "--left- and --right- options set one foot of a pair (--pair LEFT RIGHT)";
        if (is_pair_ && (o_.meta_point || o_.dome_apex))
            why =
                "--meta-point and --dome-apex name a cell of one foot: with a pair, give "
                "--left-meta-point, --right-dome-apex and so on";
        if (is_pair_ && !o_.scan.empty())
            why = "a pair file opens on two scans: give them with --pair LEFT RIGHT";
        if (why == nullptr) return kBatchDone;
        std::fprintf(stderr, "pedaform-cli: %s\n", why);
        return kBatchUsage;
    }

    int open() {
        if (o_.design.empty()) return is_pair_ ? load_pair() : load_scan(Foot::kLeft, o_.scan);
        if (is_pair_file(o_.design)) return open_pair_file();
        return open_design_file();
    }

    int load_scan(Foot foot, const std::string &scan) {
        const Result<ScanLoadResult> loaded = pair_.load(foot, scan);
        if (!loaded) return scan_refused(scan, loaded.message());
        ai_[foot_index(foot)] = loaded->ai;
        return kBatchDone;
    }

    int load_pair() {
        for (Foot foot : feet_)
            if (const int status = load_scan(foot, o_.pair[foot_index(foot)]); status != kBatchDone)
                return status;
        return check_sides();
    }

    // A pair's left foot must be a left foot's scan, and its right foot a right foot's.
    int check_sides() {
        for (Foot foot : feet_) {
            if (foot_of(design(foot).scan()) == foot) continue;
            std::fprintf(
                stderr,
                "pedaform-cli: %s is a %s foot's scan; --pair takes the left foot's first\n",
                design(foot).scan_path().c_str(), foot_name(other_foot(foot)));
            return kBatchUsage;
        }
        return kBatchDone;
    }

    // The design file's own scan, when its bytes are still those the design recorded.
    int check_design_scan(const DesignFile &file, const std::string &scan) {
        const Result<std::string> sha256 = file_sha256(scan);
        if (!sha256) {
            std::fprintf(stderr, "pedaform-cli: %s: the design's scan is missing (%s)\n",
                         scan.c_str(), sha256.message().c_str());
            return kBatchScanRefused;
        }
        if (!o_.ignore_checksum && *sha256 != file.scan_sha256) {
            std::fprintf(stderr,
                         "pedaform-cli: %s: the scan's bytes differ from the design's "
                         "checksum (--ignore-checksum opens it anyway)\n",
                         scan.c_str());
            return kBatchScanRefused;
        }
        return kBatchDone;
    }

    // What opening a foot's design gave: its arch index, its warnings, its replay.
    int opened(Foot foot, const OpenedDesign &opened) {
        ai_[foot_index(foot)] = opened.load.ai;
        for (const Warning &warning : opened.warnings)
            warn(foot_warning(foot, warning));
        return opened.replayed ? kBatchDone : step_failed(opened.replayed);
    }

    // A design file on its own scan, on the scan given, or on both feet of --pair.
    int open_design_file() {
        const Result<DesignFile> file = read_design_file(o_.design);
        if (!file) return design_refused(file.message());
        for (Foot foot : feet_) {
            // A scan given on the command line takes the design's steps instead of its own scan.
            std::string scan = is_pair_ ? o_.pair[foot_index(foot)] : o_.scan;
            if (scan.empty()) {
                scan = design_scan_path(o_.design, *file);
                if (const int status = check_design_scan(*file, scan); status != kBatchDone)
                    return status;
            }
            const Result<OpenedDesign> one = open_design(design(foot), *file, scan);
            if (!one) return scan_refused(scan, one.message());
            if (const int status = opened(foot, *one); status != kBatchDone) return status;
        }
        return is_pair_ ? check_sides() : kBatchDone;
    }

    int open_pair_file() {
        const Result<PairFile> file = read_pair_file(o_.design);
        if (!file) return design_refused(file.message());
        std::array<std::string, kFootCount> scans = o_.pair;
        if (scans[0].empty())
            for (Foot foot : feet_) {
                const DesignFile &one = file->feet[foot_index(foot)];
                scans[foot_index(foot)] = design_scan_path(o_.design, one);
                if (const int status = check_design_scan(one, scans[foot_index(foot)]);
                    status != kBatchDone)
                    return status;
            }
        const Result<OpenedPair> both = open_pair(pair_, *file, scans);
        if (!both) {
            std::fprintf(stderr, "%s: %s\n", kScanFormatError, both.message().c_str());
            return kBatchScanRefused;
        }
        for (Foot foot : feet_)
            if (const int status = opened(foot, both->feet[foot_index(foot)]); status != kBatchDone)
                return status;
        return check_sides();
    }

    // The controls of one side of the metatarsal point options, in their batch order.
    int set_controls(Foot foot, const DesignOptions &d, bool after_point) {
        for (Control c : controls_in_batch_order()) {
            const std::optional<double> &value = d.controls[static_cast<int>(c)];
            if (!value || (control_spec(c).batch_order >= kBatchAfterPoint) != after_point)
                continue;
            if (Result<> r = pair_.set(foot, c, *value); !r) return step_failed(r);
        }
        return kBatchDone;
    }

    int place_point(Foot foot, const DesignOptions &d) {
        if (d.meta_point)
            if (Result<> r = pair_.move_meta_point(foot, d.meta_point->column, d.meta_point->row);
                !r)
                return step_failed(r);
        if (d.dome_apex)
            if (Result<> r = pair_.move_dome_apex(foot, d.dome_apex->column, d.dome_apex->row); !r)
                return step_failed(r);
        if (d.dome_behind_heads)
            if (Result<> r = pair_.place_dome_behind_heads(foot, *d.dome_behind_heads); !r)
                return step_failed(r);
        return kBatchDone;
    }

    // One phase of the options on each foot: a linked step moves both feet at the first foot's
    // call, and the second foot's finds nothing left to do.
    template <typename Phase>
    int on_each_foot(Phase phase) {
        for (Foot foot : feet_)
            if (const int status = phase(foot, foot_options(o_, foot)); status != kBatchDone)
                return status;
        return kBatchDone;
    }

    // Each option is the call its control makes in the GUI, in the order of the help text.
    int apply_options() {
        if (is_pair_ && !same_linked_settings(foot_options(o_, Foot::kLeft),
                                              foot_options(o_, Foot::kRight), pair_.sizes_linked()))
            pair_.unlink();
        int status = on_each_foot([&](Foot foot, const DesignOptions &d) {
            if (!d.size) return static_cast<int>(kBatchDone);
            const Result<> r = pair_.choose_size(foot, *d.size);
            return r ? static_cast<int>(kBatchDone) : step_failed(r);
        });
        if (status == kBatchDone)
            status = on_each_foot(
                [&](Foot f, const DesignOptions &d) { return set_controls(f, d, false); });
        if (status == kBatchDone)
            status =
                on_each_foot([&](Foot f, const DesignOptions &d) { return place_point(f, d); });
        if (status == kBatchDone)
            status = on_each_foot(
                [&](Foot f, const DesignOptions &d) { return set_controls(f, d, true); });
        if (status == kBatchDone)
            status = on_each_foot([&](Foot foot, const DesignOptions &d) {
                for (int i = 0; i < d.smooth.value_or(0); ++i)
                    if (Result<> r = pair_.smooth(foot); !r) return step_failed(r);
                return static_cast<int>(kBatchDone);
            });
        if (status != kBatchDone || o_.save_design.empty()) return status;
        const Result<> saved = is_pair_ ? save_pair(pair_, o_.save_design)
                                        : save_design(design(Foot::kLeft), o_.save_design);
        return saved ? kBatchDone : write_failed(saved.message());
    }

    // An output's name for one foot: as given for a single foot, with _L or _R for a pair.
    std::string name_for(const std::string &name, Foot foot) const {
        return is_pair_ ? pair_foot_file_name(name, foot) : name;
    }

    int write_engraving(Foot foot) {
        if (Result<> r = pair_.smooth(foot); !r) return step_failed(r);
        const Result<std::string> name = engraving_file_name(name_for(o_.engrave, foot));
        if (!name) return write_failed(name.message());
        if (Result<> r = write_engraving_bmp(*name, design(foot).results().relief_grid); !r)
            return write_failed(r.message());
        return kBatchDone;
    }

    PrintSettings print_settings() const {
        PrintSettings print;
        print.zones = o_.zones;
        print.slicer = o_.slicer;
        print.tolerance_mm = o_.mesh_tolerance.value_or(kDefault3mfTolerance);
        print.bed = o_.bed;
        return print;
    }

    // The file the design came from, else the one it is saved to.
    std::string design_file() const { return o_.design.empty() ? o_.save_design : o_.design; }

    // One foot's outputs, in the order of the help text (a single foot's 3MF among them).
    int write_foot_outputs(Foot foot) {
        const DesignResults &results = design(foot).results();
        const std::string stl = name_for(o_.stl, foot), stl_solid = name_for(o_.stl_solid, foot);
        const std::string print_3mf = is_pair_ ? std::string() : o_.print_3mf;
        const std::string relief_raw = name_for(o_.relief_raw, foot);
        const std::string preview = name_for(o_.preview, foot);
        const std::string pressure = name_for(o_.pressure, foot);
        const std::pair<const std::string &, std::function<Result<>()>> writers[] = {
            {o_.stl.empty() ? o_.stl : stl,
             [&] {
                 MeshExport surface;
                 Result<> r = export_relief_stl(results.relief_grid, stl, &surface);
                 for (const Warning &warning : surface.warnings)
                     warn(foot_warning(foot, warning));
                 return r;
             }},
            {o_.stl_solid.empty() ? o_.stl_solid : stl_solid,
             [&] {
                 return export_relief_solid(results.relief_grid, stl_solid,
                                            o_.mesh_tolerance.value_or(0));
             }},
            {print_3mf,
             [&] {
                 return export_relief_3mf(results.relief_grid, design(foot).scan().pressure_grid,
                                          print_3mf, print_settings(),
                                          print_description(design(foot), design_file()));
             }},
            {o_.relief_raw.empty() ? o_.relief_raw : relief_raw,
             [&] { return write_file_atomically(relief_raw, results.relief_grid, kGridCells); }},
            {o_.preview.empty() ? o_.preview : preview,
             [&] {
                 const auto rgb = upright_rgb(results.relief_preview, 4);
                 return write_png_rgb(preview, kGridWidth, kGridHeight, rgb.data());
             }},
            {o_.pressure.empty() ? o_.pressure : pressure,
             [&] {
                 const auto rgb = upright_rgb(results.colour_grid, 3);
                 return write_png_rgb(pressure, kGridWidth, kGridHeight, rgb.data());
             }},
        };
        for (const auto &[name, write] : writers)
            if (!name.empty())
                if (Result<> r = write(); !r) return write_failed(r.message());
        return kBatchDone;
    }

    // Both insoles in one 3MF, or one per foot when they do not fit the bed (said).
    int write_pair_3mf() {
        std::array<PairPrintInput, 2> feet;
        std::array<std::string, 2> apart;
        for (Foot foot : feet_) {
            const Design &d = design(foot);
            feet[foot_index(foot)] = {d.results().relief_grid, d.scan().pressure_grid,
                                      print_description(d, design_file())};
            apart[foot_index(foot)] = pair_foot_file_name(o_.print_3mf, foot);
        }
        const Result<PairPrint> print = build_pair_print(feet, print_settings());
        if (!print) return write_failed(print.message());
        if (print->placement) {
            const Result<> r = write_pair_print(*print, print_settings(), o_.print_3mf);
            return r ? kBatchDone : write_failed(r.message());
        }
        warn(apart_warning(apart));
        for (int k = 0; k < 2; ++k)
            if (Result<> r = write_foot_print(*print, k, print_settings(), apart[k]); !r)
                return write_failed(r.message());
        return kBatchDone;
    }

    Warning apart_warning(const std::array<std::string, 2> &apart) const {
        char bed[64];
        std::snprintf(bed, sizeof bed, "%g x %g mm", o_.bed.width, o_.bed.depth);
        return {std::string("the two insoles do not fit one ") + bed +
                    " bed, even turned 45 degrees: one 3MF per foot, " + apart[0] + " and " +
                    apart[1],
                std::string("兩腳鞋墊無法放在同一個 ") + bed + " 的列印平台上（轉 45 度亦然）：" +
                    "已分別輸出 " + apart[0] + " 與 " + apart[1]};
    }

    // Every output asked for, the engravings first (they smooth the relief the others write).
    int write_outputs() {
        if (!o_.engrave.empty())
            for (Foot foot : feet_)
                if (const int status = write_engraving(foot); status != kBatchDone) return status;
        for (Foot foot : feet_)
            if (const int status = write_foot_outputs(foot); status != kBatchDone) return status;
        if (is_pair_ && !o_.print_3mf.empty()) return write_pair_3mf();
        return kBatchDone;
    }

    // The report: the lengths' warnings first while no size is chosen, then the others in the
    // order they were said.
    int write_report() {
        Warnings warnings;
        for (Foot foot : feet_)
            if (const std::optional<Warning> size = design(foot).size_warning();
                size && design(foot).size_label()[0] == '\0')
                warnings.add(foot_warning(foot, *size));
        warnings.add(warnings_);
        const nlohmann::json report = is_pair_
                                          ? pair_report_json(pair_, ai_, warnings)
                                          : foot_report_json(design(Foot::kLeft), ai_[0], warnings);
        const std::string text = report.dump(2) + "\n";
        if (o_.report == "-") {
            std::fflush(stdout);
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
            return kBatchDone;
        }
        const Result<> r = write_file_atomically(o_.report, text.data(), text.size());
        return r ? kBatchDone : write_failed(r.message());
    }

    // What the loads found doubtful: on standard error at once. The report keeps what still
    // holds when it is written (a size chosen by --size ends the length's warning).
    void say_load_warnings() {
        for (Foot foot : feet_) {
            if (const std::optional<Warning> size = design(foot).size_warning())
                std::fprintf(stderr, "pedaform-cli: warning: %s\n",
                             foot_warning(foot, *size).text.c_str());
            if (const std::optional<Warning> point = design(foot).search_point_warning())
                warn(foot_warning(foot, *point));
        }
    }

    // A foot's warning as a pair says it: naming the foot.
    Warning foot_warning(Foot foot, const Warning &warning) const {
        if (!is_pair_) return warning;
        const bool left = foot == Foot::kLeft;
        return {std::string(left ? "left foot: " : "right foot: ") + warning.text,
                std::string(left ? "左腳：" : "右腳：") + warning.gui};
    }

    // A warning that changes the outcome: on standard error even under --quiet, and in the
    // report.
    void warn(const Warning &warning) {
        std::fprintf(stderr, "pedaform-cli: warning: %s\n", warning.text.c_str());
        warnings_.add(warning);
    }

    int design_refused(const std::string &why) {
        std::fprintf(stderr, "pedaform-cli: %s\n", why.c_str());
        return kBatchUsage;
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
    Pair pair_;
    const bool is_pair_;
    std::vector<Foot> feet_;  // the feet in use: the left slot alone for one foot
    std::array<float, kFootCount> ai_ = {};
    Warnings warnings_;
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

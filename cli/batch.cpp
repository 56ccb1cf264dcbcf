#include "cli/batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "cli/batch_report.h"
#include "design/design_file.h"
#include "design/pair.h"
#include "design/pair_file.h"
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
        if (status == kBatchDone) status = check_outputs();
        if (status == kBatchDone) status = apply_options();
        if (status == kBatchDone) say_point_warning();
        if (status == kBatchDone) status = write_outputs();
        return status;
    }

  private:
    // An output asked for: its option, every file it may write (checked before any step), and
    // how its files' bytes are made (appended to the files to write).
    struct Output {
        const char *option;
        std::vector<std::string> paths;
        std::function<Result<>(std::vector<OutputFile> &)> encode;
    };

    // An output of one file at `path`, whose bytes `bytes` makes; none when `path` is "".
    static void add_output(std::vector<Output> &all, const char *option, const std::string &path,
                           std::function<Result<std::string>()> bytes) {
        if (path.empty()) return;
        all.push_back({option, {path}, [path, bytes](std::vector<OutputFile> &files) -> Result<> {
                           Result<std::string> made = bytes();
                           if (!made) return made.reason();
                           files.push_back({path, std::move(*made)});
                           return Result<>();
                       }});
    }

    Design &design(Foot foot) { return pair_.design(foot); }
    const Design &design(Foot foot) const { return pair_.design(foot); }

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

    // The design's own scan must still have the bytes the design recorded, unless
    // --ignore-checksum; `changed` says it had not.
    LoadCheck checksum_check(const DesignFile &file, bool own, bool &changed) const {
        return [this, &file, own, &changed](const ScanLoadResult &loaded, const Controls &) {
            changed = own && !o_.ignore_checksum && loaded.sha256.hex() != file.scan_sha256;
            if (!changed) return Result<>();
            return Result<>::failure(
                "the scan's bytes differ from the design's checksum (--ignore-checksum opens it "
                "anyway)");
        };
    }

    // What opening a foot's design gave: the refusal's status (the design file, a changed or
    // missing own scan, a refused scan), else its arch index, its warnings and its replay.
    int opened(Foot foot, const OpenedDesign &opened, const std::string &scan, bool own,
               bool changed) {
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
        if (opened.start_changed) warn(foot_warning(foot, *opened.start_changed));
        for (const Warning &warning : opened.mirrored)
            warn(foot_warning(foot, warning));
        ai_[foot_index(foot)] = opened.load->ai;
        return opened.replayed ? kBatchDone : step_failed(opened.replayed);
    }

    // A design file on its own scan, on the scan given, or on both feet of --pair.
    int open_design_file() {
        const Result<DesignFile> file = read_design_file(o_.design);
        if (!file) return design_refused(file.message());
        for (Foot foot : feet_) {
            // A scan given on the command line takes the design's steps instead of its own scan.
            const std::string &given = is_pair_ ? o_.pair[foot_index(foot)] : o_.scan;
            const bool own = given.empty();
            const std::string scan = own ? design_scan_path(o_.design, *file) : given;
            bool changed = false;
            const OpenedDesign one =
                open_design(design(foot), *file, scan, checksum_check(*file, own, changed));
            if (const int status = opened(foot, one, scan, own, changed); status != kBatchDone)
                return status;
        }
        return is_pair_ ? check_sides() : kBatchDone;
    }

    // A pair file on its own scans or on the two of --pair.
    int open_pair_file() {
        const Result<PairFile> file = read_pair_file(o_.design);
        if (!file) return design_refused(file.message());
        const bool own = o_.pair[0].empty();
        std::array<std::string, kFootCount> scans = o_.pair;
        std::array<bool, kFootCount> changed = {};
        std::array<LoadCheck, kFootCount> checks;
        for (Foot foot : feet_) {
            const int f = foot_index(foot);
            if (own) scans[f] = design_scan_path(o_.design, file->feet[f]);
            checks[f] = checksum_check(file->feet[f], own, changed[f]);
        }
        const OpenedPair both = open_pair(pair_, *file, scans, checks);
        for (Foot foot : feet_) {
            if (both.refused && *both.refused != foot) continue;
            const int f = foot_index(foot);
            if (const int status = opened(foot, both.feet[f], scans[f], own, changed[f]);
                status != kBatchDone)
                return status;
        }
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
        if (d.dome_behind_heads) {
            const Result<Warnings> r = pair_.place_dome_behind_heads(foot, *d.dome_behind_heads);
            if (!r) return step_failed(r.reason());
            for (const Warning &warning : *r)
                warn(warning);
        }
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

    // --propose: the proposal on each foot (on both at once while the feet are linked).
    int propose_on_each_foot() {
        if (!o_.propose) return kBatchDone;
        for (Foot foot : feet_) {
            if (foot != feet_.front() && pair_.linked()) break;
            Result<std::array<std::vector<ProposedValue>, kFootCount>> proposed =
                pair_.propose(foot);
            if (!proposed) return step_failed(proposed.reason());
            for (size_t k = 0; k < proposal_.size(); ++k)
                if (!(*proposed)[k].empty()) proposal_[k] = std::move((*proposed)[k]);
        }
        return kBatchDone;
    }

    // Each option is the call its control makes in the GUI, in the order of the help text.
    int apply_options() {
        if (is_pair_ && !same_linked_settings(foot_options(o_, Foot::kLeft),
                                              foot_options(o_, Foot::kRight), pair_.sizes_linked()))
            pair_.unlink();
        int status = propose_on_each_foot();
        if (status == kBatchDone)
            status = on_each_foot([&](Foot foot, const DesignOptions &d) {
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
        if (status == kBatchDone) take_order();
        return status;
    }

    // The order's fields given replace the design's or the pair's; they make no step.
    void take_order() {
        OrderData order = pair_.order();
        for (int i = 0; i < kOrderFieldCount; ++i)
            if (o_.order[i]) order.text[i] = *o_.order[i];
        pair_.set_order(order);
    }

    // An output's name for one foot: as given for a single foot, with _L or _R for a pair; ""
    // (not asked for) stays "".
    std::string name_for(const std::string &name, Foot foot) const {
        return is_pair_ && !name.empty() ? pair_foot_file_name(name, foot) : name;
    }

    PrintSettings print_settings() const {
        PrintSettings print;
        print.zones = o_.zones;
        print.slicer = o_.slicer;
        if (o_.propose && print.zones.empty())
            print.zones = parse_print_zones(kDefaultPrintZones).value();
        print.tolerance_mm = o_.mesh_tolerance.value_or(kDefault3mfTolerance);
        print.bed = o_.bed;
        return print;
    }

    // The file the design came from, else the one it is saved to.
    std::string design_file() const { return o_.design.empty() ? o_.save_design : o_.design; }

    // One foot's outputs after the design file and the engravings: the meshes (a single foot's
    // 3MF among them) and the grids.
    void add_foot_outputs(std::vector<Output> &all, Foot foot) {
        const Design &d = design(foot);
        const uint8_t *relief = d.results().relief_grid;
        const uint8_t *insole = d.results().insole_relief;  // the printed solids' top
        auto picture = [](const uint8_t *cells, int bytes_per_cell) {
            return [cells, bytes_per_cell]() -> Result<std::string> {
                const auto rgb = upright_rgb(cells, bytes_per_cell);
                return encode_png_rgb(kGridWidth, kGridHeight, rgb.data());
            };
        };
        add_output(all, "--stl", name_for(o_.stl, foot), [this, foot, relief]() {
            MeshExport surface;
            std::string text = encode_relief_stl(relief, &surface);
            for (const Warning &warning : surface.warnings)
                warn(foot_warning(foot, warning));
            return Result<std::string>(std::move(text));
        });
        add_output(all, "--stl-solid", name_for(o_.stl_solid, foot), [this, insole] {
            return encode_relief_solid(insole, o_.mesh_tolerance.value_or(0));
        });
        if (!is_pair_)
            add_output(all, "--3mf", o_.print_3mf, [this, &d, insole] {
                PrintSettings print = print_settings();
                print.top_cover_mm = d.controls()[Control::kTopCover];
                return encode_relief_3mf(insole, d.scan().pressure_grid, print,
                                         print_description(d, design_file()));
            });
        add_output(all, "--relief-raw", name_for(o_.relief_raw, foot),
                   [relief]() -> Result<std::string> {
                       return std::string(reinterpret_cast<const char *>(relief), kGridCells);
                   });
        add_output(all, "--preview", name_for(o_.preview, foot),
                   picture(d.results().relief_preview, 4));
        add_output(all, "--pressure", name_for(o_.pressure, foot),
                   picture(d.results().colour_grid, 3));
    }

    // A pair's 3MF: both insoles in one file on the bed, or one file per foot, _L and _R, when
    // they do not fit (said). Before the steps, where it goes is not known: both are checked.
    Output pair_print_output() {
        const std::array<std::string, 2> apart = {pair_foot_file_name(o_.print_3mf, Foot::kLeft),
                                                  pair_foot_file_name(o_.print_3mf, Foot::kRight)};
        return {"--3mf",
                {o_.print_3mf, apart[0], apart[1]},
                [this, apart](std::vector<OutputFile> &files) -> Result<> {
                    std::array<PairPrintInput, 2> feet;
                    for (Foot foot : feet_) {
                        const Design &d = design(foot);
                        feet[foot_index(foot)] = {d.results().insole_relief, d.scan().pressure_grid,
                                                  print_description(d, design_file()),
                                                  d.controls()[Control::kTopCover]};
                    }
                    const Result<PairPrint> print = build_pair_print(feet, print_settings());
                    if (!print) return print.reason();
                    if (print->placement) {
                        Result<std::string> both = encode_pair_print(*print, print_settings());
                        if (!both) return both.reason();
                        files.push_back({o_.print_3mf, std::move(*both)});
                        return Result<>();
                    }
                    warn(apart_warning(apart));
                    for (int k = 0; k < 2; ++k) {
                        Result<std::string> one = encode_foot_print(*print, k, print_settings());
                        if (!one) return one.reason();
                        files.push_back({apart[k], std::move(*one)});
                    }
                    return Result<>();
                }};
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

    // Every output asked for, in the order their bytes are made: the design file (or pair file)
    // as the options left it, the engravings (their smoothing comes first, and the others write
    // the smoothed relief), each foot's meshes and grids, a pair's 3MF, and the report, which
    // lists what they warned of. The engravings' names were checked by check_outputs.
    std::vector<Output> outputs() {
        std::vector<Output> all;
        add_output(all, "--save-design", o_.save_design, [this]() -> Result<std::string> {
            if (is_pair_) return pair_file_text(pair_file_of(pair_, o_.save_design));
            return design_file_text(design_file_of(design(Foot::kLeft), o_.save_design));
        });
        for (Foot foot : feet_) {
            const std::string name =
                o_.engrave.empty() ? "" : engraving_file_name(name_for(o_.engrave, foot)).value();
            add_output(all, "--engrave", name, [this, foot]() -> Result<std::string> {
                if (Result<> r = pair_.smooth(foot); !r) return r.reason();
                const std::vector<uint8_t> bmp =
                    encode_engraving_bmp(design(foot).results().relief_grid);
                return std::string(bmp.begin(), bmp.end());
            });
        }
        for (Foot foot : feet_)
            add_foot_outputs(all, foot);
        if (is_pair_ && !o_.print_3mf.empty()) all.push_back(pair_print_output());
        add_output(all, "--report", o_.report == "-" ? "" : o_.report,
                   [this]() -> Result<std::string> { return report_text(); });
        return all;
    }

    // The order sheet, one for the run's foot or both feet of a pair, after every other output's
    // bytes (`files`): it names each of them with the SHA-256 of its bytes.
    Result<std::string> order_sheet(const std::vector<OutputFile> &files) const {
        const std::string design_file = o_.save_design.empty() ? o_.design : o_.save_design;
        std::vector<const Design *> designs;
        for (Foot foot : feet_)
            designs.push_back(&design(foot));
        OrderSheet sheet = order_sheet_of(pair_.order(), designs, design_file);
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
            for (Foot foot : feet_)
                if (const Result<std::string> name =
                        engraving_file_name(name_for(o_.engrave, foot));
                    !name)
                    return write_failed(name.message());
        std::vector<std::string> inputs = {o_.design};
        for (Foot foot : feet_)
            inputs.push_back(design(foot).scan_path());
        std::vector<Output> all = outputs();
        if (!o_.order_pdf.empty()) all.push_back({"--order-pdf", {o_.order_pdf}, nullptr});
        for (const Output &out : all)
            for (const std::string &path : out.paths) {
                for (const std::string &input : inputs)
                    if (!input.empty() && same_file(path, input)) {
                        std::fprintf(stderr,
                                     "pedaform-cli: %s %s is %s, which this run reads: an "
                                     "output never replaces an input\n",
                                     out.option, path.c_str(), input.c_str());
                        return kBatchUsage;
                    }
                if (Result<> r = check_output_path(path); !r) return write_failed(r.message());
            }
        return kBatchDone;
    }

    // Every output's bytes, then all of them written together or none; the report on standard
    // output once they are.
    int write_outputs() {
        std::vector<OutputFile> files;
        for (const Output &out : outputs())
            if (Result<> r = out.encode(files); !r) return write_failed(r.message());
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

    // The report: the lengths' warnings first while no size is chosen, then the others in the
    // order they were said.
    std::string report_text() const {
        Warnings warnings;
        for (Foot foot : feet_)
            if (const std::optional<Warning> size = design(foot).size_warning();
                size && design(foot).size_label()[0] == '\0')
                warnings.add(foot_warning(foot, *size));
        warnings.add(warnings_);
        nlohmann::json report = is_pair_ ? pair_report_json(pair_, ai_, warnings)
                                         : foot_report_json(design(Foot::kLeft), ai_[0], warnings);
        for (Foot foot : feet_) {
            const std::vector<ProposedValue> &values = proposal_[foot_index(foot)];
            if (values.empty()) continue;
            nlohmann::json &proposal =
                is_pair_ ? report[foot == Foot::kLeft ? "left" : "right"]["proposal"]
                         : report["proposal"];
            for (const ProposedValue &p : values)
                proposal.push_back({{"what", p.what}, {"value", p.value}, {"why", p.why}});
        }
        return report.dump(2) + "\n";
    }

    // What the loads found doubtful: on standard error at once. The report keeps what still
    // holds when it is written (a size chosen by --size ends the length's warning).
    void say_load_warnings() {
        for (Foot foot : feet_) {
            if (const std::optional<Warning> size = design(foot).size_warning())
                std::fprintf(stderr, "pedaform-cli: warning: %s\n",
                             foot_warning(foot, *size).text.c_str());
            if (const std::optional<Warning> &landmarks = design(foot).landmark_warning())
                warn(foot_warning(foot, *landmarks));
            if (const std::optional<Warning> dome = design(foot).dome_step_warning())
                warn(foot_warning(foot, *dome));
        }
    }

    // A doubtful search point, unless the options placed the point or the dome.
    void say_point_warning() {
        for (Foot foot : feet_)
            if (const std::optional<Warning> point = design(foot).search_point_warning())
                warn(foot_warning(foot, *point));
    }

    // A foot's warning as a pair says it: naming the foot.
    Warning foot_warning(Foot foot, const Warning &warning) const {
        return is_pair_ ? warning_of_foot(foot, warning) : warning;
    }

    // A warning that changes the outcome: on standard error even under --quiet, and in the
    // report; once (a replayed dome step and --dome-behind-heads may find the same).
    void warn(const Warning &warning) {
        for (const Warning &said : warnings_)
            if (said.text == warning.text) return;
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
    std::array<std::vector<ProposedValue>, kFootCount> proposal_;  // --propose: each foot's
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

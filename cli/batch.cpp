#include "cli/batch.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "analysis/filter_gain.h"
#include "analysis/scan_loader.h"
#include "io/scan_file.h"
#include "gl/egl_context.h"
#include "model3d/relief_mesh.h"
#include "relief/composition.h"
#include "relief/engraving_bmp.h"
#include "relief/smoothing.h"
#include "workspace/console.h"
#include "workspace/file_output.h"
#include "gl/pad_stamp_gl.h"
#include "io/picture_io.h"
#include "io/resources.h"

namespace pedaform {

const char *const kBatchUsageText =
    "usage: pedaform-cli [options] SCAN.bmp\n"
    "\n"
    "Runs an insole design without a screen, as the operator would in the GUI.\n"
    "\n"
    "  --resources DIR      folder of the data files (default: the working directory)\n"
    "  --meta1 N --meta2 N  metatarsal pad sliders, whole numbers -10 ... 10\n"
    "  --heel1 N --heel2 N --heel3 N   heel pad sliders, whole numbers -10 ... 10\n"
    "  --pad-width N        stamped pad width 0 ... 100 (overrides the size preset)\n"
    "  --pad-length N       stamped pad length 0 ... 240\n"
    "  --pad-height X       stamped pad height 0 ... 9 mm in steps of 0.2\n"
    "  --stamp              switch the stamped metatarsal pad on (needs OpenGL through EGL)\n"
    "  --filter N           pressure filter 0 ... 255\n"
    "  --gain X             pressure gain 1 ... 10 in steps of 0.5\n"
    "  --smooth N           run \"Smooth\" N times (0 ... 1000)\n"
    "  --engrave FILE       engraving BMP (smoothed; \".bmp\" appended unless present)\n"
    "  --stl FILE           3D-print surface as ASCII STL\n"
    "  --stl-solid FILE     closed solid as binary STL\n"
    "  --relief-raw FILE    the relief as 54,000 bytes, row 0 first\n"
    "  --preview FILE.png   the relief preview, upright\n"
    "  --pressure FILE.png  the pressure colouring, upright\n"
    "  --report FILE|-      JSON report (\"-\": standard output; use with --quiet)\n"
    "  --quiet              no console lines of the actions\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 done, 2 usage error, 3 scan refused, 4 an output could not be written,\n"
    "5 --stamp without an OpenGL context.\n";

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

// A number within [min, max] that is a whole multiple of `step` above min.
bool parse_stepped(const std::string &text, double min, double max, double step, double &out) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < min - 1e-9 || v > max + 1e-9)
        return false;
    const double steps = (v - min) / step;
    if (std::fabs(steps - std::round(steps)) > 1e-6) return false;
    out = min + std::round(steps) * step;
    return true;
}

}  // namespace

bool parse_batch_options(int argc, const char *const *argv, BatchOptions &o, std::string &error) {
    auto need_value = [&](int &i, std::string &value) {
        if (i + 1 >= argc) {
            error = std::string(argv[i]) + " needs a value";
            return false;
        }
        value = argv[++i];
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string value;
        auto whole = [&](int min, int max, int &out) {
            if (!need_value(i, value)) return false;
            if (parse_whole(value, min, max, out)) return true;
            error = arg + " takes a whole number from " + std::to_string(min) + " to " +
                    std::to_string(max) + ", not \"" + value + "\"";
            return false;
        };
        auto stepped = [&](double min, double max, double step, const char *allowed, double &out) {
            if (!need_value(i, value)) return false;
            if (parse_stepped(value, min, max, step, out)) return true;
            error = arg + " takes " + allowed + ", not \"" + value + "\"";
            return false;
        };
        auto file = [&](std::string &out) {
            if (!need_value(i, out)) return false;
            if (!out.empty()) return true;
            error = arg + " needs a file name";
            return false;
        };
        int n = 0;
        double x = 0;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--stamp") {
            o.stamp = true;
        } else if (arg == "--resources") {
            ok = file(o.resources);
        } else if (arg == "--meta1") {
            ok = whole(-10, 10, o.meta1);
        } else if (arg == "--meta2") {
            ok = whole(-10, 10, o.meta2);
        } else if (arg == "--heel1") {
            ok = whole(-10, 10, o.heel1);
        } else if (arg == "--heel2") {
            ok = whole(-10, 10, o.heel2);
        } else if (arg == "--heel3") {
            ok = whole(-10, 10, o.heel3);
        } else if (arg == "--pad-width") {
            if ((ok = whole(0, 100, n))) o.pad_width = n;
        } else if (arg == "--pad-length") {
            if ((ok = whole(0, 240, n))) o.pad_length = n;
        } else if (arg == "--pad-height") {
            if ((ok = stepped(0, 9, 0.2, "0 to 9 in steps of 0.2", x))) o.pad_height = x;
        } else if (arg == "--filter") {
            if ((ok = whole(0, 255, n))) o.filter = n;
        } else if (arg == "--gain") {
            if ((ok = stepped(1, 10, 0.5, "1 to 10 in steps of 0.5", x))) o.gain = x;
        } else if (arg == "--smooth") {
            ok = whole(0, 1000, o.smooth);
        } else if (arg == "--engrave") {
            ok = file(o.engrave);
        } else if (arg == "--stl") {
            ok = file(o.stl);
        } else if (arg == "--stl-solid") {
            ok = file(o.stl_solid);
        } else if (arg == "--relief-raw") {
            ok = file(o.relief_raw);
        } else if (arg == "--preview") {
            ok = file(o.preview);
        } else if (arg == "--pressure") {
            ok = file(o.pressure);
        } else if (arg == "--report") {
            ok = file(o.report);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg + " (see --help)";
            ok = false;
        } else if (o.scan.empty()) {
            o.scan = arg;
        } else {
            error = "one scan at a time: \"" + o.scan + "\" and \"" + arg + "\" were given";
            ok = false;
        }
        if (!ok) return false;
    }
    if (o.scan.empty() && !o.help && !o.version) {
        error = "no scan given (pedaform-cli [options] SCAN.bmp)";
        return false;
    }
    return true;
}

namespace {

// The controls of the main window that the actions read, with their start values.
struct Controls {
    double meta1 = 0, meta2 = 0, heel1 = 0, heel2 = 0, heel3 = 0;
    double pad_width = 7, pad_length = 17, pad_height = 5;
    bool pad_check = false;
    double filter = 0, gain = 3;
    std::string size_label;

    StampControls stamp() const {
        StampControls s;
        s.enabled = pad_check;
        s.width = pad_width;
        s.length = pad_length;
        return s;
    }
    PadSliderValues pads() const { return {meta1, meta2, heel1, heel2, heel3}; }
};

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

nlohmann::json report_json(const Workspace &ws, const Controls &c, float ai) {
    nlohmann::json landmarks = nlohmann::json::array();
    for (const Landmark &l : ws.landmarks)
        landmarks.push_back({l.row, l.column});
    nlohmann::json meta = nullptr;
    if (ws.meta_point_found) meta = {ws.meta_column, ws.meta_row};
    return {
        {"insole_length", ws.insole_length},
        {"size_label", c.size_label},
        {"template_index", ws.template_index},
        {"template_mirrored", ws.template_mirrored},
        {"first_outline_cell", ws.first_outline_cell},
        {"outline_top_row", ws.outline_top_row},
        {"outline_bottom_row", ws.outline_bottom_row},
        {"landmarks", landmarks},
        {"meta_point", meta},
        {"pad", {{"width", c.pad_width}, {"length", c.pad_length}, {"height", c.pad_height}}},
        // The scan carries "ai" in hundredths: report it as such, not as the float's expansion.
        {"ai", std::round(ai * 100.0) / 100.0},
    };
}

class Batch {
  public:
    explicit Batch(const BatchOptions &o) : o_(o), ws_(std::make_unique<Workspace>()) {}

    int run() {
        Workspace &ws = *ws_;
        load_startup_resources(ws, o_.resources);

        // The load action: the file, then the stamp check button off and a stamp requested.
        ws.scan_loaded = 1;
        const ScanLoadResult loaded = load_scan_file(ws, o_.scan.c_str(), c_.gain);
        if (!loaded.accepted) {
            std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, o_.scan.c_str(),
                         loaded.error.c_str());
            return kBatchScanRefused;
        }
        ai_ = loaded.ai;
        if (loaded.size.hit) {
            c_.size_label = loaded.size.label;
            c_.pad_width = loaded.size.pad_width;
            c_.pad_length = loaded.size.pad_length;
            c_.pad_height = loaded.size.pad_height;
        }
        c_.pad_check = false;
        ws.pad_stamp_dirty = 1;
        // With the check button off the stamp adds nothing, so the frame that follows the
        // load needs OpenGL only when the stamp will be switched on later.
        if (int status = frame(o_.stamp); status != kBatchDone) return status;

        // The stamped pad's sliders, each running its action.
        if (o_.pad_width) {
            c_.pad_width = *o_.pad_width;
            ws.pad_stamp_stride = pad_stamp_stride_for(c_.pad_width);
            ws.pad_stamp_dirty = 1;
        }
        if (o_.pad_length) {
            c_.pad_length = *o_.pad_length;
            ws.pad_stamp_dirty = 1;
        }
        if (o_.pad_height) {
            c_.pad_height = *o_.pad_height;
            ws.pad_stamp_dirty = 1;
        }

        // The pad sliders, each one move from 0 to its value.
        const std::pair<PadSlider, int> moves[] = {{PadSlider::kMeta1, o_.meta1},
                                                   {PadSlider::kMeta2, o_.meta2},
                                                   {PadSlider::kHeel1, o_.heel1},
                                                   {PadSlider::kHeel2, o_.heel2},
                                                   {PadSlider::kHeel3, o_.heel3}};
        for (const auto &[slider, value] : moves) {
            if (value == 0) continue;
            double *control[] = {&c_.meta1, &c_.meta2, &c_.heel1, &c_.heel2, &c_.heel3};
            *control[static_cast<int>(slider)] = value;
            pad_slider_action(ws, slider, c_.pads(), c_.stamp());
        }

        if (o_.stamp) {
            c_.pad_check = true;
            ws.pad_stamp_dirty = 1;
            if (int status = frame(true); status != kBatchDone) return status;
        }

        if (o_.filter || o_.gain) {
            if (o_.filter) c_.filter = *o_.filter;
            if (o_.gain) c_.gain = *o_.gain;
            apply_filter_gain(ws, c_.filter, c_.gain);
        }

        for (int i = 0; i < o_.smooth; ++i)
            smooth_relief(ws);

        if (!o_.engrave.empty()) {
            smooth_relief(ws);
            std::string name;
            if (!engraving_file_name(o_.engrave, name))
                return write_failed("the engraving name is too long: " + o_.engrave);
            fill_export_image(ws);
            std::string why;
            if (write_engraving_bmp(name.c_str(), ws.export_image, &why) != 0)
                return write_failed(why);
        }
        if (!o_.stl.empty()) {
            const std::string why = export_relief_stl(ws, o_.stl);
            if (!why.empty()) return write_failed(why);
        }
        if (!o_.stl_solid.empty()) {
            const std::string why = export_relief_solid(ws, o_.stl_solid);
            if (!why.empty()) return write_failed(why);
        }
        if (!o_.relief_raw.empty()) {
            const std::string why =
                write_file_atomically(o_.relief_raw, ws.relief_grid, kGridCells);
            if (!why.empty()) return write_failed(why);
        }
        if (!o_.preview.empty()) {
            const auto rgb = upright_rgb(ws.relief_preview, 4);
            const std::string why = write_png_rgb(o_.preview, kGridWidth, kGridHeight, rgb.data());
            if (!why.empty()) return write_failed(why);
        }
        if (!o_.pressure.empty()) {
            const auto rgb = upright_rgb(ws.colour_grid, 3);
            const std::string why = write_png_rgb(o_.pressure, kGridWidth, kGridHeight, rgb.data());
            if (!why.empty()) return write_failed(why);
        }
        if (!o_.report.empty()) {
            const std::string text = report_json(ws, c_, ai_).dump(2) + "\n";
            if (o_.report == "-") {
                std::fflush(stdout);
                std::fwrite(text.data(), 1, text.size(), stdout);
                std::fflush(stdout);
            } else {
                const std::string why = write_file_atomically(o_.report, text.data(), text.size());
                if (!why.empty()) return write_failed(why);
            }
        }
        return kBatchDone;
    }

  private:
    // One image-view frame: when a stamp was requested, render it and recompose.
    int frame(bool render) {
        Workspace &ws = *ws_;
        if (!ws.pad_stamp_dirty) return kBatchDone;
        if (render) {
            if (!gl_) {
                gl_ = std::make_unique<OffscreenContext>();
                std::string why;
                if (!gl_->create(why)) {
                    std::fprintf(stderr, "pedaform-cli: --stamp needs OpenGL: %s\n", why.c_str());
                    return kBatchNoOpenGL;
                }
            }
            if (!render_pad_stamp(ws, c_.pad_width, c_.pad_length, c_.pad_height, 0)) {
                std::fprintf(stderr, "pedaform-cli: the pad stamp could not be rendered\n");
                return kBatchNoOpenGL;
            }
        }
        compose_relief(ws, c_.stamp());
        ws.pad_stamp_dirty = 0;
        return kBatchDone;
    }

    int write_failed(const std::string &why) {
        std::fprintf(stderr, "pedaform-cli: %s\n", why.c_str());
        return kBatchWriteFailed;
    }

    const BatchOptions &o_;
    std::unique_ptr<Workspace> ws_;
    Controls c_;
    float ai_ = 0;
    std::unique_ptr<OffscreenContext> gl_;
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

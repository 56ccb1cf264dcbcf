// The batch command's options: one table whose rows give each option's argument, its --help
// line and its manual-page entry, and how it is read. The controls' options come from the
// control table (design/controls.h), in their batch order: those before the metatarsal point
// options, then those after. --help and the manual page's OPTIONS section are both made from
// here, the manual page at build time (tools/make_manual.cpp). The order's options, which make
// no step, come from the order's field rows (order/order_data.h) and follow in a list of their
// own.
//
// A pair (--pair LEFT RIGHT, or a pair file given to --design) takes every design option for
// both feet. Each design option (every control's, --size, the metatarsal point and dome options
// and --smooth) also comes as --left-OPTION and --right-OPTION, made from the same rows, which
// set one foot: its value replaces the plain option's for that foot.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/grid.h"
#include "core/result.h"
#include "design/controls.h"
#include "model3d/print_3mf.h"
#include "order/order_data.h"

namespace pedaform {

// The options that make a design's steps, for both feet or (--left-, --right-) for one.
struct DesignOptions {
    // The controls' options (in the order of Control); the stamp's is 1 when given.
    std::optional<double> controls[kControlCount];
    bool propose = false;                     // --propose: the proposal's steps first
    std::optional<int> size;                  // --size: the label's index (size_label)
    std::optional<GridPoint> meta_point;      // --meta-point
    std::optional<GridPoint> dome_apex;       // --dome-apex: where the dome's highest cell goes
    std::optional<double> dome_behind_heads;  // millimetres
    std::optional<int> smooth;                // --smooth
    bool any() const;
};

struct BatchOptions : DesignOptions {
    std::string scan;
    std::array<std::string, 2> pair;  // --pair: the left and the right foot's scans
    DesignOptions feet[2];            // --left-OPTION, --right-OPTION
    std::string resources;            // "" = the working directory
    std::string design;               // --design: replay this design or pair file first
    bool ignore_checksum = false;
    BedSize bed;  // --bed: a pair's 3MF
    std::string save_design;
    std::string engrave, stl, stl_solid, relief_raw, preview, pressure, report;
    std::string print_3mf;                 // --3mf
    std::vector<PrintZone> zones;          // --zones
    Slicer slicer = Slicer::kPrusa;        // --slicer
    std::optional<double> mesh_tolerance;  // --mesh-tolerance, mm
    // The order's fields (--patient, ...), each checked: a field given replaces the design
    // file's ("" clears it). They make no step.
    std::optional<std::string> order[kOrderFieldCount];
    std::string order_pdf;  // --order-pdf: the order sheet
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Parses the command line. A usage error fails with one line that names the option and what
// it allows.
Result<BatchOptions> parse_batch_options(int argc, const char *const *argv);

// The --help text.
std::string batch_usage_text();

// The manual page's option entries, in roff: one ".TP" paragraph per option, in the order of
// the --help text.
std::string batch_manual_options();

}  // namespace pedaform

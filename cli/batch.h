// The batch command's work: a design run as an operator would run it in the GUI, through the
// same design model. Parsing is separate from running so that each can be checked alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "design/controls.h"
#include "core/result.h"

namespace pedaform {

struct BatchOptions {
    std::string scan;
    std::string resources;  // "" = the working directory
    std::string design;     // --design: replay this design file first
    bool ignore_checksum = false;
    // The controls' options (in the order of Control); the stamp's is 1 when given.
    std::optional<double> controls[kControlCount];
    std::string size;  // a size label, checked by the parser
    bool meta_point_given = false;
    float meta_column = 0, meta_row = 0;
    bool dome_apex_given = false;  // --dome-apex: where the dome's highest cell goes
    float dome_column = 0, dome_row = 0;
    std::optional<double> dome_behind_heads;  // millimetres
    int smooth = 0;
    std::string save_design;
    std::string engrave, stl, stl_solid, relief_raw, preview, pressure, report;
    std::string print_3mf;                 // --3mf
    std::string zones;                     // --zones, checked by the parser
    std::string slicer = "prusa";          // --slicer, checked by the parser
    std::optional<double> mesh_tolerance;  // --mesh-tolerance, mm
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Exit statuses.
enum BatchStatus {
    kBatchDone = 0,
    kBatchUsage = 2,  // also a design file that is refused
    kBatchScanRefused = 3,
    kBatchWriteFailed = 4,
};

// Parses the command line. A usage error fails with one line that names the option and what
// it allows.
Result<> parse_batch_options(int argc, const char *const *argv, BatchOptions &options);

// The --help text: the controls' options come from the control table.
std::string batch_usage_text();

// Runs the design. Messages for the user go to standard error; the actions' console lines to
// standard output unless options.quiet. Returns the exit status.
int run_batch(const BatchOptions &options);

}  // namespace pedaform

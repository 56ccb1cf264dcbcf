// pedaform-cli import: a lab's pressure recording in, the program's scans out.
//
//     pedaform-cli import FILE [--pitch R,C] [--units U] [--step K] [--side left|right]
//                  [--mirror] --out DIR [--report FILE|-] [--quiet]
//
// Writes DIR/NAME_L.bmp and/or DIR/NAME_R.bmp (NAME: the recording's name without its
// extension) through a temporary file each, and with --report a JSON list of every footprint
// found. The work is import_recording's (import/pressure_import.h).
#pragma once

#include <string>

#include "core/result.h"
#include "import/pressure_import.h"

namespace pedaform {

struct ImportCommand {
    std::string recording;
    std::string out_dir;
    std::string report;
    ImportOptions options;
    bool quiet = false;
    bool help = false;
};

// Parses the words after "import". A usage error fails with one line naming the option.
Result<> parse_import_command(int argc, const char *const *argv, ImportCommand &command);

std::string import_usage_text();

// Runs it; returns the exit status (0 done, 2 usage, 3 recording refused, 4 not written).
int run_import_command(const ImportCommand &command);

}  // namespace pedaform

// Start-up data: the colour table, the nineteen templates and the pad shape, read once into the
// resources that every design shares.
#pragma once

#include <string>
#include <vector>

#include "core/resources.h"
#include "core/warnings.h"

namespace pedaform {

// Reads every data file, the paths taken relative to `data_dir` ("" or "." for the working
// directory). A missing or unreadable file leaves its part zeroed and the other files are
// still read; each such file gives one warning naming it and why, returned in order for the
// caller to show (standard error, the report, the GUI's start-up alert). The console lines
// report each picture's size (0 x 0 when it could not be read).
Warnings load_startup_resources(Resources &resources, const std::string &data_dir);

// `data_dir` joined with a resource path such as "./lut_256.txt".
std::string resource_path(const std::string &data_dir, const char *file);

}  // namespace pedaform

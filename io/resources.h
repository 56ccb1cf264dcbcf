// Start-up data: the colour table, the nineteen templates and the pad shape, read into the
// workspace exactly once by the image view's constructor (or by the batch command).
#pragma once

#include <string>

#include "workspace/workspace.h"

namespace pedaform {

// Sets the start values and reads every data file, the paths taken relative to `data_dir`
// ("" or "." for the working directory). Missing or undecodable files leave zeros and the
// other files are still read; the console lines report each picture's size (0 x 0 when it
// could not be read). Never fails.
void load_startup_resources(Workspace &ws, const std::string &data_dir);

// `data_dir` joined with a resource path such as "./lut_256.txt".
std::string resource_path(const std::string &data_dir, const char *file);

}  // namespace pedaform

// Reading a scan file from disk and loading it into the workspace.
#pragma once

#include "analysis/scan_loader.h"

namespace pedaform {

// Reads the file at `path` and loads it as load_scan_picture does; a file that cannot be read
// or decoded prints "Unable to load texture: " and is refused (accepted = false, the workspace
// unchanged).
ScanLoadResult load_scan_file(Workspace &ws, const char *path, double gain);

}  // namespace pedaform

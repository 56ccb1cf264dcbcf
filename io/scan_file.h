// Reading a scan file from disk and loading it into a scan.
#pragma once

#include "analysis/scan_loader.h"

namespace pedaform {

// Reads the file at `path` once, takes the SHA-256 of its bytes (ScanLoadResult::sha256) and
// loads the decoded picture as load_scan_picture does. A file that cannot be read or decoded
// prints "Unable to load texture: " and is refused with why, `scan` unchanged.
Result<ScanLoadResult> load_scan_file(Scan &scan, const char *path);

}  // namespace pedaform

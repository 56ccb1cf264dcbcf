// Reading a scan file from disk and loading it into a scan.
#pragma once

#include "analysis/scan_loader.h"

namespace pedaform {

// Reads the file at `path` once (read_file_bytes within kMaxScanBytes), takes the SHA-256 of
// those bytes (ScanLoadResult::sha256) and loads the decoded picture as load_scan_picture does.
// A file that cannot be read or decoded prints "Unable to load texture: " and is refused with
// why, `scan` unchanged. The GUI's words are the reader's for a file that cannot be read (「不是
// 一般檔案（管線）」, ...) and "格式錯誤" for one that is no scan.
Result<ScanLoadResult> load_scan_file(Scan &scan, const char *path);

}  // namespace pedaform

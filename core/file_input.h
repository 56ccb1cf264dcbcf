// Reading an input file whole: a scan, a design file, a data file or a pressure recording.
// Every read of the program goes through read_file_bytes, which reads only a regular file and
// only up to a bound: a FIFO, a device such as /dev/urandom, a folder or a file larger than the
// bound is refused before a byte is read, so that no input can hold the program up or fill its
// memory. The file is opened without blocking (O_NONBLOCK), so that not even the opening waits
// for a FIFO's writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"

namespace pedaform {

// The largest file of each kind that is read, in bytes. A scan is 216,054 bytes and a design
// file a few kilobytes; a pressure recording of a long walk runs to tens of megabytes.
constexpr size_t kMaxScanBytes = size_t{64} << 20;
constexpr size_t kMaxRecordingBytes = size_t{64} << 20;
constexpr size_t kMaxDesignBytes = size_t{16} << 20;
constexpr size_t kMaxDataFileBytes = size_t{16} << 20;  // the colour table, templates, pad shape

// Every byte of the regular file at `path`, at most `max_bytes` of them; a file that grows
// past the bound while it is read is refused too. A failure says why, without the path: "cannot
// read the file: " and the system's reason, "not a regular file (a pipe)"
// (「不是一般檔案（管線）」; a folder, a device), or the file's size against the bound; the GUI's
// words are failure_reason's for the common causes.
Result<std::vector<uint8_t>> read_file_bytes(const std::string &path, size_t max_bytes);

}  // namespace pedaform

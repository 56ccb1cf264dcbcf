// SHA-256 checksums of scans, which design files keep to tell whether a scan changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/result.h"

namespace pedaform {

// The SHA-256 of `size` bytes as 64 lower-case hex digits.
std::string sha256_hex(const uint8_t *data, size_t size);

// The SHA-256 of a file's bytes. A file that cannot be read fails with why: a missing file
// says "no such file" so that a moved-away scan is reported as missing, not as changed.
Result<std::string> file_sha256(const std::string &path);

}  // namespace pedaform

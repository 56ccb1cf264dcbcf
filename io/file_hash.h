// SHA-256 checksums of scans, which design files keep to tell whether a scan changed. The
// checksum is taken of the very bytes a load read (io/scan_file.h), never by reading again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pedaform {

// The SHA-256 of `size` bytes as 64 lower-case hex digits.
std::string sha256_hex(const uint8_t *data, size_t size);

}  // namespace pedaform

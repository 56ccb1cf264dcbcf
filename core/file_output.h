// Writing an output file so that a failure never leaves a truncated or half-replaced file:
// the bytes go to a temporary file beside the target, which is renamed over the target only
// after every byte was written and the file closed.
#pragma once

#include <cstddef>
#include <string>

#include "core/result.h"

namespace pedaform {

// On failure the message is a one-line reason; the target is then untouched and no temporary
// file is left behind.
Result<> write_file_atomically(const std::string &path, const void *data, size_t size);

}  // namespace pedaform

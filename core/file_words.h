// The operator's words for why a file cannot be read or written: the GUI's reasons for the
// common causes, shared by the file reader and writer (core/file_input.h, core/file_output.h)
// and the GUI's alerts.
#pragma once

#include <string>

namespace pedaform {

// The reason, in Traditional Chinese followed by the system's text in parentheses, for the
// common causes: no such folder, no permission, disk full, read-only file system, a folder where
// a file was expected, a name too long (「檔名太長」) (and, for reading, no such file). "" for
// any other cause. `error` is an errno value; `reading` tells a missing file from a missing
// folder.
std::string failure_reason(int error, bool reading, const std::string &path);

}  // namespace pedaform

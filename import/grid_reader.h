// A plain peak-pressure grid: one row of the sensor grid a line, the values separated by tabs,
// ';', ',' or spaces (the first row tells which), with an optional header line before the
// first row. Blank lines are skipped. The pitch and the unit are not in the file.
#pragma once

#include <string_view>

#include "core/result.h"
#include "import/recording.h"

namespace pedaform {

// Reads the grid as a recording of one frame. A row of another length or a value that is no
// number fails naming the line; so does a text without a row.
Result<Recording> read_peak_grid(std::string_view text);

}  // namespace pedaform

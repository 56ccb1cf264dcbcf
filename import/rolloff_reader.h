// A pressure plate's "roll-off" text export: no header; each frame is a line "Frame N (T ms)"
// followed by the plate's rows, one a line, of tab-separated decimals; frames are separated by
// blank lines. The sensor pitch and the unit are not in the file (the operator gives them).
#pragma once

#include <string_view>

#include "core/result.h"
#include "import/recording.h"

namespace pedaform {

// Reads every frame. The first row sets the column count and the first frame the row count;
// a row of another length, a frame of fewer or more rows (a truncated frame), a value that is
// no number, a row outside a frame or a text without frames fails naming the line.
Result<Recording> read_plate_rolloff(std::string_view text);

}  // namespace pedaform

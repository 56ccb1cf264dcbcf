// Tekscan's ASCII movie (.asf): header lines "KEY value" up to "ASCII_DATA @@", then frames
// "Frame N" of ROWS lines of COLS comma-separated values ("B" marks a cell without a sensel),
// the data ending at "@@". Lines end in CR LF (LF alone is read too).
//
// The header keys read: ROWS and COLS (required), ROW_SPACING and COL_SPACING ("5.08 mm"; mm,
// cm or inch), UNITS ("KPa", import/pressure_units.h), MIRROR_ROW and MIRROR_COL (0 or 1);
// START_FRAME, END_FRAME and SECONDS_PER_FRAME are not needed, and other lines (COMMENTS and
// its text among them) are skipped. In-shoe sensors have the toes toward row 1.
#pragma once

#include <string_view>

#include "core/result.h"
#include "import/recording.h"

namespace pedaform {

// Reads the header and every frame up to "@@". A missing or bad ROWS or COLS, a bad spacing
// or mirror flag, a frame of fewer rows (a truncated frame), a row of another length, a value
// that is no number or "B", or data that ends without "@@" fails naming the line.
Result<Recording> read_tekscan_asf(std::string_view text);

// The header alone, up to "ASCII_DATA": rows, columns, pitch, unit and mirror flags, no frame.
// Fails as read_tekscan_asf does for the header.
Result<Recording> read_tekscan_header(std::string_view text);

}  // namespace pedaform

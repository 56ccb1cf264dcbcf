#include "import/tekscan_reader.h"

#include <charconv>

#include "import/frame_rows.h"
#include "import/pressure_units.h"

namespace pedaform {

namespace {

// A whole number lo..hi, or false.
bool whole_number(std::string_view text, int lo, int hi, int &value) {
    text = trim(text);
    const char *end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end && value >= lo && value <= hi;
}

// One header line "KEY value" into the recording; unknown keys are skipped.
Result<> read_header_line(std::string_view line, int number, Recording &r) {
    line = trim(line);
    const size_t space = line.find_first_of(" \t");
    const std::string_view key = line.substr(0, space);
    const std::string value(space == std::string_view::npos ? "" : trim(line.substr(space)));
    auto bad = [&](const std::string &why) {
        return Failure{line_message(number, std::string(key) + ": " + why)};
    };
    int n = 0;
    if (key == "ROWS" || key == "COLS") {
        if (!whole_number(value, 1, kMaxRecordingSide, n))
            return bad("'" + value + "' is not a count of 1 to " +
                       std::to_string(kMaxRecordingSide));
        (key == "ROWS" ? r.rows : r.cols) = n;
    } else if (key == "ROW_SPACING" || key == "COL_SPACING") {
        const Result<double> mm = length_mm(value);
        if (!mm) return bad(mm.message());
        (key == "ROW_SPACING" ? r.row_pitch_mm : r.col_pitch_mm) = *mm;
    } else if (key == "UNITS") {
        r.unit = value;
    } else if (key == "MIRROR_ROW" || key == "MIRROR_COL") {
        if (!whole_number(value, 0, 1, n)) return bad("'" + value + "' is neither 0 nor 1");
        (key == "MIRROR_ROW" ? r.mirror_rows : r.mirror_cols) = n == 1;
    }
    return Result<>::success();
}

Result<> read_header(TextLines &lines, Recording &r) {
    std::string_view line;
    while (lines.next(line)) {
        if (starts_with_word(trim(line), "ASCII_DATA")) {
            if (r.rows == 0 || r.cols == 0)
                return Failure{line_message(lines.number(), "the header gives no ROWS or no COLS")};
            if (r.sensels() > kMaxRecordingSensels)
                return Failure{line_message(
                    lines.number(),
                    "ROWS x COLS is more than " + std::to_string(kMaxRecordingSensels))};
            return Result<>::success();
        }
        if (Result<> e = read_header_line(line, lines.number(), r); !e) return e;
    }
    return Failure{"no 'ASCII_DATA @@' line: the text is no Tekscan ASCII movie",
                   "沒有 ASCII_DATA @@ 行，不是 Tekscan 的 ASCII 檔"};
}

}  // namespace

Result<Recording> read_tekscan_header(std::string_view text) {
    Recording r;
    r.source = RecordingSource::kTekscanMovie;
    TextLines lines(text);
    if (Result<> e = read_header(lines, r); !e) return e.reason();
    return r;
}

Result<Recording> read_tekscan_asf(std::string_view text) {
    Recording r;
    r.source = RecordingSource::kTekscanMovie;
    TextLines lines(text);
    if (Result<> e = read_header(lines, r); !e) return e.reason();
    FrameRows rows(r, RowFormat{',', true}, text.size());
    std::string_view line;
    while (lines.next(line)) {
        const std::string_view t = trim(line);
        const bool ends = t == "@@", frame_line = starts_with_word(t, "Frame");
        // A frame ends at its ROWS-th row; a blank line, a "Frame" line or "@@" before that
        // truncates it.
        if (rows.in_frame() && (ends || frame_line || t.empty()))
            if (Result<> e = rows.end_frame(lines.number()); !e) return e.reason();
        if (ends) {
            if (r.frames == 0) return Failure{line_message(lines.number(), "no frame before '@@'")};
            return r;
        }
        if (frame_line) {
            rows.begin_frame(lines.number());
        } else if (!t.empty()) {
            if (!rows.in_frame())
                return Failure{line_message(lines.number(),
                                            "values outside a frame (a 'Frame' "
                                            "line is expected before them)")};
            if (Result<> e = rows.add_row(line, lines.number()); !e) return e.reason();
            if (rows.rows_in_frame() == r.rows)
                if (Result<> e = rows.end_frame(lines.number() + 1); !e) return e.reason();
        }
    }
    return line_failure(lines.number(), "the data ends without '@@' (truncated)",
                        "資料沒有以 @@ 結束（檔案不完整）");
}

}  // namespace pedaform

#include "import/grid_reader.h"

#include <vector>

#include "import/frame_rows.h"

namespace pedaform {

namespace {

// The first non-blank line is a header when its first value is no number.
bool is_header(std::string_view line, char separator) {
    std::vector<float> value(kMaxRecordingSide);
    std::vector<uint8_t> absent(kMaxRecordingSide);
    std::string why;
    const int n = read_row(line, 0, RowFormat{separator, false}, value.data(), absent.data(),
                           kMaxRecordingSide, why);
    return n < 0;
}

}  // namespace

Result<Recording> read_peak_grid(std::string_view text) {
    Recording r;
    r.source = RecordingSource::kPeakGrid;
    TextLines lines(text);
    std::string_view line;
    while (lines.next(line) && is_blank(line)) {
    }
    if (is_blank(line)) return Failure{"no values: the file is empty", "檔案是空的"};
    const char separator = guess_separator(trim(line));
    if (!is_header(line, separator)) lines.unread();
    FrameRows rows(r, RowFormat{separator, false}, text.size());
    rows.begin_frame(lines.number() + 1);
    while (lines.next(line)) {
        if (is_blank(line)) continue;
        if (Result<> e = rows.add_row(line, lines.number()); !e) return e.reason();
    }
    if (rows.rows_in_frame() == 0)
        return Failure{"no values: the file has only a header", "檔案只有標題列，沒有數值"};
    if (Result<> e = rows.end_frame(lines.number() + 1); !e) return e.reason();
    return r;
}

}  // namespace pedaform

#include "import/rolloff_reader.h"

#include "import/frame_rows.h"

namespace pedaform {

Result<Recording> read_plate_rolloff(std::string_view text) {
    Recording r;
    r.source = RecordingSource::kPlateRollOff;
    FrameRows rows(r, RowFormat{'\t', false}, text.size());
    TextLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (starts_with_word(trim(line), "Frame")) {
            if (rows.in_frame())
                if (Result<> e = rows.end_frame(lines.number()); !e) return e.reason();
            rows.begin_frame(lines.number());
        } else if (is_blank(line)) {
            if (rows.in_frame())
                if (Result<> e = rows.end_frame(lines.number()); !e) return e.reason();
        } else if (!rows.in_frame()) {
            return line_failure(lines.number(),
                                "values outside a frame (a 'Frame' line is expected before them)",
                                "數值不在畫格中（前面應有 Frame 行）");
        } else if (Result<> e = rows.add_row(line, lines.number()); !e) {
            return e.reason();
        }
    }
    if (rows.in_frame())
        if (Result<> e = rows.end_frame(lines.number()); !e) return e.reason();
    if (r.frames == 0) return Failure{"no frame: a roll-off export is 'Frame' lines and rows"};
    return r;
}

}  // namespace pedaform

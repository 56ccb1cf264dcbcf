// Collecting a recording's frames row by row as a reader finds them: the first row sets the
// column count and the first frame the row count, later rows and frames must match, and every
// mismatch fails naming its line. Values go straight into Recording::values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "import/recording.h"
#include "import/recording_text.h"

namespace pedaform {

class FrameRows {
  public:
    // `recording.rows` and `.cols` when the file's header gives them (0: from the first frame).
    FrameRows(Recording &recording, const RowFormat &format, size_t text_size);

    // Starts a frame whose "Frame" line (or first row, without one) is line `line_number`.
    void begin_frame(int line_number);
    // Reads one row of the current frame.
    Result<> add_row(std::string_view line, int line_number);
    // Ends the current frame at line `line_number` (the line after its last row, or the
    // text's last line).
    Result<> end_frame(int line_number);
    bool in_frame() const { return in_frame_; }
    int rows_in_frame() const { return rows_in_frame_; }

  private:
    Recording &r_;
    RowFormat format_;
    bool in_frame_ = false;
    int frame_line_ = 0;
    int rows_in_frame_ = 0;
    std::vector<float> row_;
    std::vector<uint8_t> row_absent_;
};

}  // namespace pedaform

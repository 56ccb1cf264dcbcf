#include "import/frame_rows.h"

#include <algorithm>

namespace pedaform {

FrameRows::FrameRows(Recording &recording, const RowFormat &format, size_t text_size)
    : r_(recording), format_(format), row_(kMaxRecordingSide), row_absent_(kMaxRecordingSide) {
    // Four bytes of text a value ("0.0" and a tab) is the usual share: one allocation, not one a
    // row.
    r_.values.reserve(text_size / 4);
}

void FrameRows::begin_frame(int line_number) {
    in_frame_ = true;
    frame_line_ = line_number;
    rows_in_frame_ = 0;
}

Result<> FrameRows::add_row(std::string_view line, int line_number) {
    const bool sized = r_.rows > 0;
    if (!sized && rows_in_frame_ == kMaxRecordingSide)
        return line_failure(line_number,
                            "a frame of more than " + std::to_string(kMaxRecordingSide) + " rows",
                            "畫格的列數太多");
    if (sized && rows_in_frame_ == r_.rows)
        return line_failure(line_number,
                            "the frame that starts on line " + std::to_string(frame_line_) +
                                " has more than " + std::to_string(r_.rows) + " rows",
                            "畫格超過 " + std::to_string(r_.rows) + " 列");
    // Once the row length is known the values go straight to their place (one more slot
    // catches a row that is too long).
    const size_t at = r_.values.size();
    const int capacity = r_.cols > 0 ? r_.cols + 1 : kMaxRecordingSide;
    float *dest = row_.data();
    if (r_.cols > 0) {
        r_.values.resize(at + capacity);
        dest = r_.values.data() + at;
    }
    std::string why;
    const int n = read_row(line, line_number, format_, dest, row_absent_.data(), capacity, why);
    if (n < 0) return Failure{why, "第 " + std::to_string(line_number) + " 行：有無法讀取的數值"};
    if (r_.cols == 0) {
        if (n > capacity)
            return Failure{why, "第 " + std::to_string(line_number) + " 行：數值太多"};
        r_.cols = n;
        r_.values.insert(r_.values.end(), row_.begin(), row_.begin() + n);
    } else {
        r_.values.resize(at + r_.cols);
        if (n != r_.cols)
            return line_failure(
                line_number,
                (n > r_.cols ? "more than " + std::to_string(r_.cols) : std::to_string(n)) +
                    " values where the rows have " + std::to_string(r_.cols),
                "數值個數與其他列的 " + std::to_string(r_.cols) + " 個不同");
    }
    if (!sized && static_cast<long>(rows_in_frame_ + 1) * r_.cols > kMaxRecordingSensels)
        return line_failure(
            line_number, "a frame of more than " + std::to_string(kMaxRecordingSensels) + " values",
            "畫格的數值太多");
    if (r_.absent.size() < static_cast<size_t>(rows_in_frame_ + 1) * r_.cols)
        r_.absent.resize(static_cast<size_t>(rows_in_frame_ + 1) * r_.cols, 0);
    uint8_t *absent = r_.absent.data() + static_cast<size_t>(rows_in_frame_) * r_.cols;
    for (int c = 0; c < n; ++c)
        absent[c] |= row_absent_[c];
    ++rows_in_frame_;
    return Result<>::success();
}

Result<> FrameRows::end_frame(int line_number) {
    in_frame_ = false;
    if (rows_in_frame_ == 0)
        return line_failure(frame_line_, "a frame without values", "畫格沒有數值");
    if (r_.rows == 0) r_.rows = rows_in_frame_;
    if (rows_in_frame_ != r_.rows)
        return line_failure(line_number,
                            "the frame that starts on line " + std::to_string(frame_line_) +
                                " stops after " + std::to_string(rows_in_frame_) + " of " +
                                std::to_string(r_.rows) + " rows (truncated frame)",
                            "從第 " + std::to_string(frame_line_) + " 行開始的畫格只有 " +
                                std::to_string(rows_in_frame_) + " 列，應有 " +
                                std::to_string(r_.rows) + " 列（畫格不完整）");
    ++r_.frames;
    return Result<>::success();
}

}  // namespace pedaform

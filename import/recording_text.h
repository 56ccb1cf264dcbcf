// Reading a recording's text in one pass without copying it: lines end in CR LF or LF (a
// UTF-8 byte-order mark at the start is skipped), values are read with std::from_chars into the
// caller's buffer, and a failure names the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/result.h"

namespace pedaform {

class TextLines {
  public:
    explicit TextLines(std::string_view text);
    // The next line without its line end; false after the last line.
    bool next(std::string_view &line);
    // The 1-based number of the line `next` returned last.
    int number() const { return number_; }
    // Sets the reading position back to the start of the line `next` returned last, so that
    // it is returned again.
    void unread();

  private:
    std::string_view text_;
    size_t pos_ = 0;
    size_t last_ = 0;
    int number_ = 0;
};

std::string_view trim(std::string_view s);
bool is_blank(std::string_view line);
// `line` starts with `word`, ignoring case.
bool starts_with_word(std::string_view line, std::string_view word);

// The separator of a row of values: a tab, else ';', else ',', else ' ' (any run of spaces).
char guess_separator(std::string_view line);

// How a row of values is read.
struct RowFormat {
    char separator = '\t';
    bool absent_marks = false;  // "B" is a cell without a sensel (Tekscan)
};

// Reads the values of `line` into values[0..capacity): spaces around a value are ignored and a
// separator at the end of the line ends it. Returns the number of values; -1 when a value is no
// finite number and capacity + 1 when there are more, with `why` set to "line N: ...". absent[i]
// is 1 for a "B" (with absent_marks), which reads as 0, else 0. Negative values read as 0. A
// decimal comma ("0,5") reads as a point when the separator is no comma.
int read_row(std::string_view line, int line_number, const RowFormat &format, float *values,
             uint8_t *absent, int capacity, std::string &why);

// "line N: " and `what`.
std::string line_message(int line_number, const std::string &what);
// That message, with the GUI's words "第 N 行：" and `words`.
Failure line_failure(int line_number, const std::string &what, const std::string &words);

}  // namespace pedaform

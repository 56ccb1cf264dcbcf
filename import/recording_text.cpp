#include "import/recording_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace pedaform {

TextLines::TextLines(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
}

bool TextLines::next(std::string_view &line) {
    if (pos_ >= text_.size()) return false;
    last_ = pos_;
    const char *start = text_.data() + pos_;
    const void *nl = std::memchr(start, '\n', text_.size() - pos_);
    const size_t end = nl != nullptr
                           ? static_cast<size_t>(static_cast<const char *>(nl) - text_.data())
                           : text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
}

void TextLines::unread() {
    pos_ = last_;
    --number_;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool is_blank(std::string_view line) {
    return trim(line).empty();
}

bool starts_with_word(std::string_view line, std::string_view word) {
    if (line.size() < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const char a = line[i], b = word[i];
        if ((a >= 'A' && a <= 'Z' ? a + 32 : a) != (b >= 'A' && b <= 'Z' ? b + 32 : b))
            return false;
    }
    return true;
}

char guess_separator(std::string_view line) {
    for (const char c : {'\t', ';', ','})
        if (line.find(c) != std::string_view::npos) return c;
    return ' ';
}

std::string line_message(int line_number, const std::string &what) {
    return "line " + std::to_string(line_number) + ": " + what;
}

Failure line_failure(int line_number, const std::string &what, const std::string &words) {
    return Failure{line_message(line_number, what),
                   "第 " + std::to_string(line_number) + " 行：" + words};
}

namespace {

// The value `token` (trimmed, not empty), or false when it is no finite number.
bool read_value(std::string_view token, float &value) {
    if (token.size() > 1 && token.front() == '+') token.remove_prefix(1);
    const char *end = token.data() + token.size();
    std::from_chars_result r = std::from_chars(token.data(), end, value);
    if (r.ec == std::errc() && r.ptr < end && *r.ptr == ',') {
        // A decimal comma, as spreadsheets in many languages write it (the separator is then
        // no comma): read again with a point.
        char copy[64];
        if (token.size() >= sizeof copy || token.find(',', r.ptr - token.data() + 1) != token.npos)
            return false;
        std::memcpy(copy, token.data(), token.size());
        copy[r.ptr - token.data()] = '.';
        end = copy + token.size();
        r = std::from_chars(copy, end, value);
    }
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(value)) return false;
    if (value < 0) value = 0;
    return true;
}

std::string quoted(std::string_view token) {
    constexpr size_t kShown = 24;
    return "'" + std::string(token.substr(0, kShown)) + (token.size() > kShown ? "...'" : "'");
}

}  // namespace

int read_row(std::string_view line, int line_number, const RowFormat &format, float *values,
             uint8_t *absent, int capacity, std::string &why) {
    const char *p = line.data(), *end = line.data() + line.size();
    const char sep = format.separator;
    auto skip_spaces = [&] {
        while (p < end && (*p == ' ' || *p == '\t') && (sep == ' ' || *p != sep))
            ++p;
    };
    int n = 0;
    while (true) {
        skip_spaces();
        if (p == end && (n == 0 || sep != ' ')) break;  // an empty line, or a separator at its end
        const char *start = p;
        while (p < end && *p != sep)
            ++p;
        const std::string_view token =
            trim(std::string_view(start, static_cast<size_t>(p - start)));
        if (n == capacity) {
            why = line_message(line_number,
                               "more than " + std::to_string(capacity) + " values in a row");
            return capacity + 1;
        }
        absent[n] = format.absent_marks && token == "B";
        if (absent[n]) {
            values[n] = 0;
        } else if (token.empty() || !read_value(token, values[n])) {
            why = line_message(line_number, token.empty() ? "a value is missing"
                                                          : quoted(token) + " is not a number");
            return -1;
        }
        ++n;
        if (p == end) break;
        ++p;  // the separator
        if (sep == ' ') skip_spaces();
        if (sep == ' ' && p == end) break;
    }
    return n;
}

}  // namespace pedaform

#include "app/alert.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>

#include <vector>

namespace {

// Breaks one line (no '\n') into pieces of at most max_width pixels.
void break_line(const std::string &line, int max_width, std::vector<std::string> &out) {
    size_t start = 0;
    while (start < line.size()) {
        size_t end = start, last_slash = std::string::npos;
        while (end < line.size()) {
            int len = fl_utf8len1(line[end]);
            if (len < 1) len = 1;  // a stray byte counts as one character
            const size_t next = end + static_cast<size_t>(len) > line.size()
                                    ? line.size()
                                    : end + static_cast<size_t>(len);
            // The first character always goes in, however wide, so that every piece advances.
            if (end > start && fl_width(line.data() + start, static_cast<int>(next - start)) >
                                   static_cast<double>(max_width))
                break;
            if (line[end] == '/') last_slash = next;
            end = next;
        }
        if (end < line.size() && last_slash != std::string::npos) end = last_slash;
        out.push_back(line.substr(start, end - start));
        start = end;
    }
    if (line.empty()) out.emplace_back();
}

std::string doubled_at_signs(const std::string &line) {
    std::string shown;
    for (char ch : line) {
        shown += ch;
        if (ch == '@') shown += '@';
    }
    return shown;
}

}  // namespace

std::string fit_alert_text(const char *text, int max_width, int max_lines) {
    fl_open_display();
    fl_font(fl_message_font_, fl_message_size_ > 0 ? fl_message_size_ : FL_NORMAL_SIZE);
    std::vector<std::string> lines;
    const std::string all(text);
    for (size_t start = 0;;) {
        const size_t end = all.find('\n', start);
        break_line(all.substr(start, end == std::string::npos ? end : end - start), max_width,
                   lines);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (max_lines < 3) max_lines = 3;
    if (static_cast<int>(lines.size()) > max_lines) {
        const int head = (max_lines - 1) / 2, tail = max_lines - 1 - head;
        std::vector<std::string> shortened(lines.begin(), lines.begin() + head);
        shortened.emplace_back("\xE2\x80\xA6");  // U+2026
        shortened.insert(shortened.end(), lines.end() - tail, lines.end());
        lines.swap(shortened);
    }
    std::string fitted;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) fitted += '\n';
        fitted += doubled_at_signs(lines[i]);
    }
    return fitted;
}

void show_alert(const char *text, const char *caption) {
    fl_open_display();
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h);
    // The alert adds its icon, margins and frame (about 100 pixels) around the text; half the
    // screen's height leaves room for its button.
    const int size = fl_message_size_ > 0 ? fl_message_size_ : FL_NORMAL_SIZE;
    const std::string fitted = fit_alert_text(text, w - 120, (h / 2) / (size + 4));
    fl_message_title(caption);
    fl_alert("%s", fitted.c_str());
}

#include "app/alert.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>

#include <algorithm>
#include <cstdint>
#include <memory>
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

namespace {

int message_size() {
    return fl_message_size_ > 0 ? fl_message_size_ : FL_NORMAL_SIZE;
}

// `text` fitted to the screen: the dialogs add their icon, margins and frame (about 100
// pixels) around it; half the screen's height leaves room for their buttons.
std::string fitted_for_screen(const char *text) {
    fl_open_display();
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h);
    return fit_alert_text(text, w - 120, (h / 2) / (message_size() + 4));
}

}  // namespace

void show_alert(const char *text, const char *caption) {
    const std::string fitted = fitted_for_screen(text);
    fl_message_title(caption);
    fl_alert("%s", fitted.c_str());
}

namespace {

// A question whose answers stand right to left: `keep` (0), then the others (1, 2, ...).
int ask_with_answers(const char *text, const char *keep, std::vector<const char *> others) {
    const std::string fitted = fitted_for_screen(text);
    fl_font(fl_message_font_, message_size());
    int text_w = 0, text_h = 0;
    fl_measure(fitted.c_str(), text_w, text_h);
    const int keep_w = static_cast<int>(fl_width(keep)) + 40;
    int others_w = 0;
    for (const char *other : others)
        others_w += static_cast<int>(fl_width(other)) + 40 + 10;
    const int w = std::max(80 + text_w, keep_w + others_w + 20);
    const int h = std::max(text_h, 50) + 65;

    Fl_Double_Window dialog(w, h, "確認");
    Fl_Box icon(10, 10, 50, 50, "?");
    icon.box(FL_THIN_UP_BOX);
    icon.labelfont(FL_TIMES_BOLD);
    icon.labelsize(34);
    icon.color(FL_WHITE);
    icon.labelcolor(FL_BLUE);
    Fl_Box message(70, 10, text_w, std::max(text_h, 50), nullptr);
    message.label(fitted.c_str());
    message.labelfont(fl_message_font_);
    message.labelsize(message_size());
    message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    int answer = 0;
    // The other answers from the left, in order; their user data is their answer's number.
    std::vector<std::unique_ptr<Fl_Button>> buttons;
    int x = w - keep_w - 10 - others_w;
    for (size_t k = 0; k < others.size(); ++k) {
        const int bw = static_cast<int>(fl_width(others[k])) + 40;
        buttons.push_back(std::make_unique<Fl_Button>(x, h - 35, bw, 25, others[k]));
        buttons.back()->user_data(reinterpret_cast<void *>(k + 1));
        buttons.back()->callback([](Fl_Widget *b, void *) {
            *static_cast<int *>(b->window()->user_data()) =
                static_cast<int>(reinterpret_cast<intptr_t>(b->user_data()));
            b->window()->hide();
        });
        x += bw + 10;
    }
    Fl_Return_Button keep_button(w - keep_w - 10, h - 35, keep_w, 25, keep);
    dialog.end();
    dialog.user_data(&answer);
    keep_button.callback([](Fl_Widget *b, void *) { b->window()->hide(); });
    // Escape and the window's close button.
    dialog.callback([](Fl_Widget *window, void *) { window->hide(); });
    dialog.set_modal();
    dialog.hotspot(&keep_button);
    dialog.show();
    keep_button.take_focus();
    while (dialog.shown())
        Fl::wait();
    return answer;
}

}  // namespace

int show_question(const char *text, const char *keep, const char *other) {
    return ask_with_answers(text, keep, {other});
}

int show_choice(const char *text, const char *keep, const char *first, const char *second) {
    return ask_with_answers(text, keep, {first, second});
}

#include "core/console.h"

#include <cstdarg>

namespace pedaform {

namespace {
std::FILE *g_console = stdout;
bool g_console_set = false;
thread_local std::string *t_captured = nullptr;
}  // namespace

void set_console(std::FILE *stream) {
    g_console = stream;
    g_console_set = true;
}

std::FILE *console() {
    return g_console_set ? g_console : stdout;
}

void console_printf(const char *format, ...) {
    std::FILE *out = console();
    if (out == nullptr) return;
    va_list args;
    va_start(args, format);
    if (t_captured == nullptr) {
        std::vfprintf(out, format, args);
    } else {
        va_list again;
        va_copy(again, args);
        const int n = std::vsnprintf(nullptr, 0, format, args);
        if (n > 0) {
            const size_t at = t_captured->size();
            t_captured->resize(at + static_cast<size_t>(n) + 1);
            std::vsnprintf(&(*t_captured)[at], static_cast<size_t>(n) + 1, format, again);
            t_captured->resize(at + static_cast<size_t>(n));
        }
        va_end(again);
    }
    va_end(args);
}

void capture_console_lines(std::string *lines) {
    t_captured = lines;
}

void console_write(const std::string &lines) {
    std::FILE *out = console();
    if (out != nullptr && !lines.empty()) std::fwrite(lines.data(), 1, lines.size(), out);
}

}  // namespace pedaform

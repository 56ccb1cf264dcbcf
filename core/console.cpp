#include "core/console.h"

#include <cstdarg>

namespace pedaform {

namespace {
std::FILE *g_console = stdout;
bool g_console_set = false;
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
    std::vfprintf(out, format, args);
    va_end(args);
}

}  // namespace pedaform

// The console of the actions: the diagnostic lines they print ("insole length %d \n", ...).
// They go to standard output unless the caller routes them elsewhere; the batch command's
// --quiet routes them nowhere. Error lines meant for the operator go to standard error directly.
#pragma once

#include <cstdio>
#include <string>

namespace pedaform {

// nullptr silences the console.
void set_console(std::FILE *stream);
std::FILE *console();
void console_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// While `lines` is set on a thread, the lines that thread prints are appended to it instead
// (none while the console is silenced); nullptr prints again. For work done on a helper thread
// whose lines must reach the console in their turn (design/side_by_side.h).
void capture_console_lines(std::string *lines);
// Prints lines captured on another thread as the console prints its own.
void console_write(const std::string &lines);

}  // namespace pedaform

// The console of the actions: the diagnostic lines they print ("insole length %d \n", ...).
// They go to standard output unless the caller routes them elsewhere; the batch command's
// --quiet routes them nowhere. Error lines meant for the operator go to standard error directly.
#pragma once

#include <cstdio>

namespace pedaform {

// nullptr silences the console.
void set_console(std::FILE *stream);
std::FILE *console();
void console_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace pedaform

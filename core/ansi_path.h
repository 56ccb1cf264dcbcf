// File names from the file chooser arrive as UTF-8. On this platform the C library takes
// UTF-8 names as they are, so the conversion to the system's narrow code page changes nothing.
#pragma once

namespace pedaform {

// Converts a zero-terminated UTF-8 name in place for the C library and returns it.
char *to_ansi_path(char *name);

}  // namespace pedaform

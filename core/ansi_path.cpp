#include "core/ansi_path.h"

namespace pedaform {

// Linux file names are byte strings and the locale is UTF-8: nothing to convert.
char *to_ansi_path(char *name) {
    return name;
}

}  // namespace pedaform

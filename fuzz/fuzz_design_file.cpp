// Arbitrary text as a design file: a file the parser accepts is written back by the design
// file's own writer into a text it accepts again and writes the same.
#include <cstdlib>
#include <string>

#include "design/design_file.h"

using namespace pedaform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const Result<DesignFile> file =
        parse_design_file(std::string(reinterpret_cast<const char *>(data), size));
    if (!file) return 0;
    const std::string written = design_file_text(*file);
    const Result<DesignFile> again = parse_design_file(written);
    if (!again || design_file_text(*again) != written) std::abort();
    return 0;
}

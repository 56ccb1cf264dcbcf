// Arbitrary text as a Tekscan ASCII movie: its reader alone, then the whole import.
#include <string_view>

#include "fuzz/import_checks.h"
#include "import/tekscan_reader.h"

using namespace pedaform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    check_recording(read_tekscan_asf(text));
    const ImportOptions o;  // pitch and unit from the header
    check_import(import_recording(text, o));
    return 0;
}

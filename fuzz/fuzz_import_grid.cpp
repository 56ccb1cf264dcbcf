// Arbitrary text as a peak-pressure grid: its reader alone, then the whole import.
#include <string_view>

#include "fuzz/import_checks.h"
#include "import/grid_reader.h"

using namespace pedaform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    check_recording(read_peak_grid(text));
    ImportOptions o;
    o.row_pitch_mm = 7.62, o.col_pitch_mm = 5.08, o.units = "N/cm2";
    check_import(import_recording(text, o));
    return 0;
}

// Arbitrary bytes as a scan file, through the same load as the GUI and the batch command.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "analysis/scan_loader.h"
#include "io/scan_file.h"
#include "core/console.h"

using namespace pedaform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static std::unique_ptr<Scan> ws = [] {
        set_console(nullptr);
        return std::make_unique<Scan>();
    }();
    static const std::string path = "/dev/shm/pedaform-fuzz-" + std::to_string(getpid()) + ".bmp";
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size)) std::abort();
    std::fclose(f);
    const Result<ScanLoadResult> r = load_scan_file(*ws, path.c_str());
    if (r.ok() && (ws->insole_length < -359 || ws->insole_length > 360)) std::abort();
    if (ws->meta_point_found && std::isnan(ws->meta_column)) std::abort();
    return 0;
}

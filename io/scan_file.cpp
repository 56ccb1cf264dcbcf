#include "io/scan_file.h"

#include "io/file_hash.h"
#include "io/picture_io.h"
#include "core/console.h"

namespace pedaform {

ScanLoadResult load_scan_file(Scan &scan, const char *path) {
    std::vector<uint8_t> bytes;
    Picture picture;
    Result<> read = read_file_bytes(path, bytes);
    if (read) read = decode_picture(bytes, picture);
    if (!read) {
        console_printf("Unable to load texture: ");
        ScanLoadResult refused = load_scan_picture(scan, picture);
        refused.outcome = read;
        return refused;
    }
    ScanLoadResult loaded = load_scan_picture(scan, picture);
    loaded.sha256 = sha256_hex(bytes.data(), bytes.size());
    return loaded;
}

}  // namespace pedaform

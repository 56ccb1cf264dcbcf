#include "io/scan_file.h"

#include "io/file_hash.h"
#include "io/picture_io.h"
#include "core/console.h"

namespace pedaform {

Result<ScanLoadResult> load_scan_file(Scan &scan, const char *path) {
    Result<std::vector<uint8_t>> bytes = read_file_bytes(path, kMaxScanBytes);
    if (!bytes) {
        console_printf("Unable to load texture: ");
        return bytes.reason();
    }
    Result<Picture> picture = decode_picture(*bytes);
    if (!picture) {
        console_printf("Unable to load texture: ");
        return Failure{picture.message(), kScanFormatError};
    }
    Result<ScanLoadResult> loaded = load_scan_picture(scan, *picture);
    if (!loaded) return Failure{loaded.message(), kScanFormatError};
    loaded->sha256 =
        FileDigest([read = std::make_shared<const std::vector<uint8_t>>(std::move(*bytes))] {
            return sha256_hex(read->data(), read->size());
        });
    return loaded;
}

}  // namespace pedaform

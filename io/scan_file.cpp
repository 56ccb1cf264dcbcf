#include "io/scan_file.h"
#include "workspace/console.h"
#include "io/picture_io.h"

namespace pedaform {

ScanLoadResult load_scan_file(Workspace &ws, const char *path, double gain) {
    Picture picture = read_picture(path);
    if (!picture.loaded()) console_printf("Unable to load texture: ");
    return load_scan_picture(ws, picture, gain);
}

}  // namespace pedaform

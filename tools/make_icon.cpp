// Writes the application icon in the hicolor sizes: a sample scan's pressure, in the program's
// own colour table, on a rounded tile of the image view's teal.
//
//     make_icon ICON_DIR SIZE...      (writes ICON_DIR/SIZExSIZE/apps/pedaform.png)
#include <FreeImage.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/synth.h"

using namespace pedaform;

namespace {

bool make_dirs(const std::string &path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// Inside a rounded square of side 1 with corner radius r, for a point in [0, 1]^2.
bool in_tile(double x, double y, double r) {
    const double dx = std::max(0.0, std::fabs(x - 0.5) - (0.5 - r));
    const double dy = std::max(0.0, std::fabs(y - 0.5) - (0.5 - r));
    return dx * dx + dy * dy <= r * r;
}

// The generated left foot the icon shows, with its pressure colours and columns.
struct IconFoot {
    synth::Outline outline;
    Picture scan;
    uint8_t colours[256][3];
    int left = kGridWidth, right = 0;
    IconFoot() : scan(synth::make_scan({253, false, true, 11, 87}, &outline)) {
        synth::colour_map(colours);
        for (int y = outline.bottom; y < outline.bottom + outline.length; ++y) {
            left = std::min(left, outline.left[y]);
            right = std::max(right, outline.right[y]);
        }
    }
};

// One pixel of the icon: the colours of its 4 x 4 samples that fall on the tile, averaged over
// the covered ones so that edges do not darken, and the covered share as alpha.
void icon_pixel(const IconFoot &foot, int size, int px, int py, BYTE *out) {
    // The insole fills 84% of the height, centred.
    const synth::Outline &outline = foot.outline;
    const double cells_per_unit = outline.length / 0.84;
    const double centre_x = (foot.left + foot.right + 1) / 2.0;
    const double top = outline.bottom + outline.length + 0.08 * cells_per_unit;
    constexpr int kSub = 4;
    double sum[4] = {0, 0, 0, 0};
    for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx) {
            const double u = (px + (sx + 0.5) / kSub) / size;
            const double v = (py + (sy + 0.5) / kSub) / size;
            if (!in_tile(u, v, 0.2)) continue;
            const int gx = static_cast<int>(std::floor(centre_x + (u - 0.5) * cells_per_unit));
            const int gy = static_cast<int>(std::floor(top - v * cells_per_unit));
            double rgb[3] = {0, 128, 128};
            if (gy >= 0 && gy < kGridHeight && gx >= outline.left[gy] && gx <= outline.right[gy]) {
                const uint8_t pressure =
                    foot.scan.bits[(static_cast<size_t>(gy) * kGridWidth + gx) * 4 + 3];
                for (int k = 0; k < 3; ++k)
                    rgb[k] = foot.colours[pressure][k];
            }
            for (int k = 0; k < 3; ++k)
                sum[k] += rgb[k];
            sum[3] += 255;
        }
    const double covered = sum[3] / 255;
    out[FI_RGBA_RED] = covered > 0 ? static_cast<BYTE>(std::lround(sum[0] / covered)) : 0;
    out[FI_RGBA_GREEN] = covered > 0 ? static_cast<BYTE>(std::lround(sum[1] / covered)) : 0;
    out[FI_RGBA_BLUE] = covered > 0 ? static_cast<BYTE>(std::lround(sum[2] / covered)) : 0;
    out[FI_RGBA_ALPHA] = static_cast<BYTE>(std::lround(sum[3] / (kSub * kSub)));
}

bool write_icon(const IconFoot &foot, int size, const std::string &icon_dir) {
    FIBITMAP *icon = FreeImage_Allocate(size, size, 32);
    for (int py = 0; py < size; ++py) {
        BYTE *line = FreeImage_GetScanLine(icon, size - 1 - py);
        for (int px = 0; px < size; ++px)
            icon_pixel(foot, size, px, py, line + px * 4);
    }
    const std::string dir =
        icon_dir + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    const std::string path = dir + "/pedaform.png";
    const bool ok =
        make_dirs(dir) && FreeImage_Save(FIF_PNG, icon, path.c_str(), PNG_Z_BEST_COMPRESSION);
    if (!ok) std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
    FreeImage_Unload(icon);
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icon ICON_DIR SIZE...\n");
        return 2;
    }
    const IconFoot foot;
    FreeImage_Initialise(FALSE);
    bool ok = true;
    for (int arg = 2; arg < argc; ++arg) {
        const int size = std::atoi(argv[arg]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "make_icon: size %s is not 1 ... 1024\n", argv[arg]);
            ok = false;
            continue;
        }
        ok = write_icon(foot, size, argv[1]) && ok;
    }
    FreeImage_DeInitialise();
    return ok ? 0 : 1;
}

#include "analysis/scan_loader.h"

#include <cstring>

#include "analysis/meta_position.h"
#include "core/console.h"

namespace pedaform {

const char *const kScanFormatError = "格式錯誤";
const char *const kScanFormatCaption = "讀檔錯誤";

namespace {

constexpr int kScanBpp = 32;
constexpr int kScanLineBytes = kGridWidth * 4;  // scanlines are taken as contiguous
constexpr int kMetadataPixels = 6;

const uint8_t *metadata_pixel(const uint8_t *bits, int k) {
    return bits + (kGridHeight - 1) * kScanLineBytes + k * 4;
}

}  // namespace

int decide_foot_side(const uint8_t *bits) {
    bool column_has_blue[kGridWidth] = {};
    for (int y = 1; y <= kGridHeight - 2; ++y) {
        const uint8_t *line = bits + y * kScanLineBytes;
        for (int x = 0; x < kGridWidth; ++x)
            if (line[x * 4] != 0) column_has_blue[x] = true;
    }
    int left_margin = kGridWidth;
    for (int x = 0; x < kGridWidth; ++x)
        if (column_has_blue[x]) {
            left_margin = x;
            break;
        }
    int right_margin = 0;
    for (int x = kGridWidth - 1; x >= 0; --x)
        if (column_has_blue[x]) {
            right_margin = kGridWidth - 1 - x;
            break;
        }
    return left_margin >= right_margin ? 1 : 0;
}

namespace {

// Why a picture is no scan, or "" for one that is.
std::string refusal(const Picture &picture) {
    if (!picture.loaded()) return "the file is not a picture that can be read";
    if (picture.width != kGridWidth || picture.height != kGridHeight || picture.bpp != kScanBpp)
        return "the picture is " + std::to_string(picture.width) + " x " +
               std::to_string(picture.height) + " pixels with " + std::to_string(picture.bpp) +
               " bits per pixel; a scan is 150 x 360 with 32";
    // A reader that delivers padded or short scanlines would break the contiguous addressing.
    if (picture.bits.size() < static_cast<size_t>(kGridHeight) * kScanLineBytes)
        return "the picture's pixel data is shorter than 150 x 360 x 4 bytes";
    return std::string();
}

// The metadata pixels: landmarks 0..4, the pressure's full scale and "ai" (returned), printed
// (not the full scale); then blanked.
float read_metadata(Scan &scan, uint8_t *bits) {
    for (int k = 0; k < kMetadataPixels; ++k) {
        const uint8_t *px = metadata_pixel(bits, k);
        console_printf("%d %d %d\n", px[2], px[1], px[0]);
    }
    const float ai = metadata_pixel(bits, 5)[2] / 100.0f;
    console_printf("ai %f \n", ai);
    for (int k = 0; k < 5; ++k) {
        const uint8_t *px = metadata_pixel(bits, k);
        const int n = px[0] * 256 + px[1];
        scan.landmarks[k] = {static_cast<float>(kGridHeight - 1 - n), static_cast<float>(px[2])};
    }
    const uint8_t *scale = metadata_pixel(bits, 5);
    scan.pressure_full_scale_kpa = scale[0] * 256 + scale[1];
    scan.template_mirrored = decide_foot_side(bits);
    for (int k = 0; k < kMetadataPixels; ++k) {
        uint8_t *px = bits + (kGridHeight - 1) * kScanLineBytes + k * 4;
        px[0] = px[1] = px[2] = 0;
    }
    return ai;
}

// Blue into the base grid, alpha into the pressure grid, and the outline's rows and first cell.
void split_channels(Scan &scan, const uint8_t *bits) {
    scan.outline_top_row = 0;
    scan.outline_bottom_row = kGridHeight;
    bool first_found = false;
    for (int y = 0; y < kGridHeight; ++y) {
        const uint8_t *line = bits + y * kScanLineBytes;
        for (int x = 0; x < kGridWidth; ++x) {
            const int i = y * kGridWidth + x;
            const uint8_t blue = line[x * 4 + 0];
            scan.base_grid[i] = blue;
            scan.pressure_grid[i] = line[x * 4 + 3];
            if (blue == 0) continue;
            if (!first_found) {
                scan.first_outline_cell = i;
                first_found = true;
            }
            if (y > scan.outline_top_row) scan.outline_top_row = y;
            if (y < scan.outline_bottom_row) scan.outline_bottom_row = y;
        }
    }
}

}  // namespace

Result<ScanLoadResult> load_scan_picture(Scan &scan, Picture &picture) {
    if (const std::string why = refusal(picture); !why.empty()) return Failure{why};
    ScanLoadResult result;
    console_printf("line %d\n", picture.line_bytes);
    console_printf("pitch %d\n", picture.pitch);
    console_printf("DIBsize %d\n", picture.dib_size);
    console_printf("colorused %d\n", picture.colours_used);
    console_printf("bpp %d\n", picture.bpp);
    result.ai = read_metadata(scan, picture.bits.data());
    scan.ai = result.ai;
    split_channels(scan, picture.bits.data());
    result.size = choose_size_bin(scan);
    find_meta_position(scan);
    return result;
}

}  // namespace pedaform

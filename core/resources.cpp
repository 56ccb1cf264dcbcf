#include "core/resources.h"

#include <cstring>
#include <optional>

namespace pedaform {

const char *const kTemplateFiles[kTemplateCount] = {
    "./ButtomInsole/RM_1-2 P.bmp",          "./ButtomInsole/RM_2.5-3.5 P.bmp",
    "./ButtomInsole/RM_4-5 P.bmp",          "./ButtomInsole/RM_5.5-6.5 P.bmp",
    "./ButtomInsole/RM_7-8 P.bmp",          "./ButtomInsole/RM_8.5-9.5 P.bmp",
    "./ButtomInsole/RM_10-11 P.bmp",        "./ButtomInsole_Black/CM15.5-16.5.bmp",
    "./ButtomInsole_Black/CM16.5-17.5.bmp", "./ButtomInsole_Black/CM17.5-19.bmp",
    "./ButtomInsole_Black/CM19-20.5.bmp",   "./ButtomInsole_Black/CM20.5-21.bmp",
    "./ButtomInsole_Black/CM22-23.bmp",     "./ButtomInsole_Black/CM23-24.bmp",
    "./ButtomInsole_Black/CM25-26.bmp",     "./ButtomInsole_Black/CM26-27.bmp",
    "./ButtomInsole_Black/CM27-28.bmp",     "./ButtomInsole_Black/CM28-29.bmp",
    "./ButtomInsole_Black/CM29-30.bmp",
};
const char *const kColourTableFile = "./lut_256.txt";
const char *const kPadShapeFile = "./drop.png";

namespace {

bool is_blank(int ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// Reads one whole number as "%d" would (blanks, an optional sign, at least one digit) and gives
// its low 8 bits, which depend only on the low 8 bits of every partial sum, so a number of any
// length is read without overflow. None, with the stream past what was looked at, when no
// number starts here.
std::optional<uint8_t> read_low_byte(std::FILE *file) {
    int ch = std::fgetc(file);
    while (is_blank(ch))
        ch = std::fgetc(file);
    const bool negative = ch == '-';
    if (ch == '-' || ch == '+') ch = std::fgetc(file);
    if (ch < '0' || ch > '9') return std::nullopt;
    unsigned value = 0;
    for (; ch >= '0' && ch <= '9'; ch = std::fgetc(file))
        value = (value * 10u + static_cast<unsigned>(ch - '0')) & 0xFFu;
    if (ch != EOF) std::ungetc(ch, file);
    // Low 8 bits of the negative: 300 is stored as 44, -1 as 255.
    return static_cast<uint8_t>((negative ? 0u - value : value) & 0xFFu);
}

}  // namespace

void parse_colour_table(std::FILE *file, uint8_t (&table)[256][3]) {
    for (int n = 0; n < 768; ++n) {
        const std::optional<uint8_t> low = read_low_byte(file);
        if (!low) return;
        table[n / 3][n % 3] = *low;
    }
}

namespace {

// Copies the first byte of each pixel of the bottom-left min(width, cols) x min(height, rows)
// part of the picture; dst row r starts at r * dst_stride.
bool copy_first_bytes(const Picture &p, uint8_t *dst, int cols, int rows, int dst_stride) {
    if (!p.loaded() || p.width <= 0 || p.height <= 0) return true;
    const int step = p.bpp / 8;
    const int w = p.width < cols ? p.width : cols;
    const int h = p.height < rows ? p.height : rows;
    for (int r = 0; r < h; ++r) {
        const uint8_t *line = p.bits.data() + static_cast<size_t>(r) * p.pitch;
        for (int c = 0; c < w; ++c)
            dst[r * dst_stride + c] = line[c * step];
    }
    return p.width <= cols && p.height <= rows;
}

}  // namespace

bool copy_template(const Picture &picture, uint8_t (&grid)[kGridCells]) {
    return copy_first_bytes(picture, grid, kGridWidth, kGridHeight, kGridWidth);
}

bool copy_pad_shape(const Picture &picture, Resources &resources) {
    resources.pad_shape_peak = 0.0f;
    const bool whole = copy_first_bytes(picture, resources.pad_shape, kPadShapeSize, kPadShapeSize,
                                        kPadShapeStride);
    for (int r = 0; r < kPadShapeSize; ++r)
        for (int c = 0; c < kPadShapeSize; ++c) {
            const float v = resources.pad_shape[r * kPadShapeStride + c];
            if (v > resources.pad_shape_peak) resources.pad_shape_peak = v;
        }
    return whole;
}

}  // namespace pedaform

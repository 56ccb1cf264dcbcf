#include "io/plain_pictures.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace pedaform {

namespace {

uint32_t le16(const uint8_t *p) {
    return p[0] | p[1] << 8;
}
uint32_t le32(const uint8_t *p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Scanlines padded to whole 32-bit words, as both formats' readers lay them out.
int pitch_of(int width, int bpp) {
    return (width * bpp + 31) / 32 * 4;
}

// The info header, the palette the library gives a picture of up to 8 bits (256 entries
// whatever the file holds), then the scanlines.
constexpr int kInfoHeaderBytes = 40;
int dib_size(const Picture &p) {
    return kInfoHeaderBytes + p.colours_used * 4 + p.pitch * p.height;
}

Picture blank(int width, int height, int bpp) {
    Picture p;
    p.width = width;
    p.height = height;
    p.bpp = bpp;
    p.pitch = pitch_of(width, bpp);
    p.line_bytes = (width * bpp + 7) / 8;
    p.colours_used = bpp <= 8 ? 1 << bpp : 0;
    p.dib_size = dib_size(p);
    return p;
}

}  // namespace

std::optional<Picture> decode_plain_bmp(const std::vector<uint8_t> &file, uint64_t max_pixels) {
    constexpr size_t kHeadersBytes = 14 + kInfoHeaderBytes;
    if (file.size() < kHeadersBytes || file[0] != 'B' || file[1] != 'M') return std::nullopt;
    const uint8_t *h = file.data();
    const uint32_t offset = le32(h + 10);
    const int32_t width = static_cast<int32_t>(le32(h + 18));
    const int32_t height = static_cast<int32_t>(le32(h + 22));
    const uint32_t bpp = le16(h + 28);
    const bool plain = le32(h + 14) == kInfoHeaderBytes && le16(h + 26) == 1 &&
                       (bpp == 8 || bpp == 24 || bpp == 32) && le32(h + 30) == 0;
    if (!plain || width <= 0 || height <= 0 ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > max_pixels)
        return std::nullopt;
    Picture p = blank(width, height, static_cast<int>(bpp));
    const size_t bytes = static_cast<size_t>(p.pitch) * static_cast<size_t>(height);
    if (offset < kHeadersBytes || offset > file.size() || file.size() - offset < bytes)
        return std::nullopt;
    p.bits.assign(file.begin() + offset, file.begin() + offset + static_cast<long>(bytes));
    return p;
}

namespace {

struct PngSource {
    const std::vector<uint8_t> &file;
    size_t at = 0;
    std::jmp_buf failed;
};

void read_from(png_structp png, png_bytep out, size_t length) {
    PngSource &source = *static_cast<PngSource *>(png_get_io_ptr(png));
    if (source.file.size() - source.at < length) png_error(png, "the file ends early");
    std::memcpy(out, source.file.data() + source.at, length);
    source.at += length;
}

// Errors leave the decoder (the library then decides); warnings, as in the library, say
// nothing.
void on_error(png_structp png, png_const_charp) {
    std::longjmp(static_cast<PngSource *>(png_get_error_ptr(png))->failed, 1);
}
void on_warning(png_structp, png_const_charp) {}

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

bool plain_png(png_structp png, png_infop info, uint64_t max_pixels) {
    const uint64_t pixels =
        uint64_t{png_get_image_width(png, info)} * png_get_image_height(png, info);
    return png_get_bit_depth(png, info) == 8 &&
           png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY &&
           png_get_interlace_type(png, info) == PNG_INTERLACE_NONE &&
           png_get_valid(png, info, PNG_INFO_gAMA | PNG_INFO_tRNS) == 0 && pixels > 0 &&
           pixels <= max_pixels;
}

}  // namespace

namespace {

// The rows of a plain PNG into `picture`, false on an error or another kind of PNG. `picture`
// lives outside this frame, so that its state after a jump out is defined.
bool read_plain_png(PngReader &reader, PngSource &source, uint64_t max_pixels, Picture &picture) {
    if (setjmp(source.failed) != 0) return false;
    png_set_read_fn(reader.png, &source, read_from);
    png_read_info(reader.png, reader.info);
    if (!plain_png(reader.png, reader.info, max_pixels)) return false;
    const int width = static_cast<int>(png_get_image_width(reader.png, reader.info));
    const int height = static_cast<int>(png_get_image_height(reader.png, reader.info));
    picture = blank(width, height, 8);
    picture.bits.assign(static_cast<size_t>(picture.pitch) * static_cast<size_t>(height), 0);
    for (int row = height - 1; row >= 0; --row)
        png_read_row(reader.png, picture.bits.data() + static_cast<size_t>(row) * picture.pitch,
                     nullptr);
    png_read_end(reader.png, reader.info);
    return true;
}

}  // namespace

std::optional<Picture> decode_plain_png(const std::vector<uint8_t> &file, uint64_t max_pixels) {
    if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0) return std::nullopt;
    PngSource source{file, 0, {}};
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, on_error, on_warning);
    if (reader.png == nullptr) return std::nullopt;
    reader.info = png_create_info_struct(reader.png);
    if (reader.info == nullptr) return std::nullopt;
    Picture picture;
    if (!read_plain_png(reader, source, max_pixels, picture)) return std::nullopt;
    return picture;
}

}  // namespace pedaform

#include "io/picture_io.h"

#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace pedaform {

namespace {

struct FreeImageLibrary {
    FreeImageLibrary() { FreeImage_Initialise(FALSE); }
};

void ensure_initialised() {
    static FreeImageLibrary library;
}

struct BitmapDeleter {
    void operator()(FIBITMAP *b) const { FreeImage_Unload(b); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

uint32_t le32(const unsigned char *p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A BMP whose pixel data ends early still decodes (the missing rows come out as whatever the
// decoder left there), so its length is checked against what its header promises.
bool bmp_is_truncated(const std::vector<uint8_t> &file) {
    if (file.size() < 54) return false;
    const unsigned char *h = file.data();
    if (le32(h + 14) < 40) return false;  // other header kinds: not checked
    const uint64_t offset = le32(h + 10);
    const int64_t width = static_cast<int32_t>(le32(h + 18));
    const int64_t height = static_cast<int32_t>(le32(h + 22));
    const uint64_t bpp = static_cast<uint64_t>(h[28] | h[29] << 8);
    const uint32_t compression = le32(h + 30);
    if (compression != 0 && compression != 3) return false;  // compressed sizes vary
    const uint64_t row = (static_cast<uint64_t>(width < 0 ? -width : width) * bpp + 31) / 32 * 4;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    return file.size() < offset + row * rows;
}

// The largest picture read at all: a hostile header must not make the decoder allocate
// gigabytes. The program's own pictures are 150 x 360 and 250 x 250.
constexpr uint64_t kMaxPixels = uint64_t{4096} * 4096;

struct MemoryDeleter {
    void operator()(FIMEMORY *m) const { FreeImage_CloseMemory(m); }
};

}  // namespace

Result<Picture> decode_picture(const std::vector<uint8_t> &file) {
    ensure_initialised();
    const std::unique_ptr<FIMEMORY, MemoryDeleter> memory(
        FreeImage_OpenMemory(const_cast<BYTE *>(file.data()), static_cast<DWORD>(file.size())));
    const FREE_IMAGE_FORMAT type = FreeImage_GetFileTypeFromMemory(memory.get(), 0);
    if (type == FIF_BMP && bmp_is_truncated(file))
        return Failure{"the file ends before the pixel data its header describes"};
    if (type != FIF_UNKNOWN && FreeImage_FIFSupportsNoPixels(type)) {
        Bitmap header(FreeImage_LoadFromMemory(type, memory.get(), FIF_LOAD_NOPIXELS));
        const uint64_t pixels = static_cast<uint64_t>(FreeImage_GetWidth(header.get())) *
                                FreeImage_GetHeight(header.get());
        if (pixels > kMaxPixels)
            return Failure{"the file claims a picture of " +
                           std::to_string(FreeImage_GetWidth(header.get())) + " x " +
                           std::to_string(FreeImage_GetHeight(header.get())) +
                           " pixels, more than this program reads"};
        FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
    }
    Bitmap bitmap(type == FIF_UNKNOWN ? nullptr : FreeImage_LoadFromMemory(type, memory.get(), 0));
    FIBITMAP *b = bitmap.get();
    // The getters give 0 for a bitmap that failed to load.
    const BYTE *bits = FreeImage_GetBits(b);
    Picture picture;
    picture.line_bytes = static_cast<int>(FreeImage_GetLine(b));
    picture.pitch = static_cast<int>(FreeImage_GetPitch(b));
    picture.dib_size = static_cast<int>(FreeImage_GetDIBSize(b));
    picture.colours_used = static_cast<int>(FreeImage_GetColorsUsed(b));
    picture.bpp = static_cast<int>(FreeImage_GetBPP(b));
    picture.width = static_cast<int>(FreeImage_GetWidth(b));
    picture.height = static_cast<int>(FreeImage_GetHeight(b));
    if (bits != nullptr && picture.pitch > 0 && picture.height > 0 &&
        picture.line_bytes <= picture.pitch) {
        picture.bits.assign(bits, bits + static_cast<size_t>(picture.pitch) * picture.height);
        return picture;
    }
    return Failure{"the file is not a picture that can be read"};
}

Result<Picture> read_picture(const std::string &path, size_t max_bytes) {
    const Result<std::vector<uint8_t>> file = read_file_bytes(path, max_bytes);
    if (!file) return file.reason();
    return decode_picture(*file);
}

Result<std::string> encode_png_rgb(int width, int height, const unsigned char *rgb) {
    ensure_initialised();
    Bitmap bitmap(FreeImage_Allocate(width, height, 24));
    if (!bitmap) return Failure{"cannot allocate the picture"};
    for (int y = 0; y < height; ++y) {
        // FreeImage's scanline 0 is the bottom row; the caller's row 0 is the top one.
        BYTE *line = FreeImage_GetScanLine(bitmap.get(), height - 1 - y);
        const unsigned char *src = rgb + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            line[x * 3 + FI_RGBA_RED] = src[x * 3 + 0];
            line[x * 3 + FI_RGBA_GREEN] = src[x * 3 + 1];
            line[x * 3 + FI_RGBA_BLUE] = src[x * 3 + 2];
        }
    }
    const std::unique_ptr<FIMEMORY, MemoryDeleter> memory(FreeImage_OpenMemory());
    if (!FreeImage_SaveToMemory(FIF_PNG, bitmap.get(), memory.get(), 0))
        return Failure{"cannot encode the PNG picture"};
    BYTE *data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory.get(), &data, &size);
    return std::string(reinterpret_cast<const char *>(data), size);
}

}  // namespace pedaform

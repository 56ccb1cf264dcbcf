#include "io/picture_io.h"

#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "workspace/file_output.h"

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
bool bmp_is_truncated(const char *path) {
    std::FILE *f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    unsigned char h[54] = {};
    const size_t got = std::fread(h, 1, sizeof h, f);
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    if (got < sizeof h || le32(h + 14) < 40) return false;  // other header kinds: not checked
    const uint64_t offset = le32(h + 10);
    const int64_t width = static_cast<int32_t>(le32(h + 18));
    const int64_t height = static_cast<int32_t>(le32(h + 22));
    const uint64_t bpp = static_cast<uint64_t>(h[28] | h[29] << 8);
    const uint32_t compression = le32(h + 30);
    if (compression != 0 && compression != 3) return false;  // compressed sizes vary
    const uint64_t row = (static_cast<uint64_t>(width < 0 ? -width : width) * bpp + 31) / 32 * 4;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    return size < 0 || static_cast<uint64_t>(size) < offset + row * rows;
}

// The largest picture read at all: a hostile header must not make the decoder allocate
// gigabytes. The program's own pictures are 150 x 360 and 250 x 250.
constexpr uint64_t kMaxPixels = uint64_t{4096} * 4096;

}  // namespace

Picture read_picture(const char *path) {
    ensure_initialised();
    Picture picture;
    const FREE_IMAGE_FORMAT type = FreeImage_GetFileType(path, 0);
    if (type == FIF_BMP && bmp_is_truncated(path)) {
        picture.problem = "the file ends before the pixel data its header describes";
        return picture;
    }
    if (type != FIF_UNKNOWN && FreeImage_FIFSupportsNoPixels(type)) {
        Bitmap header(FreeImage_Load(type, path, FIF_LOAD_NOPIXELS));
        const uint64_t pixels = static_cast<uint64_t>(FreeImage_GetWidth(header.get())) *
                                FreeImage_GetHeight(header.get());
        if (pixels > kMaxPixels) {
            picture.problem = "the file claims a picture of " +
                              std::to_string(FreeImage_GetWidth(header.get())) + " x " +
                              std::to_string(FreeImage_GetHeight(header.get())) +
                              " pixels, more than this program reads";
            return picture;
        }
    }
    Bitmap bitmap(type == FIF_UNKNOWN ? nullptr : FreeImage_Load(type, path, 0));
    FIBITMAP *b = bitmap.get();
    // The getters give 0 for a bitmap that failed to load.
    const BYTE *bits = FreeImage_GetBits(b);
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
    } else {
        picture.width = picture.height = picture.bpp = 0;
    }
    return picture;
}

Result write_png_rgb(const std::string &path, int width, int height, const unsigned char *rgb) {
    ensure_initialised();
    Bitmap bitmap(FreeImage_Allocate(width, height, 24));
    if (!bitmap) return Result::failure("cannot allocate the picture");
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
    FIMEMORY *memory = FreeImage_OpenMemory();
    Result written = Result::failure("cannot encode the PNG " + path);
    if (FreeImage_SaveToMemory(FIF_PNG, bitmap.get(), memory, 0)) {
        BYTE *data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        written = write_file_atomically(path, data, size);
    }
    FreeImage_CloseMemory(memory);
    return written;
}

}  // namespace pedaform

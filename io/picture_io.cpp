#include "io/picture_io.h"

#include <FreeImage.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "io/plain_pictures.h"

namespace pedaform {

namespace {

// The picture library, opened at its first use: linked in, its start-up (two dozen libraries
// of image formats) would cost every batch run more than the run's own work, though a usual
// run reads only plain pictures (io/plain_pictures.h) and writes none through it.
struct FreeImageLibrary {
#define PEDAFORM_FREEIMAGE_CALLS(X)                                                            \
    X(Initialise)                                                                              \
    X(OpenMemory)                                                                              \
    X(CloseMemory)                                                                             \
    X(SeekMemory)                                                                              \
    X(AcquireMemory) X(GetFileTypeFromMemory) X(FIFSupportsNoPixels) X(LoadFromMemory)         \
        X(SaveToMemory) X(Allocate) X(Unload) X(GetBits) X(GetScanLine) X(GetLine) X(GetPitch) \
            X(GetDIBSize) X(GetColorsUsed) X(GetBPP) X(GetWidth) X(GetHeight)
#define PEDAFORM_FREEIMAGE_POINTER(name) decltype(&FreeImage_##name) name = nullptr;
    PEDAFORM_FREEIMAGE_CALLS(PEDAFORM_FREEIMAGE_POINTER)
    std::string failure;  // why it could not be opened; "" when it was
};

// The library's soname: the one the development package links against.
constexpr const char *kFreeImageSoname = "libfreeimage.so.3";

const FreeImageLibrary &freeimage() {
    static const FreeImageLibrary library = [] {
        FreeImageLibrary l;
        void *handle = dlopen(kFreeImageSoname, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            l.failure = std::string("the picture library cannot be loaded: ") + dlerror();
            return l;
        }
#define PEDAFORM_FREEIMAGE_LOOKUP(name)                                             \
    l.name = reinterpret_cast<decltype(l.name)>(dlsym(handle, "FreeImage_" #name)); \
    if (l.name == nullptr) l.failure = "the picture library lacks FreeImage_" #name;
        PEDAFORM_FREEIMAGE_CALLS(PEDAFORM_FREEIMAGE_LOOKUP)
        if (l.failure.empty()) l.Initialise(FALSE);
        return l;
    }();
    return library;
}

struct BitmapDeleter {
    void operator()(FIBITMAP *b) const { freeimage().Unload(b); }
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
    void operator()(FIMEMORY *m) const { freeimage().CloseMemory(m); }
};

bool has_bmp_signature(const std::vector<uint8_t> &file) {
    return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
}

// Any picture the library knows, its type taken from the content.
Result<Picture> decode_through_library(const std::vector<uint8_t> &file) {
    const FreeImageLibrary &fi = freeimage();
    if (!fi.failure.empty()) return Failure{fi.failure};
    const std::unique_ptr<FIMEMORY, MemoryDeleter> memory(
        fi.OpenMemory(const_cast<BYTE *>(file.data()), static_cast<DWORD>(file.size())));
    const FREE_IMAGE_FORMAT type = fi.GetFileTypeFromMemory(memory.get(), 0);
    if (type == FIF_BMP && bmp_is_truncated(file))
        return Failure{"the file ends before the pixel data its header describes"};
    if (type != FIF_UNKNOWN && fi.FIFSupportsNoPixels(type)) {
        Bitmap header(fi.LoadFromMemory(type, memory.get(), FIF_LOAD_NOPIXELS));
        const uint64_t pixels =
            static_cast<uint64_t>(fi.GetWidth(header.get())) * fi.GetHeight(header.get());
        if (pixels > kMaxPixels)
            return Failure{"the file claims a picture of " +
                           std::to_string(fi.GetWidth(header.get())) + " x " +
                           std::to_string(fi.GetHeight(header.get())) +
                           " pixels, more than this program reads"};
        fi.SeekMemory(memory.get(), 0, SEEK_SET);
    }
    Bitmap bitmap(type == FIF_UNKNOWN ? nullptr : fi.LoadFromMemory(type, memory.get(), 0));
    FIBITMAP *b = bitmap.get();
    // The getters give 0 for a bitmap that failed to load.
    const BYTE *bits = fi.GetBits(b);
    Picture picture;
    picture.line_bytes = static_cast<int>(fi.GetLine(b));
    picture.pitch = static_cast<int>(fi.GetPitch(b));
    picture.dib_size = static_cast<int>(fi.GetDIBSize(b));
    picture.colours_used = static_cast<int>(fi.GetColorsUsed(b));
    picture.bpp = static_cast<int>(fi.GetBPP(b));
    picture.width = static_cast<int>(fi.GetWidth(b));
    picture.height = static_cast<int>(fi.GetHeight(b));
    if (bits != nullptr && picture.pitch > 0 && picture.height > 0 &&
        picture.line_bytes <= picture.pitch) {
        picture.bits.assign(bits, bits + static_cast<size_t>(picture.pitch) * picture.height);
        return picture;
    }
    return Failure{"the file is not a picture that can be read"};
}

}  // namespace

Result<Picture> decode_picture(const std::vector<uint8_t> &file) {
    if (has_bmp_signature(file)) {
        if (bmp_is_truncated(file))
            return Failure{"the file ends before the pixel data its header describes"};
        if (std::optional<Picture> plain = decode_plain_bmp(file, kMaxPixels))
            return std::move(*plain);
    } else if (std::optional<Picture> plain = decode_plain_png(file, kMaxPixels)) {
        return std::move(*plain);
    }
    return decode_through_library(file);
}

Result<Picture> decode_picture_through_library(const std::vector<uint8_t> &file) {
    return decode_through_library(file);
}

Result<Picture> read_picture(const std::string &path, size_t max_bytes) {
    const Result<std::vector<uint8_t>> file = read_file_bytes(path, max_bytes);
    if (!file) return file.reason();
    return decode_picture(*file);
}

Result<std::string> encode_png_rgb(int width, int height, const unsigned char *rgb) {
    const FreeImageLibrary &fi = freeimage();
    if (!fi.failure.empty()) return Failure{fi.failure};
    Bitmap bitmap(fi.Allocate(width, height, 24, 0, 0, 0));
    if (!bitmap) return Failure{"cannot allocate the picture"};
    for (int y = 0; y < height; ++y) {
        // FreeImage's scanline 0 is the bottom row; the caller's row 0 is the top one.
        BYTE *line = fi.GetScanLine(bitmap.get(), height - 1 - y);
        const unsigned char *src = rgb + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            line[x * 3 + FI_RGBA_RED] = src[x * 3 + 0];
            line[x * 3 + FI_RGBA_GREEN] = src[x * 3 + 1];
            line[x * 3 + FI_RGBA_BLUE] = src[x * 3 + 2];
        }
    }
    const std::unique_ptr<FIMEMORY, MemoryDeleter> memory(fi.OpenMemory(nullptr, 0));
    if (!fi.SaveToMemory(FIF_PNG, bitmap.get(), memory.get(), 0))
        return Failure{"cannot encode the PNG picture"};
    BYTE *data = nullptr;
    DWORD size = 0;
    fi.AcquireMemory(memory.get(), &data, &size);
    return std::string(reinterpret_cast<const char *>(data), size);
}

}  // namespace pedaform

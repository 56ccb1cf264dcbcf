#include "relief/engraving_bmp.h"

#include <cstring>

#include "core/file_output.h"

namespace pedaform {

namespace {

void put16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *p, uint32_t v) {
    for (int b = 0; b < 4; ++b)
        p[b] = static_cast<uint8_t>(v >> (8 * b));
}

}  // namespace

Result<std::string> engraving_file_name(const std::string &chosen) {
    std::string out = chosen;
    if (!has_extension(out, ".bmp")) out += ".bmp";
    if (out.size() + 1 > static_cast<size_t>(kNameBufferSize))
        return Failure{"the engraving name is too long: " + chosen, "檔名太長"};
    return out;
}

namespace {

void put_bmp32_header(uint8_t *h, int width, int height) {
    std::memset(h, 0, kEngravingHeaderSize);
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, static_cast<uint32_t>(kEngravingHeaderSize + width * height * 4));
    put32(h + 10, kEngravingHeaderSize);
    put32(h + 14, 40);
    put32(h + 18, static_cast<uint32_t>(width));
    put32(h + 22, static_cast<uint32_t>(height));
    put16(h + 26, 1);
    put16(h + 28, 32);
    put32(h + 38, 3780);  // 96 dots per inch
    put32(h + 42, 3780);
}

}  // namespace

void encode_bmp32(const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out) {
    const size_t start = out.size();
    out.resize(start + kEngravingHeaderSize + static_cast<size_t>(width) * height * 4);
    put_bmp32_header(out.data() + start, width, height);
    std::memcpy(out.data() + start + kEngravingHeaderSize, pixels,
                static_cast<size_t>(width) * height * 4);
}

std::vector<uint8_t> encode_engraving_bmp(const uint8_t (&relief)[kGridCells]) {
    std::vector<uint8_t> file(kEngravingFileSize);
    put_bmp32_header(file.data(), kGridWidth, kGridHeight);
    for (int k = 0; k < kGridCells; ++k) {
        uint8_t *px = &file[kEngravingHeaderSize + 4 * static_cast<size_t>(k)];
        px[0] = px[1] = px[2] = relief[k];
        px[3] = 255;
    }
    return file;
}

Result<> write_engraving_bmp(const std::string &name, const uint8_t (&relief)[kGridCells]) {
    const std::vector<uint8_t> file = encode_engraving_bmp(relief);
    return write_file_atomically(name, file.data(), file.size());
}

}  // namespace pedaform

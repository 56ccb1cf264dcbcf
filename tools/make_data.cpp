// Writes the data folder the program reads at start-up: the colour table, the nineteen
// insole templates (in 8-, 24- and 32-bit BMP so that every reading path is used), the pad
// shape and a few sample scans.
//
//     make_data DATA_DIR
#include <FreeImage.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/synth.h"
#include "core/resources.h"
#include "core/size_table.h"
#include "core/file_output.h"

using namespace pedaform;

namespace {

bool make_dir(const std::string &path) {
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool save(FIBITMAP *bitmap, FREE_IMAGE_FORMAT format, const std::string &path) {
    const bool ok = FreeImage_Save(format, bitmap, path.c_str(), 0) != 0;
    FreeImage_Unload(bitmap);
    if (!ok) std::fprintf(stderr, "make_data: cannot write %s\n", path.c_str());
    return ok;
}

// A grey grid as a BMP of `bpp` bits: an 8-bit picture with a grey palette holds the value as
// its index; 24 and 32 bits hold it in blue, green and red.
bool save_grid(const uint8_t *grid, int bpp, const std::string &path) {
    FIBITMAP *b = FreeImage_Allocate(kGridWidth, kGridHeight, bpp);
    if (bpp == 8) {
        RGBQUAD *pal = FreeImage_GetPalette(b);
        for (int i = 0; i < 256; ++i)
            pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = static_cast<BYTE>(i);
    }
    const int step = bpp / 8;
    for (int y = 0; y < kGridHeight; ++y) {
        BYTE *line = FreeImage_GetScanLine(b, y);
        for (int x = 0; x < kGridWidth; ++x)
            for (int k = 0; k < step; ++k)
                line[x * step + k] = k == 3 ? 255 : grid[y * kGridWidth + x];
    }
    return save(b, FIF_BMP, path);
}

// Templates: index 0..6 the RM family (bins 228..305), 7..18 the CM family (167..305).
bool write_templates(const std::string &dir) {
    static uint8_t grid[kGridCells];
    for (int t = 0; t < kTemplateCount; ++t) {
        const synth::BinPlacement *bin = synth::placement_for(template_length(t));
        const synth::Outline outline = synth::insole_outline(
            bin->length, bin->bottom, bin->first_column, bin->bottom_width, false);
        synth::template_grid(outline, t < 7 ? 14 : 18, grid);
        static const int kDepths[3] = {8, 24, 32};
        if (!save_grid(grid, kDepths[t % 3], dir + "/" + (kTemplateFiles[t] + 2))) return false;
    }
    return true;
}

// Pad shape: an 8-bit grey PNG.
bool write_pad_shape(const std::string &dir) {
    static uint8_t dome[kPadShapeSize * kPadShapeSize];
    synth::pad_dome(dome);
    FIBITMAP *drop = FreeImage_Allocate(kPadShapeSize, kPadShapeSize, 8);
    RGBQUAD *pal = FreeImage_GetPalette(drop);
    for (int i = 0; i < 256; ++i)
        pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = static_cast<BYTE>(i);
    for (int y = 0; y < kPadShapeSize; ++y)
        std::memcpy(FreeImage_GetScanLine(drop, y), dome + y * kPadShapeSize, kPadShapeSize);
    return save(drop, FIF_PNG, dir + "/drop.png");
}

bool write_data_file(const std::string &path, const void *data, size_t size) {
    const Result<> r = write_file_atomically(path, data, size);
    if (!r) std::fprintf(stderr, "make_data: %s\n", r.message().c_str());
    return r.ok();
}

// Sample scans for the demo and the README's examples.
bool write_samples(const std::string &dir) {
    struct Sample {
        const char *name;
        synth::ScanRecipe recipe;
    };
    const Sample samples[] = {
        {"samples/left_253_CM25-26.bmp", {253, false, true, 11, 87}},
        {"samples/right_253_4-5.bmp", {253, true, false, 12, 92}},
        {"samples/left_228_CM22-23.bmp", {228, false, true, 13, 75}},
        {"samples/right_305_CM29-30.bmp", {305, true, true, 14, 104}},
        {"samples/left_191_CM17.5-19.bmp", {191, false, true, 15, 66}},
        // Measured proportions, a heel wider than the forefoot, turned by 3 degrees.
        {"samples/right_253_wide_heel_turned.bmp", {253, true, true, 16, 90, true, true, 3}},
        {"samples/left_253_measured.bmp", {253, false, true, 17, 81, true, false, 0}},
    };
    for (const Sample &s : samples) {
        const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan(s.recipe));
        if (!write_data_file(dir + "/" + s.name, bmp.data(), bmp.size())) return false;
    }
    return true;
}

// Colour table: 256 lines of "r g b".
bool write_colour_table(const std::string &dir) {
    uint8_t table[256][3];
    synth::colour_map(table);
    std::string text;
    for (const auto &entry : table)
        text += std::to_string(entry[0]) + " " + std::to_string(entry[1]) + " " +
                std::to_string(entry[2]) + "\n";
    return write_data_file(dir + "/lut_256.txt", text.data(), text.size());
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_data DATA_DIR\n");
        return 2;
    }
    FreeImage_Initialise(FALSE);
    const std::string dir = argv[1];
    // The colour table last: the build uses it to tell that the folder is complete.
    const bool ok = make_dir(dir) && make_dir(dir + "/ButtomInsole") &&
                    make_dir(dir + "/ButtomInsole_Black") && make_dir(dir + "/samples") &&
                    write_templates(dir) && write_pad_shape(dir) && write_samples(dir) &&
                    write_colour_table(dir);
    FreeImage_DeInitialise();
    return ok ? 0 : 1;
}

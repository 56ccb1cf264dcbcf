#include "io/resource_files.h"

#include <cstdio>

#include "io/picture_io.h"
#include "core/console.h"

namespace pedaform {

std::string resource_path(const std::string &data_dir, const char *file) {
    if (data_dir.empty() || data_dir == ".") return file;
    std::string path = data_dir;
    if (path.back() != '/') path += '/';
    // The resource names start with "./".
    path += (file[0] == '.' && file[1] == '/') ? file + 2 : file;
    return path;
}

namespace {

Warning missing(const std::string &path, const std::string &why) {
    return {"data file " + path + " is missing or unreadable (" + why + "); it is left empty",
            "資料檔 " + path + " 不存在或無法讀取（" + why + "），相關資料為空白"};
}

}  // namespace

Warnings load_startup_resources(Resources &resources, const std::string &data_dir) {
    Warnings warnings;
    console_printf("w %d   h %d \n", kGridWidth, kGridHeight);

    const std::string lut_path = resource_path(data_dir, kColourTableFile);
    Result<std::vector<uint8_t>> lut_bytes = read_file_bytes(lut_path, kMaxDataFileBytes);
    // The table's parser reads a stream: the bytes read are its stream.
    std::FILE *lut = lut_bytes && !lut_bytes->empty()
                         ? fmemopen(lut_bytes->data(), lut_bytes->size(), "r")
                         : nullptr;
    if (lut != nullptr) {
        parse_colour_table(lut, resources.colour_table);
        std::fclose(lut);
    } else if (!lut_bytes) {
        warnings.add(missing(lut_path, lut_bytes.message()));
    }

    for (int t = 0; t < kTemplateCount; ++t) {
        const std::string path = resource_path(data_dir, kTemplateFiles[t]);
        Result<Picture> read = read_picture(path, kMaxDataFileBytes);
        if (!read) warnings.add(missing(path, read.message()));
        const Picture picture = read ? std::move(*read) : Picture();
        console_printf("width %d\n", picture.width);
        console_printf("height %d\n\n", picture.height);
        // Templates of another size never write outside their grid: a larger one is cut.
        if (!copy_template(picture, resources.templates[t]))
            console_printf("template %s is %d x %d: only its bottom-left 150 x 360 is used\n",
                           kTemplateFiles[t], picture.width, picture.height);
    }

    const std::string drop_path = resource_path(data_dir, kPadShapeFile);
    Result<Picture> read = read_picture(drop_path, kMaxDataFileBytes);
    if (!read) warnings.add(missing(drop_path, read.message()));
    const Picture drop = read ? std::move(*read) : Picture();
    console_printf("DROP Image \n");
    console_printf("pitch %d\n", drop.pitch);
    console_printf("bpp %d\n", drop.bpp);
    console_printf("width %d\n", drop.width);
    console_printf("height %d\n\n", drop.height);
    if (!copy_pad_shape(drop, resources))
        console_printf("pad shape is %d x %d: only its bottom-left 250 x 250 is used\n", drop.width,
                       drop.height);
    return warnings;
}

}  // namespace pedaform

#include "io/resources.h"

#include <cstdio>

#include "workspace/console.h"
#include "io/picture_io.h"

namespace pedaform {

std::string resource_path(const std::string &data_dir, const char *file) {
    if (data_dir.empty() || data_dir == ".") return file;
    std::string path = data_dir;
    if (path.back() != '/') path += '/';
    // The resource names start with "./".
    path += (file[0] == '.' && file[1] == '/') ? file + 2 : file;
    return path;
}

void load_startup_resources(Workspace &ws, const std::string &data_dir) {
    console_printf("w %d   h %d \n", kGridWidth, kGridHeight);
    set_startup_values(ws);

    if (std::FILE *lut = std::fopen(resource_path(data_dir, kColourTableFile).c_str(), "r")) {
        parse_colour_table(lut, ws.colour_table);
        std::fclose(lut);
    }

    for (int t = 0; t < kTemplateCount; ++t) {
        const Picture picture = read_picture(resource_path(data_dir, ws.template_paths[t]).c_str());
        console_printf("width %d\n", picture.width);
        console_printf("height %d\n\n", picture.height);
        // Templates of another size never write outside their grid: a larger one is cut.
        if (!copy_template(picture, ws.templates[t]))
            console_printf("template %s is %d x %d: only its bottom-left 150 x 360 is used\n",
                           ws.template_paths[t], picture.width, picture.height);
    }

    const Picture drop = read_picture(resource_path(data_dir, kPadShapeFile).c_str());
    console_printf("DROP Image \n");
    console_printf("pitch %d\n", drop.pitch);
    console_printf("bpp %d\n", drop.bpp);
    console_printf("width %d\n", drop.width);
    console_printf("height %d\n\n", drop.height);
    if (!copy_pad_shape(drop, ws))
        console_printf("pad shape is %d x %d: only its bottom-left 250 x 250 is used\n", drop.width,
                       drop.height);

    ws.texture_pending = 1;
}

}  // namespace pedaform

// Pedaform: turns a foot-pressure scan into the height relief of a custom insole.
// Starts from any working directory: the data folder is found by find_data_folder.
//
//     pedaform [toolkit options] [SCAN.bmp | DESIGN.json]
//
// A file given opens as the menu's "讀檔" or "開啟設計…" would open it.
#include <FL/Fl.H>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/dialog_text.h"
#include "app/label_font.h"
#include "app/actions.h"
#include "app/main_window.h"
#include "core/file_output.h"
#include "io/data_folder.h"

int main(int argc, char **argv) {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        std::fprintf(stderr,
                     "pedaform: no display (DISPLAY is not set); start it under xvfb-run, or use "
                     "pedaform-cli for work without a screen\n");
        return 1;
    }
    use_chinese_dialog_labels();
    if (use_label_font().empty())
        std::fprintf(stderr, "pedaform: no installed font covers the Chinese labels\n");
    // Without its data the window still opens, with the colour table and templates zeroed.
    std::string data_folder;
    if (const pedaform::Result<> found = pedaform::find_data_folder(data_folder); !found)
        std::fprintf(stderr, "pedaform: %s\n", found.message().c_str());
    keep_freed_frame_memory();
    Fl_Double_Window *window = build_main_window(data_folder);
    window->end();
    // The toolkit's own options (-geometry, -display, ...) first, then at most one file.
    int next = 1;
    if (Fl::args(argc, argv, next) == 0 || next < argc - 1) {
        std::fprintf(stderr, "usage: pedaform [toolkit options] [SCAN.bmp | DESIGN.json]\n");
        return 2;
    }
    window->show();
    // Data files that could not be read are said once, in the window's language.
    if (!g_startup_warnings.empty()) {
        std::string text = "部分資料檔無法讀取，相關資料將為空白:";
        for (const pedaform::Warning &warning : g_startup_warnings)
            text += "\n" + warning.gui;
        show_message_box(text.c_str(), "資料檔");
    }
    if (next < argc) {
        const std::string file = argv[next];
        const bool design = pedaform::has_extension(file, ".json");
        design ? open_design_path(file.c_str()) : (void)load_scan_path(file.c_str());
    }
    return Fl::run();
}

// Pedaform: turns a foot-pressure scan into the height relief of a custom insole.
// Start it with the data folder as the working directory.
#include <FL/Fl.H>

#include <cstdio>
#include <cstdlib>

#include "app/label_font.h"
#include "app/main_window.h"

int main(int argc, char **argv) {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        std::fprintf(stderr,
                     "pedaform: no display (DISPLAY is not set); start it under xvfb-run, or use "
                     "pedaform-cli for work without a screen\n");
        return 1;
    }
    if (use_label_font().empty())
        std::fprintf(stderr, "pedaform: no installed font covers the Chinese labels\n");
    keep_freed_frame_memory();
    Fl_Double_Window *window = build_main_window();
    window->end();
    window->show(argc, argv);
    return Fl::run();
}

#include "app/view_timer.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>

#include "workspace/console.h"

using namespace pedaform;

void redraw_timer(void *widget) {
    static_cast<Fl_Widget *>(widget)->redraw();
    Fl::repeat_timeout(1.0 / 120.0, redraw_timer, widget);
}

void print_mouse_click(int button) {
    static const char *const kLines[] = {"left mouse click \n", "middle mouse click \n",
                                         "right mouse click \n"};
    if (button >= 1 && button <= 3) console_printf("%s", kLines[button - 1]);
}

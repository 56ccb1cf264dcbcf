#include "app/window_close.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>

namespace {

bool always_discard() {
    return true;
}

}  // namespace

bool (*confirm_discard)() = always_discard;

void main_window_close_cb(Fl_Widget *window, void *) {
    if (Fl::event() != FL_CLOSE) return;
    if (!confirm_discard()) return;
    window->hide();
}

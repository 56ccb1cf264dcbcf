// Closing the main window: only a real close request (the window manager's close button)
// closes it, never the Escape key, and only once confirm_discard() agrees.
#pragma once

class Fl_Widget;

// Asked before the main window closes; false keeps it open. The default agrees at once; point
// it at a question about unsaved design steps.
extern bool (*confirm_discard)();

// The main window's callback. FLTK calls a window's callback for Escape as well as for a close
// request; only the close request (event FL_CLOSE) is acted on: confirm_discard() first, then
// the window is hidden, which ends Fl::run() when it was the last one shown.
void main_window_close_cb(Fl_Widget *window, void *);

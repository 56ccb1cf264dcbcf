// What the two views share: the 1/120 s redraw timer and the console line of a mouse press.
#pragma once

// Redraws the widget it was armed with and re-arms itself every 1/120 s; both views use it.
void redraw_timer(void *widget);

// Prints the console line of a mouse button press over a view ("left mouse click \n", ...).
void print_mouse_click(int button);

// What the two views share: the 1/120 s frame timer, which asks for a frame only when the
// picture would change, and the console line of a mouse press.
#pragma once

// A view the frame timer drives.
class TickedView {
  public:
    // Whether a frame drawn now would show anything other than the last frame shown.
    virtual bool frame_changed() const = 0;
    // Asks the toolkit for a frame (Fl_Widget::redraw()).
    virtual void request_frame() = 0;

  protected:
    ~TickedView() = default;
};

// One 1/120 s timer for every started view: each tick asks a view for a frame when its
// frame_changed() is true, so a tick with nothing to show draws nothing. start adds a view
// (arming the timer for the first), stop removes it (the last one removes the timer).
void start_frame_timer(TickedView *view);
void stop_frame_timer(TickedView *view);

// Prints the console line of a mouse button press over a view ("left mouse click \n", ...).
void print_mouse_click(int button);

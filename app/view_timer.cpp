#include "app/view_timer.h"

#include <FL/Fl.H>

#include <algorithm>
#include <vector>

#include "core/console.h"

using namespace pedaform;

namespace {

constexpr double kFrameInterval = 1.0 / 120.0;

std::vector<TickedView *> &ticked_views() {
    static std::vector<TickedView *> views;
    return views;
}

// One timer for all views: one wake-up per tick however many views there are.
void frame_tick(void *) {
    for (TickedView *view : ticked_views())
        if (view->frame_changed()) view->request_frame();
    Fl::repeat_timeout(kFrameInterval, frame_tick);
}

}  // namespace

void start_frame_timer(TickedView *view) {
    if (ticked_views().empty()) Fl::add_timeout(kFrameInterval, frame_tick);
    ticked_views().push_back(view);
}

void stop_frame_timer(TickedView *view) {
    std::vector<TickedView *> &views = ticked_views();
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
    if (views.empty()) Fl::remove_timeout(frame_tick);
}

void print_mouse_click(int button) {
    static const char *const kLines[] = {"left mouse click \n", "middle mouse click \n",
                                         "right mouse click \n"};
    if (button >= 1 && button <= 3) console_printf("%s", kLines[button - 1]);
}

// The image view's colour key, beside the view: what the preview's colours mean in millimetres
// of change over the base, or, while the print dialog shows the zones, each zone's colour with
// its threshold and infill. Drawn by the toolkit, whose fonts have the Chinese labels; the frame
// timer redraws it only when what it says changes.
#pragma once

#include <FL/Fl_Widget.H>

#include <string>
#include <vector>

#include "app/gl_display_image.h"
#include "app/view_timer.h"

// Every word the key shows, for the label font.
std::string colour_key_labels();

class ColourKey : public Fl_Widget, public TickedView {
  public:
    // At (x, y, w, h) in the current group, for `view`; starts the frame timer. The height
    // key's bar and eight zones' lines need 200 rows and 160 columns.
    ColourKey(int x, int y, int w, int h, const GL_Display_Image &view);
    ~ColourKey() override;

    void draw() override;
    bool frame_changed() const override;
    void request_frame() override { redraw(); }

    // The changes the height key labels, in millimetres, from its top to its bottom.
    static constexpr int kLabelledMm[] = {8, 4, 0, -4, -8};

    // What the key says now: its title, then one line per label or zone, top to bottom;
    // nothing before a scan is chosen.
    std::vector<std::string> lines() const;
    // The window rows of the centres of its labels' or zones' lines, in the order of lines()
    // after the title.
    std::vector<int> line_rows() const;

  private:
    void draw_height_key() const;
    void draw_zone_key() const;

    const GL_Display_Image &view_;
    bool shown_scan_ = false;
    std::vector<pedaform::PrintZone> shown_zones_;
};

// The key beside the main window's image view (made by build_main_window).
extern ColourKey *g_colour_key;

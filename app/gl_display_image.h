// The image view: the 150 x 360 OpenGL child window that shows the design's relief preview,
// the insole's border (the fitted outline around the foot) in pale blue, the landmarks, the
// traced outline of the last mesh export and the metatarsal point; while the stamped pad is on,
// the pad's footprint and a cross on the dome's apex instead of the point. Click, drag and
// arrow keys move what the cross marks. It reads the design and changes nothing of it. The
// frame timer draws a frame only when the preview, the insole, the landmarks, the point, the
// outline, the size or the chosen scan changed since the last frame shown.
#pragma once

#include <FL/Fl_Gl_Window.H>

#include <cstdint>
#include <string>
#include <vector>

#include "app/view_timer.h"
#include "design/design.h"

class GL_Display_Image : public Fl_Gl_Window, public TickedView {
  public:
    // Starts the timer; the view shows nothing of a design until `design` is set.
    GL_Display_Image();
    ~GL_Display_Image() override;

    // What the view shows.
    const pedaform::Design *design = nullptr;
    // True once the operator chose a scan (even one the load refused) or an engraving name:
    // the view then shows the relief preview instead of a black field.
    bool scan_chosen = false;
    // The colour of the insole's border: its cells beside a cell off the insole.
    static constexpr float kInsoleBorder[3] = {0.6f, 0.75f, 1.0f};
    // The outline the last mesh export traced, drawn in red; empty until one.
    std::vector<pedaform::OutlinePoint> outline;

    void draw() override;
    void flush() override;
    int handle(int event) override;
    bool frame_changed() const override;
    void request_frame() override { redraw(); }

    // Called when a left click or drag, or an arrow key while the view has focus, moves the
    // metatarsal point to a cell (always inside the grid).
    void (*point_moved)(float column, float row) = nullptr;
    // Called with true when the left button goes down on the view (before its point_moved) and
    // with false when it comes up: the moves between are one gesture of the operator's hand.
    void (*point_gesture)(bool open) = nullptr;

    // While not empty (kGridCells R, G, B, 0 pixels), shown instead of the relief preview: the
    // print dialog's zones, in zone_colour's colours, and the zones they show, for the key.
    std::vector<uint8_t> zone_colours;
    std::vector<pedaform::PrintZone> zones;

    // Calls of draw() so far.
    int draws() const { return draws_; }

  private:
    // What a frame shows apart from the preview and the outline, compared byte for byte.
    struct Shown {
        int32_t w, h, scan_loaded;
        pedaform::Landmark landmarks[5];
        int32_t outline_count;
        float meta_column, meta_row;
        int32_t meta_point_found;
        int32_t stamp;  // the stamped pad is on: its footprint and apex are shown
        float apex_column, apex_row;
    };
    static_assert(sizeof(Shown) == 10 * 4 + sizeof(pedaform::Landmark[5]),
                  "Shown must have no padding");

    Shown shown_now() const;
    const uint8_t *picture() const {
        return zone_colours.empty() ? design->results().relief_preview : zone_colours.data();
    }
    void projection_setup();
    void make_texture();
    void draw_insole_border();
    void draw_landmarks_and_point();
    void draw_meta_point();
    void draw_pad_footprint();
    void draw_cross(float column, float row);
    void point_from_event();
    unsigned texture_id_ = 0;  // made at the first frame
    int draws_ = 0;
    Shown shown_ = {};
    uint8_t shown_preview_[pedaform::kGridCells * 4] = {};
    uint8_t shown_insole_[pedaform::kGridCells] = {};
    std::vector<pedaform::OutlinePoint> shown_outline_;
};

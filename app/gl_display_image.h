// The image view: the 150 x 360 OpenGL child window that shows the relief preview, the
// landmarks, the traced outline and the metatarsal point, and whose context renders the
// metatarsal pad stamp for the design. It is also the workspace: it holds every grid of the
// design. The frame timer draws a frame only when the preview, the landmarks, the point, the
// outline, the size or the loaded scan changed since the last frame shown.
#pragma once

#include <FL/Fl_Gl_Window.H>

#include <cstdint>
#include <string>
#include <vector>

#include "app/view_timer.h"
#include "design/design.h"
#include "workspace/workspace.h"

class GL_Display_Image : public Fl_Gl_Window,
                         public TickedView,
                         public pedaform::Workspace,
                         public pedaform::StampRenderer {
  public:
    // Reads the data files from `data_dir` ("" = the working directory) and starts the timer.
    explicit GL_Display_Image(const std::string &data_dir = std::string());
    ~GL_Display_Image() override;

    void draw() override;
    void flush() override;
    int handle(int event) override;
    bool frame_changed() const override;
    void request_frame() override { redraw(); }

    // Renders the stamp with this view's context (made current first): the design's steps
    // ask for it when the stamped pad needs a new picture.
    pedaform::Result render(pedaform::Workspace &ws, double width, double length,
                            double height) override;

    // Called when a left click or drag, or an arrow key while the view has focus, moves the
    // metatarsal point to a cell (always inside the grid).
    void (*point_moved)(float column, float row) = nullptr;

    // While not empty (kGridCells R, G, B, 0 pixels), shown instead of the relief preview: the
    // print dialog's zones.
    std::vector<uint8_t> zone_colours;

    int stamp_renders() const { return stamp_renders_; }
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
    };
    static_assert(sizeof(Shown) == 7 * 4 + sizeof(pedaform::Landmark[5]),
                  "Shown must have no padding");

    Shown shown_now() const;
    const uint8_t *picture() const {
        return zone_colours.empty() ? relief_preview : zone_colours.data();
    }
    void projection_setup();
    void draw_meta_point();
    void point_from_event();
    int stamp_renders_ = 0;
    int draws_ = 0;
    Shown shown_ = {};
    uint8_t shown_preview_[pedaform::kGridCells * 4] = {};
    std::vector<pedaform::OutlinePoint> shown_outline_;
};

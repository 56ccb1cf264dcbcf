// The image view: the 150 x 360 OpenGL child window that shows the relief preview, the
// landmarks and the traced outline, and that renders the metatarsal pad stamp when asked
// (pad_stamp_dirty). It is also the workspace: it holds every grid of the design. The frame
// timer draws a frame only when the preview, the landmarks, the outline, the size, the loaded
// scan or a stamp request changed since the last frame shown.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Valuator.H>

#include <cstdint>
#include <string>
#include <vector>

#include "app/view_timer.h"
#include "workspace/workspace.h"

class GL_Display_Image : public Fl_Gl_Window, public TickedView, public pedaform::Workspace {
  public:
    // Reads the data files from `data_dir` ("" = the working directory) and starts the timer.
    explicit GL_Display_Image(const std::string &data_dir = std::string());
    ~GL_Display_Image() override;

    void draw() override;
    void flush() override;
    int handle(int event) override;
    bool frame_changed() const override;
    void request_frame() override { redraw(); }

    // The controls the stamp is rendered from ("蹠骨寬", "蹠骨長", "蹠骨墊高(mm)" and the
    // check button "蹠骨垫片"); set by the main window once the controls exist.
    struct StampControlsUi {
        Fl_Valuator *width = nullptr;
        Fl_Valuator *length = nullptr;
        Fl_Valuator *height = nullptr;
        Fl_Button *enabled = nullptr;
    };
    StampControlsUi stamp_controls;

    int stamp_renders() const { return stamp_renders_; }
    // Calls of draw() so far.
    int draws() const { return draws_; }

  private:
    // What a frame shows apart from the preview and the outline, compared byte for byte.
    struct Shown {
        int32_t w, h, scan_loaded, stamp_dirty;
        pedaform::Landmark landmarks[5];
        int32_t outline_count;
    };
    static_assert(sizeof(Shown) == 5 * 4 + sizeof(pedaform::Landmark[5]),
                  "Shown must have no padding");

    Shown shown_now() const;
    void projection_setup();
    int stamp_renders_ = 0;
    int draws_ = 0;
    Shown shown_ = {};
    uint8_t shown_preview_[pedaform::kGridCells * 4] = {};
    std::vector<pedaform::OutlinePoint> shown_outline_;
};

// The image view: the 150 x 360 OpenGL child window that shows the relief preview, the
// landmarks and the traced outline, and that renders the metatarsal pad stamp when asked
// (pad_stamp_dirty). It is also the workspace: it holds every grid of the design.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Valuator.H>

#include <string>

#include "workspace/workspace.h"

class GL_Display_Image : public Fl_Gl_Window, public pedaform::Workspace {
  public:
    // Reads the data files from `data_dir` ("" = the working directory) and arms the timer.
    explicit GL_Display_Image(const std::string &data_dir = std::string());
    ~GL_Display_Image() override;

    void draw() override;
    int handle(int event) override;

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

  private:
    void projection_setup();
    int stamp_renders_ = 0;
};

// The image view: the 150 x 360 OpenGL child window that shows the relief preview, the
// landmarks and the traced outline, and whose context renders the metatarsal pad stamp for the
// design. It is also the workspace: it holds every grid of the design.
#pragma once

#include <FL/Fl_Gl_Window.H>

#include <string>

#include "design/design.h"
#include "workspace/workspace.h"

class GL_Display_Image : public Fl_Gl_Window,
                         public pedaform::Workspace,
                         public pedaform::StampRenderer {
  public:
    // Reads the data files from `data_dir` ("" = the working directory) and arms the timer.
    explicit GL_Display_Image(const std::string &data_dir = std::string());
    ~GL_Display_Image() override;

    void draw() override;
    int handle(int event) override;

    // Renders the stamp with this view's context (made current first): the design's steps
    // ask for it when the stamped pad needs a new picture.
    pedaform::Result render(pedaform::Workspace &ws, double width, double length,
                            double height) override;

    // Called when a left click or drag, or an arrow key while the view has focus, moves the
    // metatarsal point to a cell (always inside the grid).
    void (*point_moved)(float column, float row) = nullptr;

    int stamp_renders() const { return stamp_renders_; }

  private:
    void projection_setup();
    void draw_meta_point();
    void point_from_event();
    int stamp_renders_ = 0;
};

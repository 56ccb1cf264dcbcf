// The 3D relief view: the relief grid as a lit surface that turns with a right drag and zooms
// with the wheel, and the height under the pointer (red marker, two profile lines, the value
// as text). It keeps only camera and pick state; every frame reads the workspace afresh.
// Model coordinates: cell (row r, column c) is (x = r, y = relief / 5, z = c), translated by
// (-180, 0, -75) so that the grid centre is at the origin.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Gl_Window.H>

#include <memory>

#include "model3d/mesh_arrays.h"
#include "gl/relief_view_gl.h"
#include "workspace/workspace.h"

class GL_Display_3D : public Fl_Gl_Window {
  public:
    // At (367, 75), 297 x 460, in the current group; arms the shared redraw timer.
    GL_Display_3D();
    ~GL_Display_3D() override;

    void draw() override;
    int handle(int event) override;

    // What the view shows: the workspace and the "Foot Pressure" check button.
    const pedaform::Workspace *workspace = nullptr;
    Fl_Button *foot_pressure = nullptr;
    // false (the default): the surface in immediate mode, one call per vertex; true: the same
    // triangles from arrays rebuilt each frame. On Mesa's software renderer the arrays are no
    // faster (the triangle set-up dominates), so the plain way is the default.
    bool use_vertex_arrays = false;

    float angle_y = 90.0f;
    float angle_x = 90.0f;
    float pick_depth = 0.0f;
    double mouse_x = 0;
    double mouse_y = 0;
    double pick_object[3] = {};  // unprojected x, y, z
    float pick_row = 0.0f;
    float pick_height = 0.0f;
    float pick_col = 0.0f;
    double drag_x = 0;
    double drag_y = 0;
    int viewport[4] = {};
    double modelview[16] = {};
    double projection[16] = {};
    float zoom = 1.0f;
    pedaform::MaterialBlock material;

    // The top-view command: both angles back to 90; zoom stays.
    void top_view();

  private:
    void model_transform() const;
    std::unique_ptr<pedaform::MeshArrays> mesh_;
    unsigned stream_buffer_ = 0;
};

// The height text: "%0.2f" in colour (r, g, b) one pixel right of and below (x, y).
void draw_value_text(float value, int x, int y, float r, float g, float b);

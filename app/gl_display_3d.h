// The 3D relief view: the designed insole (the results' insole_relief: the relief on the foot,
// the fitted outline around it) as a lit surface that turns with a right drag and zooms
// with the wheel, keys that turn it to the top, medial, lateral and heel views, and the height
// under the pointer (red marker, two profile lines, the value as text). The surface lives in a
// buffer object, refilled only when the relief, its colours or the "Foot Pressure" button change;
// the frame timer draws a frame only when something it shows changed.
// Model coordinates: cell (row r, column c) is (x = r, y = relief / 5, z = c), translated by
// (-180, 0, -75) so that the grid centre is at the origin.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Gl_Window.H>

#include <cstdint>

#include "app/view_timer.h"
#include "gl/relief_view_gl.h"
#include "core/design_results.h"
#include "core/scan.h"

class GL_Display_3D : public Fl_Gl_Window, public TickedView {
  public:
    // At (367, 75), 297 x 452, in the current group; starts the frame timer.
    GL_Display_3D();
    ~GL_Display_3D() override;

    void draw() override;
    void flush() override;
    int handle(int event) override;
    bool frame_changed() const override;
    void request_frame() override { redraw(); }

    // What the view shows: the design's results and the "Foot Pressure" check button; the
    // surface only once the operator chose a scan (the image view's scan_chosen).
    const pedaform::DesignResults *results = nullptr;
    bool scan_chosen = false;
    Fl_Button *foot_pressure = nullptr;
    // The foot whose medial and lateral sides the side views look from (nullptr: a left foot).
    const pedaform::Scan *scan = nullptr;

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

    // The views the keys 1 to 4 give (also on the keypad, anywhere in the window): from above;
    // from the foot's medial side and from its lateral side, as one standing there sees it
    // (the toes to the right from a left foot's medial side); from behind the heel. The side
    // and heel views look down on the insole from kSideElevation degrees above its plane.
    // Zoom stays.
    enum class Side { kTop, kMedial, kLateral, kHeel };
    static constexpr float kSideElevation = 15.0f;
    void look_from(Side side);

    // The height readout of the cell the last frame picked, as shown: "6.40 mm" (the relief
    // in millimetres, two decimals); empty when the pointer was off the surface.
    const char *readout() const { return readout_; }

    // Calls of draw() so far, and refills of the surface buffer.
    int draws() const { return draws_; }
    int surface_fills() const { return surface_fills_; }

  private:
    // Everything a frame shows apart from the grids, compared byte for byte: no padding.
    struct Shown {
        float mouse_x, mouse_y;  // whole pixels, exact as floats
        float angle_x, angle_y, zoom;
        int32_t w, h, scan_loaded, pressure;
        int32_t surface_fills;  // a fill outside a shown frame is news too
        pedaform::MaterialBlock material;
    };
    static_assert(sizeof(Shown) == 10 * 4 + sizeof(pedaform::MaterialBlock),
                  "Shown must have no padding");
    // The surface a buffer holds, and whose results it was filled from.
    struct HeldSurface {
        uint8_t relief[pedaform::kGridCells];
        uint8_t colour[pedaform::kGridCells * 3];
        bool pressure = false;
        bool filled = false;
        const pedaform::DesignResults *from = nullptr;
    };
    // Two buffers, one a foot: the operator flips between a pair's feet without a refill. The
    // results a buffer was filled from keep it; other results take the one not drawn last.
    static constexpr int kHeldSurfaces = 2;

    Shown shown_now() const;
    bool pressure_on() const;
    int slot_for_results() const;
    bool surface_held() const;

    void model_transform() const;
    void set_up_projection();
    void draw_surface();
    void pick_under_pointer();
    void draw_pick_marker(int row, int col) const;
    void draw_value_under_pointer();
    bool view_key();

    Shown shown_ = {};
    char readout_[16] = {};
    HeldSurface held_[kHeldSurfaces] = {};
    pedaform::SurfaceBuffer surface_[kHeldSurfaces];
    int drawn_slot_ = 0;
    int draws_ = 0;
    int surface_fills_ = 0;
};

// Once at start-up, before the first frame: the C library keeps up to 128 MB of freed memory
// for reuse instead of handing it back at once. Mesa's software renderer (llvmpipe, as under
// Xvfb) frees the binned triangles of every 3D frame, about 24 MB; handed back, the next frame
// faults them in again, which costs about as much as drawing it.
void keep_freed_frame_memory();

// ASCII `text` in colour (r, g, b) one pixel right of and below (x, y).
void draw_value_text(const char *text, int x, int y, float r, float g, float b);

// How to turn and zoom the view and which keys give which view, in the operator's words.
extern const char *const kView3DHelp;
// The line under the view that says kView3DHelp: a box in the current group, as wide as the
// view, that moves down and widens with it when the window grows.
Fl_Box *add_view_help_line(const GL_Display_3D &view);

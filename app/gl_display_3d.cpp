#include "app/gl_display_3d.h"

#include <FL/Fl.H>
#include <FL/gl.h>
#include <FL/glut.H>
#include <GL/glu.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "relief/foot_axis.h"

using namespace pedaform;

void keep_freed_frame_memory() {
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
}

namespace {

// The model is drawn with the grid's centre at the origin, so that it turns about its middle.
constexpr float kCentreRow = kGridHeight / 2;    // 180
constexpr float kCentreColumn = kGridWidth / 2;  // 75

// The view keys, in the order of GL_Display_3D::Side.
constexpr char kViewKeys[] = "1234";

}  // namespace

const char *const kView3DHelp = "右鍵拖曳旋轉  滾輪縮放  1 上  2 內側  3 外側  4 後跟";

Fl_Box *add_view_help_line(const GL_Display_3D &view) {
    auto *line = new Fl_Box(view.x(), view.y() + view.h() + 1, view.w(), 14, kView3DHelp);
    line->labelsize(12);
    line->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_CLIP);
    return line;
}

GL_Display_3D::GL_Display_3D() : Fl_Gl_Window(367, 75, 297, 452) {
    start_frame_timer(this);
}

GL_Display_3D::~GL_Display_3D() {
    stop_frame_timer(this);
}

void GL_Display_3D::top_view() {
    angle_y = 90.0f;
    angle_x = 90.0f;
}

// The model turns by angle_x about the screen's x axis after angle_y about the height axis:
// at angle_y 0 the camera looks from the high columns, at 180 from the low ones, at 90 from
// the low rows (the heel end); angle_x 90 looks straight down.
void GL_Display_3D::look_from(Side side) {
    if (side == Side::kTop) return top_view();
    angle_x = kSideElevation;
    if (side == Side::kHeel) {
        angle_y = 90.0f;
        return;
    }
    const int medial = scan != nullptr ? medial_column_direction(*scan) : 1;
    const int toward = side == Side::kMedial ? medial : -medial;
    angle_y = toward > 0 ? 0.0f : 180.0f;
}

bool GL_Display_3D::pressure_on() const {
    return foot_pressure != nullptr && foot_pressure->value() == 1;
}

GL_Display_3D::Shown GL_Display_3D::shown_now() const {
    Shown s;
    s.mouse_x = static_cast<float>(mouse_x);
    s.mouse_y = static_cast<float>(mouse_y);
    s.angle_x = angle_x;
    s.angle_y = angle_y;
    s.zoom = zoom;
    s.w = w();
    s.h = h();
    s.scan_loaded = results != nullptr && scan_chosen ? 1 : 0;
    s.pressure = pressure_on() ? 1 : 0;
    s.surface_fills = surface_fills_;
    s.material = material;
    return s;
}

int GL_Display_3D::slot_for_results() const {
    for (int i = 0; i < kHeldSurfaces; ++i)
        if (held_[i].from == results) return i;
    return (drawn_slot_ + 1) % kHeldSurfaces;
}

bool GL_Display_3D::surface_held() const {
    const bool pressure = pressure_on();
    const HeldSurface &held = held_[slot_for_results()];
    if (!held.filled || held.from != results || held.pressure != pressure) return false;
    if (std::memcmp(held.relief, results->insole_relief, sizeof held.relief) != 0) return false;
    return !pressure || std::memcmp(held.colour, results->colour_grid, sizeof held.colour) == 0;
}

bool GL_Display_3D::frame_changed() const {
    const Shown now = shown_now();
    if (std::memcmp(&now, &shown_, sizeof now) != 0) return true;
    return now.scan_loaded == 1 && (slot_for_results() != drawn_slot_ || !surface_held());
}

void GL_Display_3D::flush() {
    Fl_Gl_Window::flush();
    shown_ = shown_now();
}

void GL_Display_3D::model_transform() const {
    glScalef(zoom, zoom, zoom);
    glRotatef(angle_x, 1, 0, 0);
    glRotatef(angle_y, 0, 1, 0);
}

void draw_value_text(const char *text, int x, int y, float r, float g, float b) {
    glColor3f(r, g, b);
    glRasterPos2i(x + 1, y - 1);
    for (const char *p = text; *p != '\0'; ++p)
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, *p);
    glColor3f(1, 1, 1);
}

void GL_Display_3D::set_up_projection() {
    const int ww = w(), hh = h();
    glClearColor(0, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, ww, hh);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-ww / 2.0f, ww / 2.0f, -hh / 2.0f, hh / 2.0f, -200 * hh, 200 * hh);
    gluLookAt(0, 0, 5, 0, 0, 0, 0, 1, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearIndex(0);
    glClearDepth(1.0);
}

// The lit surface from the buffer, refilled first when the relief, its colours or the switch
// changed since the last fill.
void GL_Display_3D::draw_surface() {
    const bool pressure = pressure_on();
    const int slot = slot_for_results();
    if (!surface_held()) {
        HeldSurface &held = held_[slot];
        surface_[slot].fill(*results, pressure);
        std::memcpy(held.relief, results->insole_relief, sizeof held.relief);
        if (pressure) std::memcpy(held.colour, results->colour_grid, sizeof held.colour);
        held.pressure = pressure;
        held.filled = true;
        held.from = results;
        ++surface_fills_;
    }
    drawn_slot_ = slot;
    glPushMatrix();
    glLoadIdentity();
    light_setup(material);
    model_transform();
    glTranslatef(-kCentreRow, 0, -kCentreColumn);
    surface_[slot].draw();
    glDisable(GL_LIGHTING);
    glPopMatrix();
}

// The depth under the pointer, unprojected to the grid: pick_row, pick_col (cells).
void GL_Display_3D::pick_under_pointer() {
    glReadPixels(static_cast<int>(mouse_x), static_cast<int>(mouse_y), 1, 1, GL_DEPTH_COMPONENT,
                 GL_FLOAT, &pick_depth);
    gluUnProject(mouse_x, mouse_y, pick_depth, modelview, projection, viewport, &pick_object[0],
                 &pick_object[1], &pick_object[2]);
    pick_row = static_cast<float>(pick_object[0] + kCentreRow);
    pick_col = static_cast<float>(pick_object[2] + kCentreColumn);
}

// The red marker on the picked cell and the profiles across and along the foot through it.
void GL_Display_3D::draw_pick_marker(int row, int col) const {
    const uint8_t *relief = results->insole_relief;
    glColor3f(1, 0, 0);
    glPointSize(3);
    glPushMatrix();
    glLoadIdentity();
    model_transform();
    glTranslatef(-kCentreRow, 0.2f, -kCentreColumn);
    glBegin(GL_POINTS);
    glVertex3f(pick_row, pick_height, pick_col);
    glEnd();
    glPopMatrix();
    glColor3f(1, 1, 1);
    glPointSize(1);
    glColor3f(1, 0, 0);

    glPushMatrix();
    glLoadIdentity();
    model_transform();
    glTranslatef(-kCentreRow, 0.2f, -kCentreColumn);
    glBegin(GL_LINE_STRIP);
    for (int c = 0; c < kGridWidth; ++c)
        glVertex3f(pick_row,
                   static_cast<float>(relief[row * kGridWidth + c] * kMmPerGreyLevel + 0.6),
                   static_cast<float>(c));
    glEnd();
    glBegin(GL_LINE_STRIP);
    for (int r = 0; r < kGridHeight; ++r)
        glVertex3f(static_cast<float>(r),
                   static_cast<float>(relief[r * kGridWidth + col] * kMmPerGreyLevel + 0.6),
                   pick_col);
    glEnd();
    glPopMatrix();
    glColor3f(1, 1, 1);
}

void GL_Display_3D::draw_value_under_pointer() {
    std::snprintf(readout_, sizeof readout_, "%.2f mm", static_cast<double>(pick_height));
    overlay_begin(w(), h());
    draw_value_text(readout_, static_cast<int>(mouse_x), static_cast<int>(mouse_y), 1, 0, 0);
    overlay_end();
}

void GL_Display_3D::draw() {
    ++draws_;
    readout_[0] = '\0';
    if (!context_valid()) {  // a new context holds no buffer of ours yet
        for (int i = 0; i < kHeldSurfaces; ++i) {
            surface_[i].forget();
            held_[i] = {};
        }
    }
    if (!valid()) set_up_projection();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_background(w(), h());

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    model_transform();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);

    if (results == nullptr || !scan_chosen) return;
    draw_surface();
    pick_under_pointer();
    if (!(pick_row >= 0 && pick_row < kGridHeight && pick_col >= 0 && pick_col < kGridWidth))
        return;
    const int row = static_cast<int>(pick_row), col = static_cast<int>(pick_col);
    pick_height =
        static_cast<float>(results->insole_relief[row * kGridWidth + col] * kMmPerGreyLevel);
    draw_pick_marker(row, col);
    draw_value_under_pointer();
    console_printf("pos: [ %f ] %f %f %f\n", pick_depth, pick_col, pick_height, pick_row);
}

// A view key without Ctrl, Alt or Meta, on the main keys or the keypad: turns the view.
bool GL_Display_3D::view_key() {
    if (Fl::event_state(FL_CTRL | FL_ALT | FL_META)) return false;
    int key = Fl::event_key();
    if (key >= FL_KP && key <= FL_KP_Last) key -= FL_KP;
    const char *at = key > 0 && key < 128 ? std::strchr(kViewKeys, key) : nullptr;
    if (at == nullptr) return false;
    look_from(static_cast<Side>(at - kViewKeys));
    return true;
}

int GL_Display_3D::handle(int event) {
    switch (event) {
        case FL_PUSH:
            print_mouse_click(Fl::event_button());
            drag_x = Fl::event_x();
            drag_y = Fl::event_y();
            return 1;
        case FL_DRAG: {
            const int ex = Fl::event_x(), ey = Fl::event_y();
            if (Fl::event_button() == 3) {
                if (ex != drag_x) angle_y += static_cast<float>(ex - drag_x);
                if (ey != drag_y) angle_x += static_cast<float>(ey - drag_y);
            }
            drag_x = ex;
            drag_y = ey;
            return 1;
        }
        case FL_MOVE:
            mouse_x = Fl::event_x();
            mouse_y = h() - Fl::event_y() - 1;
            return 1;
        case FL_MOUSEWHEEL:
            zoom = static_cast<float>(zoom + Fl::event_dy() / 10.0);
            if (zoom <= 0) zoom = 0.1f;
            console_printf("mouse wheel %d \n", Fl::event_dy());
            return 1;
        case FL_KEYBOARD:
        case FL_SHORTCUT:
            return view_key() ? 1 : Fl_Gl_Window::handle(event);
        default:
            return Fl_Gl_Window::handle(event);
    }
}

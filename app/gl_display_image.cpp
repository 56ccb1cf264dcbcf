#include "app/gl_display_image.h"

#include <FL/Fl.H>
#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/console.h"

using namespace pedaform;

GL_Display_Image::GL_Display_Image() : Fl_Gl_Window(40, 161, kGridWidth, kGridHeight) {
    start_frame_timer(this);
}

GL_Display_Image::~GL_Display_Image() {
    stop_frame_timer(this);
}

GL_Display_Image::Shown GL_Display_Image::shown_now() const {
    Shown s{};
    s.w = w();
    s.h = h();
    s.scan_loaded = scan_chosen ? 1 : 0;
    s.outline_count = static_cast<int32_t>(outline.size());
    if (design == nullptr) return s;
    std::memcpy(s.landmarks, design->scan().landmarks, sizeof s.landmarks);
    s.meta_column = design->results().meta_column;
    s.meta_row = design->results().meta_row;
    s.meta_point_found = design->results().meta_point_found;
    s.stamp = design->controls()[Control::kStamp] != 0 ? 1 : 0;
    const GridPoint apex = design->dome_apex();
    s.apex_column = apex.column;
    s.apex_row = apex.row;
    return s;
}

bool GL_Display_Image::frame_changed() const {
    const Shown now = shown_now();
    if (std::memcmp(&now, &shown_, sizeof now) != 0) return true;
    if (!outline.empty() && std::memcmp(outline.data(), shown_outline_.data(),
                                        outline.size() * sizeof(OutlinePoint)) != 0)
        return true;
    return scan_chosen && design != nullptr &&
           (std::memcmp(picture(), shown_preview_, sizeof shown_preview_) != 0 ||
            std::memcmp(design->results().insole_grid, shown_insole_, sizeof shown_insole_) != 0);
}

void GL_Display_Image::flush() {
    Fl_Gl_Window::flush();
    // What the frame showed.
    shown_ = shown_now();
    shown_outline_.assign(outline.begin(), outline.end());
    if (design == nullptr) return;
    std::memcpy(shown_preview_, picture(), sizeof shown_preview_);
    std::memcpy(shown_insole_, design->results().insole_grid, sizeof shown_insole_);
}

void GL_Display_Image::projection_setup() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0.5f, 0.5f, 1);
    glViewport(0, 0, w(), h());
    glOrtho(0, w(), 0, h(), 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The texture the preview is drawn from, sampled linearly.
void GL_Display_Image::make_texture() {
    GLuint name = 0;
    glGenTextures(1, &name);
    texture_id_ = name;
    glBindTexture(GL_TEXTURE_2D, texture_id_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, nullptr);
}

void GL_Display_Image::draw() {
    ++draws_;
    if (!valid()) {
        projection_setup();
        // A window shown again has a new context, without the texture.
        if (texture_id_ == 0 || !context_valid()) make_texture();
    }

    glColor3f(1, 1, 1);
    projection_setup();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_id_);

    const int ww = w(), hh = h();
    if (scan_chosen && design != nullptr) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kGridWidth, kGridHeight, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, picture());
        glBegin(GL_QUADS);
        glTexCoord2f(1, 1);
        glVertex2i(ww, hh);
        glTexCoord2f(0, 1);
        glVertex2i(0, hh);
        glTexCoord2f(0, 0);
        glVertex2i(0, 0);
        glTexCoord2f(1, 0);
        glVertex2i(ww, 0);
        glEnd();
    } else {
        glDisable(GL_TEXTURE_2D);
        glColor3f(0, 0, 0);
        glBegin(GL_QUADS);
        glVertex2i(ww, hh);
        glVertex2i(0, hh);
        glVertex2i(0, 0);
        glVertex2i(ww, 0);
        glEnd();
        glColor3f(1, 1, 1);
    }
    glDisable(GL_TEXTURE_2D);

    if (scan_chosen && design != nullptr) draw_insole_border();
    if (design != nullptr) draw_landmarks_and_point();

    glPointSize(1);
    glColor3f(1, 0, 0);
    glBegin(GL_POINTS);
    for (const OutlinePoint &p : outline)
        glVertex2i(static_cast<int>(p.x), static_cast<int>(p.y));
    glEnd();
    glColor3f(1, 1, 1);
}

void GL_Display_Image::draw_insole_border() {
    const uint8_t *insole = design->results().insole_grid;
    glPointSize(1);
    glColor3fv(kInsoleBorder);
    glBegin(GL_POINTS);
    for (int y = 1; y + 1 < kGridHeight; ++y)
        for (int x = 1; x + 1 < kGridWidth; ++x) {
            const int i = y * kGridWidth + x;
            if (insole[i] && !(insole[i - 1] && insole[i + 1] && insole[i - kGridWidth] &&
                               insole[i + kGridWidth]))
                glVertex2f(x * w() / kGridWidth + 0.5f, y * h() / kGridHeight + 0.5f);
        }
    glEnd();
    glColor3f(1, 1, 1);
}

// The landmarks, the midpoint of the metatarsal line, and the metatarsal point.
void GL_Display_Image::draw_landmarks_and_point() {
    const Landmark(&landmarks)[5] = design->scan().landmarks;
    glPointSize(5);
    glColor3f(1, 1, 1);
    glBegin(GL_POINTS);
    for (const Landmark &p : landmarks)
        glVertex2i(static_cast<int>(p.column), static_cast<int>(p.row));
    glVertex2i(static_cast<int>((landmarks[0].column + landmarks[1].column) * 0.5f),
               static_cast<int>((landmarks[0].row + landmarks[1].row) * 0.5f));
    glEnd();

    draw_meta_point();
}

// The metatarsal point as a cross; with the stamped pad on, the pad's footprint and the cross
// on the dome's apex, which is what the operator places.
void GL_Display_Image::draw_meta_point() {
    const DesignResults &r = design->results();
    if (!r.meta_point_found) return;
    if (design->controls()[Control::kStamp] == 0) return draw_cross(r.meta_column, r.meta_row);
    draw_pad_footprint();
    const GridPoint apex = design->dome_apex();
    draw_cross(apex.column, apex.row);
}

// The stamp's edge: its raised cells that touch a cell it leaves flat, in yellow.
void GL_Display_Image::draw_pad_footprint() {
    const DesignResults &r = design->results();
    const Controls &c = design->controls();
    const double width = c[Control::kPadWidth], length = c[Control::kPadLength];
    const std::optional<StampSize> size = stamp_size(width, length);
    if (!size) return;
    const GridPoint origin = stamp_origin({r.meta_column, r.meta_row}, width, length);
    const int columns = size->columns, rows = size->rows;
    const int stride = r.pad_stamp_stride;
    auto raised = [&](int i, int j) {
        const long at = static_cast<long>(j) * stride + i;
        return i >= 0 && j >= 0 && i < columns && j < rows && at < kPadStampBytes &&
               r.pad_stamp[at] != 0;
    };
    glPointSize(1);
    glColor3f(1, 1, 0);
    glBegin(GL_POINTS);
    for (int j = 0; j < rows && stride > 0; ++j)
        for (int i = 0; i < columns; ++i)
            if (raised(i, j) &&
                !(raised(i - 1, j) && raised(i + 1, j) && raised(i, j - 1) && raised(i, j + 1)))
                glVertex2f((origin.column + i) * w() / kGridWidth + 0.5f,
                           (origin.row + j) * h() / kGridHeight + 0.5f);
    glEnd();
    glColor3f(1, 1, 1);
}

// A cross on a cell, black under green, unlike the white landmark dots.
void GL_Display_Image::draw_cross(float column, float row) {
    const float x = column * w() / kGridWidth + 0.5f;
    const float y = row * h() / kGridHeight + 0.5f;
    for (int pass = 0; pass < 2; ++pass) {
        glLineWidth(pass == 0 ? 3.0f : 1.0f);
        if (pass == 0)
            glColor3f(0, 0, 0);
        else
            glColor3f(0.2f, 1, 0.2f);
        glBegin(GL_LINES);
        glVertex2f(x - 5, y);
        glVertex2f(x + 6, y);
        glVertex2f(x, y - 5);
        glVertex2f(x, y + 6);
        glEnd();
    }
    glLineWidth(1);
    glColor3f(1, 1, 1);
}

// The cell under the pointer, clamped to the grid.
void GL_Display_Image::point_from_event() {
    if (point_moved == nullptr) return;
    int column = Fl::event_x() * kGridWidth / (w() > 0 ? w() : 1);
    int row = (h() - 1 - Fl::event_y()) * kGridHeight / (h() > 0 ? h() : 1);
    column = column < 0 ? 0 : (column >= kGridWidth ? kGridWidth - 1 : column);
    row = row < 0 ? 0 : (row >= kGridHeight ? kGridHeight - 1 : row);
    point_moved(static_cast<float>(column), static_cast<float>(row));
}

int GL_Display_Image::handle(int event) {
    switch (event) {
        case FL_PUSH:
            print_mouse_click(Fl::event_button());
            if (Fl::event_button() == FL_LEFT_MOUSE) {
                Fl::focus(this);
                if (point_gesture != nullptr) point_gesture(true);
                point_from_event();
            }
            return 1;
        case FL_RELEASE:
            if (Fl::event_button() == FL_LEFT_MOUSE && point_gesture != nullptr)
                point_gesture(false);
            return 1;
        case FL_DRAG:
            console_printf("mouse position [ %d, %d ] \n", Fl::event_x(), Fl::event_y());
            if (Fl::event_state(FL_BUTTON1)) point_from_event();
            return 1;
        case FL_FOCUS:
        case FL_UNFOCUS:
            return 1;
        case FL_KEYBOARD: {
            const int key = Fl::event_key();
            const int dx = key == FL_Left ? -1 : (key == FL_Right ? 1 : 0);
            const int dy = key == FL_Down ? -1 : (key == FL_Up ? 1 : 0);
            if ((dx == 0 && dy == 0) || point_moved == nullptr || design == nullptr) return 0;
            const GridPoint at = design->hand_position();
            const float column = std::clamp(std::floor(at.column) + dx, 0.0f, kGridWidth - 1.0f);
            const float row = std::clamp(std::floor(at.row) + dy, 0.0f, kGridHeight - 1.0f);
            point_moved(column, row);
            return 1;
        }
        case FL_MOVE:
            return 1;
        case FL_MOUSEWHEEL:
            console_printf("mouse wheel %d \n", Fl::event_dy());
            return 1;
        default:
            return Fl_Gl_Window::handle(event);
    }
}

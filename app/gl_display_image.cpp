#include "app/gl_display_image.h"

#include <FL/Fl.H>
#include <FL/gl.h>

#include <cstring>

#include "relief/composition.h"
#include "workspace/console.h"
#include "gl/pad_stamp_gl.h"
#include "io/resources.h"

using namespace pedaform;

GL_Display_Image::GL_Display_Image(const std::string &data_dir)
    : Fl_Gl_Window(40, 161, kGridWidth, kGridHeight) {
    load_startup_resources(*this, data_dir);
    start_frame_timer(this);
}

GL_Display_Image::~GL_Display_Image() {
    stop_frame_timer(this);
    outline_corners.clear();
    outline_points.clear();
}

GL_Display_Image::Shown GL_Display_Image::shown_now() const {
    Shown s;
    s.w = w();
    s.h = h();
    s.scan_loaded = scan_loaded;
    s.stamp_dirty = pad_stamp_dirty;
    std::memcpy(s.landmarks, landmarks, sizeof s.landmarks);
    s.outline_count = static_cast<int32_t>(outline_points.size());
    return s;
}

bool GL_Display_Image::frame_changed() const {
    const Shown now = shown_now();
    if (std::memcmp(&now, &shown_, sizeof now) != 0) return true;
    if (!outline_points.empty() && std::memcmp(outline_points.data(), shown_outline_.data(),
                                               outline_points.size() * sizeof(OutlinePoint)) != 0)
        return true;
    return scan_loaded == 1 &&
           std::memcmp(relief_preview, shown_preview_, sizeof shown_preview_) != 0;
}

void GL_Display_Image::flush() {
    Fl_Gl_Window::flush();
    // What the frame showed, after the stamp it may have rendered.
    shown_ = shown_now();
    shown_outline_.assign(outline_points.begin(), outline_points.end());
    std::memcpy(shown_preview_, relief_preview, sizeof shown_preview_);
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

void GL_Display_Image::draw() {
    ++draws_;
    if (!valid()) {
        projection_setup();
        if (texture_pending == 1) {
            GLuint name = 0;
            glGenTextures(1, &name);
            texture_id = name;
            glBindTexture(GL_TEXTURE_2D, texture_id);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                         nullptr);
            texture_pending = 0;
        }
    }

    glColor3f(1, 1, 1);
    projection_setup();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_id);

    // The stamp, once per frame however many requests came since the last one.
    if (pad_stamp_dirty == 1 && stamp_controls.width != nullptr) {
        const double width = stamp_controls.width->value();
        const double length = stamp_controls.length->value();
        render_pad_stamp(*this, width, length, stamp_controls.height->value(), texture_id);
        ++stamp_renders_;
        StampControls stamp;
        stamp.enabled = stamp_controls.enabled->value() == 1;
        stamp.width = width;
        stamp.length = length;
        compose_relief(*this, stamp);
        pad_stamp_dirty = 0;
    }

    const int ww = w(), hh = h();
    if (scan_loaded == 1) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kGridWidth, kGridHeight, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, relief_preview);
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

    // Landmarks and the midpoint of the metatarsal line.
    glPointSize(5);
    glColor3f(1, 1, 1);
    glBegin(GL_POINTS);
    for (const Landmark &p : landmarks)
        glVertex2i(static_cast<int>(p.column), static_cast<int>(p.row));
    glVertex2i(static_cast<int>((landmarks[0].column + landmarks[1].column) * 0.5f),
               static_cast<int>((landmarks[0].row + landmarks[1].row) * 0.5f));
    glEnd();

    glPointSize(1);
    glColor3f(1, 0, 0);
    glBegin(GL_POINTS);
    for (const OutlinePoint &p : outline_points)
        glVertex2i(static_cast<int>(p.x), static_cast<int>(p.y));
    glEnd();
    glColor3f(1, 1, 1);
}

int GL_Display_Image::handle(int event) {
    switch (event) {
        case FL_PUSH:
            print_mouse_click(Fl::event_button());
            return 1;
        case FL_DRAG:
            console_printf("mouse position [ %d, %d ] \n", Fl::event_x(), Fl::event_y());
            return 1;
        case FL_MOVE:
            return 1;
        case FL_MOUSEWHEEL:
            console_printf("mouse wheel %d \n", Fl::event_dy());
            return 1;
        default:
            return Fl_Gl_Window::handle(event);
    }
}

// The GUI with a real window and real OpenGL (under Xvfb when there is no display): the main
// window's controls and menus, both views' frames, the stamp rendering, mouse control, the
// actions, label fonts, and screenshots saved in the build tree.
// gtest first: X11's headers define None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/gl.h>
#include <FL/x.H>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "app/actions.h"
#include "app/label_font.h"
#include "analysis/size_bin.h"
#include "app/main_window.h"
#include "app/window_close.h"
#include "design/controls.h"
#include "model3d/mesh_arrays.h"
#include "relief/composition.h"
#include "tests/test_support.h"
#include "workspace/console.h"
#include "io/picture_io.h"

using namespace pedaform;

namespace {

Fl_Double_Window *g_window = nullptr;
std::string g_last_box_text, g_last_box_caption;

void record_box(const char *text, const char *caption) {
    g_last_box_text = text;
    g_last_box_caption = caption;
}

void pump(int rounds = 6) {
    for (int i = 0; i < rounds; ++i)
        Fl::wait(0.02);
}

// Draws one frame of a view now and reads its back buffer (before the swap).
template <typename View>
std::vector<uint8_t> frame_pixels(View *view) {
    view->make_current();
    view->draw();
    glFinish();
    std::vector<uint8_t> px(static_cast<size_t>(view->w()) * view->h() * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, view->w(), view->h(), GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Pixel (x, y) in GL coordinates (origin bottom-left).
const uint8_t *at(const std::vector<uint8_t> &px, int w, int x, int y) {
    return &px[(y * w + x) * 3];
}

bool is(const uint8_t *p, int r, int g, int b) {
    return p[0] == r && p[1] == g && p[2] == b;
}

// A screenshot of the main window from the X server, as PNG in the build tree.
void screenshot(const char *name) {
    mkdir(PEDAFORM_SHOTS_DIR, 0755);
    pump(10);
    XImage *image = XGetImage(fl_display, fl_xid(g_window), 0, 0, g_window->w(), g_window->h(),
                              AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    std::vector<unsigned char> rgb(static_cast<size_t>(g_window->w()) * g_window->h() * 3);
    for (int y = 0; y < g_window->h(); ++y)
        for (int x = 0; x < g_window->w(); ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            unsigned char *d = &rgb[(static_cast<size_t>(y) * g_window->w() + x) * 3];
            d[0] = (p >> 16) & 0xFF;
            d[1] = (p >> 8) & 0xFF;
            d[2] = p & 0xFF;
        }
    XDestroyImage(image);
    const Result written = write_png_rgb(std::string(PEDAFORM_SHOTS_DIR) + "/" + name,
                                         g_window->w(), g_window->h(), rgb.data());
    EXPECT_TRUE(written) << written.message();
}

// The reference for the 3D view's surface: plain immediate mode, one call per vertex.
void immediate_surface(const Workspace &ws, bool pressure_colours) {
    const uint8_t *relief = ws.relief_grid;
    glEnable(GL_NORMALIZE);
    glColor4f(kSurfaceColour[0], kSurfaceColour[1], kSurfaceColour[2], 1.0f);
    glBegin(GL_TRIANGLES);
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!mesh_cell_drawn(relief, r, c)) continue;
            const uint8_t *rgb = &ws.colour_grid[3 * (r * kGridWidth + c)];
            if (pressure_colours) glColor3f(rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f);
            const CellQuad q = cell_quad(relief, r, c);
            glNormal3fv(q.n1);
            glVertex3fv(q.p[0]);
            glVertex3fv(q.p[1]);
            glVertex3fv(q.p[2]);
            glNormal3fv(q.n2);
            glVertex3fv(q.p[2]);
            glVertex3fv(q.p[3]);
            glVertex3fv(q.p[0]);
        }
    glEnd();
    glDisable(GL_NORMALIZE);
}

// The 3D view's frame without a pick, its surface drawn by immediate_surface; run right after a
// frame of the view, whose projection it keeps.
std::vector<uint8_t> immediate_frame(bool pressure_colours) {
    GL_Display_3D *v = g_view3d;
    v->make_current();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_background(v->w(), v->h());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    light_setup(v->material);
    glScalef(v->zoom, v->zoom, v->zoom);
    glRotatef(v->angle_x, 1, 0, 0);
    glRotatef(v->angle_y, 0, 1, 0);
    glTranslatef(-180, 0, -75);
    immediate_surface(*g_workspace, pressure_colours);
    glDisable(GL_LIGHTING);
    glFinish();
    std::vector<uint8_t> px(static_cast<size_t>(v->w()) * v->h() * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, v->w(), v->h(), GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

void set_event(int x, int y, int button = 0, int dy = 0) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_dy = dy;
    Fl::e_keysym = FL_Button + button;
}

std::string sample(const char *name) {
    return std::string("samples/") + name;
}

}  // namespace

TEST(MainWindow, WindowViewsAndControls) {
    EXPECT_STREQ(g_window->label(), "Pedaform");
    EXPECT_EQ(g_window->w(), 917);
    EXPECT_EQ(g_window->h(), 732);
    EXPECT_EQ(g_view3d->x(), 367);
    EXPECT_EQ(g_view3d->y(), 75);
    EXPECT_EQ(g_view3d->w(), 297);
    EXPECT_EQ(g_view3d->h(), 460);
    EXPECT_EQ(g_workspace->x(), 40);
    EXPECT_EQ(g_workspace->y(), 161);
    EXPECT_EQ(g_workspace->w(), 150);
    EXPECT_EQ(g_workspace->h(), 360);
    EXPECT_EQ(g_workspace->box(), FL_THIN_UP_BOX);
    EXPECT_EQ(g_view3d->align(), FL_ALIGN_TOP);

    struct Slider {
        Fl_Value_Slider *s;
        int x, y, w, h;
        const char *label;
        double min, max, step, value;
    };
    const Slider sliders[] = {
        {g_filter, 49, 581, 106, 20, "Filter", 0, 255, 1, 0},
        {g_gain, 49, 600, 106, 20, "Gain", 1, 10, 0.5, 3},
        {g_meta1, 247, 116, 114, 25, "蹠骨墊片", -10, 10, 1, 0},
        {g_meta2, 672, 118, 114, 25, "蹠骨墊片", -10, 10, 1, 0},
        {g_heel1, 242, 415, 114, 25, "後跟墊片", -10, 10, 1, 0},
        {g_heel2, 672, 414, 114, 25, "後跟墊片", -10, 10, 1, 0},
        {g_heel3, 456, 566, 114, 25, "後跟墊片", -10, 10, 1, 0},
        {g_pad_width, 745, 576, 105, 20, "蹠骨寬", 0, 100, 1, 7},
        {g_pad_length, 745, 595, 105, 20, "蹠骨長", 0, 240, 1, 17},
        {g_pad_height, 745, 615, 105, 20, "蹠骨墊高(mm)", 0, 9, 0.2, 5},
    };
    for (const Slider &s : sliders) {
        EXPECT_EQ(s.s->x(), s.x) << s.label;
        EXPECT_EQ(s.s->y(), s.y) << s.label;
        EXPECT_EQ(s.s->w(), s.w) << s.label;
        EXPECT_EQ(s.s->h(), s.h) << s.label;
        EXPECT_STREQ(s.s->label(), s.label);
        EXPECT_EQ(s.s->minimum(), s.min) << s.label;
        EXPECT_EQ(s.s->maximum(), s.max) << s.label;
        EXPECT_DOUBLE_EQ(s.s->step(), s.step) << s.label;
        EXPECT_EQ(s.s->value(), s.value) << s.label;
        EXPECT_EQ(s.s->type(), FL_HOR_SLIDER) << s.label;
        EXPECT_EQ(s.s->textsize(), 14) << s.label;
    }
    for (Fl_Value_Slider *pad : {g_meta1, g_meta2, g_heel1, g_heel2, g_heel3}) {
        EXPECT_EQ(pad->color(), 25u);
        EXPECT_EQ(pad->labelfont(), FL_HELVETICA_BOLD);
        EXPECT_EQ(pad->labelsize(), 20);
        EXPECT_EQ(pad->labelcolor(), 1u);
        EXPECT_EQ(pad->align(), FL_ALIGN_TOP_LEFT);
    }
    EXPECT_EQ(g_filter->align(), FL_ALIGN_LEFT);

    EXPECT_STREQ(g_foot_pressure->label(), "Foot Pressure");
    EXPECT_EQ(g_foot_pressure->x(), 35);
    EXPECT_EQ(g_foot_pressure->y(), 558);
    EXPECT_EQ(g_foot_pressure->value(), 0);
    EXPECT_STREQ(g_pad_check->label(), "蹠骨垫片");
    EXPECT_EQ(g_pad_check->x(), 745);
    EXPECT_EQ(g_pad_check->y(), 548);
    EXPECT_EQ(g_pad_check->w(), 90);
    EXPECT_EQ(g_pad_check->labelsize(), 16);
    EXPECT_EQ(g_pad_check->labelcolor(), 1u);
    EXPECT_EQ(g_pad_check->value(), 0);
    EXPECT_STREQ(g_size_output->label(), "尺碼");
    EXPECT_EQ(g_size_output->x(), 230);
    EXPECT_EQ(g_size_output->w(), 60);
    EXPECT_EQ(g_size_output->box(), FL_THIN_DOWN_BOX);

    EXPECT_EQ(g_menu->x(), 0);
    EXPECT_EQ(g_menu->w(), 996);
    EXPECT_EQ(g_menu->h(), 40);
    EXPECT_EQ(g_menu->color(), 41u);
    EXPECT_STREQ(g_menu->label(), "menu");
}

TEST(MainWindow, Menus) {
    // "檔案" keeps its entries in their order, the hidden 3D-print one included, then the
    // design files; "編輯" follows "上視角"; "尺碼" lists every size label in table order.
    std::vector<std::string> labels;
    const Fl_Menu_Item *items = g_menu->menu();
    for (int i = 0; i < g_menu->size() - 1; ++i)
        labels.push_back(items[i].label() == nullptr ? "|"
                                                     : std::string(items[i].label()) +
                                                           (items[i].visible() ? "" : "(hidden)"));
    std::vector<std::string> expected = {"檔案",
                                         "讀檔",
                                         "輸出雕刻用鞋墊",
                                         "輸出3D列印用鞋墊(hidden)",
                                         "開啟設計…",
                                         "儲存設計…",
                                         "輸出3D列印鞋墊…",
                                         "|",
                                         "上視角",
                                         "編輯",
                                         "復原",
                                         "重做",
                                         "重設蹠骨點",
                                         "|",
                                         "尺碼"};
    for (int i = 0; i < kSizeLabelCount; ++i)
        expected.push_back(size_label(i));
    expected.push_back("|");
    EXPECT_EQ(labels, expected);
    EXPECT_STREQ(g_menu_lower_items[0].label(), "Smooth");
    EXPECT_EQ(g_menu->find_item("編輯/復原")->shortcut(), FL_CTRL + 'z');
    EXPECT_EQ(g_menu->find_item("編輯/重做")->shortcut(), FL_CTRL + 'y');
}

TEST(MainWindow, LabelsHaveAFontThatCoversThem) {
    const std::string family = find_label_font();
    ASSERT_FALSE(family.empty());
    EXPECT_TRUE(font_covers(family, "\xE8\xB9\xA0\xE5\xA2\x8A"));  // U+8E60 U+588A
    EXPECT_TRUE(font_covers(family, kLabelText));
    EXPECT_NE(std::string(Fl::get_font(FL_HELVETICA)).find(family), std::string::npos);
}

TEST(ImageView, BlackWithWhiteLandmarksBeforeAScan) {
    ASSERT_EQ(g_workspace->scan_loaded, 0);
    const std::vector<uint8_t> px = frame_pixels(g_workspace);
    EXPECT_TRUE(is(at(px, 150, 5, 300), 0, 0, 0));
    // Landmark 3 (42, 90) and the midpoint of landmarks 0 and 1, (84, 189).
    EXPECT_TRUE(is(at(px, 150, 90, 42), 255, 255, 255));
    EXPECT_TRUE(is(at(px, 150, 84, 189), 255, 255, 255));
    EXPECT_TRUE(is(at(px, 150, 38, 189), 255, 255, 255));
}

TEST(ImageView, MouseEventsOnlyPrint) {
    const std::vector<uint8_t> relief(g_workspace->relief_grid,
                                      g_workspace->relief_grid + kGridCells);
    std::string log = test::capture_console([&] {
        set_event(10, 20, 1);
        EXPECT_EQ(g_workspace->handle(FL_PUSH), 1);
        set_event(11, 22, 3);
        EXPECT_EQ(g_workspace->handle(FL_PUSH), 1);
        EXPECT_EQ(g_workspace->handle(FL_DRAG), 1);
        EXPECT_EQ(g_workspace->handle(FL_MOVE), 1);
        set_event(11, 22, 0, 3);
        EXPECT_EQ(g_workspace->handle(FL_MOUSEWHEEL), 1);
        // Dropped files are not accepted.
        EXPECT_EQ(g_workspace->handle(FL_DND_ENTER), 0);
    });
    EXPECT_EQ(
        log, "left mouse click \nright mouse click \nmouse position [ 11, 22 ] \nmouse wheel 3 \n");
    EXPECT_EQ(relief, std::vector<uint8_t>(g_workspace->relief_grid,
                                           g_workspace->relief_grid + kGridCells));
}

TEST(View3D, OnlyTheGradientBeforeAScan) {
    std::string log;
    std::vector<uint8_t> px;
    log = test::capture_console([&] { px = frame_pixels(g_view3d); });
    EXPECT_EQ(log.find("pos:"), std::string::npos);
    const int w = g_view3d->w();
    EXPECT_GT(at(px, w, 100, 5)[0], at(px, w, 100, g_view3d->h() - 5)[0]);
    EXPECT_EQ(at(px, w, 5, 200)[0], at(px, w, 290, 200)[0]);
}

TEST(Actions, RefusedScanShowsTheMessageBoxAndChangesNothing) {
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/bad.bmp", {'x'});
    g_last_box_text.clear();
    const uint8_t loaded = g_workspace->scan_loaded;
    const Landmark before = g_workspace->landmarks[0];
    const std::vector<uint8_t> relief(g_workspace->relief_grid,
                                      g_workspace->relief_grid + kGridCells);
    g_workspace->scan_loaded = 0;
    test::capture_console([&] { load_scan_path((dir + "/bad.bmp").c_str()); });
    EXPECT_EQ(g_last_box_text, "格式錯誤");
    EXPECT_EQ(g_last_box_caption, "讀檔錯誤");
    EXPECT_EQ(g_workspace->scan_loaded, 1);
    EXPECT_EQ(g_workspace->landmarks[0].row, before.row);
    EXPECT_EQ(relief, std::vector<uint8_t>(g_workspace->relief_grid,
                                           g_workspace->relief_grid + kGridCells));
    // A chosen name of any length is handled without a fixed buffer.
    g_last_box_text.clear();
    const std::string long_name = dir + "/" + std::string(3000, 'n') + ".bmp";
    test::capture_console([&] { load_scan_path(long_name.c_str()); });
    EXPECT_EQ(g_last_box_text, "格式錯誤");
    g_workspace->scan_loaded = loaded;
}

TEST(Actions, LoadArrangesSlidersAndShowsThePreview) {
    g_meta1->value(4);
    test::capture_console([&] { load_scan_path(sample("right_253_4-5.bmp").c_str()); });
    EXPECT_EQ(g_workspace->template_mirrored, 1);
    EXPECT_LT(g_meta1->x(), g_meta2->x());  // mirrored: M1 left of M2
    EXPECT_EQ(g_meta1->value(), 0);
    EXPECT_STREQ(g_size_output->value(), "4-5");
    EXPECT_EQ(g_pad_width->value(), 51);
    EXPECT_EQ(g_pad_length->value(), 82);
    EXPECT_DOUBLE_EQ(g_pad_height->value(), 3.0);

    test::capture_console([&] { load_scan_path(sample("left_253_CM25-26.bmp").c_str()); });
    EXPECT_EQ(g_workspace->template_mirrored, 0);
    EXPECT_GT(g_meta1->x(), g_meta2->x());  // unmirrored: M1 right of M2
    EXPECT_EQ(g_meta1->x(), 672);
    EXPECT_EQ(g_heel1->x(), 672);
    EXPECT_EQ(g_heel3->x(), 456);
    EXPECT_STREQ(g_size_output->value(), "CM25-26");

    // The preview pixels are the colour table's entries.
    const std::vector<uint8_t> px = frame_pixels(g_workspace);
    int checked = 0;
    for (int y = 0; y < 360; y += 7)
        for (int x = 0; x < 150; x += 5) {
            const int i = y * 150 + x;
            if (g_workspace->base_grid[i] < 10) continue;
            // Skip the white landmark dots.
            bool dot = false;
            const Landmark *lm = g_workspace->landmarks;
            const Landmark mid{(lm[0].row + lm[1].row) * 0.5f,
                               (lm[0].column + lm[1].column) * 0.5f};
            const Landmark point{g_workspace->meta_row, g_workspace->meta_column};
            for (const Landmark &l : {lm[0], lm[1], lm[2], lm[3], lm[4], mid, point})
                dot = dot || (std::abs(x - static_cast<int>(l.column)) <= 6 &&
                              std::abs(y - static_cast<int>(l.row)) <= 6);
            if (dot) continue;
            const uint8_t *p = at(px, 150, x, y);
            const uint8_t *c = &g_workspace->relief_preview[4 * i];
            ASSERT_TRUE(is(p, c[0], c[1], c[2])) << x << " " << y;
            ++checked;
        }
    EXPECT_GT(checked, 200);
}

TEST(ImageView, EachStampIsRenderedOnceAndASmallViewRendersTheSame) {
    auto move = [](Fl_Valuator *slider, double v, Fl_Callback *cb) {
        slider->value(v);
        test::capture_console([&] { cb(slider, nullptr); });
    };
    g_pad_check->value(1);
    pad_check_cb(g_pad_check, nullptr);
    const int before = g_workspace->stamp_renders();
    move(g_pad_width, 40, pad_width_cb);
    move(g_pad_length, 90, pad_length_cb);
    move(g_pad_height, 6, pad_height_cb);
    EXPECT_EQ(g_workspace->stamp_renders(), before + 3);
    const std::vector<uint8_t> full(g_workspace->pad_stamp,
                                    g_workspace->pad_stamp + kPadStampBytes);
    EXPECT_GT(*std::max_element(full.begin(), full.end()), 20);
    // Back and forth over sizes already rendered: from the cache.
    move(g_pad_height, 5, pad_height_cb);
    move(g_pad_height, 6, pad_height_cb);
    EXPECT_EQ(g_workspace->stamp_renders(), before + 3);

    // A view smaller than the stamp renders the same stamp.
    g_workspace->resize(40, 161, 100, 100);
    pump();
    std::memset(g_workspace->pad_stamp, 0, kPadStampBytes);
    ASSERT_TRUE(g_workspace->render(*g_workspace, 40, 90, 6));
    EXPECT_EQ(full, std::vector<uint8_t>(g_workspace->pad_stamp,
                                         g_workspace->pad_stamp + kPadStampBytes));
    g_workspace->resize(40, 161, 150, 360);
    pump();
    g_pad_check->value(0);
    pad_check_cb(g_pad_check, nullptr);
}

TEST(MainWindow, ResizingGrowsOnlyThe3DView) {
    g_window->resize(g_window->x(), g_window->y(), 917 + 100, 732 + 60);
    pump();
    EXPECT_EQ(g_view3d->x(), 367);
    EXPECT_EQ(g_view3d->y(), 75);
    EXPECT_EQ(g_view3d->w(), 297 + 100);
    EXPECT_EQ(g_view3d->h(), 460 + 60);
    // The image view keeps its pixels, one per grid cell.
    EXPECT_EQ(g_workspace->x(), 40);
    EXPECT_EQ(g_workspace->y(), 161);
    EXPECT_EQ(g_workspace->w(), 150);
    EXPECT_EQ(g_workspace->h(), 360);
    g_window->resize(g_window->x(), g_window->y(), 917, 732);
    pump();
    EXPECT_EQ(g_view3d->w(), 297);
    EXPECT_EQ(g_view3d->h(), 460);
}

TEST(View3D, MouseControl) {
    g_view3d->top_view();
    const float zoom = g_view3d->zoom;
    set_event(100, 100, 3);
    test::capture_console([&] { g_view3d->handle(FL_PUSH); });
    set_event(130, 100, 3);
    g_view3d->handle(FL_DRAG);
    EXPECT_EQ(g_view3d->angle_y, 120.0f);
    EXPECT_EQ(g_view3d->angle_x, 90.0f);
    set_event(100, 100, 1);
    test::capture_console([&] { g_view3d->handle(FL_PUSH); });
    set_event(130, 140, 1);
    g_view3d->handle(FL_DRAG);
    EXPECT_EQ(g_view3d->angle_y, 120.0f);
    EXPECT_EQ(g_view3d->angle_x, 90.0f);
    EXPECT_EQ(g_view3d->drag_x, 130);
    top_view_cb(nullptr, nullptr);
    EXPECT_EQ(g_view3d->angle_y, 90.0f);
    EXPECT_EQ(g_view3d->zoom, zoom);

    set_event(0, 0, 0, -20);
    const std::string log = test::capture_console([&] { g_view3d->handle(FL_MOUSEWHEEL); });
    EXPECT_EQ(g_view3d->zoom, 0.1f);
    EXPECT_EQ(log, "mouse wheel -20 \n");
    set_event(0, 0, 0, 9);
    test::capture_console([&] { g_view3d->handle(FL_MOUSEWHEEL); });
    EXPECT_NEAR(g_view3d->zoom, 1.0f, 1e-6);
    g_view3d->zoom = 1.0f;

    set_event(10, 20);
    g_view3d->handle(FL_MOVE);
    EXPECT_EQ(g_view3d->mouse_x, 10);
    EXPECT_EQ(g_view3d->mouse_y, 460 - 20 - 1);
}

TEST(View3D, PicksTheHeightUnderThePointer) {
    test::capture_console([&] { load_scan_path(sample("left_228_CM22-23.bmp").c_str()); });
    std::vector<uint8_t> saved(g_workspace->relief_grid, g_workspace->relief_grid + kGridCells);
    std::memset(g_workspace->relief_grid, 100, kGridCells);
    g_view3d->top_view();
    // The view centre looks at the grid centre from above.
    set_event(g_view3d->w() / 2, g_view3d->h() / 2);
    g_view3d->handle(FL_MOVE);
    frame_pixels(g_view3d);  // the first frame sets up the projection
    std::string log;
    std::vector<uint8_t> px;
    log = test::capture_console([&] { px = frame_pixels(g_view3d); });
    EXPECT_NEAR(g_view3d->pick_height, 20.0f, 1e-5);
    EXPECT_NEAR(g_view3d->pick_row, 180, 2);
    EXPECT_NEAR(g_view3d->pick_col, 75, 2);
    EXPECT_NE(log.find("pos: ["), std::string::npos);
    EXPECT_NE(log.find(" 20.000000 "), std::string::npos) << log;
    // Red text right of and below the pointer.
    int red = 0;
    const int mx = static_cast<int>(g_view3d->mouse_x), my = static_cast<int>(g_view3d->mouse_y);
    for (int y = my - 14; y < my; ++y)
        for (int x = mx + 1; x < mx + 40; ++x) {
            const uint8_t *p = at(px, g_view3d->w(), x, y);
            red += p[0] > 200 && p[1] < 60 && p[2] < 60;
        }
    EXPECT_GT(red, 10);
    std::memcpy(g_workspace->relief_grid, saved.data(), kGridCells);
}

TEST(View3D, TheSurfaceBufferGivesThePixelsOfImmediateMode) {
    test::capture_console([&] { load_scan_path(sample("right_305_CM29-30.bmp").c_str()); });
    const std::vector<uint8_t> scan(g_workspace->relief_grid,
                                    g_workspace->relief_grid + kGridCells);
    // Steep steps with cells below 10 between them, and lone raised cells.
    std::vector<uint8_t> steps(kGridCells), lone(kGridCells, 0);
    for (int i = 0; i < kGridCells; ++i) {
        steps[i] = static_cast<uint8_t>((i * 37 + i / kGridWidth * 11) % 256);
        if ((i / kGridWidth) % 4 == 1 && i % 3 == 0) lone[i] = static_cast<uint8_t>(40 + i % 200);
    }
    for (int i = 0; i < 3 * kGridCells; ++i)
        g_workspace->colour_grid[i] = static_cast<uint8_t>(i * 7);
    struct Case {
        const std::vector<uint8_t> *relief;
        bool pressure;
        float angle_x, angle_y, zoom;
    } cases[] = {{&scan, false, 60, 30, 0.6f},  {&scan, false, 40, 200, 0.6f},
                 {&scan, true, 50, 120, 0.6f},  {&steps, true, 90, 90, 0.5f},
                 {&steps, false, 20, 45, 0.5f}, {&lone, true, 70, 300, 0.6f}};
    set_event(0, g_view3d->h() - 1);  // the bottom-left pixel: off the surface, no pick
    g_view3d->handle(FL_MOVE);
    for (const Case &c : cases) {
        std::copy(c.relief->begin(), c.relief->end(), g_workspace->relief_grid);
        g_foot_pressure->value(c.pressure ? 1 : 0);
        g_view3d->angle_x = c.angle_x;
        g_view3d->angle_y = c.angle_y;
        g_view3d->zoom = c.zoom;
        std::vector<uint8_t> from_buffer;
        const std::string log =
            test::capture_console([&] { from_buffer = frame_pixels(g_view3d); });
        ASSERT_EQ(log.find("pos:"), std::string::npos) << "the pointer picked the surface";
        const std::vector<uint8_t> reference = immediate_frame(c.pressure);
        int surface = 0;  // the background is grey; the lit surface is not
        for (size_t p = 0; p < reference.size(); p += 3)
            surface += reference[p] != reference[p + 2];
        EXPECT_GT(surface, 2000) << c.angle_x << " " << c.angle_y;
        EXPECT_TRUE(reference == from_buffer) << c.angle_x << " " << c.angle_y;
    }
    std::copy(scan.begin(), scan.end(), g_workspace->relief_grid);
    g_foot_pressure->value(0);
    g_view3d->zoom = 1.0f;
    g_view3d->top_view();
}

TEST(Views, AnIdleTickDrawsNothingAndAChangeShowsAtTheNextTick) {
    test::capture_console([&] {
        load_scan_path(sample("left_253_CM25-26.bmp").c_str());
        set_event(0, g_view3d->h() - 1);
        g_view3d->handle(FL_MOVE);
        pump(20);
    });
    const int image = g_workspace->draws(), view = g_view3d->draws();
    const int fills = g_view3d->surface_fills();
    test::capture_console([&] { pump(20); });
    EXPECT_EQ(g_workspace->draws(), image);
    EXPECT_EQ(g_view3d->draws(), view);

    // Turning the camera draws the 3D view once and refills nothing.
    g_view3d->angle_y += 10;
    test::capture_console([&] { pump(10); });
    EXPECT_EQ(g_view3d->draws(), view + 1);
    EXPECT_EQ(g_view3d->surface_fills(), fills);
    EXPECT_EQ(g_workspace->draws(), image);

    // The stamp switched on: the stamped relief shows once in each view and refills the 3D
    // view's surface once.
    g_pad_check->value(1);
    test::capture_console([&] {
        pad_check_cb(g_pad_check, nullptr);
        pump(10);
    });
    EXPECT_EQ(g_workspace->draws(), image + 1);
    EXPECT_EQ(g_view3d->surface_fills(), fills + 1);
    EXPECT_EQ(g_view3d->draws(), view + 2);
    g_pad_check->value(0);
    test::capture_console([&] {
        pad_check_cb(g_pad_check, nullptr);
        pump(10);
    });
}

TEST(Actions, StampRaisesTheDomeAndExportsWork) {
    test::capture_console([&] { load_scan_path(sample("left_253_CM25-26.bmp").c_str()); });
    g_pad_check->value(1);
    test::capture_console([&] { pad_check_cb(g_pad_check, nullptr); });
    const int mc = static_cast<int>(g_workspace->meta_column),
              mr = static_cast<int>(g_workspace->meta_row);
    // The dome's top lies half the pad length below the point.
    const int i = (mr - static_cast<int>(g_pad_length->value()) / 2) * 150 + mc;
    EXPECT_GT(g_workspace->relief_grid[i], g_workspace->base_grid[i] + 5);
    screenshot("main_window_stamp.png");
    test::capture_console([&] { frame_pixels(g_view3d); });

    const std::string dir = test::scratch_dir();
    test::capture_console([&] { export_engraving_to((dir + "/design").c_str()); });
    EXPECT_EQ(test::read_file(dir + "/design.bmp").size(), 216054u);
    g_last_box_text.clear();
    test::capture_console([&] { export_engraving_to((dir + "/none/x.bmp").c_str()); });
    EXPECT_EQ(g_last_box_caption, "存檔錯誤");
    test::capture_console([&] { export_print_to(dir + "/merge.stl"); });
    EXPECT_GT(test::read_file(dir + "/merge.stl").size(), 100000u);
    EXPECT_GT(g_workspace->outline_points.size(), 100u);
    // The outline shows as red dots.
    const std::vector<uint8_t> px = frame_pixels(g_workspace);
    const OutlinePoint p = g_workspace->outline_points[g_workspace->outline_points.size() / 2];
    EXPECT_TRUE(is(at(px, 150, static_cast<int>(p.x), static_cast<int>(p.y)), 255, 0, 0));
    g_pad_check->value(0);
    pad_check_cb(g_pad_check, nullptr);
}

// The controls as the window shows them, in the order of Control.
Controls widget_values() {
    Controls c;
    Fl_Valuator *const sliders[kControlCount] = {g_meta1,     g_meta2,      g_heel1,     g_heel2,
                                                 g_heel3,     g_filter,     g_gain,      nullptr,
                                                 g_pad_width, g_pad_length, g_pad_height};
    for (int i = 0; i < kControlCount; ++i)
        c.value[i] = sliders[i] != nullptr ? sliders[i]->value() : g_pad_check->value();
    return c;
}

std::vector<uint8_t> relief() {
    return std::vector<uint8_t>(g_workspace->relief_grid, g_workspace->relief_grid + kGridCells);
}

// The operator's hand on every control through the real callbacks, in the order in which the
// batch command applies its options: the files equal the batch command's for the same options
// and for the saved design, and undo walks back through every step, moving the controls.
TEST(Actions, ScriptedDesignMatchesTheBatchCommandAndUndoes) {
    const std::string dir = test::scratch_dir();
    test::capture_console([&] { load_scan_path(sample("right_253_4-5.bmp").c_str()); });
    auto slide = [](Fl_Valuator *s, double v, Fl_Callback *cb) {
        return std::function<void()>([=] {
            s->value(v);
            cb(s, nullptr);
        });
    };
    const std::pair<std::function<void()>, const char *> script[] = {
        {slide(g_pad_width, 45, pad_width_cb), "--pad-width 45"},
        {slide(g_pad_length, 70, pad_length_cb), "--pad-length 70"},
        {slide(g_pad_height, 4, pad_height_cb), "--pad-height 4"},
        {slide(g_meta1, 3, meta1_cb), "--meta1 3"},
        {slide(g_meta2, 2, meta2_cb), "--meta2 2"},
        {slide(g_heel1, -2, heel1_cb), "--heel1 -2"},
        {slide(g_heel2, 4, heel2_cb), "--heel2 4"},
        {slide(g_heel3, 1, heel3_cb), "--heel3 1"},
        {[] {
             g_pad_check->value(1);
             pad_check_cb(g_pad_check, nullptr);
         },
         "--stamp"},
        {slide(g_filter, 40, filter_cb), "--filter 40"},
        {slide(g_gain, 6.5, gain_cb), "--gain 6.5"},
        {[] { smooth_cb(nullptr, nullptr); }, "--smooth 1"},
    };
    std::vector<std::vector<uint8_t>> reliefs{relief()};
    std::vector<Controls> shown{widget_values()};
    std::string options;
    for (const auto &[act, option] : script) {
        test::capture_console([&] { act(); });
        // Every callback records exactly what its own control shows.
        ASSERT_TRUE(g_design->controls() == widget_values()) << option;
        reliefs.push_back(relief());
        shown.push_back(widget_values());
        options += std::string(" ") + option;
    }
    EXPECT_EQ(std::string(g_main_window->label()), "Pedaform *");
    save_design_path((dir + "/patient").c_str());
    EXPECT_EQ(std::string(g_main_window->label()), "Pedaform - patient.json");

    // The engraving entry smooths first, then writes; the 3D-print entry writes the surface.
    // "輸出3D列印鞋墊…": a closed solid by its ".stl" name, else a 3MF with the zones typed.
    ask_text = [](const char *, const char *) { return "0:35,96:20,160:10"; };
    test::capture_console([&] {
        smooth_cb(nullptr, nullptr);
        export_engraving_to((dir + "/gui").c_str());
        export_print_to(dir + "/gui.stl");
        export_printable_to((dir + "/gui.solid.stl").c_str());
        export_printable_to((dir + "/gui").c_str());
    });
    const std::string outputs = " --engrave '" + dir + "/%1$s' --stl '" + dir +
                                "/%1$s.stl' --stl-solid '" + dir + "/%1$s.solid.stl' --3mf '" +
                                dir + "/%1$s.3mf' --zones 0:35,96:20,160:10";
    auto batch = [&](const std::string &args, const char *name) {
        char out[2048];
        std::snprintf(out, sizeof out, outputs.c_str(), name);
        const std::string cmd =
            std::string(PEDAFORM_CLI) + " --quiet " + args + out + " > /dev/null 2>&1";
        return std::system(cmd.c_str());
    };
    ASSERT_EQ(batch(options + " samples/right_253_4-5.bmp", "options"), 0);
    ASSERT_EQ(batch("--design '" + dir + "/patient.json'", "design"), 0);
    for (const char *made : {"options", "design"})
        for (const char *ext : {".bmp", ".stl", ".solid.stl", ".3mf"}) {
            SCOPED_TRACE(std::string(made) + ext);
            test::expect_same_bytes(test::read_file(dir + "/gui" + ext),
                                    test::read_file(dir + "/" + made + ext));
        }

    // Undo: first the engraving's smoothing, then each scripted step in turn.
    EXPECT_EQ(std::string(g_main_window->label()), "Pedaform - patient.json *");
    undo_cb(nullptr, nullptr);
    for (size_t k = reliefs.size() - 1; k > 0; --k) {
        ASSERT_TRUE(relief() == reliefs[k]) << "before undoing step " << k;
        ASSERT_TRUE(widget_values() == shown[k]) << "before undoing step " << k;
        undo_cb(nullptr, nullptr);
    }
    EXPECT_TRUE(relief() == reliefs[0]);
    EXPECT_TRUE(widget_values() == shown[0]);
    undo_cb(nullptr, nullptr);  // the load is as far back as it goes
    EXPECT_TRUE(relief() == reliefs[0]);
    test::capture_console([] { redo_cb(nullptr, nullptr); });
    EXPECT_TRUE(relief() == reliefs[1]);
    EXPECT_TRUE(widget_values() == shown[1]);

    // A new scan with unsaved steps asks first; "取消" keeps the design.
    static int asked = 0;
    ask_question = [](const char *, const char *, const char *) { return ++asked, 0; };
    test::capture_console([&] { load_scan_path(sample("left_253_CM25-26.bmp").c_str()); });
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(relief() == reliefs[1]);
    ask_question = [](const char *, const char *, const char *) { return 1; };

    // Opening the saved design shows the relief and controls as they were saved.
    test::capture_console([&] { open_design_path((dir + "/patient.json").c_str()); });
    EXPECT_TRUE(relief() == reliefs.back());
    EXPECT_TRUE(widget_values() == shown.back());
    EXPECT_EQ(std::string(g_main_window->label()), "Pedaform - patient.json");
}

// The operator's hand on the metatarsal point: click, drag, arrow keys, never off the grid; the
// relief follows with the stamp on, and reset and undo bring the point back.
TEST(ImageView, ClickDragAndKeysPlaceTheMetatarsalPoint) {
    test::capture_console(
        [&] { load_scan_path(sample("right_253_wide_heel_turned.bmp").c_str()); });
    const float found_column = g_workspace->meta_column, found_row = g_workspace->meta_row;
    g_pad_check->value(1);
    test::capture_console([&] { pad_check_cb(g_pad_check, nullptr); });
    const std::vector<uint8_t> before = relief();
    auto point = [] { return std::pair{g_workspace->meta_column, g_workspace->meta_row}; };
    const std::string log = test::capture_console([&] {
        set_event(75, 100, 1);
        g_workspace->handle(FL_PUSH);
        EXPECT_EQ(point(), (std::pair{75.0f, 259.0f}));
        set_event(80, 110, 1);
        Fl::e_state = FL_BUTTON1;
        g_workspace->handle(FL_DRAG);
        Fl::e_state = 0;
        EXPECT_EQ(point(), (std::pair{80.0f, 249.0f}));
    });
    EXPECT_EQ(log, "left mouse click \nmouse position [ 80, 110 ] \n");
    EXPECT_FALSE(relief() == before);
    for (int key : {FL_Right, FL_Up}) {
        Fl::e_keysym = key;
        EXPECT_EQ(g_workspace->handle(FL_KEYBOARD), 1);
    }
    EXPECT_EQ(point(), (std::pair{81.0f, 250.0f}));
    test::capture_console([&] {
        set_event(-20, 400, 1);
        g_workspace->handle(FL_PUSH);
    });
    EXPECT_EQ(point(), (std::pair{0.0f, 0.0f}));
    Fl::e_keysym = FL_Left;
    g_workspace->handle(FL_KEYBOARD);
    EXPECT_EQ(point(), (std::pair{0.0f, 0.0f}));
    undo_cb(nullptr, nullptr);
    EXPECT_EQ(point(), (std::pair{81.0f, 250.0f}));
    reset_point_cb(nullptr, nullptr);
    EXPECT_EQ(point(), (std::pair{found_column, found_row}));
    EXPECT_TRUE(relief() == before);
    g_pad_check->value(0);
    test::capture_console([&] { pad_check_cb(g_pad_check, nullptr); });
}

TEST(Actions, ALengthThatMatchesNoBinIsSaidAndTheSizeIsChosen) {
    synth::ScanRecipe recipe;
    recipe.length = 240;
    const std::string path = test::scratch_dir() + "/odd.bmp";
    test::write_file(path, synth::scan_bmp(synth::make_scan(recipe)));
    g_last_box_text.clear();
    test::capture_console([&] { load_scan_path(path.c_str()); });
    EXPECT_EQ(g_last_box_text, "鞋墊長度 240 不符任何尺碼，請選擇尺碼");
    EXPECT_STREQ(g_size_output->value(), "");
    EXPECT_EQ(g_workspace->template_index, -1);
    EXPECT_EQ(g_pad_length->value(), 17);
    test::capture_console([&] { size_cb(nullptr, reinterpret_cast<void *>(8)); });
    EXPECT_STREQ(g_size_output->value(), size_label(8));
    EXPECT_STREQ(g_size_output->value(), "CM23-24");
    EXPECT_EQ(g_workspace->template_index, 13);
    EXPECT_EQ(g_pad_length->value(), 78);
    undo_cb(nullptr, nullptr);
    EXPECT_STREQ(g_size_output->value(), "");
    EXPECT_EQ(g_workspace->template_index, -1);
}

TEST(Screenshots, BothViewsAfterASampleScan) {
    test::capture_console([&] { load_scan_path(sample("right_305_CM29-30.bmp").c_str()); });
    g_view3d->angle_x = 50;
    g_view3d->angle_y = 120;
    screenshot("main_window.png");
    g_foot_pressure->value(1);
    screenshot("main_window_pressure.png");
    g_foot_pressure->value(0);
    struct stat st;
    EXPECT_EQ(stat(PEDAFORM_SHOTS_DIR "/main_window.png", &st), 0);
}

TEST(MainWindow, EscapeKeepsTheWindowAndClosingAsksFirst) {
    Fl::e_keysym = FL_Escape;
    Fl::e_text = const_cast<char *>("\x1b");
    Fl::e_length = 1;
    Fl::handle(FL_KEYBOARD, g_window);
    pump();
    EXPECT_TRUE(g_window->shown());

    static int asked = 0;
    static bool answer = false;
    confirm_discard = [] {
        ++asked;
        return answer;
    };
    Fl::handle(FL_CLOSE, g_window);
    pump();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(g_window->shown());
    answer = true;
    Fl::handle(FL_CLOSE, g_window);
    pump();
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(g_window->shown());
    g_window->show();
    pump(20);
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    use_label_font();
    show_message_box = record_box;
    ask_question = [](const char *, const char *, const char *) { return 1; };
    std::FILE *saved = console();
    set_console(nullptr);
    g_window = build_main_window();
    set_console(saved);
    g_window->show();
    pump(20);
    return RUN_ALL_TESTS();
}

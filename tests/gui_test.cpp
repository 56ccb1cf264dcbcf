// The GUI with a real window and real OpenGL (under Xvfb when there is no display), driven as the
// operator does. gtest first: X11's headers define None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/gl.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "analysis/size_bin.h"
#include "app/actions.h"
#include "app/label_font.h"
#include "app/main_window.h"
#include "app/print_dialog.h"
#include "app/window_close.h"
#include "model3d/mesh_arrays.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

std::string g_box_text, g_box_caption;

void pump(int rounds = 6) {
    for (int i = 0; i < rounds; ++i)
        Fl::wait(0.02);
}

void load(const std::string &path) {
    test::capture_console([&] { load_scan_path(path.c_str()); });
}

// The operator's hand on a control: its new value, then its callback.
template <typename Control>
void set(Control *control, double value, Fl_Callback *cb) {
    control->value(value);
    test::capture_console([&] { cb(control, nullptr); });
}

void choose_size(const char *label) {
    const intptr_t index = size_label_index(label);  // the "尺碼" entry's user data
    test::capture_console([&] { size_cb(nullptr, reinterpret_cast<void *>(index)); });
}

void set_event(int x, int y, int button = 0) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_keysym = FL_Button + button;
}

void click(int x, int y) {
    set_event(x, y, 1);
    test::capture_console([] { g_workspace->handle(FL_PUSH); });
}

// A frame of a view drawn now, by `draw` or else by the view, read from the back buffer before
// the swap (rows from the bottom).
template <typename View>
std::vector<uint8_t> frame_pixels(View *view, void (*draw)() = nullptr) {
    view->make_current();
    test::capture_console([&] { draw != nullptr ? draw() : view->draw(); });
    glFinish();
    std::vector<uint8_t> px(static_cast<size_t>(view->w()) * view->h() * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, view->w(), view->h(), GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// The reference for the 3D view's vertex buffer: its frame with the surface drawn one call per
// vertex, without a pick. Drawn right after a frame of the view, whose projection it keeps.
void immediate_frame() {
    const GL_Display_3D *v = g_view3d;
    const Workspace &ws = *g_workspace;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_background(v->w(), v->h());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    light_setup(v->material);
    glScalef(v->zoom, v->zoom, v->zoom);
    glRotatef(v->angle_x, 1, 0, 0);
    glRotatef(v->angle_y, 0, 1, 0);
    glTranslatef(-kGridHeight / 2, 0, -kGridWidth / 2);  // turned about the grid's centre
    glEnable(GL_NORMALIZE);
    glColor4f(kSurfaceColour[0], kSurfaceColour[1], kSurfaceColour[2], 1.0f);
    glBegin(GL_TRIANGLES);
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!mesh_cell_drawn(ws.relief_grid, r, c)) continue;
            const uint8_t *rgb = &ws.colour_grid[3 * (r * kGridWidth + c)];
            if (g_foot_pressure->value())
                glColor3f(rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f);
            const CellQuad q = cell_quad(ws.relief_grid, r, c);
            glNormal3fv(q.n1);
            for (int k : {0, 1, 2})
                glVertex3fv(q.p[k]);
            glNormal3fv(q.n2);
            for (int k : {2, 3, 0})
                glVertex3fv(q.p[k]);
        }
    glEnd();
    glDisable(GL_NORMALIZE);
    glDisable(GL_LIGHTING);
}

std::vector<uint8_t> relief() {
    return std::vector<uint8_t>(g_workspace->relief_grid, g_workspace->relief_grid + kGridCells);
}

// The relief and the controls as the window shows them (in the order of Control).
std::pair<std::vector<uint8_t>, Controls> shown() {
    Controls c;
    Fl_Valuator *const sliders[kControlCount] = {g_meta1,     g_meta2,      g_heel1,     g_heel2,
                                                 g_heel3,     g_filter,     g_gain,      nullptr,
                                                 g_pad_width, g_pad_length, g_pad_height};
    for (int i = 0; i < kControlCount; ++i)
        c.value[i] = sliders[i] != nullptr ? sliders[i]->value() : g_pad_check->value();
    return {relief(), c};
}

}  // namespace

// Every control through its real callback (the size from its menu, the point by a click), in the
// batch command's order: the files, design file too, equal the batch command's for the same
// options and for the saved design, and undo walks back through every step, moving the controls.
TEST(Actions, ScriptedDesignMatchesTheBatchCommandAndUndoes) {
    const std::string dir = test::scratch_dir();
    load("samples/right_253_4-5.bmp");
    const std::pair<void (*)(), const char *> script[] = {
        {[] { choose_size("CM26-27"); }, "--size CM26-27"},
        {[] { set(g_pad_width, 45, pad_width_cb); }, "--pad-width 45"},
        {[] { set(g_pad_length, 70, pad_length_cb); }, "--pad-length 70"},
        {[] { set(g_pad_height, 4, pad_height_cb); }, "--pad-height 4"},
        {[] { set(g_meta1, 3, meta1_cb); }, "--meta1 3"},
        {[] { set(g_meta2, 2, meta2_cb); }, "--meta2 2"},
        {[] { set(g_heel1, -2, heel1_cb); }, "--heel1 -2"},
        {[] { set(g_heel2, 4, heel2_cb); }, "--heel2 4"},
        {[] { set(g_heel3, 1, heel3_cb); }, "--heel3 1"},
        {[] { click(70, 120); }, "--meta-point 70,239"},  // rows count from the view's bottom
        {[] { set(g_pad_check, 1, pad_check_cb); }, "--stamp"},
        {[] { set(g_filter, 40, filter_cb); }, "--filter 40"},
        {[] { set(g_gain, 6.5, gain_cb); }, "--gain 6.5"},
        {[] { smooth_cb(nullptr, nullptr); }, "--smooth 1"},
    };
    std::vector<std::pair<std::vector<uint8_t>, Controls>> steps{shown()};
    std::string options;
    for (const auto &[act, option] : script) {
        test::capture_console([&] { act(); });
        // Every callback records exactly what its own control shows.
        ASSERT_TRUE(g_design->controls() == shown().second) << option;
        steps.push_back(shown());
        options += std::string(" ") + option;
    }
    EXPECT_STREQ(g_main_window->label(), "Pedaform *");
    save_design_path((dir + "/gui").c_str());
    EXPECT_STREQ(g_main_window->label(), "Pedaform - gui.json");

    // The engraving entry smooths first, then writes; the 3D-print entry writes the surface.
    // "輸出3D列印鞋墊…": a closed solid by its ".stl" name, else a 3MF with the zones asked.
    ask_print_settings = [](PrintSettings &s) {
        return parse_print_zones("0:35,96:20,160:10", s.zones).ok();
    };
    test::capture_console([&] {
        smooth_cb(nullptr, nullptr);
        export_engraving_to((dir + "/gui").c_str());
        export_print_to(dir + "/gui.stl");
        export_printable_to((dir + "/gui.solid.stl").c_str());
        export_printable_to((dir + "/gui").c_str());
    });
    auto batch = [&](const std::string &args, const std::string &name) {
        const std::string to = " '" + dir + "/" + name;
        const std::string cmd = std::string(PEDAFORM_CLI) + " --quiet " + args + " --save-design" +
                                to + ".json' --engrave" + to + "' --stl" + to +
                                ".stl' --stl-solid" + to + ".solid.stl' --3mf" + to +
                                ".3mf' --zones 0:35,96:20,160:10";
        return std::system((cmd + " > /dev/null 2>&1").c_str());
    };
    ASSERT_EQ(batch(options + " samples/right_253_4-5.bmp", "options"), 0);
    ASSERT_EQ(batch("--design '" + dir + "/gui.json'", "design"), 0);
    for (const char *made : {"options", "design"})
        for (const char *ext : {".json", ".bmp", ".stl", ".solid.stl", ".3mf"}) {
            // The 3MF's title names the design file, options.json for the first run.
            if (made[0] == 'o' && ext[1] == '3') continue;
            SCOPED_TRACE(std::string(made) + ext);
            test::expect_same_bytes(test::read_file(dir + "/gui" + ext),
                                    test::read_file(dir + "/" + made + ext));
        }

    // Undo: first the engraving's smoothing, then each scripted step in turn.
    EXPECT_STREQ(g_main_window->label(), "Pedaform - gui.json *");
    undo_cb(nullptr, nullptr);
    for (size_t k = steps.size(); k-- > 0;) {
        ASSERT_TRUE(shown() == steps[k]) << "before undoing step " << k;
        undo_cb(nullptr, nullptr);  // at step 0: the load is as far back as it goes
    }
    EXPECT_TRUE(shown() == steps[0]);
    test::capture_console([] { redo_cb(nullptr, nullptr); });
    EXPECT_TRUE(shown() == steps[1]);

    // A new scan with unsaved steps asks first; "取消" keeps the design.
    static int asked = 0;
    ask_question = [](const char *, const char *, const char *) { return ++asked, 0; };
    load("samples/left_253_CM25-26.bmp");
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(shown() == steps[1]);
    ask_question = [](const char *, const char *, const char *) { return 1; };

    test::capture_console([&] { open_design_path((dir + "/gui.json").c_str()); });
    EXPECT_TRUE(shown() == steps.back());
    EXPECT_STREQ(g_main_window->label(), "Pedaform - gui.json");
}

// Refused files are said in a box and change nothing, whatever the chosen name's length; a foot
// length that matches no size bin is said, and there is no template until a size is chosen.
TEST(Actions, RefusedFilesAndUnmatchedLengthsAreSaid) {
    load("samples/left_253_CM25-26.bmp");
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/bad.bmp", {'x'});
    const auto before = shown();
    for (const std::string &name : {std::string("bad"), std::string(3000, 'n')}) {
        g_box_text.clear();
        load(dir + "/" + name + ".bmp");
        EXPECT_EQ(g_box_text + " " + g_box_caption, "格式錯誤 讀檔錯誤");
    }
    EXPECT_STREQ(g_size_output->value(), "CM25-26");
    EXPECT_TRUE(shown() == before);
    test::capture_console([&] { export_engraving_to((dir + "/none/x.bmp").c_str()); });
    EXPECT_EQ(g_box_caption, "存檔錯誤");

    synth::ScanRecipe recipe;
    recipe.length = 240;
    test::write_file(dir + "/odd.bmp", synth::scan_bmp(synth::make_scan(recipe)));
    load(dir + "/odd.bmp");
    EXPECT_EQ(g_box_text, "鞋墊長度 240 不符任何尺碼，請選擇尺碼");
    EXPECT_STREQ(g_size_output->value(), "");
    EXPECT_EQ(g_workspace->template_index, -1);
    EXPECT_EQ(g_pad_length->value(), 17);
    choose_size("CM23-24");
    EXPECT_STREQ(g_size_output->value(), "CM23-24");
    EXPECT_EQ(g_workspace->template_index, 13);
    EXPECT_EQ(g_pad_length->value(), 78);
}

TEST(Actions, LoadArrangesSlidersAndShowsThePreview) {
    const int heel3 = g_heel3->x();
    g_meta1->value(4);
    // A right foot is shown mirrored: each pad's slider moves over its side of the insole.
    for (const auto &[name, mirrored, size] : {std::tuple{"right_253_4-5", true, "4-5"},
                                               std::tuple{"left_253_CM25-26", false, "CM25-26"}}) {
        load(std::string("samples/") + name + ".bmp");
        EXPECT_EQ(g_workspace->template_mirrored, mirrored);
        EXPECT_EQ(g_meta1->x() < g_meta2->x(), mirrored);
        EXPECT_EQ(g_heel1->x() < g_heel2->x(), mirrored);
        EXPECT_EQ(g_heel3->x(), heel3);
        EXPECT_EQ(g_meta1->value(), 0);
        EXPECT_STREQ(g_size_output->value(), size);
    }
    EXPECT_EQ(g_pad_width->value(), 51);  // the presets of the 253 mm bin
    EXPECT_EQ(g_pad_length->value(), 82);
    EXPECT_DOUBLE_EQ(g_pad_height->value(), 3.0);

    // The foot's pixels are the preview's colour-table entries, but for the dots and the cross.
    EXPECT_TRUE(g_workspace->outline_points.empty());  // an earlier scan's export outline
    const std::vector<uint8_t> px = frame_pixels(g_workspace);
    int foot = 0, same = 0;
    for (int i = 0; i < kGridCells; i += 3) {
        if (g_workspace->base_grid[i] < 10) continue;
        ++foot;
        same += std::equal(&px[3 * i], &px[3 * i + 3], &g_workspace->relief_preview[4 * i]);
    }
    EXPECT_GT(foot, 2000);
    EXPECT_GT(same, foot * 98 / 100) << foot;
}

// Click, drag and arrow keys place the metatarsal point, never off the grid; the stamped dome
// follows it; reset and undo bring it back. Each stamp size is rendered once, in any view size.
TEST(ImageView, ClickDragAndKeysPlaceTheMetatarsalPoint) {
    load("samples/right_253_wide_heel_turned.bmp");
    const float found_column = g_workspace->meta_column, found_row = g_workspace->meta_row;
    set(g_pad_check, 1, pad_check_cb);
    const std::vector<uint8_t> before = relief();
    auto point = [] { return std::pair{g_workspace->meta_column, g_workspace->meta_row}; };
    click(75, 100);
    EXPECT_EQ(point(), (std::pair{75.0f, 259.0f}));
    set_event(80, 110, 1);
    Fl::e_state = FL_BUTTON1;
    test::capture_console([] { g_workspace->handle(FL_DRAG); });
    Fl::e_state = 0;
    EXPECT_EQ(point(), (std::pair{80.0f, 249.0f}));
    // The dome's top lies half the pad length below the point.
    const int top = (249 - static_cast<int>(g_pad_length->value()) / 2) * kGridWidth + 80;
    EXPECT_GT(g_workspace->relief_grid[top], g_workspace->base_grid[top] + 5);
    for (int key : {FL_Right, FL_Up}) {
        Fl::e_keysym = key;
        EXPECT_EQ(g_workspace->handle(FL_KEYBOARD), 1);
    }
    EXPECT_EQ(point(), (std::pair{81.0f, 250.0f}));
    click(-20, 400);
    EXPECT_EQ(point(), (std::pair{0.0f, 0.0f}));
    Fl::e_keysym = FL_Left;
    g_workspace->handle(FL_KEYBOARD);
    EXPECT_EQ(point(), (std::pair{0.0f, 0.0f}));
    undo_cb(nullptr, nullptr);
    EXPECT_EQ(point(), (std::pair{81.0f, 250.0f}));
    reset_point_cb(nullptr, nullptr);
    EXPECT_EQ(point(), (std::pair{found_column, found_row}));
    EXPECT_TRUE(relief() == before);

    const int renders = g_workspace->stamp_renders();
    const double height = g_pad_height->value();
    set(g_pad_width, 40, pad_width_cb);
    set(g_pad_length, 90, pad_length_cb);
    set(g_pad_height, 6, pad_height_cb);
    EXPECT_EQ(g_workspace->stamp_renders(), renders + 3);
    EXPECT_GT(*std::max_element(g_workspace->pad_stamp, g_workspace->pad_stamp + kPadStampBytes),
              20);
    // Sizes already rendered come from the cache.
    set(g_pad_height, height, pad_height_cb);
    set(g_pad_height, 6, pad_height_cb);
    EXPECT_EQ(g_workspace->stamp_renders(), renders + 3);
}

// The vertex buffer draws the pixels of plain immediate mode; the pointer picks the height.
TEST(View3D, TheSurfaceBufferDrawsAsImmediateModeAndThePointerPicks) {
    load("samples/right_305_CM29-30.bmp");
    const std::vector<uint8_t> scan = relief();
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
        const std::vector<uint8_t> from_buffer = frame_pixels(g_view3d);
        const std::vector<uint8_t> reference = frame_pixels(g_view3d, immediate_frame);
        int surface = 0;  // the background is grey; the lit surface is not
        for (size_t p = 0; p < reference.size(); p += 3)
            surface += reference[p] != reference[p + 2];
        EXPECT_GT(surface, 2000) << c.angle_x << " " << c.angle_y;
        EXPECT_TRUE(reference == from_buffer) << c.angle_x << " " << c.angle_y;
    }
    g_foot_pressure->value(0);
    g_view3d->zoom = 1.0f;

    std::memset(g_workspace->relief_grid, 100, kGridCells);  // 100 grey levels: 20 mm
    g_view3d->top_view();
    // The view's centre looks at the grid's centre from above.
    set_event(g_view3d->w() / 2, g_view3d->h() / 2);
    g_view3d->handle(FL_MOVE);
    frame_pixels(g_view3d);  // the first frame sets up the projection
    const std::vector<uint8_t> px = frame_pixels(g_view3d);
    EXPECT_NEAR(g_view3d->pick_height, 20.0f, 1e-5);
    EXPECT_NEAR(g_view3d->pick_row, kGridHeight / 2, 2);
    EXPECT_NEAR(g_view3d->pick_col, kGridWidth / 2, 2);
    // The value in red text right of and below the pointer.
    int red = 0;
    const int mx = static_cast<int>(g_view3d->mouse_x), my = static_cast<int>(g_view3d->mouse_y);
    for (int y = my - 14; y < my; ++y)
        for (int x = mx + 1; x < mx + 40; ++x) {
            const uint8_t *p = &px[(static_cast<size_t>(y) * g_view3d->w() + x) * 3];
            red += p[0] > 200 && p[1] < 60 && p[2] < 60;
        }
    EXPECT_GT(red, 10);
}

TEST(PrintDialog, RowsSlicerAndToleranceAndTheZonesInTheImageView) {
    load("samples/left_253_CM25-26.bmp");
    g_preferences_dir = test::scratch_dir();
    std::vector<PrintZone> zones;
    ASSERT_TRUE(parse_print_zones(kDefaultPrintZones, zones));
    const Landmark *l = g_workspace->landmarks;
    auto shown_at = [](float row, float column) {  // the image view's pixel of a cell
        const std::vector<uint8_t> px = frame_pixels(g_workspace);
        const uint8_t *p = &px[3 * (static_cast<int>(row) * kGridWidth + static_cast<int>(column))];
        return std::vector<uint8_t>(p, p + 3);
    };
    auto colour = [](int zone) {
        std::vector<uint8_t> rgb(3);
        zone_colour(zone, rgb.data());
        return rgb;
    };
    {
        PrintDialog d(zones, kDefault3mfTolerance);
        EXPECT_EQ(print_zones_text(d.settings().zones), "0%:35,10%:20,50%:10");
        EXPECT_EQ(d.settings().slicer, Slicer::kPrusa);  // nothing remembered yet
        // The arch in the firm first zone, the heel centre softer.
        const float heel_row = (l[2].row + l[4].row) / 2,
                    heel_col = (l[2].column + l[4].column) / 2;
        EXPECT_EQ(shown_at((heel_row + l[0].row) / 2, heel_col), colour(0));
        EXPECT_EQ(shown_at(heel_row, heel_col), colour(1));
        d.add_zone();  // 10 points above the last, 5 softer
        d.remove_zone(1);
        d.rows[1].density->value(15);
        d.slicer->value(static_cast<int>(Slicer::kCura));
        d.tolerance->value(0.1);
        EXPECT_EQ(print_zones_text(d.settings().zones), "0%:35,50%:15,60%:5");
        EXPECT_EQ(d.settings().tolerance_mm, 0.1);
        d.ok->do_callback();
        EXPECT_TRUE(d.run());
    }
    EXPECT_TRUE(g_workspace->zone_colours.empty());  // the preview is back
    PrintDialog again(zones, kDefault3mfTolerance);
    EXPECT_EQ(again.settings().slicer, Slicer::kCura);  // remembered at "輸出"
    again.cancel->do_callback();
    EXPECT_FALSE(again.run());
    g_preferences_dir.clear();
    pump(20);  // the pointer's crossing events of the shown dialog, before other tests move it
}

TEST(Views, AnIdleTickDrawsNothingAndAChangeShowsAtTheNextTick) {
    load("samples/left_253_CM25-26.bmp");
    set_event(0, g_view3d->h() - 1, 3);  // off the surface: no pick
    g_view3d->handle(FL_MOVE);
    test::capture_console([&] { pump(20); });
    const int image = g_workspace->draws(), view = g_view3d->draws(),
              fills = g_view3d->surface_fills();
    test::capture_console([&] { pump(20); });
    EXPECT_EQ(g_workspace->draws(), image);
    EXPECT_EQ(g_view3d->draws(), view);

    // Turning the camera, a degree a pixel of right-button drag: one frame, no refill.
    const float angle_y = g_view3d->angle_y;
    test::capture_console([&] {
        g_view3d->handle(FL_PUSH);
        set_event(10, g_view3d->h() - 1, 3);
        g_view3d->handle(FL_DRAG);
        pump(10);
    });
    EXPECT_EQ(g_view3d->angle_y, angle_y + 10);
    EXPECT_EQ(g_view3d->draws(), view + 1);
    EXPECT_EQ(g_view3d->surface_fills(), fills);
    EXPECT_EQ(g_workspace->draws(), image);

    // The stamp switched on: one frame in each view, one refill.
    set(g_pad_check, 1, pad_check_cb);
    test::capture_console([&] { pump(10); });
    EXPECT_EQ(g_workspace->draws(), image + 1);
    EXPECT_EQ(g_view3d->surface_fills(), fills + 1);
    EXPECT_EQ(g_view3d->draws(), view + 2);
}

// The menus keep their entries in order ("尺碼" every size label); the labels have a font that
// covers them; resizing grows only the 3D view; Escape keeps the window; closing asks first.
TEST(MainWindow, MenusFontSizesKeysAndClose) {
    std::string labels;
    for (const Fl_Menu_Item *item = g_menu->menu(); item < g_menu->menu() + g_menu->size() - 1;
         ++item)
        labels += std::string(item->label() ? item->label() : "|") +
                  (item->visible() ? " " : "(hidden) ");
    std::string expected =
        "檔案 讀檔 輸出雕刻用鞋墊 輸出3D列印用鞋墊(hidden) 開啟設計… 儲存設計… "
        "輸出3D列印鞋墊… | 上視角 編輯 復原 重做 重設蹠骨點 | 尺碼 ";
    for (int i = 0; i < kSizeLabelCount; ++i)
        expected += size_label(i) + std::string(" ");
    EXPECT_EQ(labels, expected + "| ");
    EXPECT_EQ(g_menu->find_item("編輯/復原")->shortcut(), FL_CTRL + 'z');
    EXPECT_EQ(g_menu->find_item("編輯/重做")->shortcut(), FL_CTRL + 'y');

    const std::string family = find_label_font();
    ASSERT_FALSE(family.empty());
    EXPECT_TRUE(font_covers(family, "\xE8\xB9\xA0\xE5\xA2\x8A"));  // U+8E60 U+588A
    EXPECT_TRUE(font_covers(family, kLabelText));
    EXPECT_NE(std::string(Fl::get_font(FL_HELVETICA)).find(family), std::string::npos);

    Fl_Double_Window *w = g_main_window;
    auto geometry = [](Fl_Widget *v) { return std::vector<int>{v->x(), v->y(), v->w(), v->h()}; };
    const std::vector<int> v3 = geometry(g_view3d), im = geometry(g_workspace);
    w->resize(w->x(), w->y(), w->w() + 100, w->h() + 60);
    pump();
    EXPECT_EQ(geometry(g_view3d), (std::vector<int>{v3[0], v3[1], v3[2] + 100, v3[3] + 60}));
    EXPECT_EQ(geometry(g_workspace), (std::vector<int>{im[0], im[1], kGridWidth, kGridHeight}));
    w->resize(w->x(), w->y(), w->w() - 100, w->h() - 60);
    pump();
    EXPECT_EQ(geometry(g_view3d), v3);

    Fl::e_keysym = FL_Escape;
    Fl::handle(FL_KEYBOARD, w);
    pump();
    EXPECT_TRUE(w->shown());
    static int asked = 0;
    static bool agree = false;
    confirm_discard = [] { return ++asked, agree; };
    for (bool answer : {false, true}) {
        agree = answer;
        Fl::handle(FL_CLOSE, w);
        pump();
        EXPECT_EQ(w->shown(), !answer);
    }
    EXPECT_EQ(asked, 2);
    w->show();
    pump(20);
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    use_label_font();
    show_message_box = [](const char *text, const char *caption) {
        g_box_text = text;
        g_box_caption = caption;
    };
    ask_question = [](const char *, const char *, const char *) { return 1; };
    test::capture_console([] { build_main_window(); });
    g_main_window->show();
    pump(20);
    return RUN_ALL_TESTS();
}

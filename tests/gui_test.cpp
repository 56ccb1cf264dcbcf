// The GUI with a real window and real OpenGL (under Xvfb when there is no display), driven as the
// operator does. gtest first: X11's headers define None, which gtest uses as a name.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Preferences.H>
#include <FL/fl_draw.H>
#include <FL/gl.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <tuple>

#include "analysis/size_bin.h"
#include "app/actions.h"
#include "app/alert.h"
#include "app/colour_key.h"
#include "app/control_slider.h"
#include "app/dialog_text.h"
#include "app/import_dialog.h"
#include "app/label_font.h"
#include "app/main_window.h"
#include "app/order_dialog.h"
#include "app/print_dialog.h"
#include "app/window_close.h"
#include "import/scan_placement.h"
#include "io/scan_file.h"
#include "model3d/mesh_arrays.h"
#include "tests/test_support.h"
#include "tools/recording_synth.h"

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
bool is_check(Control c) {
    return control_spec(c).widget == Widget::kCheckButton;
}

// What a control's widget shows.
double shown_value(Control c) {
    Fl_Widget *w = control_widget(c);
    if (auto *choice = dynamic_cast<Fl_Choice *>(w)) return choice->value();
    return is_check(c) ? static_cast<Fl_Check_Button *>(w)->value()
                       : static_cast<Fl_Valuator *>(w)->value();
}

// The operator's hand on a control: its widget's new value, then the widget's callback.
void set(Control c, double value) {
    Fl_Widget *w = control_widget(c);
    if (auto *choice = dynamic_cast<Fl_Choice *>(w))
        choice->value(static_cast<int>(value));
    else if (is_check(c))
        static_cast<Fl_Check_Button *>(w)->value(value != 0 ? 1 : 0);
    else
        static_cast<Fl_Valuator *>(w)->value(value);
    test::capture_console([&] { w->do_callback(); });
}

void choose_size(const char *label) {
    const intptr_t index = size_label_index(label).value();  // the "尺碼" entry's user data
    test::capture_console([&] { size_cb(nullptr, reinterpret_cast<void *>(index)); });
}

void set_event(int x, int y, int button = 0) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_keysym = FL_Button + button;
}

// A press at the first point, a drag through the others, a release at the last.
void drag(std::initializer_list<std::pair<int, int>> points) {
    test::capture_console([&] {
        for (const auto &[x, y] : points) {
            set_event(x, y, 1);
            Fl::e_state = FL_BUTTON1;
            g_image_view->handle(&x == &points.begin()->first ? FL_PUSH : FL_DRAG);
        }
        Fl::e_state = 0;
        g_image_view->handle(FL_RELEASE);
    });
}

// Every label of a dialog's widgets between '|', and the text its focused field showed.
std::vector<std::string> g_keys;  // for each dialog in turn
std::string g_labels, g_field;
int g_dialogs = 0;  // opened so far
bool g_left_open = false;

void add_labels(Fl_Group *group) {
    for (int i = 0; i < group->children(); ++i) {
        g_labels += std::string(group->child(i)->label() ? group->child(i)->label() : "") + "|";
        if (Fl_Group *inner = group->child(i)->as_group()) add_labels(inner);
    }
}

// The dialog is ready for keys when it is shown and mapped, the focus is on one of its widgets
// (an input field when it has one), and neither the focus nor the field's text changed since the
// previous tick: a chooser still filling its list or its field must not take the keys.
bool has_input(Fl_Group *group) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget *w = group->child(i);
        if (dynamic_cast<Fl_Input_ *>(w) != nullptr && w->visible_r()) return true;
        if (w->as_group() != nullptr && has_input(w->as_group())) return true;
    }
    return false;
}

bool ready_for_keys(Fl_Window *dialog) {
    static Fl_Widget *last_focus = nullptr;
    static std::string last_field;
    Fl_Widget *focus = Fl::focus();
    auto *field = dynamic_cast<Fl_Input_ *>(focus);
    const std::string text = field != nullptr ? field->value() : "";
    const bool steady = focus == last_focus && text == last_field;
    last_focus = focus, last_field = text;
    if (!dialog->shown() || !dialog->visible_r() || focus == nullptr || !dialog->contains(focus))
        return false;
    if (field == nullptr && has_input(dialog)) return false;
    return steady;
}

// Keys without text, as g_keys writes them: Home, Shift+End, Backspace.
struct SpecialKey {
    char code;
    int key, state;
} const kSpecialKeys[] = {
    {'\x01', FL_Home, 0}, {'\x05', FL_End, FL_SHIFT}, {'\b', FL_BackSpace, 0}};

// Types the next of g_keys into each modal dialog that opens ('\r' Enter, '\033' Escape, '\t' Tab,
// and kSpecialKeys), once the dialog is ready for them.
void type_into_dialog(void *) {
    Fl::repeat_timeout(0.02, type_into_dialog);
    Fl_Window *dialog = Fl::modal();
    if (dialog == nullptr || !ready_for_keys(dialog)) return;
    const std::string &keys = g_keys[std::min(g_keys.size() - 1, size_t(g_dialogs))];
    ++g_dialogs;
    g_labels = "|";
    add_labels(dialog);
    auto *field = dynamic_cast<Fl_Input_ *>(Fl::focus());
    g_field = field != nullptr ? field->value() : "";
    for (const char c : keys) {
        const char text[2] = {c, '\0'};
        const auto special = std::find_if(std::begin(kSpecialKeys), std::end(kSpecialKeys),
                                          [c](const SpecialKey &k) { return k.code == c; });
        const bool plain = special == std::end(kSpecialKeys);
        Fl::e_keysym = c == '\r' ? FL_Enter : c == '\033' ? FL_Escape : c == '\t' ? FL_Tab : c;
        if (!plain) Fl::e_keysym = special->key;
        Fl::e_state = plain ? 0 : special->state;
        Fl::e_text = const_cast<char *>(plain ? text : "");
        Fl::e_length = plain ? 1 : 0;
        Fl::handle(FL_KEYBOARD, dialog);
    }
    Fl::e_state = 0;
    g_left_open = g_left_open || dialog->shown();
    dialog->hide();
}

// A dialog that never becomes ready fails the test instead of hanging it.
constexpr double kDialogBoundSeconds = 60;

void dialog_never_ready(void *) {
    if (Fl_Window *dialog = Fl::modal()) {
        ADD_FAILURE() << "a dialog was not ready for keys within " << kDialogBoundSeconds << " s";
        dialog->hide();
    }
}

// True when `act` opened one modal dialog for each of `keys`, one after the other, and each
// closed when its keys were typed into it.
bool answered_each(const std::vector<std::string> &keys, const std::function<void()> &act) {
    g_keys = keys;
    g_dialogs = 0;
    g_left_open = false;
    Fl::add_timeout(0.02, type_into_dialog);
    Fl::add_timeout(kDialogBoundSeconds, dialog_never_ready);
    test::capture_console([&] { act(); });
    Fl::remove_timeout(type_into_dialog);
    Fl::remove_timeout(dialog_never_ready);
    return g_dialogs == static_cast<int>(keys.size()) && !g_left_open;
}

bool answered(const char *keys, const std::function<void()> &act) {
    return answered_each({keys}, act);
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

// The reference for the 3D view's vertex buffer: its frame with the surface's arrays drawn one
// call per vertex, without a pick. Drawn right after a frame of the view, keeping its projection.
void immediate_frame() {
    const GL_Display_3D *v = g_view3d;
    static std::vector<float> vertices(size_t{kMeshVertices} * kMeshVertexFloats);
    static std::vector<uint32_t> indices(kMaxMeshIndices);
    const int count = build_surface_arrays(
        v->results->insole_relief, g_foot_pressure->value() ? v->results->colour_grid : nullptr,
        vertices.data(), indices.data());
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
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < count; ++k) {
        const float *vertex = &vertices[size_t{kMeshVertexFloats} * indices[k]];
        glColor3fv(vertex + 6);
        glNormal3fv(vertex + 3);
        glVertex3fv(vertex);
    }
    glEnd();
    glDisable(GL_NORMALIZE);
    glDisable(GL_LIGHTING);
}

std::vector<uint8_t> relief() {
    const DesignResults &r = g_design->results();
    return std::vector<uint8_t>(r.relief_grid, r.relief_grid + kGridCells);
}

// The relief and the controls as the window shows them (in the order of Control).
std::pair<std::vector<uint8_t>, Controls> shown() {
    Controls c;
    for (int i = 0; i < kControlCount; ++i)
        c.value[i] = shown_value(static_cast<Control>(i));
    return {relief(), c};
}

// The colour key's swatch beside each of its lines, as the key draws it.
std::vector<std::vector<uint8_t>> key_swatches() {
    g_main_window->make_current();
    const Fl_Offscreen drawn = fl_create_offscreen(g_main_window->w(), g_main_window->h());
    fl_begin_offscreen(drawn);
    g_colour_key->draw();
    std::vector<std::vector<uint8_t>> swatches;
    for (int row : g_colour_key->line_rows()) {
        swatches.emplace_back(3);
        fl_read_image(swatches.back().data(), g_colour_key->x() + 10, row, 1, 1);
    }
    fl_end_offscreen();
    fl_delete_offscreen(drawn);
    return swatches;
}

// Every test starts with the stand-ins for the operator's answers and a new pair, both feet
// empty; each loads what it needs.
struct StandIns : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override {
        show_message_box = [](const char *text, const char *caption) {
            g_box_text = text;
            g_box_caption = caption;
        };
        ask_question = [](const char *, const char *, const char *) { return 1; };
        ask_choice = [](const char *, const char *, const char *, const char *) { return 1; };
        ask_print_settings = [](PrintSettings &) { return false; };
        ask_order = [](OrderData &) { return false; };
        confirm_discard = ask_before_discard;
        start_new_pair();
        g_box_text.clear();
    }
};

}  // namespace

// Every control through its real callback (the size from its menu, the point by a click), in the
// batch command's order: the files, design file too, equal the batch command's for the same
// options and for the saved design, and undo walks back through every step, moving the controls.
TEST(Actions, ScriptedDesignMatchesTheBatchCommandAndUndoes) {
    const std::string dir = test::scratch_dir();
    // The batch command starts from the start values; the window keeps Filter and Gain over a load.
    set(Control::kFilter, control_spec(Control::kFilter).start);
    set(Control::kGain, control_spec(Control::kGain).start);
    load("samples/right_253_4-5.bmp");
    const std::pair<void (*)(), const char *> script[] = {
        {[] { choose_size("CM26-27"); }, "--size CM26-27"},
        {[] { set(Control::kPadWidth, 45); }, "--pad-width 45"},
        {[] { set(Control::kPadLength, 70); }, "--pad-length 70"},
        {[] { set(Control::kPadHeight, 4); }, "--pad-height 4"},
        {[] { set(Control::kMeta1, 3); }, "--meta1 3"},
        {[] { set(Control::kMeta2, 2); }, "--meta2 2"},
        {[] { set(Control::kHeel1, -2); }, "--heel1 -2"},
        {[] { set(Control::kHeel2, 4); }, "--heel2 4"},
        {[] { set(Control::kHeel3, 1); }, "--heel3 1"},
        {[] {
             drag({{70, 120}});
         },
         "--meta-point 70,239"},  // rows count from the view's bottom
        {[] { set(Control::kStamp, 1); }, "--stamp"},
        {[] { set(Control::kFilter, 40); }, "--filter 40"},
        {[] { set(Control::kGain, 6.5); }, "--gain 6.5"},
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
    EXPECT_STREQ(g_main_window->label(), "Pedaform - right_253_4-5.bmp *");
    save_design_path((dir + "/gui").c_str());
    EXPECT_STREQ(g_main_window->label(), "Pedaform - gui.json (right_253_4-5.bmp)");

    // The engraving entry smooths first, then writes; the 3D-print entry writes the surface.
    // "輸出3D列印鞋墊…": a closed solid by its ".stl" name, else a 3MF with the zones asked.
    ask_print_settings = [](PrintSettings &s) {
        s.zones = parse_print_zones("0:35,96:20,160:10").value();
        return true;
    };
    test::capture_console([&] {
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
    EXPECT_STREQ(g_main_window->label(), "Pedaform - gui.json (right_253_4-5.bmp) *");
    undo_cb(nullptr, nullptr);
    for (size_t k = steps.size(); k-- > 0;) {
        ASSERT_TRUE(shown() == steps[k]) << "before undoing step " << k;
        undo_cb(nullptr, nullptr);  // at step 0: the load is as far back as it goes
    }
    EXPECT_TRUE(shown() == steps[0]);
    test::capture_console([] { redo_cb(nullptr, nullptr); });
    EXPECT_TRUE(shown() == steps[1]);

    test::capture_console([&] { open_design_path((dir + "/gui.json").c_str()); });
    EXPECT_TRUE(shown() == steps.back());
    EXPECT_STREQ(g_main_window->label(), "Pedaform - gui.json (right_253_4-5.bmp)");
}

// Refused files are said in a box and change nothing, whatever the chosen name's length; a foot
// length that matches no size bin is said, and there is no template until a size is chosen.
TEST(Actions, RefusedFilesAndUnmatchedLengthsAreSaid) {
    load("samples/left_253_CM25-26.bmp");
    set(Control::kStamp, 1);
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/bad.bmp", {'x'});
    mkdir((dir + "/folder.bmp").c_str(), 0755);
    ASSERT_EQ(mkfifo((dir + "/fifo.bmp").c_str(), 0644), 0);
    const auto before = shown();
    const size_t steps = g_design->position();
    // No refused scan holds the window up (a FIFO is not waited on), and none changes anything.
    const std::pair<std::string, std::string> refused[] = {
        {dir + "/bad.bmp", "格式錯誤"},
        {dir + "/" + std::string(3000, 'n') + ".bmp", "檔名太長 (File name too long)"},
        {dir + "/fifo.bmp", "不是一般檔案（管線）"},
        {dir + "/folder.bmp", "不是一般檔案（資料夾）"},
        {"/dev/urandom", "不是一般檔案（裝置）"},
    };
    for (const auto &[path, text] : refused) {
        g_box_text.clear();
        load(path);
        EXPECT_EQ(g_box_text + " " + g_box_caption, text + " 讀檔錯誤");
    }
    EXPECT_STREQ(g_size_output->value(), "CM25-26");
    EXPECT_TRUE(shown() == before);
    EXPECT_EQ(g_design->position(), steps);
    // Write and read failures say the common causes in Chinese, the system's text after them.
    test::write_file(dir + "/bad.json", {'{'});
    const std::pair<std::function<void()>, std::string> failures[] = {
        {[&] { export_engraving_to((dir + "/" + std::string(300, 'w')).c_str()); },
         "無法寫入檔案: " + dir + "/" + std::string(300, 'w') +
             ".bmp\n檔名太長 (File name too long)"},
        {[&] { open_design_path((dir + "/bad.json").c_str()); },
         "設計檔無法使用: " + dir + "/bad.json\n不是設計檔：內容不是 JSON"},
        {[&] { export_engraving_to((dir + "/none/x.bmp").c_str()); },
         "無法寫入檔案: " + dir + "/none/x.bmp\n資料夾不存在 (No such file or directory)"},
        {[&] { export_engraving_to((dir + "/folder.bmp").c_str()); },
         "無法寫入檔案: " + dir + "/folder.bmp\n這是資料夾，不是檔案 (Is a directory)"},
        {[&] { open_design_path((dir + "/none.json").c_str()); },
         "無法讀取設計檔: " + dir + "/none.json\n檔案不存在 (No such file or directory)"},
    };
    for (const auto &[act, text] : failures) {
        test::capture_console([&] { act(); });
        EXPECT_EQ(g_box_text, text);
    }

    synth::ScanRecipe recipe;
    recipe.length = 240;
    test::write_file(dir + "/odd.bmp", synth::scan_bmp(synth::make_scan(recipe)));
    load(dir + "/odd.bmp");
    EXPECT_EQ(g_box_text, "鞋墊長度 240 不符任何尺碼，最接近 2.5-3.5 / CM23-24，請選擇尺碼");
    EXPECT_STREQ(g_size_output->value(), "");
    choose_size("CM23-24");
    EXPECT_STREQ(g_size_output->value(), "CM23-24");
}

// Enter and Escape answer every question with 取消, which keeps the operator's work: unsaved
// steps (on closing and on loading), a design whose scan changed, a file that would be replaced.
// The other answer gives it up.
TEST(Dialogs, EnterAndEscapeKeepTheOperatorsWork) {
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/scan.bmp", test::read_file("samples/left_253_CM25-26.bmp"));
    load(dir + "/scan.bmp");
    save_design_path((dir + "/changed.json").c_str());
    test::write_file(dir + "/scan.bmp", test::read_file("samples/left_253_measured.bmp"));
    set(Control::kMeta1, 3);  // unsaved
    for (const char *name : {"/kept.json", "/kept.stl", "/kept.bmp"})
        test::write_file(dir + name, {'x'});
    ask_question = show_question;
    const std::pair<const char *, std::function<void()>> questions[] = {
        {"放棄變更", [] { Fl::handle(FL_CLOSE, g_main_window); }},
        {"放棄變更", [] { load("samples/left_191_CM17.5-19.bmp"); }},
        {"開啟", [&] { open_design_path((dir + "/changed.json").c_str()); }},
        {"取代", [&] { save_design_path((dir + "/kept.json").c_str()); }},
        {"取代", [&] { export_printable_to((dir + "/kept.stl").c_str()); }},
        {"取代", [&] { export_engraving_to((dir + "/kept").c_str()); }},
    };
    for (const auto &[other, act] : questions)
        for (const char *keys : {"\r", "\033"}) {
            EXPECT_TRUE(answered(keys, act)) << other;
            EXPECT_EQ(shown_value(Control::kMeta1), 3) << other;
            EXPECT_TRUE(g_main_window->shown()) << other;
            EXPECT_NE(g_labels.find(std::string("|") + other + "|"), std::string::npos) << other;
        }
    for (const char *name : {"/kept.json", "/kept.stl", "/kept.bmp"})
        EXPECT_EQ(test::read_file(dir + name), std::vector<uint8_t>{'x'}) << name;
    for (const auto &[other, act] : questions)
        EXPECT_TRUE(answered("\t ", act)) << other;  // Tab to the other answer, Space presses it
    EXPECT_FALSE(g_main_window->shown());            // closed first, with the steps unsaved
    g_main_window->show();
    pump(20);
    EXPECT_EQ(g_design->scan_path(), dir + "/scan.bmp");  // the design opened on the new bytes
    for (const char *name : {"/kept.json", "/kept.stl", "/kept.bmp"})
        EXPECT_GT(test::read_file(dir + name).size(), 1u) << name;
}

// Without a scan, the exports added to the engraving one say so and write nothing.
TEST(Dialogs, WithoutAScanTheAddedExportsWriteNothing) {
    const std::string dir = test::scratch_dir();
    Design *const shown_design = g_design;
    Design none(*g_resources, load_scan_file);
    g_design = &none;
    const size_t outline = g_image_view->outline.size();
    const std::function<void()> exports[] = {
        [&] { export_printable_to((dir + "/a.stl").c_str()); },
        [&] { save_design_path((dir + "/a.json").c_str()); },
        [] { export_printable_cb(nullptr, nullptr); },
        [] { save_design_cb(nullptr, nullptr); },
    };
    for (const auto &act : exports) {
        g_box_text.clear();
        EXPECT_FALSE(answered("\033", act));  // no chooser either
        EXPECT_EQ(g_box_text, "尚未讀取掃描檔");
    }
    g_design = shown_design;
    EXPECT_TRUE(test::files_in(dir).empty());
    EXPECT_EQ(g_image_view->outline.size(), outline);
}

// A cancelled chooser or export, or an export over the design's scan, adds no step and changes
// nothing. Extensions match in either case; "儲存設計" saves to the design's own file, and asks
// first when the design's scan is gone.
TEST(Dialogs, CancelsAndTheDesignsOwnFiles) {
    const std::string dir = test::scratch_dir(), scan = dir + "/scan.bmp";
    test::write_file(scan, test::read_file("samples/left_253_CM25-26.bmp"));
    load(scan);
    set(Control::kStamp, 1);
    const auto before = shown();
    const size_t steps = g_design->position();
    EXPECT_TRUE(answered("\033", [] { load_cb(nullptr, nullptr); }));
    EXPECT_TRUE(answered("\033", [] { export_engraving_cb(nullptr, nullptr); }));
    test::capture_console([&] { export_engraving_to(scan.c_str()); });
    EXPECT_EQ(g_box_text, "不能覆寫目前的掃描檔");
    EXPECT_TRUE(shown() == before);
    EXPECT_EQ(g_design->position(), steps);
    EXPECT_EQ(test::read_file(scan), test::read_file("samples/left_253_CM25-26.bmp"));

    test::capture_console([&] { export_engraving_to((dir + "/c.BMP").c_str()); });
    save_design_path((dir + "/d.JSON").c_str());
    EXPECT_EQ(test::files_in(dir),
              (std::vector<std::string>{dir + "/c.BMP", dir + "/d.JSON", scan}));
    set(Control::kMeta1, 2);
    EXPECT_FALSE(answered("\033", [] { save_design_cb(nullptr, nullptr); }));  // no chooser
    EXPECT_STREQ(g_main_window->label(), "Pedaform - d.JSON (scan.bmp)");
    std::remove(scan.c_str());
    set(Control::kMeta1, 3);
    static std::string question;
    ask_question = [](const char *text, const char *, const char *) { return question = text, 0; };
    save_design_cb(nullptr, nullptr);
    EXPECT_EQ(question.rfind("找不到掃描檔: " + scan, 0), 0u) << question;
    EXPECT_TRUE(g_design->modified());
}

// A save chooser opens on the scan's name in the folder last used, and a name typed into FLTK's
// own chooser replaces it; the chooser speaks Chinese. A design whose scan is missing offers to
// choose one and is replayed on it.
TEST(Dialogs, ATypedNameReplacesTheProposalInFltksChooser) {
    ASSERT_FALSE(Fl::option(Fl::OPTION_FNFC_USES_GTK));  // GTK's chooser would wait for a hand
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/gone.bmp", test::read_file("samples/left_253_CM25-26.bmp"));
    load(dir + "/gone.bmp");
    EXPECT_TRUE(answered("typed\r", [] { save_design_cb(nullptr, nullptr); }));
    EXPECT_EQ(g_field, dir + "/gone.json");
    EXPECT_FALSE(test::read_file(dir + "/typed.json").empty());
    EXPECT_STREQ(g_main_window->label(), "Pedaform - typed.json (gone.bmp)");
    for (const char *label : {"顯示:", "我的最愛", "檔名:", "預覽", "顯示隱藏檔", "確定", "取消"})
        EXPECT_NE(g_labels.find(std::string("|") + label + "|"), std::string::npos) << label;
    EXPECT_TRUE(answered("\033", [] { save_design_as_cb(nullptr, nullptr); }));
    EXPECT_EQ(g_field, dir + "/typed.json");  // "另存設計…" proposes the design's own file

    std::rename((dir + "/gone.bmp").c_str(), (dir + "/moved.bmp").c_str());
    static std::string question;
    ask_question = [](const char *text, const char *, const char *) { return question = text, 1; };
    EXPECT_TRUE(answered("moved.bmp\r", [&] { open_design_path((dir + "/typed.json").c_str()); }));
    EXPECT_EQ(question, "找不到掃描檔: " + dir + "/gone.bmp\n要選擇掃描檔嗎？");
    EXPECT_STREQ(g_main_window->label(), "Pedaform - typed.json (moved.bmp)");
}

// In FLTK's own chooser, a name typed into the emptied field (Home, Shift+End, Backspace) and a
// full path typed over the selected one are the files written.
TEST(Dialogs, ANameTypedIntoTheEmptiedFieldAndAPathOverTheSelectedOne) {
    const std::string dir = test::scratch_dir(), other = test::scratch_dir();
    test::write_file(dir + "/foot.bmp", test::read_file("samples/left_253_CM25-26.bmp"));
    load(dir + "/foot.bmp");
    EXPECT_TRUE(answered("\x01\x05\bmine.json\r", [] { save_design_as_cb(nullptr, nullptr); }));
    const std::string folder = g_field.substr(0, g_field.rfind('/'));  // the folder last used
    EXPECT_FALSE(test::read_file(folder + "/mine.json").empty()) << g_field;
    const std::string keys = "\x01\x05" + other + "/typed path.json\r";
    EXPECT_TRUE(answered(keys.c_str(), [] { save_design_as_cb(nullptr, nullptr); }));
    EXPECT_EQ(test::files_in(other), (std::vector<std::string>{other + "/typed path.json"}));
}

// "建議處方": one action takes the proposal's steps, shows them in the sliders, says each value
// and why in one message, and undoes step by step like any other.
TEST(Actions, TheProposalIsOneActionOfOrdinarySteps) {
    load("samples/left_191_CM17.5-19.bmp");
    test::capture_console([] { propose_cb(nullptr, nullptr); });
    EXPECT_EQ(shown_value(Control::kBase), 2);
    EXPECT_NE(g_box_text.find("後跟杯 10 mm：腳長 191 mm，未滿 240 mm"), std::string::npos)
        << g_box_text;
    const size_t steps = g_design->position();
    test::capture_console([] { undo_cb(nullptr, nullptr); });
    EXPECT_EQ(g_design->position(), steps - 1);
    EXPECT_EQ(shown_value(Control::kBase), 0);
}

// A number typed into a slider's value box moves the control when it lies on the row's range
// and step; anything else is said and the box shows the control's value again.
TEST(Actions, ATypedValueIsCheckedAgainstTheRowsRangeAndStep) {
    load("samples/left_253_CM25-26.bmp");
    auto *slider = static_cast<ControlSlider *>(control_widget(Control::kRearfootPost));
    for (const auto &[typed, taken] :
         {std::tuple{"4", 4.0}, std::tuple{"-8", -8.0}, std::tuple{"4.3", -8.0},
          std::tuple{"8.5", -8.0}, std::tuple{"4x", -8.0}}) {
        g_box_text.clear();
        slider->field()->value(typed);
        test::capture_console([&] { slider->field()->do_callback(); });
        EXPECT_EQ(g_design->controls()[Control::kRearfootPost], taken) << typed;
        EXPECT_EQ(g_box_text.empty(), std::string(typed) == "4" || std::string(typed) == "-8")
            << typed;
        EXPECT_EQ(slider->field()->value(), std::string(taken == 4 ? "4.0" : "-8.0")) << typed;
    }
}

TEST(Actions, LoadArrangesSlidersAndShowsThePreviewAndItsKey) {
    const int heel3 = control_widget(Control::kHeel3)->x();
    static_cast<Fl_Valuator *>(control_widget(Control::kMeta1))->value(4);
    // A right foot is shown mirrored: each pad's slider moves over its side of the insole.
    for (const auto &[name, mirrored, size] : {std::tuple{"right_253_4-5", true, "4-5"},
                                               std::tuple{"left_253_CM25-26", false, "CM25-26"}}) {
        load(std::string("samples/") + name + ".bmp");
        EXPECT_EQ(g_design->scan().template_mirrored, mirrored);
        EXPECT_EQ(control_widget(Control::kMeta1)->x() < control_widget(Control::kMeta2)->x(),
                  mirrored);
        EXPECT_EQ(control_widget(Control::kHeel1)->x() < control_widget(Control::kHeel2)->x(),
                  mirrored);
        EXPECT_EQ(control_widget(Control::kHeel3)->x(), heel3);
        EXPECT_EQ(shown_value(Control::kMeta1), 0);
        EXPECT_STREQ(g_size_output->value(), size);
    }
    EXPECT_EQ(shown_value(Control::kPadWidth), 51);  // the presets of the 253 mm bin
    EXPECT_EQ(shown_value(Control::kPadLength), 82);
    EXPECT_DOUBLE_EQ(shown_value(Control::kPadHeight), 3.0);

    // The foot's pixels are the preview's colour-table entries, but for the dots and the cross.
    EXPECT_TRUE(g_image_view->outline.empty());  // an earlier scan's export outline
    const std::vector<uint8_t> px = frame_pixels(g_image_view);
    int foot = 0, same = 0;
    for (int i = 0; i < kGridCells; i += 3) {
        if (g_design->scan().base_grid[i] < 10) continue;
        ++foot;
        same += std::equal(&px[3 * i], &px[3 * i + 3], &g_design->results().relief_preview[4 * i]);
    }
    EXPECT_GT(foot, 2000);
    EXPECT_GT(same, foot * 98 / 100) << foot;
    // Around the foot the insole's border, the fitted outline, in pale blue.
    const uint8_t *insole = g_design->results().insole_grid;
    int border = 0, blue = 0;
    for (int i = kGridWidth + 1; i < kGridCells - kGridWidth - 1; ++i) {
        if (!insole[i] || g_design->scan().base_grid[i] != 0) continue;
        if (insole[i - 1] && insole[i + 1] && insole[i - kGridWidth] && insole[i + kGridWidth])
            continue;
        ++border;
        int off = 0;
        for (int c = 0; c < 3; ++c)
            off += std::abs(px[3 * i + c] - std::lround(255 * GL_Display_Image::kInsoleBorder[c]));
        blue += off <= 3;
    }
    EXPECT_GT(border, 400);
    EXPECT_GT(blue, border * 98 / 100) << border;

    // The key beside the view gives each colour its change in millimetres: an unchanged foot
    // cell has the colour at "0 mm", a cell raised 4 mm by the base the one at "+4 mm".
    EXPECT_EQ(g_colour_key->lines(),
              (std::vector<std::string>{"高度變化", "+8 mm", "+4 mm", "0 mm", "-4 mm", "-8 mm"}));
    const Landmark heel = g_design->scan().landmarks[3];
    const int cell = static_cast<int>(heel.row) * kGridWidth + static_cast<int>(heel.column);
    const uint8_t *shown = &g_design->results().relief_preview[4 * cell];
    EXPECT_EQ(std::vector<uint8_t>(shown, shown + 3), key_swatches()[2]);
    set(Control::kBase, 4);
    EXPECT_EQ(std::vector<uint8_t>(shown, shown + 3), key_swatches()[1]);
}

// With the stamped pad on, a press-drag-release places the dome's apex as one step, the arrow
// keys a step each; the apex stays on the insole and the relief rises most there. Undo and
// reset bring the search's point back.
TEST(ImageView, ADragPlacesTheDomeApexAsOneStepOnTheInsole) {
    load("samples/right_253_wide_heel_turned.bmp");
    const DesignResults &r = g_design->results();
    const std::pair<float, float> found{r.meta_column, r.meta_row};
    set(Control::kStamp, 1);
    const std::vector<uint8_t> before = relief();
    const size_t steps = g_design->position();
    auto point = [&] { return std::pair{r.meta_column, r.meta_row}; };
    auto apex = [] { return std::pair{g_design->dome_apex().column, g_design->dome_apex().row}; };
    drag({{75, 100}, {77, 104}, {79, 108}, {80, 110}});  // rows count from the view's bottom
    EXPECT_EQ(apex(), (std::pair{80.0f, 249.0f}));
    EXPECT_EQ(g_design->position(), steps + 1);
    int top = 0;  // the cell the stamp raises most
    for (int i = 0; i < kGridCells; ++i)
        if (r.relief_grid[i] - g_design->scan().base_grid[i] >
            r.relief_grid[top] - g_design->scan().base_grid[top])
            top = i;
    EXPECT_NEAR(top % kGridWidth, 80, 2);
    EXPECT_NEAR(top / kGridWidth, 249, 2);
    for (int key : {FL_Right, FL_Up}) {
        Fl::e_keysym = key;
        EXPECT_EQ(g_image_view->handle(FL_KEYBOARD), 1);
    }
    EXPECT_EQ(apex(), (std::pair{81.0f, 250.0f}));
    drag({{60, 90}, {81, 109}});  // back where it started: no step
    EXPECT_EQ(g_design->position(), steps + 3);
    for (int k = 0; k < 3; ++k)
        undo_cb(nullptr, nullptr);
    EXPECT_EQ(point(), found);
    EXPECT_TRUE(relief() == before);

    // Off the insole the apex takes the nearest insole cell: none lies nearer the click.
    auto insole = [&](int x, int y) { return r.insole_grid[y * kGridWidth + x] != 0; };
    drag({{-20, 400}});  // the grid's corner (0, 0)
    const int x = static_cast<int>(apex().first), y = static_cast<int>(apex().second);
    EXPECT_TRUE(insole(x, y)) << x << "," << y;
    EXPECT_FALSE(x > 0 && insole(x - 1, y)) << x << "," << y;
    EXPECT_FALSE(y > 0 && insole(x, y - 1)) << x << "," << y;
    reset_point_cb(nullptr, nullptr);
    EXPECT_EQ(point(), found);
}

// The vertex buffer draws the pixels of plain immediate mode; the pointer picks the height.
TEST(View3D, TheSurfaceBufferDrawsAsImmediateModeAndThePointerPicks) {
    load("samples/right_305_CM29-30.bmp");
    const std::vector<uint8_t> scan = relief();
    // The view draws the results it is given: here the test's own.
    auto mine = std::make_unique<DesignResults>(g_design->results());
    g_view3d->results = mine.get();
    // Steep steps with cells below 10 between them, and lone raised cells.
    std::vector<uint8_t> steps(kGridCells), lone(kGridCells, 0);
    for (int i = 0; i < kGridCells; ++i) {
        steps[i] = static_cast<uint8_t>((i * 37 + i / kGridWidth * 11) % 256);
        if ((i / kGridWidth) % 4 == 1 && i % 3 == 0) lone[i] = static_cast<uint8_t>(40 + i % 200);
    }
    for (int i = 0; i < 3 * kGridCells; ++i)
        mine->colour_grid[i] = static_cast<uint8_t>(i * 7);
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
        std::copy(c.relief->begin(), c.relief->end(), mine->insole_relief);
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

    std::memset(mine->insole_relief, 32, kGridCells);  // 32 grey levels: 6.4 mm
    g_view3d->top_view();
    // The view's centre looks at the grid's centre from above.
    set_event(g_view3d->w() / 2, g_view3d->h() / 2);
    g_view3d->handle(FL_MOVE);
    frame_pixels(g_view3d);  // the first frame sets up the projection
    const std::vector<uint8_t> px = frame_pixels(g_view3d);
    EXPECT_STREQ(g_view3d->readout(), "6.40 mm");
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
    g_view3d->results = &g_design->results();
}

// The keys 1 to 4, typed anywhere in the window, give the top, medial, lateral and heel views
// of either foot. The cell the view's centre shows lies on the camera's side of the foot's
// middle, the medial one under the arch support.
TEST(View3D, KeysGiveTheTopMedialLateralAndHeelViews) {
    for (const char *name : {"left_253_measured", "right_253_wide_heel_turned"}) {
        load(std::string("samples/") + name + ".bmp");
        set(Control::kArch, 15);
        const int medial = g_design->scan().template_mirrored ? -1 : 1;  // high columns: left
        set_event(g_view3d->w() / 2, g_view3d->h() / 2);
        g_view3d->handle(FL_MOVE);
        auto look = [](int key) {
            Fl::e_keysym = key;
            EXPECT_EQ(Fl::handle(FL_KEYBOARD, g_main_window), 1) << key;
            frame_pixels(g_view3d);
            return std::pair{static_cast<int>(g_view3d->pick_row), g_view3d->pick_col};
        };
        look('1');
        EXPECT_EQ(std::pair(g_view3d->angle_x, g_view3d->angle_y), std::pair(90.0f, 90.0f));
        const auto [row, medial_column] = look(FL_KP + '2');
        EXPECT_GT((medial_column - kGridWidth / 2) * medial, 10) << name;
        // A column inward of the point: the view may show the outer foot of the insole's wall.
        const int inward = static_cast<int>(medial_column) - medial;
        EXPECT_GT(g_design->results().layers[index(Layer::kArch)][row * kGridWidth + inward], 0)
            << name;
        EXPECT_LT((look('3').second - kGridWidth / 2) * medial, -10) << name;
        EXPECT_LT(look('4').first, kGridHeight / 2 - 10) << name;
    }
    g_view3d->top_view();
}

// "訂單資料…" through its dialog: a date that is none is said in Chinese and the dialog stays;
// the order kept is no step but marks the title. "輸出訂單…" writes the sheet pdftotext reads.
TEST(Actions, TheOrderIsEnteredAndItsSheetExported) {
    load("samples/right_305_CM29-30.bmp");
    ask_order = [](OrderData &order) {
        OrderDialog d(order);
        Fl_Input *const *field = d.fields;
        field[static_cast<int>(OrderField::kPatient)]->value("O'Brien & 陳");
        field[static_cast<int>(OrderField::kBirthDate)]->value("2023-02-29");
        d.ok->do_callback();
        EXPECT_EQ(g_box_text, "出生日期「2023-02-29」不是有效的日期（年-月-日，例如 2024-02-29）");
        field[static_cast<int>(OrderField::kBirthDate)]->value("1961-07-04");
        d.ok->do_callback();
        if (!d.run()) return false;
        order = d.order();
        return true;
    };
    order_cb(nullptr, nullptr);
    EXPECT_EQ(g_design->order()[OrderField::kBirthDate], "1961-07-04");
    EXPECT_FALSE(g_design->can_undo());
    EXPECT_STREQ(g_main_window->label(), "Pedaform - right_305_CM29-30.bmp *");
    const std::string dir = test::scratch_dir();
    test::capture_console([&] { export_order_to((dir + "/order").c_str()); });
    const std::string text = test::command_output("pdftotext -enc UTF-8 " + dir + "/order.pdf -");
    for (const char *words : {"O'Brien & 陳", "1961-07-04", "305 mm"})
        EXPECT_NE(text.find(words), std::string::npos) << words;
}

TEST(PrintDialog, RowsSlicerAndToleranceAndTheZonesInTheImageView) {
    load("samples/left_253_CM25-26.bmp");
    g_preferences_dir = test::scratch_dir();
    const std::vector<PrintZone> zones = parse_print_zones(kDefaultPrintZones).value();
    const Landmark *l = g_design->scan().landmarks;
    auto shown_at = [](float row, float column) {  // the image view's pixel of a cell
        const std::vector<uint8_t> px = frame_pixels(g_image_view);
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
        // The key beside the view names each zone's colour, threshold and infill.
        EXPECT_EQ(g_colour_key->lines(),
                  (std::vector<std::string>{"壓力分區", "門檻 0%　填充 35%", "門檻 10%　填充 20%",
                                            "門檻 50%　填充 10%"}));
        const std::vector<std::vector<uint8_t>> swatches = key_swatches();
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(swatches[k], colour(k)) << k;
        d.add_zone();  // 10 points above the last, at its infill
        d.remove_zone(1);
        d.rows[1].density->value(15);
        d.slicer->value(static_cast<int>(Slicer::kCura));
        d.tolerance->value(0.1);
        EXPECT_EQ(print_zones_text(d.settings().zones), "0%:35,50%:15,60%:10");
        d.rows[2].threshold->value(50);  // the dialog's own words, naming its rows
        EXPECT_EQ(d.check_zones().message(), "分區 3 的門檻須高於分區 2 的門檻");
        d.rows[2].threshold->value(60);
        EXPECT_EQ(d.settings().tolerance_mm, 0.1);
        d.ok->do_callback();
        EXPECT_TRUE(d.run());
    }
    EXPECT_TRUE(g_image_view->zone_colours.empty());  // the preview is back
    EXPECT_EQ(g_colour_key->lines().front(), "高度變化");
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
    const int image = g_image_view->draws(), view = g_view3d->draws(),
              fills = g_view3d->surface_fills();
    test::capture_console([&] { pump(20); });
    EXPECT_EQ(g_image_view->draws(), image);
    EXPECT_EQ(g_view3d->draws(), view);

    // Turning the camera, a degree a pixel of right-button drag: one frame, no refill.
    const float angle_y = g_view3d->angle_y;
    test::capture_console([&] {
        set_event(0, g_view3d->h() - 1, 3);  // the pointer's own events may have moved it
        g_view3d->handle(FL_PUSH);
        set_event(10, g_view3d->h() - 1, 3);
        g_view3d->handle(FL_DRAG);
        pump(10);
    });
    EXPECT_EQ(g_view3d->angle_y, angle_y + 10);
    EXPECT_EQ(g_view3d->draws(), view + 1);
    EXPECT_EQ(g_view3d->surface_fills(), fills);
    EXPECT_EQ(g_image_view->draws(), image);

    // The stamp switched on: one frame in each view, one refill.
    set(Control::kStamp, 1);
    test::capture_console([&] { pump(10); });
    EXPECT_EQ(g_image_view->draws(), image + 1);
    EXPECT_EQ(g_view3d->surface_fills(), fills + 1);
    EXPECT_EQ(g_view3d->draws(), view + 2);
}

// Each foot of a pair keeps its surface in the 3D view: once both were shown, every switch
// draws the other foot at the next tick without refilling a buffer.
TEST(Views, SwitchingFeetDrawsTheOtherFootWithoutARefill) {
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/s_L.bmp", test::read_file("samples/left_253_CM25-26.bmp"));
    test::write_file(dir + "/s_R.bmp", test::read_file("samples/right_253_4-5.bmp"));
    load(dir + "/s_L.bmp");
    ASSERT_TRUE(g_pair->design(Foot::kRight).loaded());
    for (int foot : {1, 0}) {
        g_foot_buttons[foot]->do_callback();
        test::capture_console([] { pump(10); });
    }
    const int fills = g_view3d->surface_fills(), draws = g_view3d->draws();
    for (int k = 1; k <= 4; ++k) {
        g_foot_buttons[k % 2]->do_callback();
        test::capture_console([] { pump(10); });
        EXPECT_EQ(g_view3d->results, &g_pair->design(k % 2 ? Foot::kRight : Foot::kLeft).results());
        EXPECT_EQ(g_view3d->draws(), draws + k) << k;
    }
    EXPECT_EQ(g_view3d->surface_fills(), fills);
}

// The menus keep their entries in order ("尺碼" every size label); the labels have a font that
// covers them; resizing grows only the 3D view; Escape keeps the window.
// Every control of the table has its widget: its label, place, range and step, and a
// callback that moves the design's control.
TEST(MainWindow, EveryControlHasItsWidget) {
    load("samples/right_253_4-5.bmp");  // a right foot keeps the table's arrangement
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        const ControlSpec &row = control_spec(c);
        Fl_Widget *w = control_widget(c);
        ASSERT_NE(w, nullptr) << row.name;
        EXPECT_STREQ(w->label(), row.label);
        EXPECT_EQ(w->y(), row.y) << row.name;
        if (!is_check(c) && row.widget != Widget::kChoice) {
            const auto *v = static_cast<Fl_Valuator *>(w);
            EXPECT_EQ(v->minimum(), row.min) << row.name;
            EXPECT_EQ(v->maximum(), row.max) << row.name;
            EXPECT_EQ(v->step(), row.step) << row.name;
        }
        set(c, row.max);
        EXPECT_EQ(g_design->controls()[c], row.max) << row.name;
        // The orthotic rows were added where no widget stood (the original rows touch by a pixel).
        const bool orthotic = row.group == ControlGroup::kOrthotics;
        for (int k = 0; orthotic && k < g_main_window->children(); ++k) {
            Fl_Widget *o = g_main_window->child(k);
            const bool own = o == w || (row.widget == Widget::kSlider &&
                                        o == static_cast<ControlSlider *>(w)->field());
            const bool apart = own || o->x() >= w->x() + w->w() || w->x() >= o->x() + o->w() ||
                               o->y() >= w->y() + w->h() || w->y() >= o->y() + o->h();
            EXPECT_TRUE(apart || o->box() == FL_ENGRAVED_FRAME || o == g_main_window->resizable())
                << row.name << " overlaps " << (o->label() ? o->label() : "a widget");
        }
    }
}

TEST(MainWindow, MenusFontSizesAndKeys) {
    std::string labels;
    for (const Fl_Menu_Item *item = g_menu->menu(); item < g_menu->menu() + g_menu->size() - 1;
         ++item)
        labels += std::string(item->label() ? item->label() : "|") +
                  (item->visible() ? " " : "(hidden) ");
    std::string expected =
        "檔案 讀檔 匯入壓力檔… 輸出雕刻用鞋墊 輸出3D列印用鞋墊(hidden) 開啟設計… 儲存設計 "
        "另存設計… 開啟左右一對… 儲存左右一對… 新的一對 輸出3D列印鞋墊… 訂單資料… 輸出訂單… | "
        "上視角 編輯 復原 重做 重設蹠骨點 依蹠骨頭放置 建議處方 | 尺碼 ";
    for (int i = 0; i < kSizeLabelCount; ++i)
        expected += size_label(i) + std::string(" ");
    EXPECT_EQ(labels, expected + "| ");
    EXPECT_EQ(g_menu->find_item("編輯/復原")->shortcut(), FL_CTRL + 'z');
    EXPECT_EQ(g_menu->find_item("編輯/重做")->shortcut(), FL_CTRL + 'y');
    EXPECT_EQ(g_menu->find_item("檔案/儲存設計")->shortcut(), FL_CTRL + 's');

    const std::string family = find_label_font();
    ASSERT_FALSE(family.empty());
    EXPECT_TRUE(font_covers(family, "\xE8\xB9\xA0\xE5\xA2\x8A"));  // U+8E60 U+588A
    EXPECT_TRUE(font_covers(family, label_text().c_str()));
    EXPECT_NE(std::string(Fl::get_font(FL_HELVETICA)).find(family), std::string::npos);

    Fl_Double_Window *w = g_main_window;
    // The line under the 3D view says how to turn it, zoom it and choose a view, and fits.
    Fl_Widget *help = w->child(w->find(g_view3d) + 1);
    ASSERT_EQ(help->label(), kView3DHelp);
    EXPECT_TRUE(font_covers(family, kView3DHelp));
    fl_font(help->labelfont(), help->labelsize());
    EXPECT_LE(fl_width(kView3DHelp), help->w());
    auto geometry = [](Fl_Widget *v) { return std::vector<int>{v->x(), v->y(), v->w(), v->h()}; };
    const std::vector<int> v3 = geometry(g_view3d), im = geometry(g_image_view);
    w->resize(w->x(), w->y(), w->w() + 100, w->h() + 60);
    pump();
    EXPECT_EQ(geometry(g_view3d), (std::vector<int>{v3[0], v3[1], v3[2] + 100, v3[3] + 60}));
    EXPECT_EQ(geometry(g_image_view), (std::vector<int>{im[0], im[1], kGridWidth, kGridHeight}));
    EXPECT_EQ(geometry(help), (std::vector<int>{v3[0], v3[1] + v3[3] + 61, v3[2] + 100, 14}));
    w->resize(w->x(), w->y(), w->w() - 100, w->h() - 60);
    pump();
    EXPECT_EQ(geometry(g_view3d), v3);

    Fl::e_keysym = FL_Escape;
    Fl::handle(FL_KEYBOARD, w);
    pump();
    EXPECT_TRUE(w->shown());
}

// A plate walk down the rows: a 230 mm left foot, a right foot, then a 260 mm left foot, each
// whole in time, so that the larger left step is the importer's choice.
std::string three_step_walk() {
    synth::SensorRecording walk;
    walk.rows = 190, walk.cols = 40, walk.frames = 160;
    synth::FootStep first;
    first.length_mm = 230, first.heel_x_mm = 130, first.heel_y_mm = 60, first.strike_frame = 5;
    first.stance_frames = 50;
    synth::FootStep right = first, last = first;
    right.right_foot = true, right.length_mm = 245, right.heel_x_mm = 70, right.heel_y_mm = 420;
    right.strike_frame = 50;
    last.length_mm = 260, last.heel_y_mm = 800, last.strike_frame = 95;
    walk.steps = {first, right, last};
    return synth::rolloff_text(walk);
}

// "匯入壓力檔…" on a roll-off export: the pitch is asked (and offered again at the next import),
// the steps are shown with the importer's choice picked, the operator picks the smaller left
// step and drops the right foot, the chooser proposes walk_L.bmp beside the recording, and the
// scan written there is loaded: a left foot as long as the step picked. Both feet picked fill
// both feet.
TEST(ImportDialog, PitchAskedAndRememberedAStepPickedItsScanWrittenAndLoaded) {
    const std::string dir = test::scratch_dir(), walk = dir + "/walk.txt", text = three_step_walk();
    test::write_file(walk, std::vector<uint8_t>(text.begin(), text.end()));
    with_preferences("import", [](Fl_Preferences &p) { p.deleteAllEntries(); });
    ImportOptions options;
    options.row_pitch_mm = 7.62, options.col_pitch_mm = 5.08, options.units = "kPa";
    const Result<Import> im = import_recording(text, options);
    ASSERT_TRUE(im) << im.message();
    ASSERT_EQ(im->footprints.size(), 3u);
    const StepDialog steps(*im);
    EXPECT_EQ(steps.cards.size(), 3u);
    EXPECT_EQ(steps.chosen(), (std::vector<int>{3, 2}));
    EXPECT_EQ(steps.cards[0]->text().find("第 1 步\n左腳 "), 0u) << steps.cards[0]->text();

    // Space picks the focused first card, Tab and space drop the right foot, Enter imports.
    EXPECT_TRUE(answered_each({"7.62\t5.08\r", " \t \r", "\r"},
                              [&] { import_recording_path(walk.c_str()); }));
    EXPECT_EQ(g_field, dir + "/walk_L.bmp");
    EXPECT_EQ(test::files_in(dir), (std::vector<std::string>{walk, dir + "/walk_L.bmp"}));
    EXPECT_EQ(g_design->scan_path(), dir + "/walk_L.bmp");
    EXPECT_EQ(g_design->scan().template_mirrored, 0);  // read as a left foot
    const double outline = im->footprints[0].length_mm + 2 * kOutlineMarginMm;
    EXPECT_NEAR(g_design->scan().insole_length, outline, 3);
    EXPECT_GT(im->footprints[2].length_mm - im->footprints[0].length_mm, 20);

    EXPECT_TRUE(answered("\033", [&] { import_recording_path(walk.c_str()); }));
    EXPECT_EQ(g_field, "7.62");  // the pitch given before
    EXPECT_EQ(test::files_in(dir).size(), 2u);

    // Both feet picked, the right foot holding another scan: each scan fills its own foot.
    load("samples/right_253_4-5.bmp");
    const std::string both = dir + "/both.txt";
    test::write_file(both, std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_TRUE(
        answered_each({"\r", "\r", "\r", "\r"}, [&] { import_recording_path(both.c_str()); }));
    EXPECT_EQ(g_pair->design(Foot::kLeft).scan_path(), dir + "/both_L.bmp");
    EXPECT_EQ(g_pair->design(Foot::kRight).scan_path(), dir + "/both_R.bmp");
}

// A frame cut short is said in the alert in the GUI's words, naming the line; nothing is
// written and the scan shown stays.
TEST(ImportDialog, ARefusedRecordingIsSaidAndWritesNothing) {
    load("samples/right_253_4-5.bmp");
    synth::SensorRecording walk;
    walk.steps.resize(1);
    const std::string dir = test::scratch_dir(), cut = dir + "/cut.asf";
    const std::string text = synth::tekscan_text(walk), next = "Frame 3\r\n";
    const size_t frame_3 = text.find(next), half_way = text.rfind("\r\n", frame_3 - 300) + 2;
    const std::string truncated = text.substr(0, half_way) + text.substr(frame_3);
    test::write_file(cut, std::vector<uint8_t>(truncated.begin(), truncated.end()));
    test::capture_console([&] { import_recording_path(cut.c_str()); });
    EXPECT_EQ(g_box_caption, std::string("匯入壓力檔"));
    EXPECT_NE(g_box_text.find("行：從第 "), std::string::npos) << g_box_text;
    EXPECT_NE(g_box_text.find("（畫格不完整）"), std::string::npos) << g_box_text;
    EXPECT_EQ(test::files_in(dir), std::vector<std::string>{cut});
    EXPECT_EQ(g_design->scan_path(), "samples/right_253_4-5.bmp");
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A home of its own, where FLTK finds the preference FNFCUsesGTK:0: its own file chooser,
    // never GTK's, which the tests could not type into.
    setenv("HOME", test::scratch_dir().c_str(), 1);
    {
        Fl_Preferences fltk(Fl_Preferences::USER, "fltk.org", "fltk");
        Fl_Preferences(fltk, "options").set("FNFCUsesGTK", 0);
    }
    use_chinese_dialog_labels();
    use_label_font();
    ::testing::UnitTest::GetInstance()->listeners().Append(new StandIns);
    test::capture_console([] { build_main_window(); });
    g_main_window->show();
    pump(20);
    return RUN_ALL_TESTS();
}

// A pair in one window: an importer's NAME_L scan fills both feet; a linked slider moves both
// and one undo takes it back on both; the switch shows either foot's own relief; a scan of the
// other side asks to go there; unlinked, a slider moves one foot and relinking asks whose
// values both take; the title names both scans and the pair file; the engraving writes both
// feet; the pair file opens both reliefs byte for byte as saved.
TEST(Pair, TheSwitchTheLinkAndThePairFile) {
    const std::string dir = test::scratch_dir();
    test::write_file(dir + "/p_L.bmp", test::read_file("samples/left_253_CM25-26.bmp"));
    test::write_file(dir + "/p_R.bmp", test::read_file("samples/right_253_4-5.bmp"));
    load(dir + "/p_L.bmp");
    const Design &left = g_pair->design(Foot::kLeft), &right = g_pair->design(Foot::kRight);
    ASSERT_TRUE(right.loaded());
    EXPECT_EQ(g_main_window->label(), std::string("Pedaform - 左 p_L.bmp, 右 p_R.bmp"));
    set(Control::kArch, 8);
    EXPECT_EQ(right.controls()[Control::kArch], 8);
    test::capture_console([] { undo_cb(nullptr, nullptr); });
    EXPECT_EQ(right.controls()[Control::kArch], 0);
    set(Control::kArch, 8);
    test::capture_console([] { dome_from_heads_cb(nullptr, nullptr); });
    EXPECT_EQ(std::string(g_main_window->label()).back(), '*');  // steps unsaved
    g_foot_buttons[1]->do_callback();
    EXPECT_EQ(g_design, &right);
    EXPECT_EQ(shown_value(Control::kArch), 8);
    EXPECT_TRUE(relief() != std::vector<uint8_t>(left.results().relief_grid,
                                                 left.results().relief_grid + kGridCells));
    g_foot_buttons[0]->do_callback();
    g_box_text.clear();
    load(dir + "/p_R.bmp");  // the stand-in answers "放到右腳"
    EXPECT_EQ(g_design, &right);
    EXPECT_EQ(right.controls()[Control::kArch], 8);  // a foot loaded while linked takes them
    g_link_button->do_callback();
    set(Control::kHeel1, 2);
    EXPECT_EQ(left.controls()[Control::kHeel1], 0);
    g_link_button->do_callback();  // the stand-in takes the left foot's values
    EXPECT_EQ(right.controls()[Control::kHeel1], 0);
    EXPECT_TRUE(g_pair->linked());

    test::capture_console([&] { save_pair_path((dir + "/pair").c_str()); });
    EXPECT_EQ(g_main_window->label(), std::string("Pedaform - pair.json (左 p_L.bmp, 右 p_R.bmp)"));
    test::capture_console([&] { export_engraving_to((dir + "/e").c_str()); });
    EXPECT_EQ(test::files_in(dir),
              (std::vector<std::string>{dir + "/e_L.bmp", dir + "/e_R.bmp", dir + "/p_L.bmp",
                                        dir + "/p_R.bmp", dir + "/pair.json"}));
    test::capture_console([&] { save_pair_path((dir + "/pair").c_str()); });  // the smoothing
    const std::vector<uint8_t> saved[] = {
        {left.results().relief_grid, left.results().relief_grid + kGridCells},
        {right.results().relief_grid, right.results().relief_grid + kGridCells}};
    ASSERT_TRUE(start_new_pair());
    test::capture_console([&] { open_pair_path((dir + "/pair.json").c_str()); });
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        const uint8_t *opened = g_pair->design(foot).results().relief_grid;
        EXPECT_TRUE(std::vector<uint8_t>(opened, opened + kGridCells) == saved[foot_index(foot)]);
    }
    EXPECT_FALSE(g_pair->modified());
}

#include "app/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>

#include <cstdint>
#include <cstdio>
#include <string>

#include "analysis/size_bin.h"
#include "app/actions.h"
#include "app/window_close.h"
#include "design/controls.h"
#include "io/resources.h"
#include "io/scan_file.h"

Fl_Double_Window *g_main_window = nullptr;
pedaform::Resources *g_resources = nullptr;
std::vector<std::string> g_startup_warnings;
GL_Display_3D *g_view3d = nullptr;
GL_Display_Image *g_workspace = nullptr;
Fl_Value_Slider *g_filter = nullptr;
Fl_Value_Slider *g_gain = nullptr;
Fl_Check_Button *g_foot_pressure = nullptr;
Fl_Value_Slider *g_meta1 = nullptr;
Fl_Value_Slider *g_meta2 = nullptr;
Fl_Value_Slider *g_heel1 = nullptr;
Fl_Value_Slider *g_heel2 = nullptr;
Fl_Value_Slider *g_heel3 = nullptr;
Fl_Menu_Bar *g_menu = nullptr;
Fl_Output *g_size_output = nullptr;
Fl_Value_Slider *g_pad_width = nullptr;
Fl_Value_Slider *g_pad_length = nullptr;
Fl_Value_Slider *g_pad_height = nullptr;
Fl_Check_Button *g_pad_check = nullptr;

// text, shortcut, callback, user data, flags, label type, font, size, colour
Fl_Menu_Item g_menu_upper_items[] = {
    {"檔案", 0, nullptr, nullptr, FL_SUBMENU, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {"讀檔", 0, load_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {"輸出雕刻用鞋墊", 0, export_engraving_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 58},
    // Present but hidden: the operator cannot reach it, its action stays wired.
    {"輸出3D列印用鞋墊", 0, export_print_cb, nullptr, FL_MENU_INVISIBLE, FL_NORMAL_LABEL,
     FL_HELVETICA, 25, 1},
    {"開啟設計…", 0, open_design_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"儲存設計…", 0, save_design_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"輸出3D列印鞋墊…", 0, export_printable_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 58},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"上視角", 0, top_view_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 60},
    {"編輯", 0, nullptr, nullptr, FL_SUBMENU, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {"復原", FL_CTRL + 'z', undo_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    // Ctrl+Shift+Z also redoes (redo_shortcut_handler).
    {"重做", FL_CTRL + 'y', redo_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"重設蹠骨點", 0, reset_point_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"依蹠骨頭放置", 0, dome_from_heads_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

Fl_Menu_Item g_menu_lower_items[] = {
    {"Smooth", 0, smooth_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

using pedaform::Control;

namespace {

int g_size_items[pedaform::kSizeLabelCount];  // the "尺碼" entries' indices in g_menu

void view_attributes(Fl_Gl_Window *view) {
    view->box(FL_THIN_UP_BOX);
    view->color(FL_BACKGROUND_COLOR);
    view->selection_color(FL_BACKGROUND_COLOR);
    view->labeltype(FL_NORMAL_LABEL);
    view->labelfont(FL_HELVETICA);
    view->labelsize(14);
    view->labelcolor(FL_FOREGROUND_COLOR);
    view->align(Fl_Align(FL_ALIGN_TOP));
    view->when(FL_WHEN_RELEASE);
    view->end();
}

// A slider over its control's range and step, at its start value.
void control_range(Fl_Value_Slider *s, pedaform::Control c) {
    const pedaform::ControlSpec &range = pedaform::control_spec(c);
    s->bounds(range.min, range.max);
    s->step(range.step);
    s->value(range.start);
}

Fl_Value_Slider *plain_slider(int x, int y, int w, int h, const char *label, pedaform::Control c,
                              Fl_Callback *cb) {
    auto *s = new Fl_Value_Slider(x, y, w, h, label);
    s->type(FL_HOR_SLIDER);
    control_range(s, c);
    s->textsize(14);
    s->align(Fl_Align(FL_ALIGN_LEFT));
    s->callback(cb);
    return s;
}

Fl_Value_Slider *pad_slider(int x, int y, const char *label, pedaform::Control c, Fl_Callback *cb) {
    auto *s = new Fl_Value_Slider(x, y, 114, 25, label);
    s->type(FL_HOR_SLIDER);
    s->color(Fl_Color(25));
    s->labelfont(FL_HELVETICA_BOLD);
    s->labelsize(20);
    s->labelcolor(Fl_Color(1));
    s->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    control_range(s, c);
    s->textsize(14);
    s->callback(cb);
    return s;
}

}  // namespace

Fl_Double_Window *build_main_window(const std::string &data_dir) {
    auto *window = new Fl_Double_Window(917, 732, "Pedaform");
    window->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    g_main_window = window;

    g_view3d = new GL_Display_3D();
    view_attributes(g_view3d);

    // The data files, read once, before the image view as always.
    g_resources = new pedaform::Resources();
    g_startup_warnings = pedaform::load_startup_resources(*g_resources, data_dir);
    for (const std::string &warning : g_startup_warnings)
        std::fprintf(stderr, "pedaform: warning: %s\n", warning.c_str());
    g_workspace = new GL_Display_Image();
    view_attributes(g_workspace);

    // Only the 3D view grows with the window. The resizable band spans the 3D view's columns but
    // only its rows below the image view (521..535), so the image view keeps its 150 x 360
    // pixels and its landmark dots stay on the foot; the window never gets shorter than built.
    const int band_top = g_workspace->y() + g_workspace->h();
    auto *band = new Fl_Box(g_view3d->x(), band_top, g_view3d->w(),
                            g_view3d->y() + g_view3d->h() - band_top);
    window->resizable(band);
    window->size_range(window->w() - g_view3d->w() + 100, window->h());
    // Escape must not end the program; a close request asks confirm_discard() first.
    window->callback(main_window_close_cb);
    confirm_discard = ask_before_discard;

    g_filter = plain_slider(49, 581, 106, 20, "Filter", Control::kFilter, filter_cb);
    g_gain = plain_slider(49, 600, 106, 20, "Gain", Control::kGain, gain_cb);

    g_foot_pressure = new Fl_Check_Button(35, 558, 119, 19, "Foot Pressure");
    g_foot_pressure->down_box(FL_DOWN_BOX);

    g_meta1 = pad_slider(247, 116, "蹠骨墊片", Control::kMeta1, meta1_cb);
    g_meta2 = pad_slider(672, 118, "蹠骨墊片", Control::kMeta2, meta2_cb);
    g_heel1 = pad_slider(242, 415, "後跟墊片", Control::kHeel1, heel1_cb);
    g_heel2 = pad_slider(672, 414, "後跟墊片", Control::kHeel2, heel2_cb);
    g_heel3 = pad_slider(456, 566, "後跟墊片", Control::kHeel3, heel3_cb);

    g_menu = new Fl_Menu_Bar(0, 0, 996, 40, "menu");
    g_menu->color(Fl_Color(41));
    g_menu->labelfont(FL_HELVETICA_BOLD);
    g_menu->menu(g_menu_upper_items);
    // "尺碼": every size label of the table, both families, in table order.
    for (int i = 0; i < pedaform::kSizeLabelCount; ++i) {
        const int at = g_menu->add((std::string("尺碼/") + pedaform::size_label(i)).c_str(), 0,
                                   size_cb, reinterpret_cast<void *>(static_cast<intptr_t>(i)));
        g_size_items[i] = at;
        Fl_Menu_Item &item = const_cast<Fl_Menu_Item &>(g_menu->menu()[at]);
        item.labelfont(FL_HELVETICA);
        item.labelsize(25);
    }
    const int sizes = g_menu->find_index("尺碼");
    const_cast<Fl_Menu_Item &>(g_menu->menu()[sizes]).labelfont(FL_HELVETICA_BOLD);
    const_cast<Fl_Menu_Item &>(g_menu->menu()[sizes]).labelsize(25);

    auto *lower = new Fl_Menu_Bar(1, 673, 915, 57);
    lower->color(Fl_Color(28));
    lower->menu(g_menu_lower_items);

    g_size_output = new Fl_Output(230, 556, 60, 24, "尺碼");
    g_size_output->box(FL_THIN_DOWN_BOX);
    g_size_output->color(FL_BACKGROUND_COLOR);

    g_pad_width = plain_slider(745, 576, 105, 20, "蹠骨寬", Control::kPadWidth, pad_width_cb);
    g_pad_length = plain_slider(745, 595, 105, 20, "蹠骨長", Control::kPadLength, pad_length_cb);
    g_pad_height =
        plain_slider(745, 615, 105, 20, "蹠骨墊高(mm)", Control::kPadHeight, pad_height_cb);

    g_pad_check = new Fl_Check_Button(745, 548, 90, 19, "蹠骨垫片");
    g_pad_check->down_box(FL_DOWN_BOX);
    g_pad_check->color(Fl_Color(0));
    g_pad_check->labelsize(16);
    g_pad_check->labelcolor(Fl_Color(1));
    g_pad_check->callback(pad_check_cb);

    g_design = new pedaform::Design(*g_resources, pedaform::load_scan_file);
    g_workspace->design = g_design;
    g_workspace->point_moved = move_point_to;
    g_workspace->point_gesture = point_gesture;
    Fl::add_handler(redo_shortcut_handler);
    g_view3d->results = &g_design->results();
    g_view3d->foot_pressure = g_foot_pressure;

    window->end();
    return window;
}

void mark_nearest_size(const pedaform::SizeBin *nearest) {
    static std::string labels[pedaform::kSizeLabelCount];  // the entries point at these
    for (int i = 0; i < pedaform::kSizeLabelCount; ++i) {
        const int t = [&] {
            int index = -1;
            (void)pedaform::size_of_label(i, index);
            return index;
        }();
        const bool near =
            nearest != nullptr && (t == nearest->first_index || t == nearest->second_index);
        labels[i] = std::string(pedaform::size_label(i)) + (near ? " （最接近）" : "");
        const_cast<Fl_Menu_Item &>(g_menu->menu()[g_size_items[i]]).label(labels[i].c_str());
    }
}

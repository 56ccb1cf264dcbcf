#include "app/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "analysis/size_bin.h"
#include "app/actions.h"
#include "app/colour_key.h"
#include "app/control_slider.h"
#include "app/import_dialog.h"
#include "app/window_close.h"
#include "design/controls.h"
#include "io/resource_files.h"
#include "io/scan_file.h"

Fl_Double_Window *g_main_window = nullptr;
pedaform::Resources *g_resources = nullptr;
pedaform::Warnings g_startup_warnings;
GL_Display_3D *g_view3d = nullptr;
GL_Display_Image *g_image_view = nullptr;
Fl_Check_Button *g_foot_pressure = nullptr;
Fl_Menu_Bar *g_menu = nullptr;
Fl_Output *g_size_output = nullptr;
Fl_Widget *g_controls[pedaform::kControlCount] = {};
Fl_Button *g_foot_buttons[pedaform::kFootCount] = {};
Fl_Check_Button *g_link_button = nullptr;

// text, shortcut, callback, user data, flags, label type, font, size, colour
Fl_Menu_Item g_menu_upper_items[] = {
    {"檔案", 0, nullptr, nullptr, FL_SUBMENU, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {"讀檔", 0, load_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {"匯入壓力檔…", 0, import_recording_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"輸出雕刻用鞋墊", 0, export_engraving_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 58},
    // Present but hidden: the operator cannot reach it, its action stays wired.
    {"輸出3D列印用鞋墊", 0, export_print_cb, nullptr, FL_MENU_INVISIBLE, FL_NORMAL_LABEL,
     FL_HELVETICA, 25, 1},
    {"開啟設計…", 0, open_design_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"儲存設計", FL_CTRL + 's', save_design_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"另存設計…", 0, save_design_as_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"開啟左右一對…", 0, open_pair_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"儲存左右一對…", 0, save_pair_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"新的一對", 0, new_pair_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"輸出3D列印鞋墊…", 0, export_printable_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 58},
    {"訂單資料…", 0, order_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"輸出訂單…", 0, export_order_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 58},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"上視角", 0, top_view_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 60},
    {"編輯", 0, nullptr, nullptr, FL_SUBMENU, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {"復原", FL_CTRL + 'z', undo_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    // Ctrl+Shift+Z also redoes (redo_shortcut_handler).
    {"重做", FL_CTRL + 'y', redo_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"重設蹠骨點", 0, reset_point_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"依蹠骨頭放置", 0, dome_from_heads_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {"建議處方", 0, propose_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 25, 4},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

Fl_Menu_Item g_menu_lower_items[] = {
    {"Smooth", 0, smooth_cb, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA_BOLD, 25, 4},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

using pedaform::Control;

namespace {

// The window's own labels besides the menus' and the controls'.
const char *const kSizeLabel = "尺碼";
const char *const kOrthoticsHeading = "矯正";
const char *const kFootPressureLabel = "Foot Pressure";
const char *const kNearestMark = " （最接近）";
const char *const kFootLabels[pedaform::kFootCount] = {"左腳", "右腳"};
const char *const kLinkLabel = "左右同步";

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

// A control's widget as its row in the control table says: kind, place, label, range, step
// and start value, with the one control callback and the control as its user data.
Fl_Widget *control_widget_of(Control c) {
    const pedaform::ControlSpec &row = pedaform::control_spec(c);
    void *data = reinterpret_cast<void *>(static_cast<intptr_t>(c));
    if (row.widget == pedaform::Widget::kCheckButton) {
        auto *b = new Fl_Check_Button(row.x, row.y, row.w, row.h, row.label);
        b->down_box(FL_DOWN_BOX);
        b->color(Fl_Color(0));
        b->labelsize(16);
        b->labelcolor(Fl_Color(1));
        b->value(row.start != 0 ? 1 : 0);
        b->callback(control_cb, data);
        return b;
    }
    if (row.widget == pedaform::Widget::kChoice) {
        auto *choice = new Fl_Choice(row.x, row.y, row.w, row.h, row.label);
        choice->textsize(14);
        for (const std::string &label : pedaform::control_choices(row.choice_labels)) {
            std::string item;  // a '/' would start a submenu
            for (char ch : label)
                item += ch == '/' ? std::string("\\/") : std::string(1, ch);
            choice->add(item.c_str());
        }
        choice->value(static_cast<int>(row.start));
        choice->callback(control_cb, data);
        return choice;
    }
    auto *s = new ControlSlider(c, set_typed_control);
    s->type(FL_HOR_SLIDER);
    if (row.widget == pedaform::Widget::kPadSlider) {
        // Over its side of the insole, its label above it.
        s->color(Fl_Color(25));
        s->labelfont(FL_HELVETICA_BOLD);
        s->labelsize(20);
        s->labelcolor(Fl_Color(1));
        s->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    } else {
        s->align(Fl_Align(FL_ALIGN_LEFT));
    }
    s->bounds(row.min, row.max);
    s->step(row.step);
    s->textsize(14);
    s->show_value(row.start);
    s->callback(control_cb, data);
    return s;
}

// The frame and heading "矯正" around the orthotic controls, below the right-hand metatarsal
// slider.
void orthotics_heading() {
    int top = 10000, bottom = 0;
    for (int i = 0; i < pedaform::kControlCount; ++i) {
        const pedaform::ControlSpec &row = pedaform::control_spec(static_cast<Control>(i));
        if (row.group != pedaform::ControlGroup::kOrthotics) continue;
        top = std::min(top, row.y);
        bottom = std::max(bottom, row.y + row.h);
    }
    auto *frame =
        new Fl_Box(FL_ENGRAVED_FRAME, 678, top - 8, 232, bottom - top + 16, kOrthoticsHeading);
    frame->labelfont(FL_HELVETICA_BOLD);
    frame->labelsize(20);
    frame->labelcolor(Fl_Color(1));
    frame->align(Fl_Align(FL_ALIGN_TOP_LEFT));
}

// The "左腳 | 右腳" switch above the image view, and "左右同步" above it.
void foot_switch() {
    g_link_button = new Fl_Check_Button(40, 96, 150, 24, kLinkLabel);
    g_link_button->down_box(FL_DOWN_BOX);
    g_link_button->labelsize(16);
    g_link_button->value(1);
    g_link_button->callback(link_cb);
    for (int f = 0; f < pedaform::kFootCount; ++f) {
        auto *b = new Fl_Button(40 + 75 * f, 124, 75, 30, kFootLabels[f]);
        b->type(FL_RADIO_BUTTON);
        b->labelsize(18);
        b->labelfont(FL_HELVETICA_BOLD);
        b->selection_color(Fl_Color(3));
        b->value(f == 0 ? 1 : 0);
        b->callback(foot_switch_cb, reinterpret_cast<void *>(static_cast<intptr_t>(f)));
        g_foot_buttons[f] = b;
    }
}

}  // namespace

Fl_Double_Window *build_main_window(const std::string &data_dir) {
    auto *window = new Fl_Double_Window(917, 732, "Pedaform");
    window->align(Fl_Align(FL_ALIGN_TOP_LEFT));
    g_main_window = window;

    g_view3d = new GL_Display_3D();
    view_attributes(g_view3d);
    add_view_help_line(*g_view3d);

    // The data files, read once; the image view made next reads them.
    g_resources = new pedaform::Resources();
    g_startup_warnings = pedaform::load_startup_resources(*g_resources, data_dir);
    for (const pedaform::Warning &warning : g_startup_warnings)
        std::fprintf(stderr, "pedaform: warning: %s\n", warning.text.c_str());
    g_image_view = new GL_Display_Image();
    view_attributes(g_image_view);
    g_colour_key = new ColourKey(196, 172, 166, 200, *g_image_view);

    // Only the 3D view grows with the window. The resizable band spans the 3D view's columns but
    // only its rows below the image view (521..527), so the image view keeps its 150 x 360
    // pixels and its landmark dots stay on the foot; the window never gets shorter than built.
    const int band_top = g_image_view->y() + g_image_view->h();
    auto *band = new Fl_Box(g_view3d->x(), band_top, g_view3d->w(),
                            g_view3d->y() + g_view3d->h() - band_top);
    window->resizable(band);
    window->size_range(window->w() - g_view3d->w() + 100, window->h());
    // Escape must not end the program; a close request asks confirm_discard() first.
    window->callback(main_window_close_cb);
    confirm_discard = ask_before_discard;

    g_foot_pressure = new Fl_Check_Button(35, 558, 119, 19, kFootPressureLabel);
    g_foot_pressure->down_box(FL_DOWN_BOX);
    foot_switch();

    // Every control of the design, from its row in the control table.
    orthotics_heading();
    for (int i = 0; i < pedaform::kControlCount; ++i)
        g_controls[i] = control_widget_of(static_cast<Control>(i));

    g_menu = new Fl_Menu_Bar(0, 0, 996, 40, "menu");
    g_menu->color(Fl_Color(41));
    g_menu->labelfont(FL_HELVETICA_BOLD);
    g_menu->menu(g_menu_upper_items);
    // "尺碼": every size label of the table, both families, in table order.
    for (int i = 0; i < pedaform::kSizeLabelCount; ++i) {
        const int at =
            g_menu->add((kSizeLabel + std::string("/") + pedaform::size_label(i)).c_str(), 0,
                        size_cb, reinterpret_cast<void *>(static_cast<intptr_t>(i)));
        g_size_items[i] = at;
        Fl_Menu_Item &item = const_cast<Fl_Menu_Item &>(g_menu->menu()[at]);
        item.labelfont(FL_HELVETICA);
        item.labelsize(25);
    }
    const int sizes = g_menu->find_index(kSizeLabel);
    const_cast<Fl_Menu_Item &>(g_menu->menu()[sizes]).labelfont(FL_HELVETICA_BOLD);
    const_cast<Fl_Menu_Item &>(g_menu->menu()[sizes]).labelsize(25);

    auto *lower = new Fl_Menu_Bar(1, 673, 915, 57);
    lower->color(Fl_Color(28));
    lower->menu(g_menu_lower_items);

    g_size_output = new Fl_Output(230, 556, 60, 24, kSizeLabel);
    g_size_output->box(FL_THIN_DOWN_BOX);
    g_size_output->color(FL_BACKGROUND_COLOR);

    g_pair = new pedaform::Pair(*g_resources, pedaform::load_scan_file);
    g_image_view->point_moved = move_point_to;
    g_image_view->point_gesture = point_gesture;
    control_gesture = point_gesture;
    Fl::add_handler(redo_shortcut_handler);
    g_view3d->foot_pressure = g_foot_pressure;
    show_foot(pedaform::Foot::kLeft);

    window->end();
    return window;
}

void mark_nearest_size(const pedaform::SizeBin *nearest) {
    // The texts live here: the menu copies them, or points at them where it keeps no copies.
    static std::string labels[pedaform::kSizeLabelCount];
    for (int i = 0; i < pedaform::kSizeLabelCount; ++i) {
        const std::optional<int32_t> t = pedaform::size_of_label(i).template_index;
        const bool near =
            nearest != nullptr && (t == nearest->first_index || t == nearest->second_index);
        const std::string label = std::string(pedaform::size_label(i)) + (near ? kNearestMark : "");
        if (label == g_menu->menu()[g_size_items[i]].label()) continue;
        labels[i] = label;
        g_menu->replace(g_size_items[i], labels[i].c_str());
    }
}

std::string main_window_labels() {
    std::string text = std::string(kSizeLabel) + kOrthoticsHeading + kFootPressureLabel +
                       kNearestMark + kFootLabels[0] + kFootLabels[1] + kLinkLabel;
    // A submenu's entries end with an empty entry, and so does the menu.
    for (const Fl_Menu_Item *item : {g_menu_upper_items, g_menu_lower_items})
        for (int depth = 0; item->text != nullptr || depth-- > 0; ++item)
            if (item->text != nullptr) {
                text += item->text;
                depth += (item->flags & FL_SUBMENU) != 0;
            }
    for (int i = 0; i < pedaform::kControlCount; ++i)
        text += pedaform::control_spec(static_cast<Control>(i)).label;
    for (int i = 0; i < pedaform::kSizeLabelCount; ++i)
        text += pedaform::size_label(i);
    return text;
}

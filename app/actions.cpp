#include "app/actions.h"

#include <FL/Fl.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

#include <cstdint>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/alert.h"
#include "app/main_window.h"
#include "app/print_dialog.h"
#include "design/design_file.h"
#include "model3d/print_3mf.h"
#include "model3d/stl_files.h"
#include "relief/engraving_bmp.h"
#include "workspace/ansi_path.h"

using namespace pedaform;

Design *g_design = nullptr;

namespace {

int choice_box(const char *text, const char *no, const char *yes) {
    return fl_choice("%s", no, yes, nullptr, text);
}

bool print_dialog(PrintSettings &settings) {
    std::vector<PrintZone> zones;
    (void)parse_print_zones(kDefaultPrintZones, zones);
    PrintDialog dialog(zones, kDefault3mfTolerance);
    if (!dialog.run()) return false;
    settings = dialog.settings();
    return true;
}

const char *const kWriteErrorCaption = "存檔錯誤";
const char *const kDesignErrorCaption = "設計檔錯誤";

std::string g_design_path;  // the design file last saved or opened, "" for none

void report(const Result &r, const char *caption) {
    if (r) return;
    std::fprintf(stderr, "ERROR: %s\n", r.message().c_str());
    show_message_box(r.message().c_str(), caption);
}

void report_write_failure(const std::string &why) {
    std::fprintf(stderr, "ERROR: %s\n", why.c_str());
    const std::string text = "無法寫入檔案:\n" + why;
    show_message_box(text.c_str(), kWriteErrorCaption);
}

// One control moved by the operator: one design step, then the title.
void set_control(Control c, double value) {
    report(g_design->set(c, value), kDesignErrorCaption);
    sync_controls();
}

// Two widgets exchange their screen positions; each keeps its own size.
void swap_positions(Fl_Widget *a, Fl_Widget *b) {
    const int ax = a->x(), ay = a->y();
    a->resize(b->x(), b->y(), a->w(), a->h());
    b->resize(ax, ay, b->w(), b->h());
}

// After a load, metatarsal slider 1 stands right of slider 2 for an unmirrored scan and left
// of it for a mirrored one; the first two heel sliders follow the metatarsal ones.
void arrange_pad_sliders(int mirrored) {
    const bool m1_left = g_meta1->x() < g_meta2->x();
    const bool m1_right = g_meta1->x() > g_meta2->x();
    if ((mirrored == 0 && m1_left) || (mirrored == 1 && m1_right)) {
        swap_positions(g_meta1, g_meta2);
        swap_positions(g_heel1, g_heel2);
    }
}

// After a new scan: the sliders in place for its side, every control at its value.
void show_new_scan() {
    arrange_pad_sliders(g_workspace->template_mirrored);
    sync_controls();
    g_main_window->redraw();
    // A foot that matches no size is said once per load, never laid on another size.
    if (g_design->size_label()[0] == '\0') {
        char text[128];
        std::snprintf(text, sizeof text, "鞋墊長度 %d 不符任何尺碼，請選擇尺碼",
                      g_workspace->insole_length);
        show_message_box(text, "尺碼");
    }
}

// Shows the chooser; returns the chosen name, or nullptr after an error (reported), a cancel
// (reported) or no name.
const char *chosen_name(Fl_Native_File_Chooser &chooser) {
    switch (chooser.show()) {
        case -1:
            std::fprintf(stderr, "ERROR: %s\n", chooser.errmsg());
            return nullptr;
        case 1:
            std::fprintf(stderr, "*** CANCEL\n");
            return nullptr;
        default:
            break;
    }
    const char *name = chooser.filename();
    return name != nullptr && name[0] != '\0' ? name : nullptr;
}

// The chooser's name converted for the C library, in a buffer of its own length.
std::string converted(const char *chosen) {
    std::vector<char> path(chosen, chosen + std::char_traits<char>::length(chosen) + 1);
    to_ansi_path(path.data());
    return path.data();
}

}  // namespace

bool ask_before_discard() {
    if (!g_design->modified()) return true;
    return ask_question("設計尚未儲存，確定要放棄這些變更嗎？", "取消", "放棄變更") == 1;
}

void (*show_message_box)(const char *text, const char *caption) = show_alert;
bool (*ask_print_settings)(PrintSettings &settings) = print_dialog;
int (*ask_question)(const char *text, const char *no, const char *yes) = choice_box;

void sync_controls() {
    const Controls &c = g_design->controls();
    // In the order of Control; the stamp's check button is not a valuator.
    Fl_Valuator *const sliders[kControlCount] = {g_meta1,     g_meta2,      g_heel1,     g_heel2,
                                                 g_heel3,     g_filter,     g_gain,      nullptr,
                                                 g_pad_width, g_pad_length, g_pad_height};
    for (int i = 0; i < kControlCount; ++i)
        if (sliders[i] != nullptr) sliders[i]->value(c.value[i]);
    g_pad_check->value(c[Control::kStamp] != 0 ? 1 : 0);
    if (std::string(g_size_output->value()) != g_design->size_label())
        g_size_output->value(g_design->size_label());
    std::string title = "Pedaform";
    if (!g_design_path.empty()) {
        const size_t slash = g_design_path.find_last_of('/');
        title += " - " + g_design_path.substr(slash == std::string::npos ? 0 : slash + 1);
    }
    if (g_design->modified()) title += " *";
    if (g_main_window != nullptr && title != g_main_window->label())
        g_main_window->copy_label(title.c_str());
}

bool load_scan_path(const char *chosen) {
    if (!ask_before_discard()) return false;
    const std::string path = converted(chosen);
    ScanLoadResult loaded;
    const Result r = g_design->load(path, &loaded);
    if (!loaded.accepted()) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, path.c_str(), r.message().c_str());
        show_message_box(kScanFormatError, kScanFormatCaption);
        return true;
    }
    g_design_path.clear();
    show_new_scan();
    return true;
}

void load_cb(Fl_Widget *, void *) {
    Fl_Native_File_Chooser chooser;
    chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title("Load a bmp");
    chooser.filter("Insole\t*.bmp\n");
    if (const char *name = chosen_name(chooser))
        if (!load_scan_path(name)) return;  // the operator kept the design
    // The stamped pad is off after the load menu, whatever the chooser gave.
    set_control(Control::kStamp, 0);
}

void export_engraving_to(const char *chosen) {
    g_workspace->scan_loaded = 1;  // a chosen name counts as a scan for the views, as always
    const std::string path = converted(chosen);
    std::string name;
    if (!engraving_file_name(path, name)) {
        report_write_failure(
            std::string("the name is too long (at most 495 bytes before \".bmp\"): ") + path);
        return;
    }
    fill_export_image(*g_workspace);
    if (Result r = write_engraving_bmp(name, g_workspace->export_image); !r)
        report_write_failure(r.message());
}

void export_engraving_cb(Fl_Widget *, void *) {
    // The smoothing is a step of the design; it stays even if the dialog is cancelled.
    smooth_cb(nullptr, nullptr);
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title("Save BMP Insole");
    chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.filter("Insole\t*.bmp\n");
    chooser.preset_file("*.bmp");
    if (const char *name = chosen_name(chooser)) export_engraving_to(name);
}

// The image view draws the outline the last mesh export traced.
void show_outline(MeshExport &e) {
    g_workspace->outline_points = std::move(e.outline.points);
    g_workspace->outline_corners = std::move(e.outline.corners);
}

void export_print_to(const std::string &path) {
    MeshExport e;
    const Result r = export_relief_stl(g_workspace->relief_grid, path, &e);
    show_outline(e);
    if (!r) report_write_failure(r.message());
}

void export_printable_to(const char *chosen) {
    std::string path = converted(chosen);
    auto ends_with = [&](const char *ext) {
        const size_t n = std::strlen(ext);
        return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, ext) == 0;
    };
    if (!ends_with(".3mf") && !ends_with(".stl")) path += ".3mf";
    Result written = Result::success();
    MeshExport e;
    if (ends_with(".stl")) {
        written = export_relief_solid(g_workspace->relief_grid, path, 0, &e);
    } else {
        PrintSettings settings;
        if (!ask_print_settings(settings)) return;  // cancelled
        written = export_relief_3mf(g_workspace->relief_grid, g_workspace->pressure_grid, path,
                                    settings, print_description(*g_design, g_design_path), &e);
    }
    show_outline(e);
    if (!written) report_write_failure(written.message());
}

void export_printable_cb(Fl_Widget *, void *) {
    Fl_Native_File_Chooser chooser;
    chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.title("輸出3D列印鞋墊");
    chooser.filter("3MF\t*.3mf\nSTL\t*.stl\n");
    chooser.preset_file("insole.3mf");
    if (const char *name = chosen_name(chooser)) export_printable_to(name);
}

void export_print_cb(Fl_Widget *, void *) {
    export_print_to("./merge.stl");
}

void open_design_path(const char *chosen) {
    const std::string path = converted(chosen);
    DesignFile file;
    if (Result r = read_design_file(path, file); !r) return report(r, kDesignErrorCaption);
    const std::string scan = design_scan_path(path, file);
    if (file_sha256(scan) != file.scan_sha256) {
        const std::string question = "掃描檔與設計檔記錄的內容不同:\n" + scan + "\n仍要開啟嗎？";
        if (ask_question(question.c_str(), "取消", "開啟") != 1) return;
    }
    if (!ask_before_discard()) return;
    ScanLoadResult loaded;
    const Result r = open_design(*g_design, file, scan, &loaded);
    if (!loaded.accepted()) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, scan.c_str(), r.message().c_str());
        const std::string text = std::string(kScanFormatError) + ": " + scan + "\n" + r.message();
        show_message_box(text.c_str(), kScanFormatCaption);
        return;
    }
    report(r, kDesignErrorCaption);
    g_design_path = path;
    show_new_scan();
}

void open_design_cb(Fl_Widget *, void *) {
    Fl_Native_File_Chooser chooser;
    chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title("開啟設計");
    chooser.filter("Design\t*.json\n");
    if (const char *name = chosen_name(chooser)) open_design_path(name);
}

void save_design_path(const char *chosen) {
    std::string path = converted(chosen);
    if (path.size() < 5 || path.compare(path.size() - 5, 5, ".json") != 0) path += ".json";
    const Result r = save_design(*g_design, path);
    if (!r) return report_write_failure(r.message());
    g_design->mark_saved();
    g_design_path = path;
    sync_controls();
}

void save_design_cb(Fl_Widget *, void *) {
    if (!g_design->loaded()) {
        show_message_box("尚未讀取掃描檔，沒有可儲存的設計", kDesignErrorCaption);
        return;
    }
    Fl_Native_File_Chooser chooser;
    chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.title("儲存設計");
    chooser.filter("Design\t*.json\n");
    chooser.preset_file("*.json");
    if (const char *name = chosen_name(chooser)) save_design_path(name);
}

void undo_cb(Fl_Widget *, void *) {
    report(g_design->undo(), kDesignErrorCaption);
    sync_controls();
}

void redo_cb(Fl_Widget *, void *) {
    report(g_design->redo(), kDesignErrorCaption);
    sync_controls();
}

int redo_shortcut_handler(int event) {
    if (event != FL_SHORTCUT || Fl::event_key() != 'z') return 0;
    if (Fl::event_state(FL_CTRL | FL_SHIFT) != (FL_CTRL | FL_SHIFT)) return 0;
    redo_cb(nullptr, nullptr);
    return 1;
}

void size_cb(Fl_Widget *, void *index) {
    report(g_design->choose_size(static_cast<int>(reinterpret_cast<intptr_t>(index))),
           kDesignErrorCaption);
    sync_controls();
}

void reset_point_cb(Fl_Widget *, void *) {
    report(g_design->reset_meta_point(), kDesignErrorCaption);
    sync_controls();
}

void move_point_to(float column, float row) {
    report(g_design->move_meta_point(column, row), kDesignErrorCaption);
    sync_controls();
}

void top_view_cb(Fl_Widget *, void *) {
    g_view3d->top_view();
}
void smooth_cb(Fl_Widget *, void *) {
    report(g_design->smooth(), kDesignErrorCaption);
    sync_controls();
}
void filter_cb(Fl_Widget *, void *) {
    set_control(Control::kFilter, g_filter->value());
}
void gain_cb(Fl_Widget *, void *) {
    set_control(Control::kGain, g_gain->value());
}
void meta1_cb(Fl_Widget *, void *) {
    set_control(Control::kMeta1, g_meta1->value());
}
void meta2_cb(Fl_Widget *, void *) {
    set_control(Control::kMeta2, g_meta2->value());
}
void heel1_cb(Fl_Widget *, void *) {
    set_control(Control::kHeel1, g_heel1->value());
}
void heel2_cb(Fl_Widget *, void *) {
    set_control(Control::kHeel2, g_heel2->value());
}
void heel3_cb(Fl_Widget *, void *) {
    set_control(Control::kHeel3, g_heel3->value());
}
void pad_width_cb(Fl_Widget *, void *) {
    set_control(Control::kPadWidth, g_pad_width->value());
}
void pad_length_cb(Fl_Widget *, void *) {
    set_control(Control::kPadLength, g_pad_length->value());
}
void pad_height_cb(Fl_Widget *, void *) {
    set_control(Control::kPadHeight, g_pad_height->value());
}
void pad_check_cb(Fl_Widget *, void *) {
    set_control(Control::kStamp, g_pad_check->value());
}

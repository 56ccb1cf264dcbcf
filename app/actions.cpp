#include "app/actions.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/size_bin.h"
#include "app/alert.h"
#include "app/control_slider.h"
#include "app/dialog_text.h"
#include "app/file_choice.h"
#include "app/main_window.h"
#include "app/order_dialog.h"
#include "app/print_dialog.h"
#include "core/ansi_path.h"
#include "core/file_output.h"
#include "design/design_file.h"
#include "design/proposal.h"
#include "model3d/print_3mf.h"
#include "model3d/stl_files.h"
#include "order/foot_sheet.h"
#include "relief/engraving_bmp.h"

using namespace pedaform;

Design *g_design = nullptr;

namespace {

bool order_dialog(OrderData &order) {
    OrderDialog dialog(order);
    if (!dialog.run()) return false;
    order = dialog.order();
    return true;
}

bool print_dialog(PrintSettings &settings) {
    PrintDialog dialog(parse_print_zones(kDefaultPrintZones).value(), kDefault3mfTolerance);
    if (!dialog.run()) return false;
    settings = dialog.settings();
    return true;
}

const char *const kWriteErrorCaption = "存檔錯誤";
const char *const kDesignErrorCaption = "設計檔錯誤";

std::string g_design_path;  // the design file last saved or opened, "" for none
std::string g_last_folder;  // of the last file named in any chooser, "" before the first

std::string file_name_of(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void remember_folder(const std::string &path) {
    std::error_code ignored;
    g_last_folder = std::filesystem::absolute(path, ignored).parent_path().string();
}

// What a save chooser opens on: the scan's name with `extension`, in the folder last used (an
// absolute path, which GTK's chooser needs to open that folder); for a design that has a file
// of its own, that file.
std::string proposed_name(const char *extension) {
    std::error_code ignored;
    if (std::strcmp(extension, ".json") == 0 && !g_design_path.empty())
        return std::filesystem::absolute(g_design_path, ignored).string();
    const std::filesystem::path folder =
        g_last_folder.empty() ? std::filesystem::current_path(ignored) : g_last_folder.c_str();
    const std::filesystem::path scan(g_design->scan_path());
    return (folder / scan.stem()).string() + extension;
}

void report(const Result<> &r, const char *caption) {
    if (r) return;
    std::fprintf(stderr, "ERROR: %s\n", r.message().c_str());
    show_message_box(r.gui_message().c_str(), caption);
}

void report_write_failure(const std::string &path, const Failure &why) {
    std::fprintf(stderr, "ERROR: %s\n", why.message.c_str());
    show_message_box(write_failure_text(path, why).c_str(), kWriteErrorCaption);
}

// The exports added to the engraving one need a scan: without one they say so and write nothing.
bool scan_loaded_for_export() {
    if (g_design->loaded()) return true;
    show_message_box("尚未讀取掃描檔", kWriteErrorCaption);
    return false;
}

// True when a file may be written at `path`: it is not the design's scan (nor, for an export,
// the design's own file), a file can be written there (else said), and nothing is there yet or
// the operator agrees to replace it.
bool may_write(const std::string &path, bool design_file_too = true) {
    const char *refusal = nullptr;
    if (g_design->loaded() && same_file(path, g_design->scan_path()))
        refusal = "不能覆寫目前的掃描檔";
    else if (design_file_too && !g_design_path.empty() && same_file(path, g_design_path))
        refusal = "不能覆寫目前的設計檔";
    if (refusal != nullptr) {
        std::fprintf(stderr, "ERROR: %s is the design's own scan or file\n", path.c_str());
        show_message_box(refusal, kWriteErrorCaption);
        return false;
    }
    if (Result<> r = check_output_path(path); !r) {
        report_write_failure(path, r.reason());
        return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return true;
    return ask_question("檔案已存在，要取代嗎？", "取消", "取代") == 1;
}

// The name the operator chose; none after a cancel, or when the chooser failed (said in a box).
std::optional<std::string> chosen_name(int type, const char *title, const char *filter,
                                       const std::string &proposed = std::string()) {
    Result<std::optional<std::string>> chosen = choose_file(type, title, filter, proposed);
    if (chosen) return *chosen;
    std::fprintf(stderr, "ERROR: %s\n", chosen.message().c_str());
    show_message_box(chosen.message().c_str(), "檔案");
    return std::nullopt;
}

// One control moved by the operator: one design step (or the amended one of a burst or drag
// when `at` is given), then the title.
void set_control(Control c, double value, std::optional<double> at = std::nullopt) {
    report(g_design->set(c, value, at), kDesignErrorCaption);
    sync_controls();
}

double seconds_now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Two widgets exchange their screen positions; each keeps its own size.
void swap_positions(Fl_Widget *a, Fl_Widget *b) {
    const int ax = a->x(), ay = a->y();
    a->resize(b->x(), b->y(), a->w(), a->h());
    b->resize(ax, ay, b->w(), b->h());
}

// After a load, each pair of pad sliders that swap sides stands as the table places it for a
// mirrored scan (a right foot), the first of the pair on the left, and exchanged for an
// unmirrored one.
void arrange_pad_sliders(int mirrored) {
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i), other = control_spec(c).swaps_with;
        if (other <= c) continue;
        Fl_Widget *first = control_widget(c), *second = control_widget(other);
        if ((mirrored == 0 && first->x() < second->x()) ||
            (mirrored == 1 && first->x() > second->x()))
            swap_positions(first, second);
    }
}

// After a new scan: the sliders in place for its side, every control at its value.
void show_new_scan() {
    arrange_pad_sliders(g_design->scan().template_mirrored);
    sync_controls();
    g_main_window->redraw();
    // A foot that matches no size is said once per load, never laid on another size.
    if (const std::optional<Warning> size = g_design->size_warning())
        show_message_box(size->gui.c_str(), "尺碼");
    mark_nearest_size(g_design->nearest_size());
    // A search point far behind the heads would put the dome where it loads them.
    if (const std::optional<Warning> point = g_design->search_point_warning())
        show_message_box(point->gui.c_str(), "蹠骨點");
}

// The chooser's name converted for the C library, in a buffer of its own length.
std::string converted(const char *chosen) {
    std::vector<char> path(chosen, chosen + std::char_traits<char>::length(chosen) + 1);
    to_ansi_path(path.data());
    return path.data();
}

}  // namespace

bool may_write_file(const std::string &path) {
    return may_write(path);
}

bool ask_before_discard() {
    if (!g_design->modified()) return true;
    return ask_question("設計尚未儲存，確定要放棄這些變更嗎？", "取消", "放棄變更") == 1;
}

void (*show_message_box)(const char *text, const char *caption) = show_alert;
bool (*ask_print_settings)(PrintSettings &settings) = print_dialog;
bool (*ask_order)(OrderData &order) = order_dialog;
int (*ask_question)(const char *text, const char *no, const char *yes) = show_question;

void sync_controls() {
    const Controls &c = g_design->controls();
    for (int i = 0; i < kControlCount; ++i) {
        Fl_Widget *w = g_controls[i];
        const Widget kind = control_spec(static_cast<Control>(i)).widget;
        if (kind == Widget::kCheckButton)
            static_cast<Fl_Check_Button *>(w)->value(c.value[i] != 0 ? 1 : 0);
        else if (kind == Widget::kChoice)
            static_cast<Fl_Choice *>(w)->value(static_cast<int>(c.value[i]));
        else
            static_cast<ControlSlider *>(w)->show_value(c.value[i]);
    }
    if (std::string(g_size_output->value()) != g_design->size_label())
        g_size_output->value(g_design->size_label());
    std::string title = "Pedaform";
    if (g_design->loaded()) {
        const std::string scan = file_name_of(g_design->scan_path());
        title += " - " +
                 (g_design_path.empty() ? scan : file_name_of(g_design_path) + " (" + scan + ")");
    }
    if (g_design->modified()) title += " *";
    if (g_main_window != nullptr && title != g_main_window->label())
        g_main_window->copy_label(title.c_str());
}

namespace {

// A chosen scan or engraving name: from now on the views show the design's relief.
void mark_scan_chosen() {
    g_image_view->scan_chosen = true;
    g_view3d->scan_chosen = true;
}

// The outline a mesh export traced, for the image view to show.
void show_traced_outline(MeshExport &e) {
    g_image_view->outline = std::move(e.outline.points);
}

}  // namespace

bool load_scan_path(const char *chosen) {
    if (!ask_before_discard()) return false;
    const std::string path = converted(chosen);
    remember_folder(path);
    const Result<ScanLoadResult> loaded = g_design->load(path);
    if (!loaded) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, path.c_str(),
                     loaded.message().c_str());
        show_message_box(loaded.gui_message().c_str(), kScanFormatCaption);
        return true;
    }
    mark_scan_chosen();
    g_design_path.clear();
    g_image_view->outline.clear();  // the outline of an earlier export belongs to the earlier scan
    show_new_scan();
    return true;
}

void load_cb(Fl_Widget *, void *) {
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_FILE, "Load a bmp", "Insole\t*.bmp\n");
    if (name) load_scan_path(name->c_str());
}

void export_engraving_to(const char *chosen) {
    const std::string path = converted(chosen);
    remember_folder(path);
    const Result<std::string> name = engraving_file_name(path);
    if (!name) return report_write_failure(path, name.reason());
    if (!may_write(*name)) return;
    mark_scan_chosen();
    // The engraving's smoothing, a step of the design, once the file is to be written.
    smooth_cb(nullptr, nullptr);
    if (Result<> r = write_engraving_bmp(*name, g_design->results().relief_grid); !r)
        report_write_failure(*name, r.reason());
}

void export_engraving_cb(Fl_Widget *, void *) {
    // Not the scan's name: the scan is a .bmp too.
    const std::optional<std::string> name = chosen_name(
        Fl_Native_File_Chooser::BROWSE_SAVE_FILE, "Save BMP Insole", "Insole\t*.bmp\n", "*.bmp");
    if (name) export_engraving_to(name->c_str());
}

void export_print_to(const std::string &path) {
    if (g_design->loaded() && same_file(path, g_design->scan_path())) return;
    MeshExport e;
    const Result<> r = export_relief_stl(g_design->results().relief_grid, path, &e);
    show_traced_outline(e);
    if (!r) report_write_failure(path, r.reason());
}

void export_printable_to(const char *chosen) {
    if (!scan_loaded_for_export()) return;
    std::string path = converted(chosen);
    remember_folder(path);
    if (!has_extension(path, ".3mf") && !has_extension(path, ".stl")) path += ".3mf";
    if (!may_write(path)) return;
    Result<> written = Result<>::success();
    MeshExport e;
    const DesignResults &results = g_design->results();
    if (has_extension(path, ".stl")) {
        written = export_relief_solid(results.insole_relief, path, 0, &e);
    } else {
        PrintSettings settings;
        if (!ask_print_settings(settings)) return;  // cancelled
        settings.top_cover_mm = g_design->controls()[Control::kTopCover];
        written = export_relief_3mf(results.insole_relief, g_design->scan().pressure_grid, path,
                                    settings, print_description(*g_design, g_design_path), &e);
    }
    show_traced_outline(e);
    if (!written) report_write_failure(path, written.reason());
}

void export_printable_cb(Fl_Widget *, void *) {
    if (!scan_loaded_for_export()) return;
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_SAVE_FILE, "輸出3D列印鞋墊",
                    "3MF\t*.3mf\nSTL\t*.stl\n", proposed_name(".3mf"));
    if (name) export_printable_to(name->c_str());
}

void order_cb(Fl_Widget *, void *) {
    if (!scan_loaded_for_export()) return;
    OrderData order = g_design->order();
    if (!ask_order(order)) return;
    g_design->set_order(order);
    sync_controls();
}

void export_order_to(const char *chosen) {
    if (!scan_loaded_for_export()) return;
    std::string path = converted(chosen);
    remember_folder(path);
    if (!has_extension(path, ".pdf")) path += ".pdf";
    if (!may_write(path)) return;
    const OrderSheet sheet = order_sheet_of(g_design->order(), {g_design}, g_design_path);
    if (Result<> r = write_order_sheet(sheet, path, Language::kChinese); !r)
        report_write_failure(path, r.reason());
}

void export_order_cb(Fl_Widget *, void *) {
    if (!scan_loaded_for_export()) return;
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_SAVE_FILE, "輸出訂單", "PDF\t*.pdf\n",
                    proposed_name(".pdf"));
    if (name) export_order_to(name->c_str());
}

void export_print_cb(Fl_Widget *, void *) {
    export_print_to("./merge.stl");
}

namespace {

// Opening refused: the design file (its start values do not fit its own scan) or its scan.
void report_open_refusal(const std::string &path, const std::string &scan,
                         const OpenedDesign &opened) {
    std::fprintf(stderr, "%s: %s: %s\n", opened.file_refused ? path.c_str() : kScanFormatError,
                 scan.c_str(), opened.load.message().c_str());
    const std::string text = opened.file_refused
                                 ? "設計檔無法使用: " + path + "\n" + opened.load.gui_message()
                                 : "無法開啟掃描檔: " + scan + "\n" + opened.load.gui_message();
    show_message_box(text.c_str(), opened.file_refused ? kDesignErrorCaption : kScanFormatCaption);
}

}  // namespace

void open_design_path(const char *chosen) {
    const std::string path = converted(chosen);
    remember_folder(path);
    const Result<DesignFile> file = read_design_file(path);
    if (!file) return report(file.reason(), kDesignErrorCaption);
    std::string scan = design_scan_path(path, *file);
    // A scan the operator chooses in place of a missing one is a replay on another scan.
    bool other_scan = false;
    if (file_missing(scan)) {
        const std::string question = "找不到掃描檔: " + scan + "\n要選擇掃描檔嗎？";
        if (ask_question(question.c_str(), "取消", "選擇掃描檔…") != 1) return;
        const std::optional<std::string> name =
            chosen_name(Fl_Native_File_Chooser::BROWSE_FILE, "選擇掃描檔", "Insole\t*.bmp\n", scan);
        if (!name) return;
        scan = converted(name->c_str());
        remember_folder(scan);
        other_scan = true;
    }
    // Asked once the scan is read, on the bytes read, before it replaces the design.
    bool kept = false;
    const LoadCheck ask = [&](const ScanLoadResult &loaded, const Controls &) {
        const std::string question = "掃描檔與設計檔記錄的內容不同:\n" + scan + "\n仍要開啟嗎？";
        const bool changed = !other_scan && loaded.sha256 != file->scan_sha256;
        kept = (changed && ask_question(question.c_str(), "取消", "開啟") != 1) ||
               !ask_before_discard();
        return kept ? Result<>(Failure{"kept"}) : Result<>();
    };
    const OpenedDesign opened = open_design(*g_design, *file, scan, ask);
    if (kept) return;
    if (!opened.load) return report_open_refusal(path, scan, opened);
    mark_scan_chosen();
    report(opened.replayed, kDesignErrorCaption);
    if (opened.start_changed) show_message_box(opened.start_changed->gui.c_str(), "設計檔");
    g_design_path = path;
    g_image_view->outline.clear();
    show_new_scan();
}

void open_design_cb(Fl_Widget *, void *) {
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_FILE, "開啟設計", "Design\t*.json\n");
    if (name) open_design_path(name->c_str());
}

namespace {

// Writes the design to `path`, never over its scan; asks before replacing another file than
// its own, and before saving a design whose scan is gone, which could not be opened again
// without choosing another scan.
void write_design_to(const std::string &path) {
    const bool own = !g_design_path.empty() && same_file(path, g_design_path);
    if (!own && !may_write(path, false)) return;
    if (file_missing(g_design->scan_path())) {
        const std::string question =
            "找不到掃描檔: " + g_design->scan_path() + "\n開啟這個設計時須另選掃描檔。仍要儲存嗎？";
        if (ask_question(question.c_str(), "取消", "儲存") != 1) return;
    }
    const Result<> r = save_design(*g_design, path);
    if (!r) return report_write_failure(path, r.reason());
    g_design->mark_saved();
    g_design_path = path;
    sync_controls();
}

}  // namespace

void save_design_path(const char *chosen) {
    if (!scan_loaded_for_export()) return;
    std::string path = converted(chosen);
    remember_folder(path);
    if (!has_extension(path, ".json")) path += ".json";
    write_design_to(path);
}

void save_design_cb(Fl_Widget *, void *) {
    if (!scan_loaded_for_export()) return;
    if (g_design_path.empty()) return save_design_as_cb(nullptr, nullptr);
    write_design_to(g_design_path);
}

void save_design_as_cb(Fl_Widget *, void *) {
    if (!scan_loaded_for_export()) return;
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_SAVE_FILE, "另存設計", "Design\t*.json\n",
                    proposed_name(".json"));
    if (name) save_design_path(name->c_str());
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

void dome_from_heads_cb(Fl_Widget *, void *) {
    const Result<Warnings> placed = g_design->place_dome_behind_heads();
    if (!placed) report(placed.reason(), kDesignErrorCaption);
    if (placed)
        for (const Warning &warning : *placed)
            show_message_box(warning.gui.c_str(), "蹠骨點");
    sync_controls();
}

void reset_point_cb(Fl_Widget *, void *) {
    report(g_design->reset_meta_point(), kDesignErrorCaption);
    sync_controls();
}

void move_point_to(float column, float row) {
    report(g_design->place_by_hand(column, row), kDesignErrorCaption);
    sync_controls();
}

void point_gesture(bool open) {
    open ? g_design->open_gesture() : g_design->close_gesture();
}

void propose_cb(Fl_Widget *, void *) {
    const char *const caption = "建議處方";
    if (!g_design->loaded()) return show_message_box("尚未讀取掃描檔", caption);
    Result<std::vector<ProposedValue>> proposed = propose(*g_design);
    sync_controls();
    if (!proposed) return report(proposed.reason(), kDesignErrorCaption);
    std::string text;
    for (const ProposedValue &p : *proposed)
        text += p.label + " " + p.value + "：" + p.why_gui + "\n";
    show_message_box(text.c_str(), caption);
}

void top_view_cb(Fl_Widget *, void *) {
    g_view3d->top_view();
}
void smooth_cb(Fl_Widget *, void *) {
    report(g_design->smooth(), kDesignErrorCaption);
    sync_controls();
}
void control_cb(Fl_Widget *widget, void *control) {
    const Control c = static_cast<Control>(reinterpret_cast<intptr_t>(control));
    const Widget kind = control_spec(c).widget;
    const double value = kind == Widget::kCheckButton
                             ? static_cast<Fl_Check_Button *>(widget)->value()
                         : kind == Widget::kChoice ? static_cast<Fl_Choice *>(widget)->value()
                                                   : static_cast<Fl_Valuator *>(widget)->value();
    const bool timed = kind == Widget::kPadSlider || kind == Widget::kSlider;
    set_control(c, value, timed ? std::optional<double>(seconds_now()) : std::nullopt);
}

void set_typed_control(Control c, double value) {
    set_control(c, value);
}

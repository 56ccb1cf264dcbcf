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
#include <array>
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
#include "design/pair_file.h"
#include "io/scan_file.h"
#include "model3d/print_3mf.h"
#include "model3d/stl_files.h"
#include "order/foot_sheet.h"
#include "relief/engraving_bmp.h"
#include "core/console.h"

using namespace pedaform;

Pair *g_pair = nullptr;
Foot g_foot = Foot::kLeft;
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

// Each foot's design file last saved or opened, "" for none; the pair file, "" for none.
std::string g_design_paths[kFootCount];
std::string g_pair_path;
std::string g_last_folder;  // of the last file named in any chooser, "" before the first

// The file the shown foot's design is kept in: the pair file, else its own design file.
const std::string &design_path() {
    return g_pair_path.empty() ? g_design_paths[foot_index(g_foot)] : g_pair_path;
}

const char *foot_word(Foot foot) {
    return foot == Foot::kLeft ? "左" : "右";
}

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
    const std::string &own = g_design_paths[foot_index(g_foot)];
    if (std::strcmp(extension, ".json") == 0 && !own.empty())
        return std::filesystem::absolute(own, ignored).string();
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

// True when a file may be written at `path`: it is neither foot's scan (nor, for an export, a
// foot's design file or the pair file), a file can be written there (else said), and nothing is
// there yet or the operator agrees to replace it.
bool may_write(const std::string &path, bool design_file_too = true) {
    const char *refusal = nullptr;
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        const Design &design = g_pair->design(foot);
        if (design.loaded() && same_file(path, design.scan_path()))
            refusal = "不能覆寫目前的掃描檔";
    }
    for (const std::string *file : {&g_design_paths[0], &g_design_paths[1], &g_pair_path})
        if (refusal == nullptr && design_file_too && !file->empty() && same_file(path, *file))
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

// One control moved by the operator: one step of the pair (or the amended one of a burst or
// drag when `at` is given), then the title.
void set_control(Control c, double value, std::optional<double> at = std::nullopt) {
    report(g_pair->set(g_foot, c, value, at), kDesignErrorCaption);
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

// What a foot's load found doubtful, said once per load: a foot that matches no size while it
// has none (never laid on another size), a search point far behind the heads (the dome would
// load them), a dome step replayed or taken from the other foot that found no pressure under
// the heads.
// `mark` names the foot when it is not the one shown.
void say_load_warnings(const Design &design, const std::string &mark) {
    if (const std::optional<Warning> size = design.size_warning();
        size && design.size_label()[0] == '\0')
        show_message_box((mark + size->gui).c_str(), "尺碼");
    if (const std::optional<Warning> point = design.search_point_warning())
        show_message_box((mark + point->gui).c_str(), "蹠骨點");
    if (const std::optional<Warning> dome = design.dome_step_warning())
        show_message_box((mark + dome->gui).c_str(), "蹠骨點");
}

// After a new scan: the sliders in place for its side, every control at its value.
void show_new_scan() {
    show_foot(g_foot);
    g_main_window->redraw();
    say_load_warnings(*g_design, "");
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

namespace {

bool ask_to_discard(bool modified) {
    if (!modified) return true;
    return ask_question("設計尚未儲存，確定要放棄這些變更嗎？", "取消", "放棄變更") == 1;
}

}  // namespace

bool ask_before_discard() {
    return ask_to_discard(g_pair->modified());
}

void (*show_message_box)(const char *text, const char *caption) = show_alert;
bool (*ask_print_settings)(PrintSettings &settings) = print_dialog;
bool (*ask_order)(OrderData &order) = order_dialog;
int (*ask_question)(const char *text, const char *no, const char *yes) = show_question;
int (*ask_choice)(const char *text, const char *keep, const char *first,
                  const char *second) = show_choice;

namespace {

const char *const kGoLeft = "放到左腳", *const kGoRight = "放到右腳";
const char *const kTakeLeft = "採用左腳的設定", *const kTakeRight = "採用右腳的設定";

// The title: the scan of a foot alone as before; both feet's scans after the pair file, if
// any; " *" while either foot has unsaved steps.
std::string window_title() {
    std::string title = "Pedaform";
    const bool left = g_pair->design(Foot::kLeft).loaded();
    const bool right = g_pair->design(Foot::kRight).loaded();
    if (left && right) {
        const std::string scans = "左 " + file_name_of(g_pair->design(Foot::kLeft).scan_path()) +
                                  ", 右 " + file_name_of(g_pair->design(Foot::kRight).scan_path());
        title +=
            " - " + (g_pair_path.empty() ? scans : file_name_of(g_pair_path) + " (" + scans + ")");
    } else if (left || right) {
        const Foot foot = left ? Foot::kLeft : Foot::kRight;
        const std::string scan = file_name_of(g_pair->design(foot).scan_path());
        const std::string &file = g_design_paths[foot_index(foot)];
        title += " - " + (file.empty() ? scan : file_name_of(file) + " (" + scan + ")");
    }
    if (g_pair->modified()) title += " *";
    return title;
}

}  // namespace

std::string pair_action_labels() {
    return std::string(kGoLeft) + kGoRight + kTakeLeft + kTakeRight;
}

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
    for (Foot foot : {Foot::kLeft, Foot::kRight})
        g_foot_buttons[foot_index(foot)]->value(foot == g_foot ? 1 : 0);
    g_link_button->value(g_pair->linked() ? 1 : 0);
    const std::string title = window_title();
    if (g_main_window != nullptr && title != g_main_window->label())
        g_main_window->copy_label(title.c_str());
}

void show_foot(Foot foot) {
    const bool other = foot != g_foot || g_design != &g_pair->design(foot);
    g_foot = foot;
    g_design = &g_pair->design(foot);
    g_image_view->design = g_design;
    g_view3d->results = &g_design->results();
    g_view3d->scan = &g_design->scan();
    if (other) {
        // The other foot's view: its relief once it holds a scan; no export outline of this one.
        g_image_view->scan_chosen = g_view3d->scan_chosen = g_design->loaded();
        g_image_view->outline.clear();
    }
    if (g_design->loaded()) arrange_pad_sliders(g_design->scan().template_mirrored);
    mark_nearest_size(g_design->nearest_size());
    sync_controls();
}

void foot_switch_cb(Fl_Widget *, void *foot) {
    show_foot(reinterpret_cast<intptr_t>(foot) == 0 ? Foot::kLeft : Foot::kRight);
}

void link_cb(Fl_Widget *, void *) {
    if (g_pair->linked()) {
        g_pair->unlink();
    } else if (g_pair->same_settings()) {
        report(g_pair->link(g_foot), kDesignErrorCaption);
    } else {
        const int answer = ask_choice("兩腳的設定不同：同步後兩腳採用哪一腳的設定？", "取消",
                                      kTakeLeft, kTakeRight);
        if (answer != 0)
            report(g_pair->link(answer == 1 ? Foot::kLeft : Foot::kRight), kDesignErrorCaption);
    }
    sync_controls();
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

namespace {

// The foot of the scan at `path`, read without its console lines; none for a file the load
// refuses (the load then says why).
std::optional<Foot> scan_side(const std::string &path) {
    std::FILE *shown = console();
    set_console(nullptr);
    const auto probe = std::make_unique<Scan>();
    const Result<ScanLoadResult> read = load_scan_file(*probe, path.c_str());
    set_console(shown);
    if (!read) return std::nullopt;
    return foot_of(*probe);
}

// The foot a scan of `side` fills: the foot shown, or the scan's own foot, going there asked
// unless neither foot holds a scan; none when the operator stays.
std::optional<Foot> foot_for(std::optional<Foot> side) {
    if (!side || *side == g_foot) return g_foot;
    if (!g_pair->design(Foot::kLeft).loaded() && !g_pair->design(Foot::kRight).loaded())
        return side;
    const std::string text =
        std::string("這是") + foot_word(*side) + "腳的掃描檔，要放到" + foot_word(*side) + "腳嗎？";
    if (ask_question(text.c_str(), "取消", *side == Foot::kLeft ? kGoLeft : kGoRight) != 1)
        return std::nullopt;
    return side;
}

// The importer's other foot beside a foot's scan: NAME_R.bmp beside NAME_L.bmp and back; "" when
// the name is no importer's name or no such file exists.
std::string partner_scan(const std::string &path, Foot foot) {
    const std::string own = foot == Foot::kLeft ? "_L.bmp" : "_R.bmp";
    if (path.size() < own.size() || path.compare(path.size() - own.size(), own.size(), own) != 0)
        return "";
    const std::string partner =
        path.substr(0, path.size() - own.size()) + (foot == Foot::kLeft ? "_R.bmp" : "_L.bmp");
    struct stat st;
    return stat(partner.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? partner : "";
}

// An imported recording's other foot, into the other foot when that one is empty.
void fill_partner(Foot foot, const std::string &path) {
    const Foot other = other_foot(foot);
    const std::string partner = partner_scan(path, foot);
    if (g_pair->design(other).loaded() || partner.empty() || scan_side(partner) != other) return;
    const Result<ScanLoadResult> loaded = g_pair->load(other, partner);
    if (!loaded) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, partner.c_str(),
                     loaded.message().c_str());
        return;
    }
    g_design_paths[foot_index(other)].clear();
    say_load_warnings(g_pair->design(other), std::string(foot_word(other)) + "腳：");
}

enum class Loaded { kKept, kRefused, kDone };

// `path` into the foot `into`, else into the foot foot_for gives its side (and its importer's
// partner beside it into the other foot).
Loaded load_into_pair(const std::string &path, std::optional<Foot> into = std::nullopt) {
    const std::optional<Foot> foot = into ? into : foot_for(scan_side(path));
    if (!foot || !ask_to_discard(g_pair->design(*foot).modified())) return Loaded::kKept;
    remember_folder(path);
    const Result<ScanLoadResult> loaded = g_pair->load(*foot, path);
    if (!loaded) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, path.c_str(),
                     loaded.message().c_str());
        show_message_box(loaded.gui_message().c_str(), kScanFormatCaption);
        return Loaded::kRefused;
    }
    if (*foot != g_foot) show_foot(*foot);
    mark_scan_chosen();
    g_design_paths[foot_index(*foot)].clear();
    g_pair_path.clear();
    g_image_view->outline.clear();  // the outline of an earlier export belongs to the earlier scan
    show_new_scan();
    if (!into) fill_partner(*foot, path);
    sync_controls();
    return Loaded::kDone;
}

}  // namespace

bool load_scan_path(const char *chosen) {
    return load_into_pair(converted(chosen)) != Loaded::kKept;
}

void load_scans_into_feet(const std::vector<std::pair<Foot, std::string>> &scans) {
    for (const auto &[foot, path] : scans)
        load_into_pair(path, foot);
    if (!scans.empty() && scans.front().first != g_foot) show_foot(scans.front().first);
}

void load_cb(Fl_Widget *, void *) {
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_FILE, "Load a bmp", "Insole\t*.bmp\n");
    if (name) load_scan_path(name->c_str());
}

namespace {

// The feet an export writes: both once both hold a scan, else the one shown.
std::vector<Foot> exported_feet() {
    if (g_pair->both_loaded()) return {Foot::kLeft, Foot::kRight};
    return {g_foot};
}

// A file of one foot's export: with _L or _R when both feet are written.
std::string foot_file(const std::string &path, Foot foot) {
    return g_pair->both_loaded() ? pair_foot_file_name(path, foot) : path;
}

}  // namespace

void export_engraving_to(const char *chosen) {
    const std::string path = converted(chosen);
    remember_folder(path);
    std::vector<std::pair<Foot, std::string>> files;
    for (Foot foot : exported_feet()) {
        const Result<std::string> name = engraving_file_name(foot_file(path, foot));
        if (!name) return report_write_failure(path, name.reason());
        if (!may_write(*name)) return;
        files.emplace_back(foot, *name);
    }
    mark_scan_chosen();
    // The engravings' smoothing, a step of the pair, once their files are to be written.
    report(g_pair->smooth(g_foot, g_pair->both_loaded()), kDesignErrorCaption);
    sync_controls();
    for (const auto &[foot, name] : files)
        if (Result<> r = write_engraving_bmp(name, g_pair->design(foot).results().relief_grid); !r)
            return report_write_failure(name, r.reason());
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

namespace {

// Both feet's insoles in one 3MF on the bed, or one per foot when they do not fit (said).
void export_pair_print(const std::string &path, const PrintSettings &settings) {
    std::array<PairPrintInput, 2> feet;
    std::array<MeshExport, 2> traced;
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        const Design &d = g_pair->design(foot);
        feet[foot_index(foot)] = {d.results().insole_relief, d.scan().pressure_grid,
                                  print_description(d, g_pair_path),
                                  d.controls()[Control::kTopCover]};
    }
    const Result<PairPrint> print = build_pair_print(feet, settings, &traced);
    show_traced_outline(traced[foot_index(g_foot)]);
    if (!print) return report_write_failure(path, print.reason());
    if (print->placement) {
        if (Result<> r = write_pair_print(*print, settings, path); !r)
            report_write_failure(path, r.reason());
        return;
    }
    char bed[64];
    std::snprintf(bed, sizeof bed, "%g x %g mm", settings.bed.width, settings.bed.depth);
    const std::string apart[2] = {pair_foot_file_name(path, Foot::kLeft),
                                  pair_foot_file_name(path, Foot::kRight)};
    const std::string text = std::string("兩腳鞋墊無法放在同一個 ") + bed +
                             " 的列印平台上（轉 45 度亦然），將分別輸出:\n" + apart[0] + "\n" +
                             apart[1];
    show_message_box(text.c_str(), "列印平台");
    for (int k = 0; k < 2; ++k) {
        if (!may_write(apart[k])) continue;
        if (Result<> r = write_foot_print(*print, k, settings, apart[k]); !r)
            return report_write_failure(apart[k], r.reason());
    }
}

}  // namespace

void export_printable_to(const char *chosen) {
    if (!scan_loaded_for_export()) return;
    std::string path = converted(chosen);
    remember_folder(path);
    if (!has_extension(path, ".3mf") && !has_extension(path, ".stl")) path += ".3mf";
    if (has_extension(path, ".stl")) {
        for (Foot foot : exported_feet()) {
            const std::string file = foot_file(path, foot);
            if (!may_write(file)) continue;
            MeshExport e;
            const Design &design = g_pair->design(foot);
            const Result<> written =
                export_relief_solid(design.results().insole_relief, file, 0, &e);
            if (foot == g_foot) show_traced_outline(e);
            if (!written) return report_write_failure(file, written.reason());
        }
        return;
    }
    if (!may_write(path)) return;
    PrintSettings settings;
    if (!ask_print_settings(settings)) return;  // cancelled
    if (g_pair->both_loaded()) return export_pair_print(path, settings);
    settings.top_cover_mm = g_design->controls()[Control::kTopCover];
    MeshExport e;
    const Result<> written =
        export_relief_3mf(g_design->results().insole_relief, g_design->scan().pressure_grid, path,
                          settings, print_description(*g_design, design_path()), &e);
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
    OrderData order = g_pair->order();
    if (!ask_order(order)) return;
    g_pair->set_order(order);
    sync_controls();
}

void export_order_to(const char *chosen) {
    if (!scan_loaded_for_export()) return;
    std::string path = converted(chosen);
    remember_folder(path);
    if (!has_extension(path, ".pdf")) path += ".pdf";
    if (!may_write(path)) return;
    std::vector<const Design *> designs;
    for (Foot foot : exported_feet())
        designs.push_back(&g_pair->design(foot));
    const OrderSheet sheet = order_sheet_of(g_pair->order(), designs, design_path());
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

// The scan a design file names, or the one the operator chooses in place of a missing one
// (then `other_scan`); none when the operator gave up.
std::optional<std::string> design_scan(const std::string &path, const DesignFile &file,
                                       bool &other_scan) {
    std::string scan = design_scan_path(path, file);
    // A scan the operator chooses in place of a missing one is a replay on another scan.
    other_scan = false;
    if (file_missing(scan)) {
        const std::string question = "找不到掃描檔: " + scan + "\n要選擇掃描檔嗎？";
        if (ask_question(question.c_str(), "取消", "選擇掃描檔…") != 1) return std::nullopt;
        const std::optional<std::string> name =
            chosen_name(Fl_Native_File_Chooser::BROWSE_FILE, "選擇掃描檔", "Insole\t*.bmp\n", scan);
        if (!name) return std::nullopt;
        scan = converted(name->c_str());
        remember_folder(scan);
        other_scan = true;
    }
    return scan;
}

// Asked once a design's scan is read, on the bytes read, before it replaces a design: whether
// to open a scan whose bytes differ from the design's checksum (not for a scan chosen in place
// of a missing one), then, when the design it replaces is `modified`, whether to give up its
// steps. `kept` says the operator said no.
LoadCheck checksum_question(const DesignFile &file, const std::string &scan, bool other_scan,
                            bool modified, bool &kept) {
    return [&file, scan, other_scan, modified, &kept](const ScanLoadResult &loaded,
                                                      const Controls &) {
        const std::string question = "掃描檔與設計檔記錄的內容不同:\n" + scan + "\n仍要開啟嗎？";
        const bool changed = !other_scan && loaded.sha256.hex() != file.scan_sha256;
        kept = (changed && ask_question(question.c_str(), "取消", "開啟") != 1) ||
               !ask_to_discard(modified);
        return kept ? Result<>(Failure{"kept"}) : Result<>();
    };
}

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

// What opening a foot's design says: the replay's failure, the start values the scan set
// otherwise, the hand-placed points mirrored. `mark` names the foot when it is not the one shown.
void report_opened(const OpenedDesign &opened, const std::string &mark = "") {
    report(opened.replayed, kDesignErrorCaption);
    if (opened.start_changed)
        show_message_box((mark + opened.start_changed->gui).c_str(), "設計檔");
    for (const Warning &warning : opened.mirrored)
        show_message_box((mark + warning.gui).c_str(), "設計檔");
}

}  // namespace

void open_design_path(const char *chosen) {
    const std::string path = converted(chosen);
    if (is_pair_file(path)) return open_pair_path(chosen);
    remember_folder(path);
    const Result<DesignFile> file = read_design_file(path);
    if (!file) return report(file.reason(), kDesignErrorCaption);
    bool other_scan = false;
    const std::optional<std::string> scan = design_scan(path, *file, other_scan);
    if (!scan) return;
    const std::optional<Foot> foot = foot_for(scan_side(*scan));
    if (!foot) return;
    // Opened into a fresh design, so that a refused scan leaves the foot as it was.
    bool kept = false;
    std::unique_ptr<Design> fresh = g_pair->new_design();
    const bool modified = g_pair->design(*foot).modified();
    const OpenedDesign opened = open_design(
        *fresh, *file, *scan, checksum_question(*file, *scan, other_scan, modified, kept));
    if (kept) return;
    if (!opened.load) return report_open_refusal(path, *scan, opened);
    mark_scan_chosen();
    g_pair->adopt(*foot, std::move(fresh));
    // The file's steps are this foot's own: the feet stay linked only while they agree.
    if (!g_pair->same_settings()) g_pair->set_linked(false);
    g_design_paths[foot_index(*foot)] = path;
    g_pair_path.clear();
    g_image_view->outline.clear();
    g_foot = *foot;
    show_new_scan();
    report_opened(opened);
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
    const std::string &file = g_design_paths[foot_index(g_foot)];
    const bool own = !file.empty() && same_file(path, file);
    if (!own && !may_write(path, false)) return;
    if (file_missing(g_design->scan_path())) {
        const std::string question =
            "找不到掃描檔: " + g_design->scan_path() + "\n開啟這個設計時須另選掃描檔。仍要儲存嗎？";
        if (ask_question(question.c_str(), "取消", "儲存") != 1) return;
    }
    const Result<> r = save_design(*g_design, path);
    if (!r) return report_write_failure(path, r.reason());
    g_design->mark_saved();
    g_design_paths[foot_index(g_foot)] = path;
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
    const std::string file = g_design_paths[foot_index(g_foot)];
    if (file.empty()) return save_design_as_cb(nullptr, nullptr);
    write_design_to(file);
}

void save_design_as_cb(Fl_Widget *, void *) {
    if (!scan_loaded_for_export()) return;
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_SAVE_FILE, "另存設計", "Design\t*.json\n",
                    proposed_name(".json"));
    if (name) save_design_path(name->c_str());
}

void open_pair_path(const char *chosen) {
    const std::string path = converted(chosen);
    remember_folder(path);
    const Result<PairFile> file = read_pair_file(path);
    if (!file) return report(file.reason(), kDesignErrorCaption);
    std::array<std::string, kFootCount> scans;
    std::array<bool, kFootCount> other_scan = {}, kept = {};
    std::array<LoadCheck, kFootCount> checks;
    for (int f = 0; f < kFootCount; ++f) {
        const std::optional<std::string> scan = design_scan(path, file->feet[f], other_scan[f]);
        if (!scan) return;
        scans[f] = *scan;
        // The pair's unsaved steps are asked about once, after the left scan's question.
        const bool modified = f == 0 && g_pair->modified();
        checks[f] = checksum_question(file->feet[f], scans[f], other_scan[f], modified, kept[f]);
    }
    const OpenedPair opened = open_pair(*g_pair, *file, scans, checks);
    if (kept[0] || kept[1]) return;
    if (opened.refused) {
        const int f = foot_index(*opened.refused);
        return report_open_refusal(path, scans[f], opened.feet[f]);
    }
    mark_scan_chosen();
    g_pair_path = path;
    for (std::string &p : g_design_paths)
        p.clear();
    g_image_view->outline.clear();
    g_foot = Foot::kLeft;
    show_new_scan();
    say_load_warnings(g_pair->design(Foot::kRight), "右腳：");
    report_opened(opened.feet[0], "左腳：");
    report_opened(opened.feet[1], "右腳：");
}

void open_pair_cb(Fl_Widget *, void *) {
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_FILE, "開啟左右一對", "Pair\t*.json\n");
    if (name) open_pair_path(name->c_str());
}

void save_pair_path(const char *chosen) {
    if (!g_pair->both_loaded()) {
        show_message_box("尚未讀取兩腳的掃描檔", kWriteErrorCaption);
        return;
    }
    std::string path = converted(chosen);
    remember_folder(path);
    if (!has_extension(path, ".json")) path += ".json";
    const bool own = !g_pair_path.empty() && same_file(path, g_pair_path);
    if (!own && !may_write(path, false)) return;
    const Result<> r = save_pair(*g_pair, path);
    if (!r) return report_write_failure(path, r.reason());
    g_pair->mark_saved();
    g_pair_path = path;
    sync_controls();
}

void save_pair_cb(Fl_Widget *, void *) {
    if (!g_pair->both_loaded()) return save_pair_path("");
    const std::optional<std::string> name =
        chosen_name(Fl_Native_File_Chooser::BROWSE_SAVE_FILE, "儲存左右一對", "Pair\t*.json\n",
                    proposed_name("_pair.json"));
    if (name) save_pair_path(name->c_str());
}

bool start_new_pair() {
    if (!ask_before_discard()) return false;
    for (Foot foot : {Foot::kLeft, Foot::kRight})
        g_pair->adopt(foot, g_pair->new_design());
    g_pair->set_linked(true);
    g_pair->mark_saved();
    g_pair_path.clear();
    for (std::string &p : g_design_paths)
        p.clear();
    g_design = nullptr;  // show_foot points the views at the new design
    show_foot(Foot::kLeft);
    g_main_window->redraw();
    return true;
}

void new_pair_cb(Fl_Widget *, void *) {
    start_new_pair();
}

void undo_cb(Fl_Widget *, void *) {
    report(g_pair->undo(), kDesignErrorCaption);
    sync_controls();
}

void redo_cb(Fl_Widget *, void *) {
    report(g_pair->redo(), kDesignErrorCaption);
    sync_controls();
}

int redo_shortcut_handler(int event) {
    if (event != FL_SHORTCUT || Fl::event_key() != 'z') return 0;
    if (Fl::event_state(FL_CTRL | FL_SHIFT) != (FL_CTRL | FL_SHIFT)) return 0;
    redo_cb(nullptr, nullptr);
    return 1;
}

void size_cb(Fl_Widget *, void *index) {
    report(g_pair->choose_size(g_foot, static_cast<int>(reinterpret_cast<intptr_t>(index))),
           kDesignErrorCaption);
    sync_controls();
}

void dome_from_heads_cb(Fl_Widget *, void *) {
    const Result<Warnings> placed = g_pair->place_dome_behind_heads(g_foot);
    if (!placed) report(placed.reason(), kDesignErrorCaption);
    if (placed)
        for (const Warning &warning : *placed)
            show_message_box(warning.gui.c_str(), "蹠骨點");
    sync_controls();
}

void reset_point_cb(Fl_Widget *, void *) {
    report(g_pair->reset_meta_point(g_foot), kDesignErrorCaption);
    sync_controls();
}

void move_point_to(float column, float row) {
    report(g_pair->place_by_hand(g_foot, column, row), kDesignErrorCaption);
    sync_controls();
}

void point_gesture(bool open) {
    open ? g_design->open_gesture() : g_design->close_gesture();
}

void propose_cb(Fl_Widget *, void *) {
    const char *const caption = "建議處方";
    if (!g_design->loaded()) return show_message_box("尚未讀取掃描檔", caption);
    Result<std::array<std::vector<ProposedValue>, kFootCount>> proposed = g_pair->propose(g_foot);
    sync_controls();
    if (!proposed) return report(proposed.reason(), kDesignErrorCaption);
    std::string text;
    for (const ProposedValue &p : (*proposed)[foot_index(g_foot)])
        text += p.label + " " + p.value + "：" + p.why_gui + "\n";
    show_message_box(text.c_str(), caption);
}

void top_view_cb(Fl_Widget *, void *) {
    g_view3d->top_view();
}
void smooth_cb(Fl_Widget *, void *) {
    report(g_pair->smooth(g_foot), kDesignErrorCaption);
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

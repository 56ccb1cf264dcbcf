#include "app/print_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Preferences.H>

#include <algorithm>
#include <cstring>

#include "app/actions.h"
#include "app/main_window.h"

using namespace pedaform;

std::string g_preferences_dir;

void with_preferences(const char *group, const std::function<void(Fl_Preferences &)> &use) {
    if (g_preferences_dir.empty()) {
        Fl_Preferences all(Fl_Preferences::USER, "pedaform", "pedaform");
        Fl_Preferences own(all, group);
        use(own);
    } else {
        Fl_Preferences all(g_preferences_dir.c_str(), "pedaform", "pedaform");
        Fl_Preferences own(all, group);
        use(own);
    }
}

namespace {

constexpr int kRowTop = 80, kRowHeight = 30;

// The dialog's words.
const char *const kTitle = "3D列印設定";
const char *const kSlicerLabel = "切片軟體";
const char *const kZonesLabel = "壓力分區：門檻（峰值的 %）與填充 %";
const char *const kAddLabel = "新增分區";
const char *const kToleranceLabel = "網格容差 (mm)";
const char *const kBedLabel = "列印平台 (mm)";
const char *const kBedTimes = "×";
const char *const kOkLabel = "輸出";
const char *const kCancelLabel = "取消";
const char *const kRemoveLabel = "移除";
const char *const kZoneLabel = "分區 ";
const char *const kZonesCaption = "壓力分區";

PrintDialog *dialog_of(Fl_Widget *w) {
    return static_cast<PrintDialog *>(w->window()->user_data());
}

void changed_cb(Fl_Widget *w, void *) {
    dialog_of(w)->recolour();
}

void remove_cb(Fl_Widget *w, void *) {
    PrintDialog *d = dialog_of(w);
    for (size_t k = 0; k < d->rows.size(); ++k)
        if (d->rows[k].remove == w) return d->remove_zone(k);
}

void add_cb(Fl_Widget *w, void *) {
    dialog_of(w)->add_zone();
}

}  // namespace

void zone_colour(int zone, uint8_t rgb[3]) {
    static constexpr uint8_t kColours[PrintDialog::kMaxZones][3] = {
        {40, 90, 200}, {60, 170, 80},  {240, 200, 40}, {230, 110, 40},
        {200, 40, 40}, {150, 60, 200}, {40, 180, 200}, {230, 230, 230}};
    std::memcpy(rgb, kColours[zone % PrintDialog::kMaxZones], 3);
}

PrintDialog::PrintDialog(const std::vector<PrintZone> &zones, double tolerance_mm)
    : window(380, 465, kTitle), prepared_(prepare_insole(g_design->results().insole_relief)) {
    window.user_data(this);
    slicer = new Fl_Choice(130, 15, 230, 25, kSlicerLabel);
    slicer->add("PrusaSlicer");
    slicer->add("OrcaSlicer / Bambu Studio");
    slicer->add("Cura");
    Slicer remembered = Slicer::kPrusa;
    with_preferences("print", [&](Fl_Preferences &p) {
        char name[16];
        p.get("slicer", name, "prusa", sizeof name);
        if (const std::optional<Slicer> slicer = parse_slicer(name)) remembered = *slicer;
    });
    slicer->value(static_cast<int>(remembered));
    new Fl_Box(20, 50, 340, 25, kZonesLabel);
    add = new Fl_Button(20, 325, 120, 25, kAddLabel);
    add->callback(add_cb);
    tolerance = new Fl_Value_Input(130, 360, 80, 25, kToleranceLabel);
    tolerance->range(0, kMaxMeshTolerance);
    tolerance->step(0.01);
    tolerance->value(tolerance_mm);
    bed_width = new Fl_Value_Input(130, 395, 70, 25, kBedLabel);
    bed_depth = new Fl_Value_Input(225, 395, 70, 25, kBedTimes);
    BedSize bed;
    with_preferences("print", [&](Fl_Preferences &p) {
        p.get("bed_width", bed.width, bed.width);
        p.get("bed_depth", bed.depth, bed.depth);
    });
    for (auto [input, value] : {std::pair{bed_width, bed.width}, std::pair{bed_depth, bed.depth}}) {
        input->range(kMinBedMm, kMaxBedMm);
        input->step(1);
        input->value(std::clamp(value, kMinBedMm, kMaxBedMm));
    }
    ok = new Fl_Button(180, 430, 85, 25, kOkLabel);
    ok->callback([](Fl_Widget *w, void *) {
        PrintDialog *d = dialog_of(w);
        const Result<> r = d->check_zones();
        if (!r) return show_message_box(r.message().c_str(), kZonesCaption);
        d->accepted_ = d->done_ = true;
    });
    cancel = new Fl_Button(275, 430, 85, 25, kCancelLabel);
    cancel->callback([](Fl_Widget *w, void *) { dialog_of(w)->done_ = true; });
    window.callback(
        [](Fl_Widget *w, void *) { static_cast<PrintDialog *>(w->user_data())->done_ = true; });
    window.end();
    for (const PrintZone &z : zones) {
        add_zone();
        rows.back().threshold->value(z.threshold);
        rows.back().density->value(z.density);
    }
    recolour();
}

PrintDialog::~PrintDialog() {
    g_image_view->zone_colours.clear();
    g_image_view->zones.clear();
}

void PrintDialog::add_zone() {
    if (rows.size() >= kMaxZones) return;
    const int top = kRowTop + static_cast<int>(rows.size()) * kRowHeight;
    window.begin();
    Row row{new Fl_Spinner(130, top, 70, 25), new Fl_Spinner(210, top, 70, 25),
            new Fl_Button(290, top, 70, 25, kRemoveLabel)};
    window.end();
    for (Fl_Spinner *s : {row.threshold, row.density}) {
        s->type(FL_INT_INPUT);
        s->range(0, 100);
        s->step(1);
        s->callback(changed_cb);
    }
    row.threshold->value(rows.empty() ? 0 : std::min(100.0, rows.back().threshold->value() + 10));
    row.density->value(rows.empty() ? 35 : rows.back().density->value());
    row.remove->callback(remove_cb);
    rows.push_back(row);
    place_rows();
    recolour();
}

void PrintDialog::remove_zone(size_t k) {
    for (Fl_Widget *w :
         {static_cast<Fl_Widget *>(rows[k].threshold), static_cast<Fl_Widget *>(rows[k].density),
          static_cast<Fl_Widget *>(rows[k].remove)}) {
        window.remove(w);
        Fl::delete_widget(w);
    }
    rows.erase(rows.begin() + static_cast<long>(k));
    place_rows();
    recolour();
}

// Rows one under the other; the first zone starts at 0, which takes every cell below the
// second's threshold anyway.
void PrintDialog::place_rows() {
    for (size_t k = 0; k < rows.size(); ++k) {
        const int top = kRowTop + static_cast<int>(k) * kRowHeight;
        rows[k].threshold->position(130, top);
        rows[k].density->position(210, top);
        rows[k].remove->position(290, top);
        rows[k].threshold->copy_label((std::string(kZoneLabel) + std::to_string(k + 1)).c_str());
        if (k == 0) rows[k].threshold->value(0);
        if (k == 0) rows[k].threshold->deactivate();
        if (k != 0) rows[k].threshold->activate();
    }
    if (rows.size() >= kMaxZones)
        add->deactivate();
    else
        add->activate();
    window.redraw();
}

PrintSettings PrintDialog::settings() const {
    PrintSettings s;
    for (const Row &r : rows)
        s.zones.push_back(
            {static_cast<int>(r.threshold->value()), true, static_cast<int>(r.density->value())});
    s.slicer = static_cast<Slicer>(std::max(0, slicer->value()));
    s.tolerance_mm = std::clamp(tolerance->value(), 0.0, kMaxMeshTolerance);
    s.bed = {std::clamp(bed_width->value(), kMinBedMm, kMaxBedMm),
             std::clamp(bed_depth->value(), kMinBedMm, kMaxBedMm)};
    return s;
}

Result<> PrintDialog::check_zones() const {
    for (size_t k = 0; k < rows.size(); ++k) {
        const std::string zone = kZoneLabel + std::to_string(k + 1);
        for (const Fl_Spinner *s : {rows[k].threshold, rows[k].density})
            if (!(s->value() >= 0 && s->value() <= 100))
                return Failure{zone + " 的門檻與填充須在 0% 到 100% 之間"};
        if (k > 0 && rows[k].threshold->value() <= rows[k - 1].threshold->value())
            return Failure{zone + " 的門檻須高於" + kZoneLabel + std::to_string(k) + " 的門檻"};
    }
    return Result<>();
}

void PrintDialog::recolour() {
    std::vector<uint8_t> &shown = g_image_view->zone_colours;
    const std::vector<PrintZone> zones = settings().zones;
    g_image_view->zones = zones;
    if (zones.empty()) return shown.clear();
    const DesignResults &results = g_design->results();
    const std::vector<int16_t> cell_zone =
        print_zone_cells(prepared_, g_design->scan().pressure_grid, zones);
    shown.assign(results.relief_preview, results.relief_preview + kGridCells * 4);
    for (int i = 0; i < kGridCells; ++i)
        if (cell_zone[i] >= 0) zone_colour(cell_zone[i], &shown[4 * i]);
}

bool PrintDialog::run() {
    window.set_modal();
    window.show();
    while (!done_ && window.shown())
        Fl::wait();
    window.hide();
    if (accepted_)
        with_preferences("print", [&](Fl_Preferences &p) {
            const PrintSettings s = settings();
            p.set("slicer", slicer_name(s.slicer));
            p.set("bed_width", s.bed.width);
            p.set("bed_depth", s.bed.depth);
        });
    return accepted_;
}

std::string print_dialog_labels() {
    return std::string(kTitle) + kSlicerLabel + kZonesLabel + kAddLabel + kToleranceLabel +
           kBedLabel + kBedTimes + kOkLabel + kCancelLabel + kRemoveLabel + kZoneLabel +
           kZonesCaption;
}

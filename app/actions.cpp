#include "app/actions.h"

#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/filter_gain.h"
#include "analysis/scan_loader.h"
#include "io/scan_file.h"
#include "app/main_window.h"
#include "model3d/relief_mesh.h"
#include "relief/composition.h"
#include "relief/engraving_bmp.h"
#include "relief/smoothing.h"
#include "workspace/ansi_path.h"

using namespace pedaform;

namespace {

void alert_box(const char *text, const char *caption) {
    fl_message_title(caption);
    fl_alert("%s", text);
}

const char *const kWriteErrorCaption = "存檔錯誤";

StampControls stamp_controls() {
    StampControls s;
    s.enabled = g_pad_check->value() == 1;
    s.width = g_pad_width->value();
    s.length = g_pad_length->value();
    return s;
}

PadSliderValues pad_values() {
    PadSliderValues v;
    v.meta1 = g_meta1->value();
    v.meta2 = g_meta2->value();
    v.heel1 = g_heel1->value();
    v.heel2 = g_heel2->value();
    v.heel3 = g_heel3->value();
    return v;
}

void pad_action(PadSlider slider) {
    pad_slider_action(*g_workspace, slider, pad_values(), stamp_controls());
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
    Fl_Valuator *order[] = {g_meta1, g_meta2, g_heel1, g_heel3, g_heel2};
    for (Fl_Valuator *s : order)
        s->value(0.0);
    for (Fl_Valuator *s : order)
        s->redraw();
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

void report_write_failure(const std::string &why) {
    std::fprintf(stderr, "ERROR: %s\n", why.c_str());
    const std::string text = "無法寫入檔案:\n" + why;
    show_message_box(text.c_str(), kWriteErrorCaption);
}

}  // namespace

void (*show_message_box)(const char *text, const char *caption) = alert_box;

void compose_relief() {
    pedaform::compose_relief(*g_workspace, stamp_controls());
}
void update_relief_preview() {
    pedaform::update_relief_preview(*g_workspace);
}
void apply_filter_gain() {
    pedaform::apply_filter_gain(*g_workspace, g_filter->value(), g_gain->value());
}
void smooth_relief() {
    pedaform::smooth_relief(*g_workspace);
}

void load_scan_path(const char *chosen) {
    g_workspace->scan_loaded = 1;
    // The chooser's name, in a buffer of its own length (no fixed-size copy).
    std::vector<char> path(chosen, chosen + std::char_traits<char>::length(chosen) + 1);
    to_ansi_path(path.data());
    const ScanLoadResult result = load_scan_file(*g_workspace, path.data(), g_gain->value());
    if (!result.accepted) {
        std::fprintf(stderr, "%s: %s: %s\n", kScanFormatError, path.data(), result.error.c_str());
        show_message_box(kScanFormatError, kScanFormatCaption);
        return;
    }
    arrange_pad_sliders(g_workspace->template_mirrored);
    if (result.size.hit) {
        g_size_output->value(result.size.label);
        g_pad_width->value(result.size.pad_width);
        g_pad_length->value(result.size.pad_length);
        g_pad_height->value(result.size.pad_height);
    }
}

void load_scan() {
    Fl_Native_File_Chooser chooser;
    chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title("Load a bmp");
    chooser.filter("Insole\t*.bmp\n");
    if (const char *name = chosen_name(chooser)) load_scan_path(name);
}

void load_action() {
    load_scan();
    g_pad_check->value(0);
    g_workspace->pad_stamp_dirty = 1;
}

void export_engraving_to(const char *chosen) {
    g_workspace->scan_loaded = 1;
    std::vector<char> converted(chosen, chosen + std::char_traits<char>::length(chosen) + 1);
    to_ansi_path(converted.data());
    std::string name;
    if (!engraving_file_name(converted.data(), name)) {
        report_write_failure(
            std::string("the name is too long (at most 495 bytes before \".bmp\"): ") +
            converted.data());
        return;
    }
    fill_export_image(*g_workspace);
    std::string why;
    if (write_engraving_bmp(name.c_str(), g_workspace->export_image, &why) != 0)
        report_write_failure(why);
}

void export_engraving() {
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title("Save BMP Insole");
    chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.filter("Insole\t*.bmp\n");
    chooser.preset_file("*.bmp");
    if (const char *name = chosen_name(chooser)) export_engraving_to(name);
}

void export_print_to(const std::string &path) {
    const std::string why = export_relief_stl(*g_workspace, path);
    if (!why.empty()) report_write_failure(why);
}

void load_cb(Fl_Widget *, void *) {
    load_action();
}

void export_engraving_cb(Fl_Widget *, void *) {
    smooth_relief();  // the smoothing stays even if the dialog is cancelled
    export_engraving();
}

void export_print_cb(Fl_Widget *, void *) {
    export_print_to("./merge.stl");
}
void top_view_cb(Fl_Widget *, void *) {
    g_view3d->top_view();
}
void smooth_cb(Fl_Widget *, void *) {
    smooth_relief();
}
void filter_gain_cb(Fl_Widget *, void *) {
    apply_filter_gain();
}
void meta1_cb(Fl_Widget *, void *) {
    pad_action(PadSlider::kMeta1);
}
void meta2_cb(Fl_Widget *, void *) {
    pad_action(PadSlider::kMeta2);
}
void heel1_cb(Fl_Widget *, void *) {
    pad_action(PadSlider::kHeel1);
}
void heel2_cb(Fl_Widget *, void *) {
    pad_action(PadSlider::kHeel2);
}
void heel3_cb(Fl_Widget *, void *) {
    pad_action(PadSlider::kHeel3);
}

void pad_width_cb(Fl_Widget *, void *) {
    g_workspace->pad_stamp_stride = pad_stamp_stride_for(g_pad_width->value());
    g_workspace->pad_stamp_dirty = 1;
}

void pad_stamp_request_cb(Fl_Widget *, void *) {
    g_workspace->pad_stamp_dirty = 1;
}

#include "app/colour_key.h"

#include <FL/fl_draw.H>

#include "app/print_dialog.h"
#include "relief/composition.h"

using namespace pedaform;

ColourKey *g_colour_key = nullptr;

namespace {

constexpr int kTitleHeight = 22;
constexpr int kBarWidth = 16;
constexpr int kZoneLineHeight = 22;
// The height key's bar runs from this many grey levels of change (top) to as many below, each
// level kPixelsPerLevel rows of the colour the preview gives it.
constexpr int kBarLevels = 42;
constexpr int kPixelsPerLevel = 2;
constexpr int kBarRows = (2 * kBarLevels + 1) * kPixelsPerLevel;

const char *const kZoneTitle = "壓力分區";
const char *const kHeightTitle = "高度變化";
const char *const kThresholdWord = "門檻 ";
const char *const kInfillWord = "　填充 ";

}  // namespace

std::string colour_key_labels() {
    return std::string(kZoneTitle) + kHeightTitle + kThresholdWord + kInfillWord + "+-%mm";
}

ColourKey::ColourKey(int x, int y, int w, int h, const GL_Display_Image &view)
    : Fl_Widget(x, y, w, h), view_(view) {
    box(FL_FLAT_BOX);
    color(FL_BACKGROUND_COLOR);
    labelsize(12);
    start_frame_timer(this);
}

ColourKey::~ColourKey() {
    stop_frame_timer(this);
}

bool ColourKey::frame_changed() const {
    return view_.scan_chosen != shown_scan_ || view_.zones != shown_zones_;
}

std::vector<std::string> ColourKey::lines() const {
    std::vector<std::string> out;
    if (!view_.zones.empty()) {
        out.push_back(kZoneTitle);
        for (const PrintZone &z : view_.zones)
            out.push_back(kThresholdWord + std::to_string(z.threshold) + (z.percent ? "%" : "") +
                          kInfillWord + std::to_string(z.density) + "%");
    } else if (view_.scan_chosen) {
        out.push_back(kHeightTitle);
        for (int mm : kLabelledMm)
            out.push_back((mm > 0 ? "+" : "") + std::to_string(mm) + " mm");
    }
    return out;
}

std::vector<int> ColourKey::line_rows() const {
    std::vector<int> rows;
    const int top = y() + kTitleHeight;
    if (!view_.zones.empty()) {
        for (size_t k = 0; k < view_.zones.size(); ++k)
            rows.push_back(top + static_cast<int>(k) * kZoneLineHeight + kZoneLineHeight / 2);
    } else if (view_.scan_chosen) {
        for (int mm : kLabelledMm)
            rows.push_back(top + (kBarLevels - mm * kGreyLevelsPerMm) * kPixelsPerLevel +
                           kPixelsPerLevel / 2);
    }
    return rows;
}

// A bar of the colour table's entries, a change of kBarLevels grey levels at its top to as
// many below at its bottom, with the changes of kLabelledMm beside it.
void ColourKey::draw_height_key() const {
    const uint8_t(&table)[256][3] = view_.design->resources().colour_table;
    const int top = y() + kTitleHeight;
    for (int k = 0; k < kBarRows; ++k) {
        const uint8_t *rgb = table[preview_colour_index(kBarLevels - k / kPixelsPerLevel)];
        fl_color(rgb[0], rgb[1], rgb[2]);
        fl_xyline(x() + 4, top + k, x() + 4 + kBarWidth - 1);
    }
    const std::vector<std::string> text = lines();
    const std::vector<int> rows = line_rows();
    fl_color(FL_FOREGROUND_COLOR);
    for (size_t k = 0; k < rows.size(); ++k) {
        fl_xyline(x() + 4 + kBarWidth, rows[k], x() + 4 + kBarWidth + 3);
        fl_draw(text[k + 1].c_str(), x() + kBarWidth + 12,
                rows[k] + fl_height() / 2 - fl_descent());
    }
}

// One line per zone: its colour in the image view, its threshold and its infill.
void ColourKey::draw_zone_key() const {
    const std::vector<std::string> text = lines();
    const std::vector<int> rows = line_rows();
    for (size_t k = 0; k < rows.size(); ++k) {
        uint8_t rgb[3];
        zone_colour(static_cast<int>(k), rgb);
        fl_color(rgb[0], rgb[1], rgb[2]);
        fl_rectf(x() + 4, rows[k] - 7, kBarWidth, 15);
        fl_color(FL_FOREGROUND_COLOR);
        fl_draw(text[k + 1].c_str(), x() + kBarWidth + 12,
                rows[k] + fl_height() / 2 - fl_descent());
    }
}

void ColourKey::draw() {
    shown_scan_ = view_.scan_chosen;
    shown_zones_ = view_.zones;
    draw_box();
    const std::vector<std::string> text = lines();
    if (text.empty() || view_.design == nullptr) return;
    fl_font(FL_HELVETICA_BOLD, labelsize());
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(text[0].c_str(), x() + 4, y() + kTitleHeight - 6);
    fl_font(FL_HELVETICA, labelsize());
    if (view_.zones.empty())
        draw_height_key();
    else
        draw_zone_key();
}

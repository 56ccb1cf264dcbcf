// The order sheet drawn with Cairo and Pango: the module pedaform-sheet.so (order/sheet_module.h).
#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <memory>

#include "order/axis_profile.h"
#include "order/insole_render.h"
#include "order/sheet_layout.h"
#include "order/sheet_module.h"
#include "order/sheet_pictures.h"
#include "order/sheet_text.h"

namespace pedaform {

namespace {

// The side view's scale: true proportions, a 350 mm insole across the column.
constexpr double kSidePtPerMm = 0.74;
constexpr int kSidePixelsPerMm = 3;
// Low lights, which bring out gentle slopes: from the picture's upper left for the view from
// above; for the side view from above the viewer, toward the heel (x is toward the viewer).
constexpr Direction kLightFromAbove{-0.6, 0.8, 0.7};
constexpr Direction kLightFromSide{0.7, -0.4, 1.0};

struct Page {
    cairo_t *cr;
    const std::string &family;
    void text(const std::string &t, const SheetRect &box, const TextStyle &style) const {
        draw_text(cr, family, t, box, style);
    }
    void rule(double x0, double y, double x1, double width = 0.5) const {
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        cairo_set_line_width(cr, width);
        cairo_move_to(cr, x0, y);
        cairo_line_to(cr, x1, y);
        cairo_stroke(cr);
    }
};

TextStyle style(double pt, double grey = 0, Align align = Align::kLeft) {
    TextStyle s;
    s.pt = pt, s.grey = grey, s.align = align;
    return s;
}

void draw_header(const Page &page, const OrderSheet &sheet) {
    page.text("鞋墊訂單", {kMargin, kMargin, 200, 24}, style(16));
    page.text("Pedaform " + sheet.program_version + "　列印日期 " + sheet.printed_date,
              {kMargin + 200, kMargin + 8, kContentWidth - 200, 12}, style(8, 0.3, Align::kRight));
    page.rule(kMargin, kFieldsTop - 4, kMargin + kContentWidth, 0.8);
    // Three fields to a row, the notes across the last.
    const double column = kContentWidth / 3, row_height = 38;
    for (int i = 0; i < kOrderFieldCount; ++i) {
        const OrderFieldSpec &row = kOrderFields[i];
        const bool notes = row.field == OrderField::kNotes;
        const double x = kMargin + (notes ? 0 : (i % 3) * column);
        const double y = kFieldsTop + (i / 3) * row_height;
        const double width = notes ? kContentWidth : column - 10;
        const double height = notes ? kFieldsHeight - 2 * row_height : row_height;
        page.text(row.label, {x, y, width, 9}, style(7, 0.35));
        TextStyle value = style(10);
        page.text(sheet.order[row.field], {x, y + 9, width, height - 13}, value);
        page.rule(x, y + height - 3, x + width, 0.3);
    }
}

std::string measure_number(const std::optional<double> &v, const char *format) {
    if (!v) return "—";
    char text[32];
    std::snprintf(text, sizeof text, format, *v);
    return text;
}

void draw_measures(const Page &page, const FootSheet &foot, double x) {
    const std::string lines[4] = {
        "長度 " + std::to_string(foot.length_mm) + " mm",
        "尺碼 " + (foot.size_label.empty() ? std::string("無對應尺碼") : foot.size_label),
        "足弓指數 " + measure_number(foot.arch_index, "%.2f"),
        "最大壓力 " + measure_number(foot.peak_kpa, "%.0f kPa"),
    };
    for (int k = 0; k < 4; ++k)
        page.text(lines[k],
                  {x + (k % 2) * kFootWidth / 2, kMeasuresTop + (k / 2) * 13, kFootWidth / 2, 13},
                  style(9));
}

// One word a line; past kPrescriptionLines words, in two columns.
void draw_prescription(const Page &page, const FootSheet &foot, double x) {
    page.text("處方", {x, kPrescriptionTop, kFootWidth, 11}, style(8));
    const std::vector<std::string> &words = foot.prescription;
    const size_t columns = words.size() > kPrescriptionLines ? 2 : 1;
    const size_t per_column = (words.size() + columns - 1) / columns;
    for (size_t c = 0; c < columns; ++c) {
        std::string list;
        for (size_t i = c * per_column; i < std::min(words.size(), (c + 1) * per_column); ++i)
            list += (list.empty() ? "• " : "\n• ") + words[i];
        if (words.empty()) list = "（無）";
        const double width = kFootWidth / columns;
        page.text(list, {x + c * width, kPrescriptionTop + 11, width - 4, kPrescriptionHeight - 11},
                  style(8.5));
    }
}

void draw_foot(const Page &page, const FootSheet &foot, int index, int count,
               const PlotScale &scale) {
    const double x = foot_left(index, count);
    page.text(foot.side == FootSide::kLeft ? "左腳 L" : "右腳 R", {x, kFeetTop, kFootWidth, 16},
              style(11));
    draw_pressure(page.cr, foot, sheet_picture_area(SheetPicture::kPressure, index, count));
    int top_levels = 1;
    for (const uint8_t level : foot.relief)
        top_levels = std::max<int>(top_levels, level);
    const SheetRect relief = sheet_picture_area(SheetPicture::kRelief, index, count);
    draw_relief(page.cr, page.family, foot, std::ceil(top_levels * kMmPerGreyLevel), relief,
                {relief.x + relief.width + 3, relief.y, kKeyWidth, relief.height});
    draw_lit(page.cr, render_from_above(foot.relief.data(), kLightFromAbove),
             sheet_picture_area(SheetPicture::kFromAbove, index, count), 1e9);
    const bool medial_high = foot.medial_at_high_columns;
    const Direction side_light{medial_high ? kLightFromSide.x : -kLightFromSide.x, kLightFromSide.y,
                               kLightFromSide.z};
    draw_lit(
        page.cr, render_from_side(foot.relief.data(), medial_high, side_light, kSidePixelsPerMm),
        sheet_picture_area(SheetPicture::kFromSide, index, count), kSidePtPerMm / kSidePixelsPerMm);
    draw_thickness(page.cr, page.family,
                   axis_profile(foot.relief.data(), foot_axis(foot.landmarks)), scale,
                   sheet_picture_area(SheetPicture::kThickness, index, count));
    const TextStyle caption = style(7, 0.3, Align::kCentre);
    const double caption_y = kPictureTop + kPictureHeight + 2;
    page.text("壓力分布", {x, caption_y, kPictureWidth, 9}, caption);
    page.text("高度 (mm)", {relief.x, caption_y, kPictureWidth, 9}, caption);
    page.text("俯視", {x + kFootWidth - kPictureWidth, caption_y, kPictureWidth, 9}, caption);
    page.text("內側視", {x, kSideTop + kSideHeight + 2, kFootWidth, 9}, caption);
    page.text("沿足軸厚度 (mm)", {x + 16, kPlotTop - 1, kFootWidth, 9}, style(7, 0.3));
    draw_measures(page, foot, x);
    draw_prescription(page, foot, x);
}

void draw_files_and_signatures(const Page &page, const OrderSheet &sheet,
                               const std::vector<const FootSheet *> &feet) {
    page.rule(kMargin, kFilesTop - 4, kMargin + kContentWidth, 0.8);
    page.text("檔案", {kMargin, kFilesTop, kContentWidth, 11}, style(8));
    std::string files = "設計檔　" + (sheet.design_file.empty() ? "（未儲存）" : sheet.design_file);
    for (const FootSheet *foot : feet)
        files += std::string("\n") + (foot->side == FootSide::kLeft ? "左腳掃描　" : "右腳掃描　") +
                 foot->scan.name + "　SHA-256 " + foot->scan.sha256;
    for (const SheetFile &f : sheet.exports)
        files += "\n輸出　" + f.name + "　SHA-256 " + f.sha256;
    page.text(files, {kMargin, kFilesTop + 11, kContentWidth, kFilesHeight - 11}, style(7));
    const double half = kContentWidth / 2, y = kSignatureTop + 18;
    for (int k = 0; k < 2; ++k) {
        const double x = kMargin + k * half;
        page.text(k == 0 ? "臨床人員簽名" : "技師簽名", {x, y - 10, 60, 11}, style(8));
        page.rule(x + 60, y, x + half - 90, 0.5);
        page.text("日期", {x + half - 84, y - 10, 20, 11}, style(8));
        page.rule(x + half - 62, y, x + half - 14, 0.5);
    }
}

Result<> check_texts(const OrderSheet &sheet, Language language) {
    if (Result<> r = check_order(sheet.order, language); !r) return r;
    std::vector<const std::string *> texts = {&sheet.program_version, &sheet.printed_date,
                                              &sheet.design_file};
    for (const FootSheet &foot : sheet.feet) {
        texts.push_back(&foot.size_label);
        texts.push_back(&foot.scan.name);
        for (const std::string &word : foot.prescription)
            texts.push_back(&word);
    }
    for (const SheetFile &f : sheet.exports)
        texts.push_back(&f.name);
    for (const std::string *t : texts)
        if (!is_valid_utf8(*t))
            return Failure{in_language(language, "the order sheet's text is not valid UTF-8: " + *t,
                                       "訂單的文字不是有效的 UTF-8")};
    return Result<>::success();
}

cairo_status_t append(void *closure, const unsigned char *data, unsigned int length) {
    auto *bytes = static_cast<std::vector<uint8_t> *>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

Result<std::vector<uint8_t>> render_sheet(const OrderSheet &sheet, Language language) {
    assert(!sheet.feet.empty() && sheet.feet.size() <= 2);
    for ([[maybe_unused]] const FootSheet &foot : sheet.feet) {
        assert(foot.pressure_rgb.size() == static_cast<size_t>(kGridCells) * 3);
        assert(foot.relief.size() == static_cast<size_t>(kGridCells));
        assert(foot.dome_cells.empty() || foot.dome_cells.size() == foot.relief.size());
    }
    if (Result<> r = check_texts(sheet, language); !r) return Failure{r.message()};
    if (Result<> r = check_sheet_font(sheet.font_family, language); !r) return Failure{r.message()};

    std::vector<const FootSheet *> feet;
    for (const FootSheet &foot : sheet.feet)
        feet.push_back(&foot);
    std::stable_sort(feet.begin(), feet.end(), [](const FootSheet *a, const FootSheet *b) {
        return a->side == FootSide::kLeft && b->side == FootSide::kRight;
    });
    std::vector<AxisProfile> profiles;
    for (const FootSheet *foot : feet)
        profiles.push_back(axis_profile(foot->relief.data(), foot_axis(foot->landmarks)));

    std::vector<uint8_t> bytes;
    cairo_surface_t *surface =
        cairo_pdf_surface_create_for_stream(append, &bytes, kA4WidthPt, kA4HeightPt);
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, "鞋墊訂單");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR,
                                   ("Pedaform " + sheet.program_version).c_str());
    cairo_t *cr = cairo_create(surface);
    const Page page{cr, sheet.font_family};
    draw_header(page, sheet);
    const PlotScale scale = plot_scale(profiles);
    for (size_t i = 0; i < feet.size(); ++i)
        draw_foot(page, *feet[i], static_cast<int>(i), static_cast<int>(feet.size()), scale);
    draw_files_and_signatures(page, sheet, feet);
    cairo_show_page(cr);
    const cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status =
        drawn != CAIRO_STATUS_SUCCESS ? drawn : cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        return Failure{in_language(
            language,
            std::string("Cairo could not make the order sheet: ") + cairo_status_to_string(status),
            std::string("無法產生訂單（Cairo：") + cairo_status_to_string(status) + "）")};
    return bytes;
}

void render_into(const OrderSheet &sheet, Language language, Result<std::vector<uint8_t>> &out) {
    out = render_sheet(sheet, language);
}

}  // namespace

}  // namespace pedaform

extern "C" __attribute__((visibility("default"))) const pedaform::SheetModule *
pedaform_sheet_module() {
    static const std::string key = pedaform::sheet_module_key();
    static const pedaform::SheetModule module{key.c_str(), pedaform::render_into};
    return &module;
}

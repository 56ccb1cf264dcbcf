#include "order/sheet_text.h"

#include <pango/pangocairo.h>

#include <memory>

namespace pedaform {

namespace {

// Characters of the sheet's own labels that the font must hold.
const char *const kSheetCharacters =
    "鞋墊訂單病患姓名歷號出生日期臨床人員檢查碼備註腳壓力高度俯視內側"
    "沿足軸厚蹠骨頭跟長尺弓指數最大處方檔案設計掃描輸技師簽列印";

template <class T, void (*Free)(T *)>
struct Deleter {
    void operator()(T *p) const { Free(p); }
};
void unref_object(void *p) {
    g_object_unref(p);
}
using Description = std::unique_ptr<PangoFontDescription,
                                    Deleter<PangoFontDescription, pango_font_description_free>>;
using Coverage = std::unique_ptr<PangoCoverage, Deleter<PangoCoverage, pango_coverage_unref>>;
using Object = std::unique_ptr<void, Deleter<void, unref_object>>;

Description font_description(const std::string &family, double pt) {
    Description d(pango_font_description_new());
    pango_font_description_set_family(d.get(), family.c_str());
    // Absolute: one user unit of the PDF surface is one point.
    pango_font_description_set_absolute_size(d.get(), pt * PANGO_SCALE);
    return d;
}

// The family fontconfig gives for `family`, and whether that face holds every sheet character.
std::string resolved_family(PangoFontMap *map, PangoContext *context, const std::string &family,
                            bool &covers) {
    covers = false;
    Description wanted = font_description(family, 10);
    Object font(pango_font_map_load_font(map, context, wanted.get()));
    if (!font) return std::string();
    Description got(pango_font_describe(static_cast<PangoFont *>(font.get())));
    const char *name = pango_font_description_get_family(got.get());
    Coverage coverage(pango_font_get_coverage(static_cast<PangoFont *>(font.get()),
                                              pango_language_from_string("zh-tw")));
    covers = true;
    for (const char *p = kSheetCharacters; *p != '\0'; p = g_utf8_next_char(p))
        covers =
            covers && pango_coverage_get(coverage.get(), static_cast<int>(g_utf8_get_char(p))) ==
                          PANGO_COVERAGE_EXACT;
    return name != nullptr ? name : "";
}

}  // namespace

Result<> check_sheet_font(const std::string &family, Language language) {
    PangoFontMap *map = pango_cairo_font_map_get_default();  // owned by Pango, per thread
    Object context(pango_font_map_create_context(map));
    bool covers = false;
    const std::string got =
        resolved_family(map, static_cast<PangoContext *>(context.get()), family, covers);
    if (g_ascii_strcasecmp(got.c_str(), family.c_str()) != 0)
        return Failure{in_language(language,
                                   "the order sheet's font \"" + family +
                                       "\" is not installed (fontconfig gives \"" + got +
                                       "\"); install the package fonts-noto-cjk",
                                   "找不到訂單的字型「" + family + "」（字型設定給的是「" + got +
                                       "」），請安裝 fonts-noto-cjk")};
    if (!covers)
        return Failure{
            in_language(language,
                        "the order sheet's font \"" + family +
                            "\" lacks Chinese characters; install the package fonts-noto-cjk",
                        "訂單的字型「" + family + "」缺少中文字，請安裝 fonts-noto-cjk")};
    return Result<>::success();
}

double draw_text(cairo_t *cr, const std::string &family, const std::string &text,
                 const SheetRect &box, const TextStyle &style) {
    Object layout_object(pango_cairo_create_layout(cr));
    PangoLayout *layout = static_cast<PangoLayout *>(layout_object.get());
    pango_layout_set_width(layout, static_cast<int>(box.width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(layout, style.align == Align::kLeft     ? PANGO_ALIGN_LEFT
                                       : style.align == Align::kCentre ? PANGO_ALIGN_CENTER
                                                                       : PANGO_ALIGN_RIGHT);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    PangoRectangle ink, logical;
    for (double pt = style.pt;; pt *= 0.9) {
        const double size = pt < style.min_pt ? style.min_pt : pt;
        Description d = font_description(family, size);
        pango_layout_set_font_description(layout, d.get());
        pango_layout_get_extents(layout, &ink, &logical);
        if (logical.height <= box.height * PANGO_SCALE || size <= style.min_pt) break;
    }
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, style.grey, style.grey, style.grey);
    cairo_move_to(cr, box.x, box.y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    const double height = static_cast<double>(logical.height) / PANGO_SCALE;
    return height < box.height ? height : box.height;
}

}  // namespace pedaform

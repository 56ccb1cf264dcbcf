// The order sheet's text: the font check and Pango text boxes on a Cairo page.
#pragma once

#include <cairo.h>

#include <string>

#include "core/result.h"
#include "order/order_data.h"
#include "order/order_sheet.h"

namespace pedaform {

// Fails, in `language`, unless fontconfig resolves `family` to that very family and the face
// holds every character of the sheet's own labels. The sheet uses the regular face alone: each
// embedded face costs some 60 kB of the file.
Result<> check_sheet_font(const std::string &family, Language language);

enum class Align { kLeft, kCentre, kRight };

struct TextStyle {
    double pt = 9;      // the size tried first
    double min_pt = 3;  // the smallest it shrinks to; beyond it the text is clipped to the box
    double grey = 0;    // 0 black .. 1 white
    Align align = Align::kLeft;
};

// Draws `text` in `box`, wrapped at the box's width (between words, or between characters
// where a word is wider than the box), at style.pt or the largest size down to style.min_pt
// (in steps of 10 %) at which it fits the box's height. Returns the height it takes.
double draw_text(cairo_t *cr, const std::string &family, const std::string &text,
                 const SheetRect &box, const TextStyle &style);

}  // namespace pedaform

// The order sheet: one printable A4 page, in Traditional Chinese, that a lab signs and files for
// every pair (or single foot). It holds
//  - a header: the order fields (order/order_data.h), the program's version, the printing date;
//  - per foot, left foot in the left column: the pressure picture with the landmarks, the foot's
//    axis and the dome's footprint and apex; the relief with a colour key in mm; the insole lit
//    from above and from the medial side (order/insole_render.h); the thickness along the foot's
//    axis (order/axis_profile.h) as a plotted line with mm marks, both feet on the same scales;
//    the measures (length, size, arch index, peak kPa); the prescription's words;
//  - the files: the design file's name, each scan's name and SHA-256, each exported file's;
//  - a signature line for the clinician and the technician.
//
// Cairo's PDF surface lays it out with Pango in kOrderSheetFont, found through fontconfig and
// embedded as a subset; text is kept as text, so PDF readers find and copy it. The drawing is a
// module of its own (order/sheet_module.h), opened at the first sheet, so that the programs
// start without Cairo, Pango and the libraries under them.
//
// Wiring (batch command or GUI), with `design` a loaded Design (design/design.h):
//
//     OrderSheet sheet;
//     sheet.order = order;                          // from the options, dialog or file
//     sheet.program_version = PEDAFORM_VERSION;
//     sheet.printed_date = today_date();
//     sheet.design_file = "pair.json";              // a file name, "" when not saved
//     FootSheet foot = foot_sheet_of(design);       // order/foot_sheet.h
//     foot.prescription = {...};                    // the report's "prescription" words
//     sheet.feet.push_back(foot);                   // one or two feet
//     sheet.exports.push_back({"insole_L.stl", sha256});  // io/file_hash.h, after writing
//     if (Result<> r = write_order_sheet(sheet, path); !r) report(r.message());
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/grid.h"
#include "core/result.h"
#include "order/order_data.h"
#include "order/sheet_layout.h"

namespace pedaform {

// The sheet's font (Debian fonts-noto-cjk). No other family stands in for it: a sheet printed in
// a fallback font could lack glyphs, so a missing font fails the sheet.
extern const char *const kOrderSheetFont;  // "Noto Sans CJK TC"

enum class FootSide { kLeft, kRight };

// A file the sheet names: its name as shown (no folder) and the SHA-256 of its bytes (64 hex
// digits).
struct SheetFile {
    std::string name;
    std::string sha256;
};

// One foot's part of the sheet. The grids are in grid order (core/grid.h: row 0 at the bottom
// of the picture).
struct FootSheet {
    FootSide side = FootSide::kLeft;
    std::vector<uint8_t> pressure_rgb;  // kGridCells x R, G, B: the pressure colours
    Landmark landmarks[5] = {};
    // The medial side, where the first metatarsal head lies (relief/dome_placement.h): true for
    // the side of the high columns.
    bool medial_at_high_columns = true;
    // kGridCells bytes, not 0 on the dome's footprint; empty when no dome is placed.
    std::vector<uint8_t> dome_cells;
    std::optional<Landmark> dome_apex;  // the dome's highest cell
    std::vector<uint8_t> relief;        // kGridCells grey levels, 5 per mm
    // The prescription in the lab's words, one entry a line ("rearfoot post 4° varus").
    std::vector<std::string> prescription;
    int length_mm = 0;
    std::string size_label;  // "" when the length matched no size
    std::optional<double> arch_index;
    std::optional<double> peak_kpa;  // known when the scan came from a recording
    SheetFile scan;
};

struct OrderSheet {
    OrderData order;
    std::string program_version;     // "1.0.0"
    std::string printed_date;        // YYYY-MM-DD
    std::string design_file;         // the design or pair file's name; "" when none was saved
    std::vector<FootSheet> feet;     // one or two
    std::vector<SheetFile> exports;  // the files written on the same run
    std::string font_family = kOrderSheetFont;
};

// The PDF's bytes: one A4 page. `sheet.feet` holds one or two feet whose grids have their full
// sizes (a programming error otherwise); two feet of different sides are shown left foot first.
// Fails, in `language`, when the order fails check_order, when any other text is not valid
// UTF-8, when fontconfig resolves the font family to another family or to a face without the
// Chinese characters of the sheet (the message names the family and fonts-noto-cjk), or when
// Cairo fails, or when the sheet's module cannot be opened (the message names it and why).
Result<std::vector<uint8_t>> order_sheet_pdf(const OrderSheet &sheet,
                                             Language language = Language::kEnglish);

// order_sheet_pdf, written to `path` through a temporary file renamed into place
// (core/file_output.h). On failure nothing is written and an existing file is kept.
Result<> write_order_sheet(const OrderSheet &sheet, const std::string &path,
                           Language language = Language::kEnglish);

// Today's local date, YYYY-MM-DD: the printing date.
std::string today_date();

}  // namespace pedaform

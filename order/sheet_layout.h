// Where the order sheet puts each part of its page: points from the page's top-left corner.
// Shared by the sheet's drawing (order/sheet_render.cpp) and those who look at a printed page.
#pragma once

#include <cstddef>

#include "core/grid.h"

namespace pedaform {

// The page, in PDF points (1/72 inch): ISO A4, 210 x 297 mm.
constexpr double kA4WidthPt = 210.0 / 25.4 * 72.0;
constexpr double kA4HeightPt = 297.0 / 25.4 * 72.0;

// The page's layout.
constexpr double kMargin = 10.0 / 25.4 * 72.0;  // 10 mm
constexpr double kContentWidth = kA4WidthPt - 2 * kMargin;
constexpr double kFieldsTop = kMargin + 30, kFieldsHeight = 126;
constexpr double kFeetTop = kFieldsTop + kFieldsHeight + 8;
constexpr double kFootGap = 16;
constexpr double kFootWidth = (kContentWidth - kFootGap) / 2;
constexpr double kPictureTop = kFeetTop + 18, kPictureHeight = 180;
constexpr double kPictureWidth = kPictureHeight * kGridWidth / kGridHeight;
constexpr double kKeyWidth = 24;
constexpr double kSideTop = kPictureTop + kPictureHeight + 12, kSideHeight = 36;
constexpr double kPlotTop = kSideTop + kSideHeight + 12, kPlotHeight = 104;
constexpr double kMeasuresTop = kPlotTop + kPlotHeight + 6, kMeasuresHeight = 28;
constexpr double kPrescriptionTop = kMeasuresTop + kMeasuresHeight + 4;
constexpr double kPrescriptionHeight = 80;
constexpr size_t kPrescriptionLines = 5;  // at 8.5 pt
constexpr double kFilesTop = kPrescriptionTop + kPrescriptionHeight + 8, kFilesHeight = 84;
constexpr double kSignatureTop = kFilesTop + kFilesHeight + 6;
static_assert(kSignatureTop + 30 <= kA4HeightPt - kMargin, "the sheet fits one A4 page");

// The left edge of foot `foot` (0 the sheet's first column) of `foot_count` feet; one foot is
// centred.
double foot_left(int foot, int foot_count);

// Where the sheet draws a foot's picture.
struct SheetRect {
    double x = 0, y = 0, width = 0, height = 0;
};
enum class SheetPicture { kPressure, kRelief, kFromAbove, kFromSide, kThickness };
// `foot` counts from 0 in the order the sheet shows the feet (left foot first).
SheetRect sheet_picture_area(SheetPicture picture, int foot, int foot_count);

}  // namespace pedaform

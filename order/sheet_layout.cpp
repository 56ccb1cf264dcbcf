#include "order/sheet_layout.h"

namespace pedaform {

double foot_left(int foot, int foot_count) {
    if (foot_count == 1) return (kA4WidthPt - kFootWidth) / 2;
    return kMargin + foot * (kFootWidth + kFootGap);
}

SheetRect sheet_picture_area(SheetPicture picture, int foot, int foot_count) {
    const double x = foot_left(foot, foot_count);
    switch (picture) {
        case SheetPicture::kPressure:
            return {x, kPictureTop, kPictureWidth, kPictureHeight};
        case SheetPicture::kRelief:
            return {x + kPictureWidth + 6, kPictureTop, kPictureWidth, kPictureHeight};
        case SheetPicture::kFromAbove:
            return {x + kFootWidth - kPictureWidth, kPictureTop, kPictureWidth, kPictureHeight};
        case SheetPicture::kFromSide:
            return {x, kSideTop, kFootWidth, kSideHeight};
        case SheetPicture::kThickness:
            return {x, kPlotTop, kFootWidth, kPlotHeight};
    }
    return {};
}

}  // namespace pedaform

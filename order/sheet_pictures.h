// The order sheet's pictures, each drawn with Cairo into its rectangle of the page.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "order/axis_profile.h"
#include "order/insole_render.h"
#include "order/order_sheet.h"

namespace pedaform {

// The relief's colour scale: perceptually even from dark violet (0) to yellow (1), so that it
// reads in grey as well (the viridis map's stops).
struct Rgb {
    double r, g, b;
};
Rgb relief_colour(double fraction);

// The pressure colours cell for cell, with the landmarks (white dots), the foot's axis (dashed),
// the dome's footprint (its edge cells, yellow) and its apex (a green cross).
void draw_pressure(cairo_t *cr, const FootSheet &foot, const SheetRect &area);

// The relief coloured by height, 0 to `top_mm` mm, cells of height 0 white; the colour key in mm
// in `key` beside it.
void draw_relief(cairo_t *cr, const std::string &family, const FootSheet &foot, double top_mm,
                 const SheetRect &area, const SheetRect &key);

// A lit picture at `pt_per_pixel`, shrunk to fit `area` when larger, centred across it and
// standing on its bottom edge; smoothed between pixels.
void draw_lit(cairo_t *cr, const LitPicture &picture, const SheetRect &area, double pt_per_pixel);

// The scales both feet's thickness plots share: the axis's length and the thickness, in mm.
struct PlotScale {
    double length_mm = 50;
    double thickness_mm = 1;
};
// Length up to the next 50 mm, thickness up to the next whole step of its marks.
PlotScale plot_scale(const std::vector<AxisProfile> &profiles);

// The thickness along the foot's axis as a line over mm marks, with the heel centre and the
// heads marked.
void draw_thickness(cairo_t *cr, const std::string &family, const AxisProfile &profile,
                    const PlotScale &scale, const SheetRect &area);

}  // namespace pedaform

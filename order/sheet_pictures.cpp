#include "order/sheet_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "order/sheet_text.h"

namespace pedaform {

namespace {

struct SurfaceFree {
    void operator()(cairo_surface_t *s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceFree>;

// An RGB picture from `rgb(x, y)` (0xRRGGBB), its top row first.
template <class Colour>
Surface rgb_picture(int width, int height, Colour rgb) {
    Surface s(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    cairo_surface_flush(s.get());
    unsigned char *data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < height; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x)
            row[x] = rgb(x, y);
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

uint32_t pack(double r, double g, double b) {
    auto byte = [](double v) {
        return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    return byte(r) << 16 | byte(g) << 8 | byte(b);
}

// Paints a picture scaled onto `area`; cells stay sharp unless `smooth`.
void paint(cairo_t *cr, cairo_surface_t *picture, const SheetRect &area, bool smooth) {
    const int width = cairo_image_surface_get_width(picture);
    const int height = cairo_image_surface_get_height(picture);
    cairo_save(cr);
    cairo_translate(cr, area.x, area.y);
    cairo_scale(cr, area.width / width, area.height / height);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr),
                             smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

// The page position of a cell's centre, for a grid picture drawn on `area`.
void cell_centre(const SheetRect &area, double column, double row, double &x, double &y) {
    x = area.x + (column + 0.5) * area.width / kGridWidth;
    y = area.y + (kGridHeight - 1 - row + 0.5) * area.height / kGridHeight;
}

void draw_axis_and_landmarks(cairo_t *cr, const FootSheet &foot, const SheetRect &area) {
    const Landmark *l = foot.landmarks;
    double hx, hy, mx, my;
    cell_centre(area, l[3].column, l[3].row, hx, hy);
    cell_centre(area, (l[0].column + l[1].column) / 2, (l[0].row + l[1].row) / 2, mx, my);
    const double dash[] = {2.0, 1.5};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_line_width(cr, 0.6);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, hx, hy);
    cairo_line_to(cr, mx, my);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_line_width(cr, 0.3);
    for (int k = 0; k < 5; ++k) {
        double x, y;
        cell_centre(area, l[k].column, l[k].row, x, y);
        cairo_arc(cr, x, y, 1.4, 0, 2 * M_PI);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_stroke(cr);
    }
}

void draw_dome(cairo_t *cr, const FootSheet &foot, const SheetRect &area) {
    const double w = area.width / kGridWidth, h = area.height / kGridHeight;
    auto raised = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < kGridWidth && y < kGridHeight &&
               foot.dome_cells[y * kGridWidth + x] != 0;
    };
    cairo_set_source_rgb(cr, 1, 0.9, 0);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (raised(x, y) &&
                !(raised(x - 1, y) && raised(x + 1, y) && raised(x, y - 1) && raised(x, y + 1)))
                cairo_rectangle(cr, area.x + x * w, area.y + (kGridHeight - 1 - y) * h, w, h);
    cairo_fill(cr);
    if (!foot.dome_apex) return;
    double x, y;
    cell_centre(area, foot.dome_apex->column, foot.dome_apex->row, x, y);
    for (int pass = 0; pass < 2; ++pass) {
        cairo_set_line_width(cr, pass == 0 ? 1.4 : 0.6);
        cairo_set_source_rgb(cr, pass == 0 ? 0 : 0.2, pass == 0 ? 0 : 1, pass == 0 ? 0 : 0.2);
        cairo_move_to(cr, x - 2.5, y);
        cairo_line_to(cr, x + 2.5, y);
        cairo_move_to(cr, x, y - 2.5);
        cairo_line_to(cr, x, y + 2.5);
        cairo_stroke(cr);
    }
}

void frame(cairo_t *cr, const SheetRect &area) {
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_set_line_width(cr, 0.4);
    cairo_rectangle(cr, area.x, area.y, area.width, area.height);
    cairo_stroke(cr);
}

// A step for marks that gives about `marks` intervals over `range`: 1, 2 or 5 x 10^n.
double mark_step(double range, int marks) {
    const double rough = range / marks;
    const double power = std::pow(10.0, std::floor(std::log10(rough > 0 ? rough : 1)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= rough) return m * power;
    return 10 * power;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

Rgb relief_colour(double fraction) {
    static const Rgb stops[] = {{0.267, 0.005, 0.329},
                                {0.231, 0.322, 0.545},
                                {0.128, 0.567, 0.551},
                                {0.369, 0.789, 0.383},
                                {0.993, 0.906, 0.144}};
    const double t = std::clamp(fraction, 0.0, 1.0) * 4;
    const int i = std::min(3, static_cast<int>(t));
    const double f = t - i;
    return {stops[i].r + (stops[i + 1].r - stops[i].r) * f,
            stops[i].g + (stops[i + 1].g - stops[i].g) * f,
            stops[i].b + (stops[i + 1].b - stops[i].b) * f};
}

void draw_pressure(cairo_t *cr, const FootSheet &foot, const SheetRect &area) {
    const uint8_t *rgb = foot.pressure_rgb.data();
    Surface picture = rgb_picture(kGridWidth, kGridHeight, [&](int x, int y) {
        const uint8_t *c = rgb + 3 * ((kGridHeight - 1 - y) * kGridWidth + x);
        return uint32_t{c[0]} << 16 | uint32_t{c[1]} << 8 | c[2];
    });
    paint(cr, picture.get(), area, false);
    cairo_save(cr);
    cairo_rectangle(cr, area.x, area.y, area.width, area.height);
    cairo_clip(cr);
    draw_axis_and_landmarks(cr, foot, area);
    if (!foot.dome_cells.empty()) draw_dome(cr, foot, area);
    cairo_restore(cr);
    frame(cr, area);
}

void draw_relief(cairo_t *cr, const std::string &family, const FootSheet &foot, double top_mm,
                 const SheetRect &area, const SheetRect &key) {
    const double top_levels = top_mm * kGreyLevelsPerMm;
    Surface picture = rgb_picture(kGridWidth, kGridHeight, [&](int x, int y) {
        const uint8_t level = foot.relief[(kGridHeight - 1 - y) * kGridWidth + x];
        if (level == 0) return pack(1, 1, 1);
        const Rgb c = relief_colour(level / top_levels);
        return pack(c.r, c.g, c.b);
    });
    paint(cr, picture.get(), area, false);
    frame(cr, area);

    // The key: a bar from 0 (bottom) to top_mm, its marks labelled on its right.
    const double bar_width = 5, label_x = key.x + bar_width + 2;
    cairo_pattern_t *ramp = cairo_pattern_create_linear(0, key.y + key.height, 0, key.y);
    for (int k = 0; k <= 8; ++k) {
        const Rgb c = relief_colour(k / 8.0);
        cairo_pattern_add_color_stop_rgb(ramp, k / 8.0, c.r, c.g, c.b);
    }
    cairo_rectangle(cr, key.x, key.y, bar_width, key.height);
    cairo_set_source(cr, ramp);
    cairo_fill(cr);
    cairo_pattern_destroy(ramp);
    const double step = mark_step(top_mm, 5);
    TextStyle label;
    label.pt = label.min_pt = 5.5;
    for (double mm = 0; mm <= top_mm + 1e-9; mm += step) {
        const double y = key.y + key.height * (1 - mm / top_mm);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 0.4);
        cairo_move_to(cr, key.x + bar_width, y);
        cairo_line_to(cr, key.x + bar_width + 1.5, y);
        cairo_stroke(cr);
        draw_text(cr, family, number(mm), {label_x, y - 3.5, key.x + key.width - label_x, 7},
                  label);
    }
    draw_text(cr, family, "mm", {label_x, key.y - 10, key.x + key.width - label_x, 7}, label);
}

void draw_lit(cairo_t *cr, const LitPicture &picture, const SheetRect &area, double pt_per_pixel) {
    if (picture.width == 0 || picture.height == 0) return;
    const double scale =
        std::min({pt_per_pixel, area.width / picture.width, area.height / picture.height});
    Surface image = rgb_picture(picture.width, picture.height, [&](int x, int y) {
        const uint32_t g = picture.at(x, y);
        return g << 16 | g << 8 | g;
    });
    const double width = picture.width * scale, height = picture.height * scale;
    paint(cr, image.get(),
          {area.x + (area.width - width) / 2, area.y + area.height - height, width, height}, true);
}

PlotScale plot_scale(const std::vector<AxisProfile> &profiles) {
    double length = 0, thickness = 0;
    for (const AxisProfile &p : profiles) {
        length = std::max(length, static_cast<double>(p.thickness_mm.size()));
        for (const double t : p.thickness_mm)
            thickness = std::max(thickness, t);
    }
    PlotScale s;
    s.length_mm = std::max(50.0, std::ceil(length / 50) * 50);
    const double step = mark_step(std::max(thickness, 1.0), 4);
    s.thickness_mm = std::max(step, std::ceil(thickness / step - 1e-9) * step);
    return s;
}

void draw_thickness(cairo_t *cr, const std::string &family, const AxisProfile &profile,
                    const PlotScale &scale, const SheetRect &area) {
    const SheetRect plot{area.x + 16, area.y + 10, area.width - 26, area.height - 20};
    auto px = [&](double mm) { return plot.x + plot.width * mm / scale.length_mm; };
    auto py = [&](double mm) { return plot.y + plot.height * (1 - mm / scale.thickness_mm); };
    TextStyle label;
    label.pt = label.min_pt = 5.5;
    cairo_set_line_width(cr, 0.3);
    const double y_step = mark_step(scale.thickness_mm, 4);
    for (double mm = 0; mm <= scale.thickness_mm + 1e-9; mm += y_step) {
        cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
        cairo_move_to(cr, plot.x, py(mm));
        cairo_line_to(cr, plot.x + plot.width, py(mm));
        cairo_stroke(cr);
        label.align = Align::kRight;
        draw_text(cr, family, number(mm), {area.x, py(mm) - 3.5, 14, 7}, label);
    }
    for (double mm = 0; mm <= scale.length_mm + 1e-9; mm += 50) {
        cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
        cairo_move_to(cr, px(mm), plot.y);
        cairo_line_to(cr, px(mm), plot.y + plot.height);
        cairo_stroke(cr);
        label.align = Align::kCentre;
        draw_text(cr, family, number(mm), {px(mm) - 10, plot.y + plot.height + 1, 20, 7}, label);
    }
    label.align = Align::kLeft;
    draw_text(cr, family, "mm", {plot.x + plot.width + 6, plot.y + plot.height + 1, 10, 7}, label);
    const double dash[] = {1.5, 1.5};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
    for (const auto &[mm, name] :
         {std::make_pair(profile.heel_mm, "跟"), std::make_pair(profile.heads_mm, "蹠骨頭")}) {
        if (profile.thickness_mm.empty()) break;
        cairo_move_to(cr, px(mm), plot.y);
        cairo_line_to(cr, px(mm), plot.y + plot.height);
        cairo_stroke(cr);
        draw_text(cr, family, name, {px(mm) + 1, plot.y, 30, 7}, label);
    }
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_source_rgb(cr, 0.05, 0.2, 0.6);
    cairo_set_line_width(cr, 0.9);
    cairo_new_path(cr);
    for (size_t i = 0; i < profile.thickness_mm.size(); ++i)
        cairo_line_to(cr, px(static_cast<double>(i)), py(profile.thickness_mm[i]));
    cairo_stroke(cr);
    frame(cr, plot);
}

}  // namespace pedaform

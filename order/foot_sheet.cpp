#include "order/foot_sheet.h"

#include <algorithm>

#include "design/prescription.h"
#include "relief/dome_placement.h"
#include "relief/foot_axis.h"

namespace pedaform {

std::vector<uint8_t> dome_footprint(const Design &design) {
    const DesignResults &r = design.results();
    const Controls &c = design.controls();
    if (c[Control::kStamp] == 0 || !r.meta_point_found || r.pad_stamp_stride <= 0) return {};
    const double width = c[Control::kPadWidth], length = c[Control::kPadLength];
    const GridPoint origin = dome_apex_of_point({r.meta_column, r.meta_row}, {0, 0}, width, length);
    const int columns = static_cast<int>(width + 2 * kStampMargin);
    const int rows = static_cast<int>(length + 2 * kStampMargin);
    std::vector<uint8_t> cells(kGridCells, 0);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const long at = static_cast<long>(j) * r.pad_stamp_stride + i;
            const int x = static_cast<int>(origin.column) + i, y = static_cast<int>(origin.row) + j;
            if (at < kPadStampBytes && r.pad_stamp[at] != 0 && x >= 0 && x < kGridWidth && y >= 0 &&
                y < kGridHeight)
                cells[y * kGridWidth + x] = 1;
        }
    return cells;
}

FootSheet foot_sheet_of(const Design &design) {
    const Scan &scan = design.scan();
    const DesignResults &r = design.results();
    FootSheet foot;
    foot.side = scan.template_mirrored == 1 ? FootSide::kRight : FootSide::kLeft;
    foot.pressure_rgb.assign(r.colour_grid, r.colour_grid + sizeof r.colour_grid);
    for (int k = 0; k < 5; ++k)
        foot.landmarks[k] = scan.landmarks[k];
    foot.medial_at_high_columns =
        first_metatarsal_head(scan).column >= fifth_metatarsal_head(scan).column;
    foot.dome_cells = dome_footprint(design);
    if (!foot.dome_cells.empty()) {
        const GridPoint apex = design.dome_apex();
        foot.dome_apex = Landmark{apex.row, apex.column};
    }
    foot.relief.assign(r.relief_grid, r.relief_grid + kGridCells);
    foot.length_mm = scan.insole_length;
    foot.size_label = design.size_label();
    foot.arch_index = scan.ai;
    foot.prescription = prescription_words(design.controls());
    if (scan.pressure_full_scale_kpa != 0) {
        const uint8_t highest =
            *std::max_element(scan.pressure_grid, scan.pressure_grid + kGridCells);
        foot.peak_kpa = scan.pressure_full_scale_kpa * (highest / 255.0);
    }
    const std::string &path = design.scan_path();
    foot.scan.name = path.substr(path.find_last_of('/') + 1);
    foot.scan.sha256 = design.scan_sha256();
    return foot;
}

OrderSheet order_sheet_of(const OrderData &order, const std::vector<const Design *> &designs,
                          const std::string &design_file) {
    OrderSheet sheet;
    sheet.order = order;
    sheet.program_version = PEDAFORM_VERSION;
    sheet.printed_date = today_date();
    sheet.design_file = design_file.substr(design_file.find_last_of('/') + 1);
    for (const Design *design : designs)
        sheet.feet.push_back(foot_sheet_of(*design));
    return sheet;
}

}  // namespace pedaform

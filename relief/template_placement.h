// Where a design lays its size's template on the grid. Today the template is mirrored left to
// right for a right foot (scan.template_mirrored 1: the template's column 149 - x lies under
// grid column x) and moved up by the results' template_row_offset rows, so that a chosen size
// meets the foot's heel end. Smoothing's floor, the composition's template cells, the insole
// cells (and through them the orthotic layers) and the operator's hand all read the template
// through PlacedTemplate, so a placement turned and centred on the foot's axis would change
// this file alone.
#pragma once

#include <cstdint>
#include <optional>

#include "core/design_results.h"
#include "core/resources.h"
#include "core/scan.h"

namespace pedaform {

class PlacedTemplate {
  public:
    // `grid`: the template's cells (nullptr for none); `mirrored`: the scan's template_mirrored;
    // `row_offset`: rows the template is moved up by. A mirrored value other than 0 and 1
    // places no template.
    PlacedTemplate(const uint8_t *grid, int32_t mirrored, int32_t row_offset);
    // The template of the results' template_index (none outside 0..18) as the results place it.
    PlacedTemplate(const Resources &resources, const Scan &scan, const DesignResults &results);

    bool exists() const { return grid_ != nullptr; }
    // The template's raster index (row * 150 + column of the template picture) under grid cell
    // (column, row); none without a template or where the cell falls off the template's grid.
    std::optional<int> cell_under(int column, int row) const {
        const int from = row - row_offset_;
        if (grid_ == nullptr || from < 0 || from >= kGridHeight) return std::nullopt;
        return from * kGridWidth + (mirrored_ ? kGridWidth - 1 - column : column);
    }
    // The template's height under grid cell (column, row); 0 where cell_under gives none.
    uint8_t height_under(int column, int row) const {
        const std::optional<int> cell = cell_under(column, row);
        return cell ? grid_[*cell] : 0;
    }
    // The template's heights under grid row `row`, left to right; false (and `out` untouched)
    // where the row falls off the template.
    bool row_under(int row, uint8_t (&out)[kGridWidth]) const;

  private:
    const uint8_t *grid_;
    bool mirrored_;
    int32_t row_offset_;
};

// True for a cell of the insole: a foot cell (the scan's base_grid non-zero), or a raised
// cell of the placed template. False outside the grid.
bool insole_cell(const Scan &scan, const PlacedTemplate &placed, int column, int row);
// The insole cell nearest to `p` (truncated to a cell), `p`'s own cell when it is one; the
// first in row order among equally near ones; `p`'s cell when there is no insole at all.
GridPoint nearest_insole_cell(const Scan &scan, const PlacedTemplate &placed, GridPoint p);

// The rows that move a template's lowest raised row onto the foot's heel end
// (scan.outline_bottom_row); 0 for an empty template, which lays no floor anywhere.
int32_t row_offset_to_heel(const uint8_t *template_grid, const Scan &scan);

}  // namespace pedaform

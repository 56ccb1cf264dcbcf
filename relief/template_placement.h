// Where a design lays its size's template, in two ways.
//  - PlacedTemplate: the template's bitmap where it stands, mirrored left to right for a right
//    foot (scan.template_mirrored 1: the template's column 149 - x lies under grid column x) and
//    moved up by the results' template_row_offset rows, so that a chosen size meets the foot's
//    heel end. Smoothing's floor lays the relief on it, so that the engraving, the relief and
//    the surface STL keep the template as it stands.
//  - OutlineFit: the insole's outline, the bottom of a last of the size's length fitted to the
//    foot: turned to the foot's axis, centred across the heel and the metatarsal line, its heel
//    end on the foot's heel end. The insole cells (fill_insole_grid: the foot's cells and the
//    outline's) shape the orthotic layers, the printed solids and the views' insole.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "relief/foot_axis.h"

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

// The insole cell nearest to `p` (truncated to a cell) in `insole` (kGridCells, non-zero on
// insole cells), `p`'s own cell when it is one; the first in row order among equally near ones;
// `p`'s cell when there is no insole at all.
GridPoint nearest_insole_cell(const uint8_t *insole, GridPoint p);

// The rows that move a template's lowest raised row onto the foot's heel end
// (scan.outline_bottom_row); 0 for an empty template, which lays no floor anywhere.
int32_t row_offset_to_heel(const uint8_t *template_grid, const Scan &scan);

// The last bottom's proportions, shares of its length: the heel and the ball about 26 % and
// 39 % as wide as the foot is long, the proportions of the average adult foot (foot length,
// ball width and heel width measured on adult feet, widths normalised to the length:
// Wunderlich and Cavanagh, "Gender differences in adult foot shape: implications for shoe
// design", Med Sci Sports Exerc 33(4), 2001, 605-611). The heel rounds over its first 13 %
// (a half circle at those widths), the ball's full width runs from 55 % to 78 %, where the toe
// box starts to round into a blunt toe end 35 % as wide as the ball's half, medial of the axis.
constexpr double kHeelWidthShare = 0.26;
constexpr double kBallWidthShare = 0.39;
constexpr double kHeelRoundShare = 0.13;
constexpr double kBallStartShare = 0.55;
constexpr double kToeStartShare = 0.78;
constexpr double kToeEndShare = 0.35;
// Where the outline is centred and measured: across the foot's axis this far in front of the
// heel-centre landmark (3), and along the line through the metatarsal heads (0 and 1).
constexpr double kHeelLineMm = 15.0;
// How far the outline stands beyond the foot's contact edge, on each side, at those two lines:
// the last's own width where that lies within these bounds, else the nearer bound.
constexpr double kMinMarginMm = 5.0;
constexpr double kMaxMarginMm = 10.0;

// The outline fitted to one foot, in the foot's frame: a point lies `station` mm toe-ward of
// the heel end along the foot's axis and `across` mm from the axis, medial positive.
class OutlineFit {
  public:
    // The edges at `station` (0 .. length): the lateral and the medial edge's across offsets, the
    // last's shape (shape()) within the bounds of `held`.
    struct Edges {
        double lateral, medial;
    };
    Edges edges(double station) const;
    // Whether grid point `p` (cells are 1 mm) lies inside the outline, its edges included.
    bool contains(GridPoint p) const;
    double station(GridPoint p) const;
    double across(GridPoint p) const;

    GridPoint heel_end;            // the outline's heel end on the foot's axis
    GridDirection toe_ward{0, 1};  // unit, along the foot's axis
    GridDirection medial{1, 0};    // unit, square to it toward the first metatarsal head
    double length = 0;             // the size's length, mm
    double heel_half = 0;          // the heel's half width (the heel line's, at most)
    double ball_half = 0;          // the ball's half width
    double heel_middle = 0;        // the outline's middle across the heel (across offset)
    double ball_middle = 0;        // and across the ball
    double heel_line = 0;          // the heel line's station: the heel's width is reached there
    // Around the heel, up to the line through landmarks 2 and 4 at most, the edges stand no
    // further than kMaxMarginMm beyond the foot's own: held[k] bounds the edges at stations
    // within half a millimetre of k (entries with lateral > medial bound nothing).
    std::vector<Edges> held;

    // The shares of the heel's and the ball's half width the lateral (and the medial) edge
    // stands out at `station`, and how far the middle has moved from the heel's to the ball's.
    struct Shape {
        double heel_lateral, ball_lateral, heel_medial, ball_medial, to_ball;
    };
    Shape shape(double station) const;
};

// The outline of a last `length` mm long fitted to the scan's foot: turned to the foot's axis
// (foot_axis.h), its heel end on the foot's heel end (its lowest cell along the axis), its
// middle on the middle of the foot's contact (base cells) across the heel line and along the
// metatarsal line, and its widths there giving margins within kMinMarginMm .. kMaxMarginMm, the
// nominal proportions kept where they lie within; around the heel it keeps within kMaxMarginMm
// of the foot's edge (held). None when the landmarks give no axis, the
// foot has no cell or the length is not positive; a line that crosses no foot cell keeps the
// nominal width and the middle of the axis there.
[[nodiscard]] std::optional<OutlineFit> fit_outline(const Scan &scan, int length);

// The most common non-zero height of a template grid (kGridCells): the floor its cells stand
// on; 0 for an empty template.
uint8_t template_level(const uint8_t *template_grid);

// Sets `mask` (kGridCells) to 1 on every cell inside the outline; other cells are unchanged.
void mark_outline_cells(const OutlineFit &fit, uint8_t *mask);

// Adds to `mask` (kGridCells, 1 on insole cells) the cells that make every insole cell a corner
// of a 2 x 2 block of insole cells: for a cell in none, the block of the four around it that
// holds most insole cells already (the first in the order below-left, below-right, above-left,
// above-right when several do). The printed solids then keep every insole cell.
void close_insole_blocks(uint8_t *mask);

}  // namespace pedaform

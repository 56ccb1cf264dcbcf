// The order sheet filled from loaded designs, so that the batch command and the GUI print the
// same sheet.
#pragma once

#include <string>
#include <vector>

#include "design/design.h"
#include "order/order_sheet.h"

namespace pedaform {

// The design's side, pressure colours, landmarks, relief, length (one row is one mm), size
// label, arch index (the scan's "ai"), scan (its file name without the folder and its SHA-256)
// and prescription (design/prescription.h); the dome's footprint and apex while the stamped pad
// is on and placed; the peak pressure in kPa when the scan says what alpha 255 stands for (a
// scan made from a recording): that full scale x the highest pressure / 255.
FootSheet foot_sheet_of(const Design &design);

// The sheet of one foot or a pair's two: `order`, this program's version, today's date, the
// name of `design_file` without its folder ("" when the design has no file) and each design's
// part (foot_sheet_of). The files the same run writes (OrderSheet::exports) are the caller's.
// Each design must be loaded.
OrderSheet order_sheet_of(const OrderData &order, const std::vector<const Design *> &designs,
                          const std::string &design_file);

// The cells the stamped pad raises, as the composition places its stamp at the design's
// metatarsal point: kGridCells bytes, 1 on a raised cell. Empty while the stamp is off or has no
// point.
std::vector<uint8_t> dome_footprint(const Design &design);

}  // namespace pedaform

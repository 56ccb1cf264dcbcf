// One foot's part of the order sheet, filled from a loaded design, so that the batch command and
// the GUI print the same sheet.
#pragma once

#include "design/design.h"
#include "order/order_sheet.h"

namespace pedaform {

// The design's side, pressure colours, landmarks, relief, length (one row is one mm), size
// label, arch index (the scan's "ai") and scan (its file name without the folder and its
// SHA-256); the dome's footprint and apex while the stamped pad is on and placed; the
// prescription's words (design/prescription.h), those of the batch report. The peak pressure is
// left for the caller: unknown.
FootSheet foot_sheet_of(const Design &design);

// The cells the stamped pad raises, as the composition places its stamp at the design's
// metatarsal point: kGridCells bytes, 1 on a raised cell. Empty while the stamp is off or has no
// point.
std::vector<uint8_t> dome_footprint(const Design &design);

}  // namespace pedaform

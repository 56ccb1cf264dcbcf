// What every import must hold, for the importer's fuzz targets: a failure says why; a success
// gives one or two scans of 150 x 360 x 4 bytes, each of whose outline the scan load reads as
// the side the importer gave it, with every landmark on the outline.
#pragma once

#include <cstdlib>

#include "analysis/scan_loader.h"
#include "import/pressure_import.h"

namespace pedaform {

inline void check_import(const Result<Import> &im) {
    if (!im) {
        if (im.message().empty()) std::abort();
        return;
    }
    if (im->scans.empty() || im->scans.size() > 2) std::abort();
    for (const ImportedScan &s : im->scans) {
        if (s.pixels.size() != static_cast<size_t>(kGridCells) * 4) std::abort();
        if (decide_foot_side(s.pixels.data()) != (s.side == FootSide::kRight ? 1 : 0)) std::abort();
        for (const Landmark &l : s.landmarks) {
            if (l.row < 0 || l.row >= kGridHeight - 1 || l.column < 0 || l.column >= kGridWidth)
                std::abort();
            if (s.pixels[(static_cast<size_t>(l.row) * kGridWidth + static_cast<size_t>(l.column)) *
                         4] == 0)
                std::abort();
        }
    }
}

// A reader's recording holds a value for every sensel of every frame.
inline void check_recording(const Result<Recording> &r) {
    if (r && (r->values.size() != static_cast<size_t>(r->frames) * r->sensels() ||
              r->absent.size() != static_cast<size_t>(r->sensels())))
        std::abort();
}

}  // namespace pedaform

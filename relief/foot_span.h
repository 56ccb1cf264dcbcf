// The foot cells of a row lie between its first and its last non-zero base cell; the grid
// passes that only touch foot cells run over that span.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/grid.h"

namespace pedaform {

struct RowSpan {
    int first;  // first non-zero cell of the row
    int last;   // last one; first > last for a row without any
};

// Eight cells at a time from each end, then cell by cell.
inline RowSpan foot_span(const uint8_t *row) {
    RowSpan span{0, kGridWidth - 1};
    uint64_t word;
    while (span.first + 8 <= kGridWidth && (std::memcpy(&word, row + span.first, 8), word == 0))
        span.first += 8;
    while (span.first < kGridWidth && row[span.first] == 0)
        ++span.first;
    if (span.first == kGridWidth) return {kGridWidth, kGridWidth - 1};
    while (span.last - 8 >= span.first && (std::memcpy(&word, row + span.last - 7, 8), word == 0))
        span.last -= 8;
    while (row[span.last] == 0)
        --span.last;
    return span;
}

}  // namespace pedaform

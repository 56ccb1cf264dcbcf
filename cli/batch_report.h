// The batch command's JSON report: one foot's design, or a pair's two feet and their comparison.
#pragma once

#include <array>
#include <nlohmann/json.hpp>

#include "core/warnings.h"
#include "design/pair.h"

namespace pedaform {

// One foot: its scan's measures and landmarks, the size, the metatarsal point, the pad, the arch
// index `ai`, the steps, the orthotic controls when any is in use, the pressure's full scale
// when known, and `warnings` when there are any.
nlohmann::json foot_report_json(const Design &design, float ai, const Warnings &warnings);

// A pair: "left" and "right" (each foot_report_json without warnings), "linked", the
// "comparison" (length, width, arch index and, where both scans record it, peak pressure: each
// foot's value and left minus right), and the pair's `warnings` when there are any.
nlohmann::json pair_report_json(const Pair &pair, const std::array<float, kFootCount> &ai,
                                const Warnings &warnings);

}  // namespace pedaform

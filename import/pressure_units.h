// The units a recording's values and sensor pitch come in, as files and operators name them.
#pragma once

#include <string>

#include "core/result.h"

namespace pedaform {

// Kilopascals per unit of a pressure unit named as Tekscan files and operators write it:
// "kPa" (1), "N/cm2" or "N/cm²" (10: 1 N/cm² = 10 kPa), "MPa" (1000), "psi" (6.894757),
// "mmHg" (0.1333224), "kg/cm2" (98.0665); case is ignored. "Raw" (uncalibrated sensor counts)
// gives 0: the values are no pressure. Any other name fails, listing the known ones.
Result<double> kpa_per_unit(const std::string &unit);

// A length as Tekscan's header writes it, "5.08 mm" ("mm", "cm", "in" or "inch"; no unit:
// millimetres), in millimetres. Fails unless it is a number above 0 and at most 100 mm.
Result<double> length_mm(const std::string &text);

// "--pitch ROW_MM,COL_MM": two numbers above 0 and at most 100 mm.
Result<> parse_pitch(const std::string &text, double &row_mm, double &col_mm);

}  // namespace pedaform

// Fast text for the mesh files: numbers exactly as printf's "%f" writes a float (six decimals,
// rounded to nearest with ties to even on the exact binary value, "-" for a set sign bit),
// without printf's per-call cost.
#pragma once

#include <cstdint>
#include <cstring>

namespace pedaform {

// Writes `value` as "%f" would, without a terminating NUL, and returns the number of chars.
// `out` must hold at least 48 chars. Not for NaN or infinity (the mesh never holds them);
// values of 2^40 and more fall back to snprintf.
int format_fixed6(float value, char *out);

}  // namespace pedaform

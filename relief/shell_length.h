// Where the insole ends: a full shell at the toe end, a sulcus shell 10 mm beyond the metatarsal
// line (landmarks 0 and 1, the heads), a three-quarter shell 5 mm behind it, its front edge
// tapered. The printed solids and the 3D view show the insole ended so (the results'
// insole_relief); the relief itself, the engraving and the surface STL keep the whole foot.
#pragma once

#include "core/design_results.h"
#include "core/scan.h"

namespace pedaform {

enum class ShellLength { kFull = 0, kSulcus = 1, kThreeQuarter = 2 };

constexpr double kSulcusBeyondMm = 10.0;       // a sulcus shell's end, ahead of the line
constexpr double kThreeQuarterBehindMm = 5.0;  // a 3/4 shell's end, behind the line
constexpr double kShellTaperMm = 10.0;         // a 3/4 shell falls to the floor over this

// Ends the results' insole_relief as their shell_length says: cells further ahead of the
// metatarsal line (measured square to it, one cell one millimetre) than the shell's end become
// 0; for a three-quarter shell, cells within kShellTaperMm behind its end fall linearly from
// their height to kFootThreshold at the end (never rising). A full shell, or landmarks that give
// no line, change nothing.
void end_shell(const Scan &scan, DesignResults &results);

}  // namespace pedaform

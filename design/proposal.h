// The insole a lab would start from, proposed in one call ("編輯" → "建議處方", --propose) as
// ordinary steps of the design, which undo and replay like any other:
//  - the nearest size, when the foot's length matched no size bin;
//  - the stamped dome, placed by the central heads' rule (Design::place_dome_behind_heads);
//  - an arch support from the footprint's arch index (kArchSupportTable);
//  - a heel cup of 12 mm, 10 mm for a foot under 240 mm;
//  - a base of 2 mm;
//  - and, for the 3MF, the default pressure zones (model3d/print_zones.h), which are an export's
//    setting rather than a step.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "core/result.h"
#include "design/design.h"

namespace pedaform {

// The arch support by the arch index (Cavanagh and Rodgers, "The arch index: a useful measure
// from footprints", J Biomech 20(5), 547-551, 1987: below about 0.21 a high arch, 0.21 to 0.26
// a normal one, above a flat one): a high arch gets more support to fill the gap under it, a flat
// foot less, since a tall support under a low arch presses into it.
struct ArchSupportRow {
    double below;  // the row holds indices below this
    double mm;
    const char *arch;
};
constexpr ArchSupportRow kArchSupportTable[] = {
    {0.21, 8.0, "high"},
    {0.26, 6.0, "normal"},
    {std::numeric_limits<double>::infinity(), 4.0, "flat"},
};
constexpr double kProposedBaseMm = 2.0;
constexpr double kProposedHeelCupMm = 12.0;
constexpr double kProposedSmallHeelCupMm = 10.0;  // for a foot shorter than kSmallFootMm
constexpr double kSmallFootMm = 240.0;

// The scan's arch index, measured on its footprint (the cells with pressure) as the importer
// measures a recording's (import/foot_measures.h); 0 for a scan without pressure.
double footprint_arch_index(const Scan &scan);

// One proposed value: what (a control's design-file name, "size", "dome" or "zones"), the value
// as text, and why, in English and for the operator in Chinese (`label` naming what).
struct ProposedValue {
    std::string what;
    std::string value;
    std::string why;
    std::string label, why_gui;
};

// Takes the proposal's steps on the loaded design and says each value and why. A step the
// design refuses (landmarks no step can be placed from) ends the proposal with its reason, the
// steps before it kept.
Result<std::vector<ProposedValue>> propose(Design &design);

}  // namespace pedaform

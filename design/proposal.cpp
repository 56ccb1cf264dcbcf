#include "design/proposal.h"

#include <algorithm>
#include <cstdio>

#include "analysis/size_bin.h"
#include "import/foot_measures.h"
#include "model3d/print_zones.h"

namespace pedaform {

namespace {

std::string number(double v, const char *format = "%g") {
    char text[48];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

struct Why {
    std::string text, gui;
};

// The control moved to `value` as a step, and its line of the proposal.
Result<> propose_control(Design &design, Control c, double value, const Why &why,
                         std::vector<ProposedValue> &out) {
    if (Result<> r = design.set(c, value); !r) return r;
    const ControlSpec &row = control_spec(c);
    out.push_back({row.name, number(value) + " mm", why.text, row.label, why.gui});
    return Result<>();
}

// The arch's row of kArchSupportTable for the index, and why; a normal arch without one.
const ArchSupportRow &arch_row(double index, Why &why) {
    static const char *const kArchWords[] = {"高足弓", "正常足弓", "扁平足"};
    if (!(index > 0)) {
        why = {"no footprint to measure the arch index on: a normal arch",
               "沒有足印可量足弓指數：以正常足弓計"};
        return kArchSupportTable[1];
    }
    size_t k = 0;
    while (!(index < kArchSupportTable[k].below))
        ++k;
    const std::string value = number(index, "%.2f");
    why = {"arch index " + value + ": a " + kArchSupportTable[k].arch + " arch",
           "足弓指數 " + value + "：" + kArchWords[k]};
    return kArchSupportTable[k];
}

}  // namespace

double footprint_arch_index(const Scan &scan) {
    FootRaster raster;
    raster.w = kGridWidth;
    raster.h = kGridHeight;
    raster.contact.assign(kGridCells, 0);
    raster.pressure.assign(kGridCells, 0.0f);
    raster.heel_row = kGridHeight;
    for (int i = 0; i < kGridCells; ++i) {
        if (scan.pressure_grid[i] == 0) continue;
        raster.contact[i] = 1;
        raster.pressure[i] = scan.pressure_grid[i];
        raster.heel_row = std::min(raster.heel_row, i / kGridWidth);
        raster.toe_row = i / kGridWidth;
    }
    if (raster.empty()) return 0;
    return arch_index(raster, find_toe_line(raster));
}

Result<std::vector<ProposedValue>> propose(Design &design) {
    std::vector<ProposedValue> out;
    const std::string length = std::to_string(design.scan().insole_length);
    if (const SizeBin *nearest = design.nearest_size();
        nearest != nullptr && design.size_label()[0] == '\0') {
        const char *label = nearest->first_label ? nearest->first_label : nearest->second_label;
        if (const std::optional<int> index = size_label_index(label)) {
            if (Result<> r = design.choose_size(*index); !r) return r.reason();
            out.push_back({"size", label,
                           "the foot's length, " + length + " mm, matches no size; the nearest",
                           "尺碼", "腳長 " + length + " mm 不符任何尺碼，取最接近的"});
        }
    }
    if (Result<> r = design.set(Control::kStamp, 1); !r) return r.reason();
    const Result<Warnings> dome = design.place_dome_behind_heads(kDomeBehindHeadsMm);
    if (!dome) return Failure{dome.message()};
    const std::string mm = number(kDomeBehindHeadsMm);
    Why why{"its distal edge " + mm + " mm behind the central metatarsal heads' pressure peak",
            "遠端在中間蹠骨頭的壓力峰後 " + mm + " mm"};
    for (const Warning &w : *dome)
        why = {w.text, w.gui};
    out.push_back({"dome", number(design.controls()[Control::kPadHeight]) + " mm", why.text,
                   control_spec(Control::kStamp).label, why.gui});

    const ArchSupportRow &arch = arch_row(footprint_arch_index(design.scan()), why);
    if (Result<> r = propose_control(design, Control::kArch, arch.mm, why, out); !r)
        return r.reason();
    const bool small = design.scan().insole_length < kSmallFootMm;
    const std::string limit = number(kSmallFootMm);
    why = {"a " + length + " mm foot, " + (small ? "under " : "not under ") + limit + " mm",
           "腳長 " + length + " mm" + (small ? "，未滿 " : "，不少於 ") + limit + " mm"};
    const double cup = small ? kProposedSmallHeelCupMm : kProposedHeelCupMm;
    if (Result<> r = propose_control(design, Control::kHeelCup, cup, why, out); !r)
        return r.reason();
    why = {"a shell that keeps its shape", "鞋墊底殼保持形狀"};
    if (Result<> r = propose_control(design, Control::kBase, kProposedBaseMm, why, out); !r)
        return r.reason();
    out.push_back({"zones", kDefaultPrintZones,
                   "the default zones: firm under the arch and midfoot, softer under the heel "
                   "and the metatarsal heads",
                   "分區", "預設分區：足弓與中足較硬，後跟與蹠骨頭較軟"});
    return out;
}

}  // namespace pedaform

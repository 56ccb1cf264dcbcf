#include "analysis/landmark_check.h"

#include <algorithm>
#include <string>

namespace pedaform {

namespace {

constexpr int kLandmarkCount = 5;
// What a scan without sound landmarks cannot do, said after the cause.
const char *const kCannotPlace =
    ": the arch support, the heel cup and the metatarsal dome cannot be placed";
const char *const kCannotPlaceGui = "：足弓、後跟杯與蹠骨墊的位置無法決定";

Warning problem(const std::string &text, const std::string &gui) {
    return {text + kCannotPlace, gui + kCannotPlaceGui};
}

bool on_grid(const Landmark &l) {
    return l.row >= 0 && l.row < kGridHeight && l.column >= 0 && l.column < kGridWidth;
}

std::string where(const Landmark &l) {
    return "row " + std::to_string(static_cast<long>(l.row)) + ", column " +
           std::to_string(static_cast<long>(l.column));
}

}  // namespace

std::optional<Warning> landmark_problem(const Scan &scan, const uint8_t *insole) {
    const Landmark *lm = scan.landmarks;
    if (scan.insole_length <= 0 ||
        std::none_of(insole, insole + kGridCells, [](uint8_t c) { return c != 0; }))
        return problem("the scan has no insole outline (no cell of the insole base)",
                       "掃描檔沒有鞋墊輪廓");
    if (std::all_of(lm, lm + kLandmarkCount,
                    [](const Landmark &l) { return l.row == kGridHeight - 1 && l.column == 0; }))
        return problem("the scan has no landmarks", "掃描檔沒有標記點");
    for (int k = 0; k < kLandmarkCount; ++k) {
        const std::string name = std::to_string(k);
        if (!on_grid(lm[k]))
            return problem(
                "the scan's landmark " + name + " lies outside the grid (" + where(lm[k]) + ")",
                "掃描檔的標記點 " + name + " 在掃描範圍之外");
        const int cell = static_cast<int>(lm[k].row) * kGridWidth + static_cast<int>(lm[k].column);
        if (insole[cell] == 0)
            return problem(
                "the scan's landmark " + name + " lies off the insole (" + where(lm[k]) + ")",
                "掃描檔的標記點 " + name + " 不在鞋墊上");
    }
    if ((lm[0].row + lm[1].row) / 2 <= lm[3].row)
        return problem(
            "the scan's metatarsal heads (landmarks 0 and 1) lie behind its heel (landmark 3)",
            "掃描檔的蹠骨頭標記點（0 與 1）在後跟標記點之後");
    return std::nullopt;
}

}  // namespace pedaform

#include "relief/shell_length.h"

#include <algorithm>
#include <optional>

#include "relief/foot_axis.h"

namespace pedaform {

void end_shell(const Scan &scan, DesignResults &results) {
    const ShellLength shell = static_cast<ShellLength>(results.shell_length);
    if (shell == ShellLength::kFull) return;
    const Landmark &head = scan.landmarks[0];
    const std::optional<GridDirection> n = heel_ward_normal(scan, head, scan.landmarks[1]);
    if (!n) return;
    const bool three_quarter = shell == ShellLength::kThreeQuarter;
    const double end = three_quarter ? -kThreeQuarterBehindMm : kSulcusBeyondMm;
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            uint8_t &h = results.insole_relief[y * kGridWidth + x];
            if (h == 0) continue;
            const double ahead = -(n->column * (x - head.column) + n->row * (y - head.row));
            if (ahead > end) {
                h = 0;
            } else if (three_quarter && ahead > end - kShellTaperMm && h > kFootThreshold) {
                const double share = (end - ahead) / kShellTaperMm;
                h = static_cast<uint8_t>(kFootThreshold + (h - kFootThreshold) * share);
            }
        }
}

}  // namespace pedaform

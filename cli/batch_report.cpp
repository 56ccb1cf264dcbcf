#include "cli/batch_report.h"

#include <cmath>

#include "analysis/scan_measures.h"
#include "design/design_file.h"
#include "design/prescription.h"

namespace pedaform {

nlohmann::json foot_report_json(const Design &design, float ai, const Warnings &warnings) {
    const Scan &scan = design.scan();
    const DesignResults &results = design.results();
    const Controls &c = design.controls();
    nlohmann::json landmarks = nlohmann::json::array();
    for (const Landmark &l : scan.landmarks)
        landmarks.push_back({l.row, l.column});
    nlohmann::json meta = nullptr;
    if (results.meta_point_found) meta = {results.meta_column, results.meta_row};
    nlohmann::json label = design.size_label();
    if (design.size_label()[0] == '\0') label = nullptr;
    nlohmann::json report = {
        {"insole_length", scan.insole_length},
        {"size_label", label},
        {"template_index", results.template_index.value_or(-1)},
        {"template_mirrored", scan.template_mirrored},
        {"first_outline_cell", scan.first_outline_cell},
        {"outline_top_row", scan.outline_top_row},
        {"outline_bottom_row", scan.outline_bottom_row},
        {"landmarks", landmarks},
        {"meta_point", meta},
        {"pad",
         {{"width", c[Control::kPadWidth]},
          {"length", c[Control::kPadLength]},
          {"height", c[Control::kPadHeight]}}},
        // The scan carries "ai" in hundredths: report it as such, not as the float's expansion.
        {"ai", std::round(ai * 100.0) / 100.0},
        {"steps", nlohmann::json(design_steps_json(design.steps()))},
    };
    // The orthotic controls, when any is in use: the arch support, heel cup and base always,
    // the others when not 0.
    nlohmann::json orthotics = nlohmann::json::object();
    bool in_use = false;
    for (int i = 0; i < kControlCount; ++i) {
        const Control control = static_cast<Control>(i);
        const ControlSpec &row = control_spec(control);
        if (row.group != ControlGroup::kOrthotics) continue;
        const bool always =
            control == Control::kArch || control == Control::kHeelCup || control == Control::kBase;
        if (always || c.value[i] != 0) orthotics[row.name] = c.value[i];
        in_use = in_use || c.value[i] != 0;
    }
    if (in_use) report["orthotics"] = orthotics;
    nlohmann::json words = nlohmann::json::object();
    for (const PrescriptionItem &entry : prescription(c))
        words[control_spec(entry.control).name] = entry.words;
    if (!words.empty()) report["prescription"] = words;
    if (scan.pressure_full_scale_kpa != 0)
        report["pressure_full_scale_kpa"] = scan.pressure_full_scale_kpa;
    if (!warnings.empty()) report["warnings"] = warnings.texts();
    return report;
}

namespace {

// Each foot's value and left minus right, to two decimals.
nlohmann::json compared(double left, double right) {
    auto hundredths = [](double v) { return std::round(v * 100.0) / 100.0; };
    return {{"left", hundredths(left)},
            {"right", hundredths(right)},
            {"difference", hundredths(left - right)}};
}

}  // namespace

nlohmann::json pair_report_json(const Pair &pair, const std::array<float, kFootCount> &ai,
                                const Warnings &warnings) {
    const Scan &left = pair.design(Foot::kLeft).scan(), &right = pair.design(Foot::kRight).scan();
    nlohmann::json comparison = {
        {"length_mm", compared(left.insole_length, right.insole_length)},
        {"width_mm", compared(foot_width_mm(left), foot_width_mm(right))},
        {"arch_index",
         compared(std::round(ai[0] * 100.0) / 100.0, std::round(ai[1] * 100.0) / 100.0)},
    };
    const std::optional<double> left_peak = peak_pressure_kpa(left);
    const std::optional<double> right_peak = peak_pressure_kpa(right);
    if (left_peak && right_peak) comparison["peak_kpa"] = compared(*left_peak, *right_peak);
    nlohmann::json report = {
        {"left", foot_report_json(pair.design(Foot::kLeft), ai[0], Warnings())},
        {"right", foot_report_json(pair.design(Foot::kRight), ai[1], Warnings())},
        {"linked", pair.linked()},
        {"comparison", comparison},
    };
    if (!warnings.empty()) report["warnings"] = warnings.texts();
    return report;
}

}  // namespace pedaform

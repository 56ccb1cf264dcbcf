#include "design/controls.h"

#include <cmath>

#include "workspace/size_table.h"

namespace pedaform {

namespace {

// In the order of Control.
const ControlSpec kSpecs[kControlCount] = {
    {"meta1", -10, 10, 1, 0},      {"meta2", -10, 10, 1, 0},     {"heel1", -10, 10, 1, 0},
    {"heel2", -10, 10, 1, 0},      {"heel3", -10, 10, 1, 0},     {"filter", 0, 255, 1, 0},
    {"gain", 1, 10, 0.5, 3},       {"stamp", 0, 1, 1, 0},        {"pad_width", 0, 100, 1, 7},
    {"pad_length", 0, 240, 1, 17}, {"pad_height", 0, 9, 0.2, 5},
};

}  // namespace

const ControlSpec &control_spec(Control c) {
    return kSpecs[static_cast<int>(c)];
}

bool control_named(const std::string &name, Control &out) {
    for (int i = 0; i < kControlCount; ++i)
        if (name == kSpecs[i].name) {
            out = static_cast<Control>(i);
            return true;
        }
    return false;
}

bool control_value_valid(Control c, double value) {
    const ControlSpec &s = control_spec(c);
    if (!std::isfinite(value) || value < s.min - 1e-9 || value > s.max + 1e-9) return false;
    const double steps = (value - s.min) / s.step;
    return std::fabs(steps - std::round(steps)) <= 1e-6;
}

bool control_value_accepted(Control c, double value) {
    if (control_value_valid(c, value)) return true;
    for (const SizeBin &bin : kSizeBins) {
        const double preset = c == Control::kPadHeight   ? bin.pad_height
                              : c == Control::kPadWidth  ? bin.pad_width
                              : c == Control::kPadLength ? bin.pad_length
                                                         : -1;
        if (value == preset) return true;
    }
    return false;
}

double control_value_snapped(Control c, double value) {
    const ControlSpec &s = control_spec(c);
    return s.min + std::round((value - s.min) / s.step) * s.step;
}

Controls::Controls() {
    for (int i = 0; i < kControlCount; ++i)
        value[i] = kSpecs[i].start;
}

bool Controls::operator==(const Controls &o) const {
    for (int i = 0; i < kControlCount; ++i)
        if (value[i] != o.value[i]) return false;
    return true;
}

}  // namespace pedaform

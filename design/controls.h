// The controls of a design: the five pad sliders, the pressure filter and gain, the stamped
// pad's check button and its width, length and height. Each has one name (the design files'
// and the batch command's), a range and a step; a value outside them is refused everywhere.
#pragma once

#include <string>

namespace pedaform {

enum class Control {
    kMeta1,
    kMeta2,
    kHeel1,
    kHeel2,
    kHeel3,
    kFilter,
    kGain,
    kStamp,
    kPadWidth,
    kPadLength,
    kPadHeight,
};
constexpr int kControlCount = 11;

struct ControlSpec {
    const char *name;  // "meta1", "pad_height", ...
    double min, max, step;
    double start;  // the value at start-up
};

const ControlSpec &control_spec(Control c);
// The control of that name; false when there is none.
bool control_named(const std::string &name, Control &out);

// True for a value within the control's range on its step grid (within 1e-6 of a step, so
// that decimal text such as 4.6 counts); false for anything else, NaN and infinities included.
bool control_value_valid(Control c, double value);
// A valid value, or one the program sets itself: the stamped pad's size presets (a height of
// 2.9 or 3.7 mm lies off the 0.2 mm step). What a design file may hold.
bool control_value_accepted(Control c, double value);
// A valid value moved exactly onto the grid as min + steps x step.
double control_value_snapped(Control c, double value);

// The values of all controls; pads in millimetres, filter 0..255, gain a factor, stamp 0 or 1,
// pad width and length in cells, pad height in millimetres.
struct Controls {
    double value[kControlCount];
    Controls();
    double operator[](Control c) const { return value[static_cast<int>(c)]; }
    double &operator[](Control c) { return value[static_cast<int>(c)]; }
    bool operator==(const Controls &o) const;
};

}  // namespace pedaform

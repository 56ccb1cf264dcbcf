// The controls of a design, one row of one table each: the five pad sliders, the pressure
// filter and gain, the stamped pad's check button and its width, length and height, and the
// orthotic arch support, heel cup, base thickness, posts, heel lift, top cover and heel-spur
// recess. A row says everything about its control:
// its name in design files, its batch option and usage text, its label, widget and place in
// the main window, its range, step and start value, and what it builds. The window's widgets,
// their one callback, the batch options and their usage and manual lines, the design files'
// names and checks, and the labels' font all come from it.
//
// A new control is a new Control (before kCount) and its row in design/controls.cpp; a control
// that builds a new layer also needs that Layer (relief/layers.h) and its builder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "relief/layers.h"

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
    kArch,
    kHeelCup,
    kBase,
    kRearfootPost,
    kForefootPost,
    kHeelLift,
    kTopCover,
    kHeelRecess,
    kShellLength,
    kCount,  // not a control: the number of controls
};
constexpr int kControlCount = static_cast<int>(Control::kCount);

// How a control shows in the main window.
enum class Widget {
    kPadSlider,    // a large slider with its label above, over its side of the insole
    kSlider,       // a slider with its label on its left
    kCheckButton,  // on (1) or off (0)
    kChoice,       // one of its row's choices, the value its index
};

// What moving a control changes.
enum class Effect {
    kLayer,    // builds `layer` for its value (a pad or an orthotic layer), then composes
    kColours,  // the pressure colours
    kCompose,  // the composition (the stamped pad and its size)
};

// Where a control belongs: the orthotic controls stand in a frame of their own in the window
// and in the report's "orthotics" object.
enum class ControlGroup {
    kPads,
    kPressure,
    kStampedPad,
    kOrthotics,
};

struct ControlSpec {
    Control control;     // the row's own control: the rows stand in the order of Control
    const char *name;    // in design files: "meta1", "pad_height", ...
    const char *option;  // the batch option: "--meta1"
    const char *usage;   // the batch usage text, after the option
    const char *label;   // the widget's label
    Widget widget;
    int x, y, w, h;  // the widget's place in the main window
    double min, max, step;
    double start;  // the value at start-up
    Effect effect;
    std::optional<Layer> layer;  // the layer it builds, exactly for Effect::kLayer
    LayerBuilder build;          // kLayer: how
    bool lowers;         // moved above 0, it first rebuilds the lowering layer (meta1, meta2)
    bool reset_at_load;  // a new scan starts it at 0
    int batch_order;     // the batch command applies options in this order
    // Written to a design file's "start" values and the print description only when not 0; a
    // design file without it starts it at 0.
    bool optional_in_file;
    ControlGroup group;
    // A pad slider over one side of the insole: the control whose place it takes for a left
    // foot (the table places the widgets for a right foot). The control itself when none.
    Control swaps_with;
    // Placed from the scan's landmarks: refused above 0 on a scan whose landmarks are not
    // sound (analysis/landmark_check.h).
    bool needs_landmarks = false;
    // kChoice: the batch option's words and the widget's labels, '|' between them, in the
    // order of the values 0, 1, ...
    const char *choice_words = nullptr;
    const char *choice_labels = nullptr;
};

// Batch options with an order below this come before the metatarsal point and dome options.
constexpr int kBatchAfterPoint = 100;

const ControlSpec &control_spec(Control c);
// The control of that name in design files; none for any other name.
[[nodiscard]] std::optional<Control> control_named(const std::string &name);
// The control that builds `layer`; none for the lowering layer, which no control owns.
[[nodiscard]] std::optional<Control> control_of_layer(Layer layer);

// The controls in the order the batch command applies them (their rows' batch_order); a pair's
// foot takes the other's settings in this order too.
std::vector<Control> controls_in_batch_order();
// The stamped pad's width, length and height: what a size presets.
bool preset_by_size(Control c);

// True for a value within the control's range on its step grid (within 1e-6 of a step, so
// that decimal text such as 4.6 counts); false for anything else, NaN and infinities included.
bool control_value_valid(Control c, double value);
// A valid value, or one the program sets itself: the stamped pad's size presets (a height of
// 2.9 or 3.7 mm lies off the 0.2 mm step). What a design file may hold.
bool control_value_accepted(Control c, double value);
// A valid value moved exactly onto the grid as min + steps x step.
double control_value_snapped(Control c, double value);
// True when the control takes whole numbers (step 1 from a whole minimum).
bool control_whole(Control c);
// A choice control's words or labels, split at '|'; empty for other controls.
std::vector<std::string> control_choices(const char *joined);
// The value of a choice control's word; none for any other word.
[[nodiscard]] std::optional<double> control_choice_value(Control c, const std::string &word);

// The values of all controls, in each control's own unit (millimetres for the pads and the
// orthotic controls, cells for the stamped pad's width and length, 0 or 1 for the stamp).
struct Controls {
    double value[kControlCount];
    Controls();
    double operator[](Control c) const { return value[static_cast<int>(c)]; }
    double &operator[](Control c) { return value[static_cast<int>(c)]; }
    bool operator==(const Controls &o) const;
};

// The layers a moved layer control builds, in the order it builds them: the lowering first
// when the control lowers and rises above 0, then its own layer for its value.
struct LayerBuilds {
    int count = 0;
    struct {
        Layer layer;
        float amount;  // millimetres
    } builds[2] = {};
};
LayerBuilds layer_builds(Control c, const Controls &values);
// The builder of a layer: its control's, or the lowering's.
LayerBuilder layer_builder(Layer layer);

}  // namespace pedaform

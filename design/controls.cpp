#include "design/controls.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "relief/composition.h"
#include "relief/orthotics.h"
#include "relief/posts.h"
#include "core/size_table.h"

namespace pedaform {

namespace {

using C = Control;
using G = ControlGroup;
constexpr std::nullopt_t kNoLayer = std::nullopt;

// Columns: control, name, option, usage, label, widget, x, y, w, h, min, max, step, start,
// effect, layer, builder, lowers, reset at load, batch order, optional in file, group, swaps
// with, needs landmarks (false when left out). The base needs none: it raises the whole insole.
// clang-format off
constexpr ControlSpec kSpecs[] = {
    {C::kMeta1, "meta1", "--meta1", "metatarsal pad, mm", "蹠骨墊片", Widget::kPadSlider,
     247, 116, 114, 25, -10, 10, 1, 0, Effect::kLayer, Layer::kMeta1, build_meta1_layer,
     true, true, 4, false, G::kPads, C::kMeta2},
    {C::kMeta2, "meta2", "--meta2", "metatarsal pad, mm", "蹠骨墊片", Widget::kPadSlider,
     672, 118, 114, 25, -10, 10, 1, 0, Effect::kLayer, Layer::kMeta2, build_meta2_layer,
     true, true, 5, false, G::kPads, C::kMeta1},
    {C::kHeel1, "heel1", "--heel1", "heel pad, mm", "後跟墊片", Widget::kPadSlider,
     242, 470, 114, 25, -10, 10, 1, 0, Effect::kLayer, Layer::kHeel1, build_heel1_layer,
     false, true, 6, false, G::kPads, C::kHeel2},
    {C::kHeel2, "heel2", "--heel2", "heel pad, mm", "後跟墊片", Widget::kPadSlider,
     672, 470, 114, 25, -10, 10, 1, 0, Effect::kLayer, Layer::kHeel2, build_heel2_layer,
     false, true, 7, false, G::kPads, C::kHeel1},
    {C::kHeel3, "heel3", "--heel3", "heel pad, mm", "後跟墊片", Widget::kPadSlider,
     456, 566, 114, 25, -10, 10, 1, 0, Effect::kLayer, Layer::kHeel3, build_heel3_layer,
     false, true, 8, false, G::kPads, C::kHeel3},
    {C::kFilter, "filter", "--filter", "pressure filter", "Filter", Widget::kSlider,
     49, 581, 106, 20, 0, 255, 1, 0, Effect::kColours, kNoLayer, nullptr,
     false, false, 102, false, G::kPressure, C::kFilter},
    {C::kGain, "gain", "--gain", "pressure gain", "Gain", Widget::kSlider,
     49, 600, 106, 20, 1, 10, 0.5, 3, Effect::kColours, kNoLayer, nullptr,
     false, false, 103, false, G::kPressure, C::kGain},
    {C::kStamp, "stamp", "--stamp", "switch the stamped metatarsal pad on", "蹠骨垫片",
     Widget::kCheckButton, 745, 548, 90, 19, 0, 1, 1, 0, Effect::kCompose, kNoLayer, nullptr,
     false, true, 101, false, G::kStampedPad, C::kStamp},
    {C::kPadWidth, "pad_width", "--pad-width",
     "stamped pad width, cells (overrides the size preset)", "蹠骨寬", Widget::kSlider,
     745, 576, 105, 20, 0, 100, 1, 7, Effect::kCompose, kNoLayer, nullptr,
     false, false, 1, false, G::kStampedPad, C::kPadWidth},
    {C::kPadLength, "pad_length", "--pad-length", "stamped pad length, cells", "蹠骨長",
     Widget::kSlider, 745, 595, 105, 20, 0, 240, 1, 17, Effect::kCompose, kNoLayer, nullptr,
     false, false, 2, false, G::kStampedPad, C::kPadLength},
    {C::kPadHeight, "pad_height", "--pad-height", "stamped pad height, mm", "蹠骨墊高(mm)",
     Widget::kSlider, 745, 615, 105, 20, 0, 9, 0.2, 5, Effect::kCompose, kNoLayer, nullptr,
     false, false, 3, false, G::kStampedPad, C::kPadHeight},
    {C::kArch, "arch", "--arch", "arch support under the medial arch, mm", "足弓支撐",
     Widget::kSlider, 765, 196, 140, 20, 0, 15, 0.5, 0, Effect::kLayer, Layer::kArch,
     build_arch_layer, false, true, 9, true, G::kOrthotics, C::kArch, true},
    {C::kHeelCup, "heel_cup", "--heel-cup", "heel cup, rise at the heel's rim, mm", "後跟杯",
     Widget::kSlider, 765, 222, 140, 20, 0, 15, 0.5, 0, Effect::kLayer, Layer::kHeelCup,
     build_heel_cup_layer, false, true, 10, true, G::kOrthotics, C::kHeelCup, true},
    {C::kBase, "base", "--base", "base thickness under the whole insole, mm", "底厚",
     Widget::kSlider, 765, 248, 140, 20, 0, 10, 0.5, 0, Effect::kLayer, Layer::kBase,
     build_base_layer, false, true, 11, true, G::kOrthotics, C::kBase},
    {C::kRearfootPost, "rearfoot_post", "--rearfoot-post",
     "rearfoot post, degrees (positive varus: the medial side higher)", "後跟內外翻",
     Widget::kSlider, 765, 274, 140, 20, -8, 8, 0.5, 0, Effect::kLayer, Layer::kRearfootPost,
     build_rearfoot_post_layer, false, true, 12, true, G::kOrthotics, C::kRearfootPost, true},
    {C::kForefootPost, "forefoot_post", "--forefoot-post",
     "forefoot post, degrees (positive varus: the medial side higher)", "前足內外翻",
     Widget::kSlider, 765, 300, 140, 20, -8, 8, 0.5, 0, Effect::kLayer, Layer::kForefootPost,
     build_forefoot_post_layer, false, true, 13, true, G::kOrthotics, C::kForefootPost, true},
    {C::kHeelLift, "heel_lift", "--heel-lift", "heel lift under the heel, mm", "後跟墊高",
     Widget::kSlider, 765, 326, 140, 20, 0, 10, 0.5, 0, Effect::kLayer, Layer::kHeelLift,
     build_heel_lift_layer, false, true, 14, true, G::kOrthotics, C::kHeelLift, true},
    {C::kTopCover, "top_cover", "--top-cover", "top cover over the whole insole, mm", "面層",
     Widget::kSlider, 765, 352, 140, 20, 0, 3, 0.5, 0, Effect::kLayer, Layer::kTopCover,
     build_top_cover_layer, false, true, 15, true, G::kOrthotics, C::kTopCover},
    {C::kHeelRecess, "heel_recess", "--heel-recess",
     "heel-spur recess at the heel's centre, mm deep", "骨刺凹槽", Widget::kSlider,
     765, 378, 140, 20, 0, 5, 0.5, 0, Effect::kLayer, Layer::kHeelRecess,
     build_heel_recess_layer, false, true, 16, true, G::kOrthotics, C::kHeelRecess, true},
    {C::kShellLength, "shell_length", "--shell-length",
     "where the insole ends: at the toe end, 10 mm beyond the metatarsal line or 5 mm behind it",
     "鞋墊長度", Widget::kChoice, 765, 404, 140, 20, 0, 2, 1, 0, Effect::kCompose, kNoLayer,
     nullptr, false, true, 17, true, G::kOrthotics, C::kShellLength, true,
     "full|sulcus|three-quarter", "全長|至趾溝|3/4"},
};
// clang-format on

static_assert(std::size(kSpecs) == kControlCount, "one row for each control");

// Every row in the order of Control, a layer exactly for the layer controls, each layer built
// by one control at most, and the sides' swaps in pairs. (A builder's address is no constant
// under the sanitizers, so the builders are checked by the tests.)
constexpr bool table_consistent() {
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSpec &row = kSpecs[i];
        if (row.control != static_cast<Control>(i)) return false;
        if ((row.effect == Effect::kLayer) != row.layer.has_value()) return false;
        if (kSpecs[static_cast<int>(row.swaps_with)].swaps_with != row.control) return false;
        for (int j = 0; j < i; ++j)
            if (row.layer && kSpecs[j].layer == row.layer) return false;
    }
    return true;
}
static_assert(table_consistent(), "the control table's rows disagree with Control or Layer");

}  // namespace

const ControlSpec &control_spec(Control c) {
    return kSpecs[static_cast<int>(c)];
}

std::optional<Control> control_named(const std::string &name) {
    for (const ControlSpec &row : kSpecs)
        if (name == row.name) return row.control;
    return std::nullopt;
}

std::optional<Control> control_of_layer(Layer layer) {
    for (const ControlSpec &row : kSpecs)
        if (row.layer == layer) return row.control;
    return std::nullopt;
}

std::vector<Control> controls_in_batch_order() {
    std::vector<Control> order;
    for (int i = 0; i < kControlCount; ++i)
        order.push_back(static_cast<Control>(i));
    std::stable_sort(order.begin(), order.end(), [](Control a, Control b) {
        return control_spec(a).batch_order < control_spec(b).batch_order;
    });
    return order;
}

bool preset_by_size(Control c) {
    return c == Control::kPadWidth || c == Control::kPadLength || c == Control::kPadHeight;
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

bool control_whole(Control c) {
    const ControlSpec &s = control_spec(c);
    return s.step == 1 && s.min == std::floor(s.min);
}

std::vector<std::string> control_choices(const char *joined) {
    std::vector<std::string> out;
    if (joined == nullptr) return out;
    std::string word;
    for (const char *c = joined;; ++c) {
        if (*c != '|' && *c != '\0') {
            word += *c;
            continue;
        }
        out.push_back(word);
        word.clear();
        if (*c == '\0') return out;
    }
}

std::optional<double> control_choice_value(Control c, const std::string &word) {
    const std::vector<std::string> words = control_choices(control_spec(c).choice_words);
    for (size_t k = 0; k < words.size(); ++k)
        if (words[k] == word) return static_cast<double>(k);
    return std::nullopt;
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

LayerBuilds layer_builds(Control c, const Controls &values) {
    const ControlSpec &row = control_spec(c);
    LayerBuilds out;
    if (row.effect != Effect::kLayer) return out;
    const double value = values[c];
    if (row.lowers && value > 0)
        out.builds[out.count++] = {
            Layer::kLowering, lowering_amount(values[Control::kMeta1], values[Control::kMeta2])};
    out.builds[out.count++] = {*row.layer, static_cast<float>(value)};
    return out;
}

LayerBuilder layer_builder(Layer layer) {
    if (const std::optional<Control> c = control_of_layer(layer)) return control_spec(*c).build;
    return build_lowering_layer;
}

}  // namespace pedaform

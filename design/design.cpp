#include "design/design.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <sstream>

#include "analysis/filter_gain.h"
#include "analysis/landmark_check.h"
#include "analysis/size_bin.h"
#include "relief/foot_axis.h"
#include "relief/pad_stamp.h"
#include "relief/smoothing.h"
#include "core/console.h"

namespace pedaform {

namespace {

// The controls a load of a scan of `size` starts from: `base`, but for what the load sets.
Controls controls_after_load(const Controls &base, const SizeBinChoice &size) {
    Controls c = base;
    for (int i = 0; i < kControlCount; ++i)
        if (control_spec(static_cast<Control>(i)).reset_at_load) c.value[i] = 0;
    // A length that matches no bin takes the nearest bin's presets, but no template.
    c[Control::kPadWidth] = size.pad_width;
    c[Control::kPadLength] = size.pad_length;
    c[Control::kPadHeight] = size.pad_height;
    return c;
}

StampControls stamp_controls(const Controls &c) {
    StampControls s;
    s.enabled = c[Control::kStamp] != 0;
    s.width = c[Control::kPadWidth];
    s.length = c[Control::kPadLength];
    return s;
}

}  // namespace

bool set_by_load(Control c) {
    return control_spec(c).reset_at_load || c == Control::kPadWidth || c == Control::kPadLength ||
           c == Control::kPadHeight;
}

bool Design::StampKey::operator==(const StampKey &o) const {
    return width == o.width && length == o.length && height == o.height && mirrored == o.mirrored;
}

Design::Design(const Resources &resources, ScanFileLoader loader)
    : resources_(resources),
      scan_(std::make_unique<Scan>()),
      // Default-initialised: the layers' pages stay untouched until a layer is built.
      results_(new DesignResults),
      loader_(loader),
      states_(1) {
    std::fill(std::begin(results_->layer_blank), std::end(results_->layer_blank), true);
}

Result<ScanLoadResult> Design::load(const std::string &path, const Controls *start,
                                    const LoadCheck &check) {
    const Controls &base = start != nullptr ? *start : controls();
    // Read into a copy, so that a refused file leaves this design's scan as it was; the search
    // keeps the previous point where the new outline gives none.
    auto scan = std::make_unique<Scan>(*scan_);
    Result<ScanLoadResult> loaded = loader_(*scan, path.c_str());
    if (!loaded) return loaded;
    if (check)
        if (Result<> r = check(*loaded, controls_after_load(base, loaded->size)); !r)
            return r.reason();
    *scan_ = *scan;
    start_results(base[Control::kGain]);
    const State s = start_state(base, loaded->size);
    landmark_problem_ = landmark_problem(*scan_, results_->insole_grid);
    judge_search_point();

    loaded_ = true;
    scan_path_ = path;
    scan_sha256_ = loaded->sha256;
    steps_.clear();
    states_.assign(1, s);
    snapshots_.clear();
    position_ = saved_position_ = gesture_step_ = burst_step_ = 0;
    last_record_ = StepRecord::kNone;
    order_ = saved_order_ = OrderData();  // a new scan, a new order
    // The frame after a load composes the relief; the stamp is off, so it cannot fail.
    const Result<> composed = compose(s);
    assert(composed);
    (void)composed;
    take_snapshot();
    return loaded;
}

void Design::start_results(double gain) {
    DesignResults &r = *results_;
    std::memcpy(r.relief_grid, scan_->base_grid, sizeof r.relief_grid);
    std::fill(std::begin(r.layer_blank), std::end(r.layer_blank), true);
    std::memset(r.layer_amount, 0, sizeof r.layer_amount);
    std::fill(std::begin(built_amount_), std::end(built_amount_), 0.0f);
    r.template_index = scan_->template_index;
    r.template_row_offset = 0;
    fill_insole_grid(resources_, *scan_, r);
    r.meta_column = scan_->meta_column;
    r.meta_row = scan_->meta_row;
    r.meta_point_found = scan_->meta_point_found;
    // The load colours the pressure with the gain alone; the filter acts once it is moved.
    apply_filter_gain(resources_, *scan_, r, 0, gain);
    colour_filter_ = 0;
    colour_gain_ = gain;
}

Design::State Design::start_state(const Controls &base, const SizeBinChoice &size) {
    State s;
    s.controls = controls_after_load(base, size);
    s.size_index = size.hit ? size_label_index(size.label) : std::nullopt;
    s.template_index = scan_->template_index;
    s.colour_filter = 0;
    s.colour_gain = base[Control::kGain];
    s.meta_column = scan_->meta_column;
    s.meta_row = scan_->meta_row;
    s.meta_point_found = scan_->meta_point_found;
    size_matched_ = size.hit;
    nearest_size_ = size.nearest;
    point_found_ = scan_->meta_point_found != 0;
    found_column_ = scan_->meta_column;
    found_row_ = scan_->meta_row;
    return s;
}

void Design::judge_search_point() {
    const GridPoint found{found_column_, found_row_};
    // The bounds first: a crossing far off the grid does not fit an int.
    const bool on_grid =
        found.column >= 0 && found.column < kGridWidth && found.row >= 0 && found.row < kGridHeight;
    const bool on_insole =
        on_grid && results_->insole_grid[static_cast<int>(found.row) * kGridWidth +
                                         static_cast<int>(found.column)] != 0;
    const double behind = mm_behind_heads(*scan_, found);
    // Measured from landmarks that are not sound, the distance says nothing.
    search_point_doubtful_ =
        point_found_ && !landmark_problem_ && (behind > kSearchPointFarMm || !on_insole);
    if (search_point_doubtful_)
        console_printf(
            "metatarsal point %.0f, %.0f is %.0f mm behind the metatarsal heads or off "
            "the insole: place the dome from the heads\n",
            found.column, found.row, behind);
}

Result<> Design::set(Control c, double value, std::optional<double> at) {
    last_record_ = StepRecord::kNone;
    const bool burst = at && burst_step_ != 0 && *at - burst_at_ < kAmendSeconds;
    const bool amended = take_back_amended(StepKind::kSet, c, burst);
    burst_step_ = 0;
    if (controls()[c] == value) {
        last_record_ = amended ? StepRecord::kWithdrawn : StepRecord::kNone;
        return amended ? materialize(state()) : Result<>::success();
    }
    Step step;
    step.control = c;
    step.value = value;
    Result<> moved = apply(step);
    if (amended) last_record_ = StepRecord::kAmended;
    if (gesture_open_ && loaded_) gesture_step_ = position_;
    if (at && loaded_) burst_step_ = position_, burst_at_ = *at;
    return moved;
}

bool Design::take_back_amended(StepKind kind, Control control, bool burst) {
    const bool claimed =
        (gesture_step_ != 0 && gesture_step_ == position_) || (burst && burst_step_ == position_);
    if (!claimed || position_ != steps_.size() || steps_.back().kind != kind ||
        (kind == StepKind::kSet && steps_.back().control != control))
        return false;
    steps_.pop_back();
    states_.pop_back();
    --position_;
    if (saved_position_ > position_) saved_position_ = kNeverSaved;
    gesture_step_ = 0;
    return true;
}

Result<> Design::smooth() {
    Step step;
    step.kind = StepKind::kSmooth;
    return apply(step);
}

Result<> Design::move_meta_point(float column, float row) {
    const bool amend = take_back_amended(StepKind::kMetaPoint, Control::kMeta1, false);
    burst_step_ = 0;
    if (state().meta_point_found && state().meta_column == column && state().meta_row == row) {
        last_record_ = amend ? StepRecord::kWithdrawn : StepRecord::kNone;
        return amend ? materialize(state()) : Result<>::success();
    }
    Step step;
    step.kind = StepKind::kMetaPoint;
    step.column = column;
    step.row = row;
    Result<> moved = apply(step);
    if (amend) last_record_ = StepRecord::kAmended;
    if (gesture_open_ && loaded_) gesture_step_ = position_;
    return moved;
}

Result<> Design::reset_meta_point() {
    last_record_ = StepRecord::kNone;
    if (!point_found_) return Result<>::success();
    return move_meta_point(found_column_, found_row_);
}

Result<> Design::choose_size(int index) {
    last_record_ = StepRecord::kNone;
    if (state().size_index == index) return Result<>::success();
    Step step;
    step.kind = StepKind::kSize;
    step.size = index;
    return apply(step);
}

Design::StampKey Design::stamp_key_of(const Controls &c) const {
    return {c[Control::kPadWidth], c[Control::kPadLength], c[Control::kPadHeight],
            scan_->template_mirrored};
}

GridPoint Design::apex_cell() {
    (void)ensure_stamp(controls());  // valid controls always give a stamp
    return stamp_apex_;
}

GridPoint Design::dome_apex() const {
    const Controls &c = controls();
    const DesignResults &r = *results_;
    GridPoint cell = stamp_centre_cell(c[Control::kPadWidth], c[Control::kPadLength]);
    if (stamp_valid_ && stamp_key_ == stamp_key_of(c)) cell = stamp_apex_;
    return dome_apex_of_point({r.meta_column, r.meta_row}, cell, c[Control::kPadWidth],
                              c[Control::kPadLength]);
}

GridPoint Design::point_for_apex(float column, float row) {
    const Controls &c = controls();
    GridPoint point = point_of_dome_apex({column, row}, apex_cell(), c[Control::kPadWidth],
                                         c[Control::kPadLength]);
    point.column = std::clamp(point.column, 0.0f, kGridWidth - 1.0f);
    point.row = std::clamp(point.row, 0.0f, kGridHeight - 1.0f);
    return point;
}

Result<> Design::move_dome_apex(float column, float row) {
    const GridPoint point = point_for_apex(column, row);
    return move_meta_point(point.column, point.row);
}

namespace {

const Warning kNoPressureUnderTheHeads{
    "no pressure under the metatarsal heads: the dome is placed from the line through the heads "
    "(landmarks 0 and 1)",
    "蹠骨頭附近沒有壓力資料，蹠骨墊片改依蹠骨頭連線放置。"};

}  // namespace

std::optional<Warning> Design::dome_step_warning() const {
    if (!state().dome_mm || forefoot_peak(*scan_)) return std::nullopt;
    return kNoPressureUnderTheHeads;
}

GridPoint Design::point_of_dome_step(double mm, Warnings *said) {
    GridPoint apex = dome_apex_behind_heads(*scan_, mm);
    if (const std::optional<GridPoint> peak = forefoot_peak(*scan_)) {
        const Controls &c = controls();
        const GridPoint cell = apex_cell();
        const std::optional<GridDirection> t = foot_axis(*scan_).toe_ward;
        const double reach = dome_distal_reach(results_->pad_stamp, results_->pad_stamp_stride,
                                               c[Control::kPadWidth], c[Control::kPadLength], cell,
                                               t.value_or(GridDirection{0, 1}));
        apex = dome_apex_behind_peak(*scan_, *peak, reach, mm);
    } else if (said) {
        said->add(kNoPressureUnderTheHeads);
    }
    return point_for_apex(apex.column, apex.row);
}

Result<Warnings> Design::place_dome_behind_heads(double mm) {
    if (landmark_problem_) return Failure{landmark_problem_->text, landmark_problem_->gui};
    last_record_ = StepRecord::kNone;
    Warnings said;
    const GridPoint point = point_of_dome_step(mm, &said);
    const State &s = state();
    if (s.dome_mm == mm && s.meta_column == point.column && s.meta_row == point.row) return said;
    Step step;
    step.kind = StepKind::kDomeBehindHeads;
    step.value = mm;
    if (Result<> placed = apply(step); !placed) return placed.reason();
    return said;
}

Result<> Design::place_by_hand(float column, float row) {
    const GridPoint cell = nearest_insole_cell(results_->insole_grid, {column, row});
    if (controls()[Control::kStamp] != 0) return move_dome_apex(cell.column, cell.row);
    return move_meta_point(cell.column, cell.row);
}

GridPoint Design::hand_position() const {
    if (controls()[Control::kStamp] != 0) return dome_apex();
    return {results_->meta_column, results_->meta_row};
}

std::optional<Warning> Design::size_warning() const {
    // Without an outline there is no length to speak of: the landmark warning says so.
    if (nearest_size_ == nullptr || scan_->insole_length <= 0) return std::nullopt;
    const std::string length = std::to_string(scan_->insole_length);
    const std::string labels = size_bin_labels(*nearest_size_);
    return Warning{"insole length " + length + " matches no size; nearest " + labels +
                       ": no template until a size is chosen (--size)",
                   "鞋墊長度 " + length + " 不符任何尺碼，最接近 " + labels + "，請選擇尺碼"};
}

std::optional<Warning> Design::search_point_warning() const {
    const bool searched = state().meta_column == found_column_ && state().meta_row == found_row_;
    if (!search_point_doubtful_ || !searched) return std::nullopt;
    return Warning{
        "the outline search put the metatarsal point far behind the metatarsal heads or off the "
        "insole; place the dome from the heads (--dome-behind-heads 8)",
        "自動找到的蹠骨點離蹠骨頭太遠或在鞋墊外，蹠骨墊片會放錯位置。\n"
        "請用「編輯」→「依蹠骨頭放置」，或在影像上點選位置。"};
}

const char *Design::size_label() const {
    return state().size_index ? pedaform::size_label(*state().size_index) : "";
}

Design::State Design::transition(State s, const Step &step, GridPoint dome_point) const {
    switch (step.kind) {
        case StepKind::kSet: {
            const Control c = step.control;
            s.controls[c] = step.value;
            const Effect effect = control_spec(c).effect;
            if (effect == Effect::kLayer) {
                const LayerBuilds builds = layer_builds(c, s.controls);
                for (int k = 0; k < builds.count; ++k)
                    s.layer_amount[index(builds.builds[k].layer)] = builds.builds[k].amount;
                s.composed = true;
            } else if (effect == Effect::kColours) {
                s.colour_filter = s.controls[Control::kFilter];
                s.colour_gain = s.controls[Control::kGain];
            } else {
                s.composed = true;
            }
            break;
        }
        case StepKind::kSmooth:
            s.composed = false;
            break;
        case StepKind::kMetaPoint:
            s.meta_column = step.column;
            s.meta_row = step.row;
            s.meta_point_found = 1;
            s.dome_mm.reset();
            s.composed = true;
            break;
        case StepKind::kDomeBehindHeads:
            s.meta_column = dome_point.column;
            s.meta_row = dome_point.row;
            s.meta_point_found = 1;
            s.dome_mm = step.value;
            s.composed = true;
            break;
        case StepKind::kSize: {
            const SizeBinChoice size = size_of_label(step.size);
            s.template_index = size.template_index;
            s.template_row_offset =
                row_offset_to_heel(resources_.templates[*s.template_index], *scan_);
            s.size_index = step.size;
            s.controls[Control::kPadWidth] = size.pad_width;
            s.controls[Control::kPadLength] = size.pad_length;
            s.controls[Control::kPadHeight] = size.pad_height;
            s.composed = true;
            break;
        }
    }
    return s;
}

Result<> Design::step_allowed(const Step &step) const {
    const bool needs = step.kind == StepKind::kDomeBehindHeads ||
                       (step.kind == StepKind::kSet && step.value != 0 &&
                        control_spec(step.control).needs_landmarks);
    if (needs && landmark_problem_) return Failure{landmark_problem_->text, landmark_problem_->gui};
    return Result<>();
}

Result<> Design::apply(const Step &step) {
    if (Result<> allowed = step_allowed(step); !allowed) return allowed;
    const GridPoint dome =
        step.kind == StepKind::kDomeBehindHeads ? point_of_dome_step(step.value) : GridPoint{};
    State next = transition(state(), step, dome);
    // The layers the control's own action builds, in its order, even when already built.
    LayerBuilds own;
    if (step.kind == StepKind::kSet) own = layer_builds(step.control, next.controls);
    if (step.kind == StepKind::kSmooth) smooth_from_here(next);
    const Result<> result = materialize(next, own);
    record(step, next);
    return result;
}

void Design::smooth_from_here(State &next) {
    smooth_relief(resources_, *scan_, *results_);
    if (!loaded_) return;
    truncate_redo();
    take_snapshot();
    next.snapshot = snapshots_.size() - 1;
}

void Design::truncate_redo() {
    if (position_ == steps_.size()) return;
    steps_.resize(position_);
    states_.resize(position_ + 1);
    snapshots_.resize(state().snapshot + 1);
    if (saved_position_ > position_) saved_position_ = kNeverSaved;
}

void Design::record(const Step &step, const State &next) {
    if (!loaded_) {
        // Before any scan there is no design to step back in: the controls just move.
        states_.front() = next;
        last_record_ = StepRecord::kNone;
        return;
    }
    last_record_ = StepRecord::kAdded;
    truncate_redo();
    steps_.push_back(step);
    states_.push_back(next);
    ++position_;
}

Result<> Design::replay(const std::vector<Step> &steps) {
    for (const Step &step : steps) {
        if (Result<> allowed = step_allowed(step); !allowed) {
            const Result<> shown = materialize(state());
            return shown ? allowed : shown;
        }
        truncate_redo();
        const GridPoint dome =
            step.kind == StepKind::kDomeBehindHeads ? point_of_dome_step(step.value) : GridPoint{};
        State next = transition(state(), step, dome);
        if (step.kind == StepKind::kSmooth) {
            // Smoothing reads the relief: bring it up to this step first.
            if (Result<> r = materialize(state()); !r) return r;
            smooth_from_here(next);
        }
        record(step, next);
    }
    return materialize(state());
}

Result<> Design::undo() {
    if (!can_undo()) return Result<>::success();
    return restore(position_ - 1);
}

Result<> Design::redo() {
    if (!can_redo()) return Result<>::success();
    return restore(position_ + 1);
}

Result<> Design::restore(size_t position) {
    position_ = position;
    gesture_step_ = 0;
    burst_step_ = 0;
    return materialize(state());
}

Result<> Design::materialize(const State &s, const LayerBuilds &first) {
    DesignResults &r = *results_;
    if (loaded_) {
        const Snapshot &snap = snapshots_[s.snapshot];
        std::memcpy(r.relief_grid, snap.relief.data(), sizeof r.relief_grid);
        std::memcpy(r.relief_preview, snap.preview.data(), sizeof r.relief_preview);
    }
    r.meta_column = s.meta_column;
    r.meta_row = s.meta_row;
    r.meta_point_found = s.meta_point_found;
    if (r.template_index != s.template_index || r.template_row_offset != s.template_row_offset) {
        r.template_index = s.template_index;
        r.template_row_offset = s.template_row_offset;
        fill_insole_grid(resources_, *scan_, r);
    }
    for (int k = 0; k < first.count; ++k)
        build(first.builds[k].layer, first.builds[k].amount);
    for (int i = 0; i < kLayerCount; ++i) {
        const Layer layer = static_cast<Layer>(i);
        // The insole layers lie on the template as well: a new one means a new layer.
        const bool moved = covers_insole(layer) && s.layer_amount[i] != 0 &&
                           (built_on_[i].template_index != r.template_index ||
                            built_on_[i].row_offset != r.template_row_offset);
        if (built_amount_[i] != s.layer_amount[i] || moved) build(layer, s.layer_amount[i]);
    }
    if (colour_filter_ != s.colour_filter || colour_gain_ != s.colour_gain)
        apply_filter_gain(resources_, *scan_, r, s.colour_filter, s.colour_gain);
    colour_filter_ = s.colour_filter;
    colour_gain_ = s.colour_gain;
    r.shell_length = static_cast<int32_t>(s.controls[Control::kShellLength]);
    if (s.composed) return compose(s);
    fill_insole_relief(*scan_, r);
    return Result<>::success();
}

Result<> Design::compose(const State &s) {
    Result<> result = Result<>::success();
    const StampControls stamp = stamp_controls(s.controls);
    if (stamp.enabled && results_->meta_point_found) result = ensure_stamp(s.controls);
    // A stamp that failed to render is empty; the rest of the relief still follows the step.
    compose_relief(resources_, *scan_, *results_, stamp);
    return result;
}

void Design::build(Layer layer, float amount) {
    DesignResults &r = *results_;
    const int i = index(layer);
    if (r.layer_blank[i]) {
        std::fill(std::begin(r.layers[i]), std::end(r.layers[i]), 0.0f);
        r.layer_blank[i] = false;
    }
    layer_builder(layer)(LayerInputs{resources_, *scan_, r}, r.layers[i], amount);
    r.layer_amount[i] = amount;
    built_amount_[i] = amount;
    built_on_[i] = {r.template_index, r.template_row_offset};
}

void Design::take_snapshot() {
    const DesignResults &r = *results_;
    Snapshot snap;
    snap.relief.assign(r.relief_grid, r.relief_grid + kGridCells);
    snap.preview.assign(r.relief_preview, r.relief_preview + sizeof r.relief_preview);
    snapshots_.push_back(std::move(snap));
}

Result<> Design::ensure_stamp(const Controls &c) {
    DesignResults &r = *results_;
    const StampKey key = stamp_key_of(c);
    if (stamp_valid_ && key == stamp_key_) return Result<>::success();
    // The same bytes on every machine: the stamp is computed, never drawn by a driver.
    Result<> rendered =
        render_pad_stamp_cpu(resources_.pad_shape, resources_.pad_shape_peak, key.mirrored != 0,
                             key.width, key.length, key.height, r.pad_stamp, r.pad_stamp_stride);
    stamp_valid_ = rendered.ok();
    stamp_key_ = key;
    // Found once per stamp: the image view asks for the apex at every frame tick.
    stamp_apex_ = stamp_apex_cell(r.pad_stamp, r.pad_stamp_stride, key.width, key.length);
    return rendered;
}

std::vector<Step> Design::steps() const {
    return std::vector<Step>(steps_.begin(), steps_.begin() + static_cast<long>(position_));
}

PrintDescription print_description(const Design &design, const std::string &design_file) {
    auto file_name = [](const std::string &path) {
        const size_t slash = path.find_last_of('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    };
    PrintDescription about;
    about.scan = file_name(design.scan_path());
    about.side = design.scan().template_mirrored ? "right" : "left";
    about.size_label = design.size_label();
    about.design_file = file_name(design_file);
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        if (control_spec(c).optional_in_file && design.controls()[c] == 0) continue;
        std::ostringstream value;
        value << design.controls()[c];
        about.controls.emplace_back(control_spec(c).name, value.str());
    }
    return about;
}

}  // namespace pedaform

#include "design/design.h"

#include <openssl/evp.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "analysis/filter_gain.h"
#include "analysis/size_bin.h"
#include "relief/composition.h"
#include "relief/smoothing.h"

namespace pedaform {

namespace {

constexpr size_t kStampCacheSize = 16;

bool is_pad(Control c) {
    return static_cast<int>(c) <= static_cast<int>(Control::kHeel3);
}

PadSliderValues pad_values(const Controls &c) {
    return {c[Control::kMeta1], c[Control::kMeta2], c[Control::kHeel1], c[Control::kHeel2],
            c[Control::kHeel3]};
}

StampControls stamp_controls(const Controls &c) {
    StampControls s;
    s.enabled = c[Control::kStamp] != 0;
    s.width = c[Control::kPadWidth];
    s.length = c[Control::kPadLength];
    return s;
}

}  // namespace

bool Design::StampKey::operator==(const StampKey &o) const {
    return width == o.width && length == o.length && height == o.height && mirrored == o.mirrored;
}

Design::Design(Workspace &ws, ScanFileLoader loader, StampRenderer *renderer)
    : ws_(ws), loader_(loader), renderer_(renderer), states_(1) {}

Result Design::load(const std::string &path, ScanLoadResult *result, const Controls *start) {
    ws_.scan_loaded = 1;
    const Controls &base = start != nullptr ? *start : controls();
    const ScanLoadResult loaded = loader_(ws_, path.c_str(), base[Control::kGain]);
    if (result != nullptr) *result = loaded;
    if (!loaded.accepted()) return loaded.outcome;

    State s;
    s.controls = base;
    for (Control c : {Control::kMeta1, Control::kMeta2, Control::kHeel1, Control::kHeel2,
                      Control::kHeel3, Control::kStamp})
        s.controls[c] = 0;
    // A length that matches no bin takes nothing from the previous scan: the presets return
    // to their start values and no size is shown until the operator chooses one.
    const SizeBinChoice size = loaded.size;
    s.controls[Control::kPadWidth] = size.hit ? size.pad_width : Controls()[Control::kPadWidth];
    s.controls[Control::kPadLength] = size.hit ? size.pad_length : Controls()[Control::kPadLength];
    s.controls[Control::kPadHeight] = size.hit ? size.pad_height : Controls()[Control::kPadHeight];
    s.size_index = size.hit ? size_label_index(size.label) : -1;
    s.template_index = ws_.template_index;
    size_matched_ = size.hit;
    // The load colours the pressure with the gain alone; the filter acts once it is moved.
    s.colour_filter = colour_filter_ = 0;
    s.colour_gain = colour_gain_ = base[Control::kGain];
    s.meta_column = ws_.meta_column;
    s.meta_row = ws_.meta_row;
    s.meta_point_found = ws_.meta_point_found;
    point_found_ = ws_.meta_point_found != 0;
    found_column_ = ws_.meta_column;
    found_row_ = ws_.meta_row;
    std::fill(std::begin(built_amount_), std::end(built_amount_), 0.0f);  // the load clears them

    // The outline of an earlier export belongs to the earlier scan.
    ws_.outline_points.clear();
    ws_.outline_corners.clear();
    loaded_ = true;
    scan_path_ = path;
    scan_sha256_ = file_sha256(path);
    steps_.clear();
    states_.assign(1, s);
    snapshots_.clear();
    position_ = saved_position_ = 0;
    // The frame after a load composes the relief (the stamp is off).
    Result composed = compose(s);
    take_snapshot();
    return composed;
}

Result Design::set(Control c, double value) {
    if (controls()[c] == value) return Result::success();
    Step step;
    step.control = c;
    step.value = value;
    return apply(step);
}

Result Design::smooth() {
    Step step;
    step.kind = StepKind::kSmooth;
    return apply(step);
}

Result Design::move_meta_point(float column, float row) {
    if (state().meta_point_found && state().meta_column == column && state().meta_row == row)
        return Result::success();
    Step step;
    step.kind = StepKind::kMetaPoint;
    step.column = column;
    step.row = row;
    return apply(step);
}

Result Design::reset_meta_point() {
    if (!point_found_) return Result::success();
    return move_meta_point(found_column_, found_row_);
}

Result Design::choose_size(int index) {
    if (state().size_index == index) return Result::success();
    Step step;
    step.kind = StepKind::kSize;
    step.size = index;
    return apply(step);
}

const char *Design::size_label() const {
    return state().size_index < 0 ? "" : pedaform::size_label(state().size_index);
}

Design::State Design::transition(State s, const Step &step) {
    switch (step.kind) {
        case StepKind::kSet: {
            const Control c = step.control;
            s.controls[c] = step.value;
            if (is_pad(c)) {
                const PadSlider slider = static_cast<PadSlider>(c);
                const bool metatarsal = c == Control::kMeta1 || c == Control::kMeta2;
                if (metatarsal && step.value > 0)
                    s.layer_amount[kLoweringLayer] =
                        lowering_amount(s.controls[Control::kMeta1], s.controls[Control::kMeta2]);
                s.layer_amount[slider_layer(slider)] = static_cast<float>(step.value);
                s.composed = true;
            } else if (c == Control::kFilter || c == Control::kGain) {
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
            s.composed = true;
            break;
        case StepKind::kSize: {
            const SizeBinChoice size = size_of_label(step.size, s.template_index);
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

Result Design::apply(const Step &step) {
    State next = transition(state(), step);
    Result result = Result::success();
    switch (step.kind) {
        case StepKind::kSet: {
            const Control c = step.control;
            if (is_pad(c)) {
                // The slider's own action, console lines and all.
                if (next.controls[Control::kStamp] != 0 && ws_.meta_point_found)
                    result = ensure_stamp(next.controls);
                pad_slider_action(ws_, static_cast<PadSlider>(c), pad_values(next.controls),
                                  stamp_controls(next.controls));
                std::copy(std::begin(next.layer_amount), std::end(next.layer_amount),
                          std::begin(built_amount_));
            } else if (c == Control::kFilter || c == Control::kGain) {
                apply_filter_gain(ws_, next.colour_filter, next.colour_gain);
                colour_filter_ = next.colour_filter;
                colour_gain_ = next.colour_gain;
            } else {
                result = compose(next);
            }
            break;
        }
        case StepKind::kSmooth:
            smooth_relief(ws_);
            if (loaded_) {
                truncate_redo();
                take_snapshot();
                next.snapshot = snapshots_.size() - 1;
            }
            break;
        case StepKind::kMetaPoint:
            ws_.meta_column = next.meta_column;
            ws_.meta_row = next.meta_row;
            ws_.meta_point_found = 1;
            result = compose(next);
            break;
        case StepKind::kSize:
            ws_.template_index = next.template_index;
            result = compose(next);
            break;
    }
    record(step, next);
    return result;
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
        return;
    }
    truncate_redo();
    steps_.push_back(step);
    states_.push_back(next);
    ++position_;
}

Result Design::replay(const std::vector<Step> &steps) {
    for (const Step &step : steps) {
        truncate_redo();
        State next = transition(state(), step);
        if (step.kind == StepKind::kSmooth) {
            // Smoothing reads the relief: bring it up to this step first.
            Result r = materialize(state());
            if (!r) return r;
            smooth_relief(ws_);
            take_snapshot();
            next.snapshot = snapshots_.size() - 1;
        }
        steps_.push_back(step);
        states_.push_back(next);
        ++position_;
    }
    return materialize(state());
}

Result Design::undo() {
    if (!can_undo()) return Result::success();
    return restore(position_ - 1);
}

Result Design::redo() {
    if (!can_redo()) return Result::success();
    return restore(position_ + 1);
}

Result Design::restore(size_t position) {
    position_ = position;
    return materialize(state());
}

Result Design::materialize(const State &s) {
    const Snapshot &snap = snapshots_[s.snapshot];
    std::memcpy(ws_.relief_grid, snap.relief.data(), sizeof ws_.relief_grid);
    std::memcpy(ws_.relief_preview, snap.preview.data(), sizeof ws_.relief_preview);
    ws_.meta_column = s.meta_column;
    ws_.meta_row = s.meta_row;
    ws_.meta_point_found = s.meta_point_found;
    ws_.template_index = s.template_index;
    for (int layer = 0; layer < kLayerCount; ++layer)
        if (built_amount_[layer] != s.layer_amount[layer]) {
            build_layer(ws_, layer, s.layer_amount[layer]);
            built_amount_[layer] = s.layer_amount[layer];
        }
    if (colour_filter_ != s.colour_filter || colour_gain_ != s.colour_gain)
        apply_filter_gain(ws_, s.colour_filter, s.colour_gain);
    colour_filter_ = s.colour_filter;
    colour_gain_ = s.colour_gain;
    return s.composed ? compose(s) : Result::success();
}

Result Design::compose(const State &s) {
    Result result = Result::success();
    const StampControls stamp = stamp_controls(s.controls);
    if (stamp.enabled && ws_.meta_point_found) result = ensure_stamp(s.controls);
    // A stamp that failed to render is empty; the rest of the relief still follows the step.
    compose_relief(ws_, stamp);
    return result;
}

void Design::take_snapshot() {
    Snapshot snap;
    snap.relief.assign(ws_.relief_grid, ws_.relief_grid + kGridCells);
    snap.preview.assign(ws_.relief_preview, ws_.relief_preview + sizeof ws_.relief_preview);
    snapshots_.push_back(std::move(snap));
}

Result Design::ensure_stamp(const Controls &c) {
    const StampKey key{c[Control::kPadWidth], c[Control::kPadLength], c[Control::kPadHeight],
                       ws_.template_mirrored};
    if (stamp_valid_ && key == stamp_key_) return Result::success();
    for (auto it = stamp_cache_.begin(); it != stamp_cache_.end(); ++it) {
        if (!(it->key == key)) continue;
        std::memcpy(ws_.pad_stamp, it->bytes.data(), sizeof ws_.pad_stamp);
        ws_.pad_stamp_stride = it->stride;
        stamp_cache_.splice(stamp_cache_.begin(), stamp_cache_, it);
        stamp_valid_ = true;
        stamp_key_ = key;
        return Result::success();
    }
    stamp_valid_ = false;
    if (renderer_ == nullptr) {
        std::memset(ws_.pad_stamp, 0, sizeof ws_.pad_stamp);
        return Result::failure("the stamped pad needs OpenGL, and no context is available");
    }
    Result rendered = renderer_->render(ws_, key.width, key.length, key.height);
    if (!rendered) return rendered;
    stamp_cache_.push_front({key, ws_.pad_stamp_stride,
                             std::vector<uint8_t>(ws_.pad_stamp, ws_.pad_stamp + kPadStampBytes)});
    if (stamp_cache_.size() > kStampCacheSize) stamp_cache_.pop_back();
    stamp_valid_ = true;
    stamp_key_ = key;
    return Result::success();
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
    about.side = design.workspace().template_mirrored ? "right" : "left";
    about.size_label = design.size_label();
    about.design_file = file_name(design_file);
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        std::ostringstream value;
        value << design.controls()[c];
        about.controls.emplace_back(control_spec(c).name, value.str());
    }
    return about;
}

std::string file_sha256(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    if (ctx == nullptr || EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(ctx);
        return std::string();
    }
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        if (in.gcount() > 0) EVP_DigestUpdate(ctx, buffer, static_cast<size_t>(in.gcount()));
    }
    const bool read_all = in.eof();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx, digest, &length);
    EVP_MD_CTX_free(ctx);
    if (!read_all) return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace pedaform

// The design model: the loaded scan, the control values and the ordered steps since the load,
// with undo and redo. Both front ends drive a design through these calls and nothing else: a
// GUI callback is one call here plus its widget updates, a batch option is the same call.
//
// Every step takes one path: transition() works out the state it leads to (the controls, each
// layer's amount, the point, the template, whether a composition is due) and materialize()
// makes the results show that state. The layers depend on their amounts alone and the
// composition overwrites every foot cell, so the relief at a step is the relief after the last
// smoothing pass before it (a snapshot), composed again from the step's values when a composing
// step came after that pass; materialize() builds only the layers whose amount or template
// changed. A step the operator makes also rebuilds first the layers its control builds, in the
// control's order, so that its console lines are those of the control's action. Undo, redo,
// replay and opening a design file materialize recorded states.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/scan_loader.h"
#include "design/controls.h"
#include "model3d/print_3mf.h"
#include "relief/composition.h"
#include "relief/dome_placement.h"
#include "core/design_results.h"
#include "core/resources.h"
#include "core/result.h"
#include "core/scan.h"
#include "core/warnings.h"
#include "order/order_data.h"

namespace pedaform {

// Reads the scan file at `path` into `scan` (load_scan_file in io/).
using ScanFileLoader = Result<ScanLoadResult> (*)(Scan &scan, const char *path);

// Judges a scan that was read and accepted, before it replaces the design's scan: the loader's
// result (the checksum of the bytes it read included) and the controls the load starts from. A
// failure refuses the load with its reason.
using LoadCheck = std::function<Result<>(const ScanLoadResult &loaded, const Controls &start)>;

// True for the controls a load sets itself: those reset to 0 (reset_at_load) and the stamped
// pad's size presets. Filter and gain carry over.
bool set_by_load(Control c);

enum class StepKind {
    kSet,        // a control moved to `value`
    kSmooth,     // one "Smooth" (also the smoothing before an engraving export)
    kMetaPoint,  // the metatarsal point moved to (column, row)
    kSize,       // the operator chose size label `size` (an index of size_label)
    // The dome placed `value` millimetres behind the metatarsal heads (place_dome_behind_heads),
    // worked out on the scan the step runs on: an intent rather than a cell, so that a design
    // opened on another scan places the dome behind that foot's heads.
    kDomeBehindHeads,
};

// What a call that may record a step did to the steps: nothing, a step added, the last step
// changed in place (a gesture's point moved again), or the last step taken back (a gesture
// moved back to where it started).
enum class StepRecord { kNone, kAdded, kAmended, kWithdrawn };

struct Step {
    StepKind kind = StepKind::kSet;
    Control control = Control::kMeta1;
    double value = 0;
    float column = 0, row = 0;
    int size = 0;  // kSize: an index of size_label
};

class Design {
  public:
    // `resources` must outlive the design and is only read; any number of designs may share
    // it.
    Design(const Resources &resources, ScanFileLoader loader);

    const Resources &resources() const { return resources_; }
    // The loaded scan (the start-up layout before any) and what the steps made of it. Both
    // stay at the same address for the design's life.
    const Scan &scan() const { return *scan_; }
    const DesignResults &results() const { return *results_; }
    const Controls &controls() const { return state().controls; }
    bool loaded() const { return loaded_; }
    // The loaded scan's path as given and the SHA-256 of its bytes (64 hex digits).
    const std::string &scan_path() const { return scan_path_; }
    const std::string &scan_sha256() const { return scan_sha256_.hex(); }
    // The size label shown: the bin the scan matched or the one the operator chose; "" when
    // its length matched no bin and none was chosen.
    const char *size_label() const;
    // False when the loaded scan's length matched no size bin.
    bool size_matched() const { return size_matched_; }
    // For a length that matched no bin: the bin nearest to it, whose presets the load took;
    // nullptr otherwise.
    const SizeBin *nearest_size() const { return nearest_size_; }
    // True when the outline search's point looks wrong for a metatarsal pad: further than
    // kSearchPointFarMm heel-ward of the heads' line, or off the insole.
    bool search_point_doubtful() const { return search_point_doubtful_; }
    // What the load found doubtful, in the words of core/warnings.h: a length that matched no
    // size bin (it holds until a size is chosen; none for a scan without an outline), a
    // doubtful search point (not judged on unsound landmarks; it holds while the point in use
    // is the search's: placing the point or the dome ends it), and landmarks or an outline that
    // cannot carry the steps placed from them (analysis/landmark_check.h).
    std::optional<Warning> size_warning() const;
    std::optional<Warning> search_point_warning() const;
    const std::optional<Warning> &landmark_warning() const { return landmark_problem_; }
    // The control values right after the load: what a design file starts from.
    const Controls &start_controls() const { return states_.front().controls; }

    // Loads a scan: a refused file changes nothing of the design and fails with the loader's
    // reason, or `check`'s when it refuses the scan. On success the pad sliders return to 0,
    // the stamp switches off, the size presets apply, the relief is composed once (the stamp
    // being off, nothing can fail) and the steps start afresh; the loader's result is returned.
    // `start`, when given, replaces the controls the load starts from (opening a design file).
    Result<ScanLoadResult> load(const std::string &path, const Controls *start = nullptr,
                                const LoadCheck &check = nullptr);

    // Moves a control (the value is the control's own, already valid). A step is recorded only
    // when the value changes. Fails only when the stamp had to be rendered and could not be.
    // Successive changes of one control amend one step instead of adding one each: while a
    // gesture is open (a drag of the control), or when `at` (the operator's time, seconds on a
    // steady clock) lies less than kAmendSeconds after the change before it (a burst of keys).
    // Any other step, undo, redo or a load between them ends the amending; a change back to the
    // value before the step leaves no step.
    Result<> set(Control c, double value, std::optional<double> at = std::nullopt);
    Result<> smooth();
    Result<> move_meta_point(float column, float row);
    // A press-drag-release of the point is one step: while a gesture is open, a point move
    // replaces the point step this gesture recorded instead of adding one, and a move back to
    // where the gesture started leaves no step. Undo, redo, a load or any other step end the
    // gesture's claim on its step; close_gesture() ends the gesture.
    void open_gesture() { gesture_open_ = true, gesture_step_ = 0; }
    void close_gesture() { gesture_open_ = false, gesture_step_ = 0; }
    static constexpr double kAmendSeconds = 1.0;
    // Back to the point the search found at the load (nothing when it found none).
    Result<> reset_meta_point();
    // The stamped dome's apex (its highest cell) at the current pad size and point, in grid
    // cells; the operator places this rather than the point it hangs from.
    GridPoint dome_apex() const;
    // Moves the point so that the apex lands on the cell (the point kept on the grid): one
    // metatarsal point step.
    Result<> move_dome_apex(float column, float row);
    // "依蹠骨頭放置": the apex where the dome's distal edge lies `mm` behind the forefoot's
    // pressure peak along the foot's axis (dome_apex_behind_peak, at the current pad size): one
    // step of its own (StepKind::kDomeBehindHeads), which moves the metatarsal point. Without
    // pressure in the forefoot's band, the apex `mm` heel-ward of the heads' line instead
    // (dome_apex_behind_heads), and the warning that says so. Refused, like the controls that
    // need landmarks, with the landmark warning's words on a scan whose landmarks are not sound.
    Result<Warnings> place_dome_behind_heads(double mm = kDomeBehindHeadsMm);
    // The millimetres of the dome step that put the metatarsal point where it is; none when a
    // point step (or the load) put it there.
    std::optional<double> dome_behind_heads_mm() const { return state().dome_mm; }
    // The dome step's fallback, said again for a dome step that was not run live (a design or
    // pair file replayed, a foot taking the other foot's settings): the point in use came from a
    // dome step on a scan with no pressure under the heads, so the dome stands on the line
    // through the heads. None otherwise.
    std::optional<Warning> dome_step_warning() const;
    // The operator's hand on the image view: with the stamped pad on, the dome's apex goes to
    // the cell, otherwise the metatarsal point; a cell off the insole (foot or template) is
    // replaced by the nearest insole cell. What it moves is hand_position().
    Result<> place_by_hand(float column, float row);
    GridPoint hand_position() const;
    // The size of label `index` (size_label), as if its bin had matched in that family: the
    // template, the label and the stamped pad's presets. The template is moved along the rows
    // so that its lowest row meets the foot's heel end.
    Result<> choose_size(int index);

    // Runs a recorded step as a live one: the state it leads to, made real as undo makes it,
    // with the console lines of the control's own action.
    Result<> apply(const Step &step);
    // Records steps on the loaded scan and makes only the last state real (smoothing steps
    // also make the state before them real, since they read the relief): the result equals
    // running each step live. A step the scan cannot take ends the replay with its reason.
    Result<> replay(const std::vector<Step> &steps);

    bool can_undo() const { return position_ > 0; }
    bool can_redo() const { return position_ < steps_.size(); }
    // Back to the state before the last step (never past the load), or forward again. The
    // relief, layers, colours, stamp, point and controls become those of that step.
    Result<> undo();
    Result<> redo();

    // The steps from the load to the current position (what a design file holds).
    std::vector<Step> steps() const;
    // What the last call that may record a step (a step, undo and redo aside) did.
    StepRecord last_record() const { return last_record_; }
    size_t position() const { return position_; }
    // The order data kept with the design (order/order_data.h), which must pass check_order.
    // It is no step: undo and redo leave it. A load starts without one, like the steps;
    // opening a design file gives the file's.
    const OrderData &order() const { return order_; }
    void set_order(const OrderData &order) { order_ = order; }

    // True when the position differs from the one last saved or opened, or the order from the
    // one saved or opened with it.
    bool modified() const { return position_ != saved_position_ || order_ != saved_order_; }
    void mark_saved() { saved_position_ = position_, saved_order_ = order_; }

  private:
    // Everything a step decides, small enough to keep one per step.
    struct State {
        Controls controls;
        float layer_amount[kLayerCount] = {};
        double colour_filter = 0, colour_gain = 3;  // what colour_grid was made with
        float meta_column = 0, meta_row = 0;
        uint8_t meta_point_found = 1;
        std::optional<int32_t> template_index = 0;
        int32_t template_row_offset = 0;
        std::optional<int> size_index;  // the label shown
        std::optional<double> dome_mm;  // the dome step that placed the point, if one did
        size_t snapshot = 0;    // the relief and preview after the load or the last smoothing
        bool composed = false;  // a composing step came after that snapshot
    };
    struct Snapshot {
        std::vector<uint8_t> relief, preview;
    };
    struct StampKey {
        double width, length, height;
        int32_t mirrored;
        bool operator==(const StampKey &o) const;
    };
    static constexpr size_t kNeverSaved = static_cast<size_t>(-1);

    const State &state() const { return states_[position_]; }
    // The parts of a load: the results and the first state from the new scan, and whether the
    // outline search's point looks wrong.
    void start_results(double gain);
    State start_state(const Controls &base, const SizeBinChoice &size);
    void judge_search_point();
    // Fails, in the landmark warning's words, when `step` needs landmarks the scan lacks (a
    // dome step always does).
    Result<> step_allowed(const Step &step) const;
    // The state a step leads to, without running anything. A dome step's point comes from
    // point_of_dome_step, worked out before.
    State transition(State s, const Step &step, GridPoint dome_point = {}) const;
    // Where a dome step puts the metatarsal point on this scan at the current pad size
    // (place_dome_behind_heads); the fallback's warning is added to `said` when given.
    GridPoint point_of_dome_step(double mm, Warnings *said = nullptr);
    // The apex's cell on the grid for a metatarsal point that puts it on (column, row).
    GridPoint point_for_apex(float column, float row);
    // Where the apex sits in the stamp of the current pad size (rendered when needed).
    GridPoint apex_cell();
    StampKey stamp_key_of(const Controls &c) const;
    void record(const Step &step, const State &next);
    // Takes back the last step when it is the one an open gesture or a burst recorded (`kind`,
    // and for kSet `control`); true when it did.
    bool take_back_amended(StepKind kind, Control control, bool burst);
    void truncate_redo();
    // Makes the results show `s`: the snapshot, the layers it needs, the colours, and the
    // composition when a composing step came after the snapshot. `first` lists layers to build
    // before any other, in order, even when already built (a live slider's own action).
    Result<> materialize(const State &s, const LayerBuilds &first = LayerBuilds());
    // Builds one layer for `amount` on the results' template.
    void build(Layer layer, float amount);
    Result<> restore(size_t position);
    // Smooths the relief as it is and keeps it as the snapshot `next` starts from.
    void smooth_from_here(State &next);
    Result<> compose(const State &s);
    Result<> ensure_stamp(const Controls &c);
    void take_snapshot();

    const Resources &resources_;
    std::unique_ptr<Scan> scan_;
    std::unique_ptr<DesignResults> results_;
    ScanFileLoader loader_;
    bool loaded_ = false;
    std::string scan_path_;
    FileDigest scan_sha256_;
    bool size_matched_ = true;
    const SizeBin *nearest_size_ = nullptr;
    bool search_point_doubtful_ = false;
    std::optional<Warning> landmark_problem_;
    float found_column_ = 0, found_row_ = 0;  // the search's point
    bool point_found_ = false;
    double colour_filter_ = 0, colour_gain_ = 3;  // what the colour grid holds now
    std::vector<Step> steps_;                     // every step, the redo tail included
    std::vector<State> states_;                   // states_[i]: after i steps
    std::vector<Snapshot> snapshots_;
    size_t position_ = 0;
    size_t saved_position_ = 0;
    OrderData order_, saved_order_;
    float built_amount_[kLayerCount] = {};
    // The template each layer was last built on, and its row offset.
    struct BuiltOn {
        std::optional<int32_t> template_index = 0;
        int32_t row_offset = 0;
    };
    BuiltOn built_on_[kLayerCount];
    bool gesture_open_ = false;
    size_t gesture_step_ = 0;  // the position after the step the open gesture recorded; 0: none
    size_t burst_step_ = 0;    // the position after the last timed control change; 0: none
    double burst_at_ = 0;      // its time
    StepRecord last_record_ = StepRecord::kNone;
    bool stamp_valid_ = false;  // the results' stamp is the one of stamp_key_
    StampKey stamp_key_{};
    GridPoint stamp_apex_;  // stamp_apex_cell of the stamp of stamp_key_
};

// What a printed file says of the design: the scan's name, the foot's side, the size, the name
// of `design_file` (the design's file, "" when it has none) and every control's value.
PrintDescription print_description(const Design &design, const std::string &design_file);

}  // namespace pedaform

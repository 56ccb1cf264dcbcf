// The design model: the loaded scan, the control values and the ordered steps since the load,
// with undo and redo. Both front ends drive a design through these calls and nothing else: a
// GUI callback is one call here plus its widget updates, a batch option is the same call.
//
// A live step runs the actions exactly as the operator's control would (console lines
// included). Undo, redo and opening a design file restore a step's state without re-running
// every action: the layers depend on their amounts alone, and the composition overwrites every
// foot cell, so the relief at a step is the relief after the last smoothing pass before it,
// composed again from the step's values when a composing step came after that pass.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "analysis/scan_loader.h"
#include "design/controls.h"
#include "model3d/print_3mf.h"
#include "workspace/result.h"
#include "workspace/workspace.h"

namespace pedaform {

// Renders the stamped pad's picture into ws.pad_stamp and pad_stamp_stride for width W, length
// L (cells) and height H (mm). The GUI implements it with the image view's OpenGL context, the
// batch command with an off-screen one. A failure leaves the stamp empty and says why.
class StampRenderer {
  public:
    virtual ~StampRenderer() = default;
    virtual Result render(Workspace &ws, double width, double length, double height) = 0;
};

// Reads the scan file at `path` and loads it into the workspace (load_scan_file in io/).
using ScanFileLoader = ScanLoadResult (*)(Workspace &ws, const char *path, double gain);

enum class StepKind {
    kSet,        // a control moved to `value`
    kSmooth,     // one "Smooth" (also the smoothing before an engraving export)
    kMetaPoint,  // the metatarsal point moved to (column, row)
    kSize,       // the operator chose size label `size` (an index of size_label)
};

struct Step {
    StepKind kind = StepKind::kSet;
    Control control = Control::kMeta1;
    double value = 0;
    float column = 0, row = 0;
    int size = -1;
};

class Design {
  public:
    // `ws` must outlive the design; `renderer` may be null (a stamp then fails to render).
    Design(Workspace &ws, ScanFileLoader loader, StampRenderer *renderer);

    Workspace &workspace() { return ws_; }
    const Workspace &workspace() const { return ws_; }
    const Controls &controls() const { return state().controls; }
    bool loaded() const { return loaded_; }
    // The loaded scan's path as given and the SHA-256 of its bytes (64 hex digits).
    const std::string &scan_path() const { return scan_path_; }
    const std::string &scan_sha256() const { return scan_sha256_; }
    // The size label shown: the bin the scan matched or the one the operator chose; "" when
    // its length matched no bin and none was chosen.
    const char *size_label() const;
    // False when the loaded scan's length matched no size bin.
    bool size_matched() const { return size_matched_; }
    // The control values right after the load: what a design file starts from.
    const Controls &start_controls() const { return states_.front().controls; }

    // Loads a scan: a refused file changes nothing of the design (scan_loaded aside, which is
    // set as soon as a name is given) and returns the loader's reason. On success the pad
    // sliders return to 0, the stamp switches off, the size presets apply, the relief is
    // composed once and the steps start afresh. `result` receives the loader's outcome.
    // `start`, when given, replaces the controls the load starts from (opening a design file).
    Result load(const std::string &path, ScanLoadResult *result = nullptr,
                const Controls *start = nullptr);

    // Moves a control (the value is the control's own, already valid). A step is recorded only
    // when the value changes. Fails only when the stamp had to be rendered and could not be.
    Result set(Control c, double value);
    Result smooth();
    Result move_meta_point(float column, float row);
    // Back to the point the search found at the load (nothing when it found none).
    Result reset_meta_point();
    // The size of label `index` (size_label), as if its bin had matched in that family: the
    // template, the label and the stamped pad's presets.
    Result choose_size(int index);

    // Runs a recorded step as a live one.
    Result apply(const Step &step);
    // Applies steps on the loaded scan as undo would restore them: the result equals running
    // each step live, without re-running every action.
    Result replay(const std::vector<Step> &steps);

    bool can_undo() const { return position_ > 0; }
    bool can_redo() const { return position_ < steps_.size(); }
    // Back to the state before the last step (never past the load), or forward again. The
    // relief, layers, colours, stamp, point and controls become those of that step.
    Result undo();
    Result redo();

    // The steps from the load to the current position (what a design file holds).
    std::vector<Step> steps() const;
    size_t position() const { return position_; }
    // True when the position differs from the one last saved or opened.
    bool modified() const { return position_ != saved_position_; }
    void mark_saved() { saved_position_ = position_; }

  private:
    // Everything a step decides, small enough to keep one per step.
    struct State {
        Controls controls;
        float layer_amount[kLayerCount] = {};
        double colour_filter = 0, colour_gain = 3;  // what colour_grid was made with
        float meta_column = 0, meta_row = 0;
        uint8_t meta_point_found = 1;
        int32_t template_index = 0;
        int size_index = -1;    // the label shown, -1 for none
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
    struct CachedStamp {
        StampKey key;
        int32_t stride;
        std::vector<uint8_t> bytes;
    };

    static constexpr size_t kNeverSaved = static_cast<size_t>(-1);

    const State &state() const { return states_[position_]; }
    // The state a step leads to, without running anything.
    static State transition(State s, const Step &step);
    void record(const Step &step, const State &next);
    void truncate_redo();
    // Makes the workspace show `s`: the snapshot, the layers it needs, the colours, and the
    // composition when a composing step came after the snapshot.
    Result materialize(const State &s);
    Result restore(size_t position);
    Result compose(const State &s);
    Result ensure_stamp(const Controls &c);
    void take_snapshot();

    Workspace &ws_;
    ScanFileLoader loader_;
    StampRenderer *renderer_;
    bool loaded_ = false;
    std::string scan_path_, scan_sha256_;
    bool size_matched_ = true;
    float found_column_ = 0, found_row_ = 0;  // the search's point
    bool point_found_ = false;
    double colour_filter_ = 0, colour_gain_ = 3;  // what colour_grid holds now
    std::vector<Step> steps_;                     // every step, the redo tail included
    std::vector<State> states_;                   // states_[i]: after i steps
    std::vector<Snapshot> snapshots_;
    size_t position_ = 0;
    size_t saved_position_ = 0;
    float built_amount_[kLayerCount] = {};
    bool stamp_valid_ = false;
    StampKey stamp_key_{};
    std::list<CachedStamp> stamp_cache_;  // most recently used first
};

// What a printed file says of the design: the scan's name, the foot's side, the size, the name
// of `design_file` (the design's file, "" when it has none) and every control's value.
PrintDescription print_description(const Design &design, const std::string &design_file);

// The SHA-256 of a file's bytes as 64 lower-case hex digits; "" when it cannot be read.
std::string file_sha256(const std::string &path);

}  // namespace pedaform

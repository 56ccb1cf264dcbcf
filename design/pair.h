// A pair: the left and the right foot's designs over one Resources, whether their settings are
// linked, and the pair's own undo history. Both front ends drive a pair through these calls; each
// is the foot's Design call (design/design.h), made on both feet where the feet are linked.
//
// Linked (the default), a control, a size and a dome step (place_dome_behind_heads) move both
// feet to the same value: the controls are side-neutral (the arch is medial on both feet, the
// pads mirror by side) and a dome step is worked out on each foot's own heads. The stamped pad's
// size controls and the size itself are linked only while the feet's lengths fall in one size
// bin. The metatarsal point, the dome's apex and smoothing always belong to one foot. Unlinked,
// every step moves one foot.
//
// The pair's history: each entry records how many steps each foot took, and whether the feet
// were linked before and after, so that one undo takes a linked change back on both feet. A
// Design's step that is amended (a gesture's point moved again) stays in its entry; one that is
// withdrawn (the gesture back where it started) leaves its entry, and an entry with nothing left
// goes. Loading a scan into a foot forgets that foot's part of every entry.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "design/design.h"
#include "design/proposal.h"
#include "design/side_by_side.h"
#include "relief/foot_axis.h"

namespace pedaform {

class Pair {
  public:
    // `resources` must outlive the pair and is only read.
    Pair(const Resources &resources, ScanFileLoader loader);

    // Each foot's design; its address stays the same until adopt() replaces it.
    Design &design(Foot foot) { return *designs_[foot_index(foot)]; }
    const Design &design(Foot foot) const { return *designs_[foot_index(foot)]; }
    bool both_loaded() const;
    bool linked() const { return linked_; }
    // True unless both feet are loaded and their lengths fall in different size bins.
    bool sizes_linked() const;
    // True when moving `c` on one foot now moves the other as well.
    bool moves_both(Control c) const;
    // True when the feet hold the same linked settings: each control that would move both, and
    // the dome step behind the current point. True unless both feet are loaded.
    bool same_settings() const;

    // Loads a scan into one foot (Design::load); its steps start afresh and leave the pair's
    // history. With the other foot loaded, the new foot takes its order (one order for the
    // pair), and, with the feet linked, its settings (take_settings) as one step of the pair.
    Result<ScanLoadResult> load(Foot foot, const std::string &path);
    // A design over the pair's resources and loader, not yet the pair's.
    std::unique_ptr<Design> new_design() const;
    // Replaces a foot's design by one made elsewhere (a pair file opened into fresh designs);
    // the pair's history forgets that foot's steps.
    void adopt(Foot foot, std::unique_ptr<Design> design);
    // Sets whether the feet are linked, outside the history (what a pair file says).
    void set_linked(bool linked) { linked_ = linked; }

    // The steps, each the Design call of the same name.
    Result<> set(Foot foot, Control c, double value, std::optional<double> at = std::nullopt);
    Result<> choose_size(Foot foot, int index);
    // The dome step's warnings (Design::place_dome_behind_heads), named by warning_of_foot when
    // both feet are loaded.
    Result<Warnings> place_dome_behind_heads(Foot foot, double mm = kDomeBehindHeadsMm);
    // Smooths `foot`, and with `both` the other loaded foot too, as one step of the pair (an
    // export of both feet's engravings).
    Result<> smooth(Foot foot, bool both = false);
    Result<> move_meta_point(Foot foot, float column, float row);
    Result<> move_dome_apex(Foot foot, float column, float row);
    Result<> place_by_hand(Foot foot, float column, float row);
    Result<> reset_meta_point(Foot foot);
    // The proposal (design/proposal.h) on `foot`, and with the feet linked on the other loaded
    // foot too, each foot's own values from its own scan; one step of the pair. Gives each
    // proposed foot's values and reasons (empty for a foot not proposed).
    Result<std::array<std::vector<ProposedValue>, kFootCount>> propose(Foot foot);
    // Relinks the feet: the other foot takes the settings of `values_from`. One step of the pair.
    Result<> link(Foot values_from);
    // Unlinks them: one step of the pair, with no step of either foot.
    void unlink();

    bool can_undo() const { return position_ > 0; }
    bool can_redo() const { return position_ < history_.size(); }
    Result<> undo();
    Result<> redo();

    // The pair's order (Design::order): the left foot's, or the right's while it alone is
    // loaded. set_order gives both feet the order (it must pass check_order); like the order of
    // one foot, it is no step and marks the pair modified until saved.
    const OrderData &order() const;
    void set_order(const OrderData &order);

    // True when either foot has unsaved steps or order, or the link changed since the last
    // save.
    bool modified() const;
    void mark_saved();

  private:
    struct Entry {
        std::array<uint32_t, kFootCount> steps = {};
        bool linked_before = true, linked_after = true;
        bool empty() const;
    };
    Entry new_entry() const;
    // Counts what the foot's last call recorded into `e`.
    void note(Foot foot, Entry &e);
    void push(const Entry &e);
    // Takes the foot's last step out of the latest entry that holds one.
    void withdraw(Foot foot);
    void forget(Foot foot);
    // Steps on `to` that give it the settings of `from`: the size (when the sizes are linked),
    // the controls in their batch order with the dome step among them where the batch command
    // places it.
    Result<> take_settings(Foot from, Foot to, Entry &e);
    // `op` on `foot`, then on the other foot when `both`; one entry. `beside`: the other foot's
    // `op` runs on the helper thread meanwhile (design/side_by_side.h), for an op that changes
    // nothing but the design it is given.
    template <typename Op>
    Result<> step(Foot foot, bool both, Op op, bool beside = false);

    const Resources &resources_;
    ScanFileLoader loader_;
    std::array<std::unique_ptr<Design>, kFootCount> designs_;
    bool linked_ = true;
    bool saved_linked_ = true;
    std::vector<Entry> history_;
    size_t position_ = 0;
    std::unique_ptr<SideBySide> side_by_side_ = std::make_unique<SideBySide>();
};

// The file name of one foot's export of a pair: "_L" or "_R" before the extension of the last
// component ("insole.stl" -> "insole_L.stl", "out/insole" -> "out/insole_L").
std::string pair_foot_file_name(const std::string &path, Foot foot);

// A foot's warning as a pair says it: "left foot: " / "右腳：" and so on before its words.
Warning warning_of_foot(Foot foot, const Warning &warning);

}  // namespace pedaform

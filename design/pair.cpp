#include "design/pair.h"

#include <algorithm>

#include "analysis/size_bin.h"

namespace pedaform {

namespace {

constexpr Foot kFeet[] = {Foot::kLeft, Foot::kRight};

// A dome step's failure, its warnings left: a load that gives a foot the other's settings says
// only whether it failed.
Result<> dome_taken(const Result<Warnings> &placed) {
    if (!placed) return placed.reason();
    return Result<>::success();
}

// True when a step chose the design's size (rather than the load's match).
bool size_chosen(const Design &d) {
    for (const Step &s : d.steps())
        if (s.kind == StepKind::kSize) return true;
    return false;
}

}  // namespace

bool Pair::Entry::empty() const {
    return steps[0] == 0 && steps[1] == 0 && linked_before == linked_after;
}

Pair::Pair(const Resources &resources, ScanFileLoader loader)
    : resources_(resources), loader_(loader) {
    for (auto &d : designs_)
        d = new_design();
}

std::unique_ptr<Design> Pair::new_design() const {
    return std::make_unique<Design>(resources_, loader_);
}

bool Pair::both_loaded() const {
    return design(Foot::kLeft).loaded() && design(Foot::kRight).loaded();
}

bool Pair::sizes_linked() const {
    if (!both_loaded()) return true;
    return &nearest_size_bin(design(Foot::kLeft).scan().insole_length) ==
           &nearest_size_bin(design(Foot::kRight).scan().insole_length);
}

bool Pair::moves_both(Control c) const {
    return linked_ && (!preset_by_size(c) || sizes_linked());
}

bool Pair::same_settings() const {
    if (!both_loaded()) return true;
    const Design &left = design(Foot::kLeft), &right = design(Foot::kRight);
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        if (preset_by_size(c) && !sizes_linked()) continue;
        if (left.controls()[c] != right.controls()[c]) return false;
    }
    return left.dome_behind_heads_mm() == right.dome_behind_heads_mm();
}

Pair::Entry Pair::new_entry() const {
    Entry e;
    e.linked_before = e.linked_after = linked_;
    return e;
}

void Pair::note(Foot foot, Entry &e) {
    switch (design(foot).last_record()) {
        case StepRecord::kAdded:
            ++e.steps[foot_index(foot)];
            break;
        case StepRecord::kWithdrawn:
            withdraw(foot);
            break;
        case StepRecord::kNone:
        case StepRecord::kAmended:
            break;
    }
}

void Pair::push(const Entry &e) {
    if (e.empty()) return;
    history_.resize(position_);
    history_.push_back(e);
    position_ = history_.size();
}

void Pair::withdraw(Foot foot) {
    const int f = foot_index(foot);
    for (size_t k = position_; k-- > 0;) {
        if (history_[k].steps[f] == 0) continue;
        --history_[k].steps[f];
        if (history_[k].empty()) {
            history_.erase(history_.begin() + static_cast<long>(k));
            --position_;
        }
        return;
    }
}

void Pair::forget(Foot foot) {
    const int f = foot_index(foot);
    std::vector<Entry> kept;
    size_t position = 0;
    for (size_t k = 0; k < history_.size(); ++k) {
        Entry e = history_[k];
        e.steps[f] = 0;
        if (e.empty()) continue;
        kept.push_back(e);
        if (k < position_) ++position;
    }
    history_ = std::move(kept);
    position_ = position;
}

template <typename Op>
Result<> Pair::step(Foot foot, bool both, Op op, bool beside) {
    Entry e = new_entry();
    const Foot other = other_foot(foot);
    both = both && design(other).loaded();
    Result<> result = Result<>::success(), theirs = Result<>::success();
    if (both && beside)
        side_by_side_->run([&] { result = op(design(foot)); }, [&] { theirs = op(design(other)); });
    else
        result = op(design(foot));
    note(foot, e);
    if (both) {
        if (!beside) theirs = op(design(other));
        note(other, e);
        if (result) result = theirs;
    }
    push(e);
    return result;
}

Result<ScanLoadResult> Pair::load(Foot foot, const std::string &path) {
    Result<ScanLoadResult> loaded = design(foot).load(path);
    if (!loaded) return loaded;
    forget(foot);
    if (design(other_foot(foot)).loaded()) design(foot).set_order(design(other_foot(foot)).order());
    if (linked_ && design(other_foot(foot)).loaded()) {
        Entry e = new_entry();
        const Result<> taken = take_settings(other_foot(foot), foot, e);
        push(e);
        if (!taken) return taken.reason();
    }
    return loaded;
}

void Pair::adopt(Foot foot, std::unique_ptr<Design> design) {
    designs_[foot_index(foot)] = std::move(design);
    forget(foot);
}

Result<> Pair::take_settings(Foot from, Foot to, Entry &e) {
    const Design &source = design(from);
    Design &target = design(to);
    Result<> result = Result<>::success();
    auto keep = [&](Result<> r) {
        note(to, e);
        if (result) result = r;
    };
    // The size when the source's was chosen or the target has none; a size both feet matched
    // at their loads stays each foot's own (its template's family).
    const std::optional<int> size = size_label_index(source.size_label());
    if (sizes_linked() && size && (size_chosen(source) || target.size_label()[0] == '\0'))
        keep(target.choose_size(*size));
    bool dome_placed = false;
    for (Control c : controls_in_batch_order()) {
        if (!dome_placed && control_spec(c).batch_order >= kBatchAfterPoint) {
            dome_placed = true;
            const std::optional<double> mm = source.dome_behind_heads_mm();
            if (mm && target.dome_behind_heads_mm() != mm)
                keep(dome_taken(target.place_dome_behind_heads(*mm)));
        }
        if (preset_by_size(c) && !sizes_linked()) continue;
        keep(target.set(c, source.controls()[c]));
    }
    return result;
}

Result<> Pair::set(Foot foot, Control c, double value, std::optional<double> at) {
    return step(
        foot, moves_both(c), [&](Design &d) { return d.set(c, value, at); }, true);
}

Result<std::array<std::vector<ProposedValue>, kFootCount>> Pair::propose(Foot foot) {
    std::array<std::vector<ProposedValue>, kFootCount> values;
    std::array<uint32_t, kFootCount> taken = {};
    Result<> result = Result<>::success();
    for (Foot f : {foot, other_foot(foot)}) {
        if (f != foot && !(linked_ && design(f).loaded())) break;
        const size_t before = design(f).position();
        Result<std::vector<ProposedValue>> proposed = pedaform::propose(design(f));
        taken[foot_index(f)] = static_cast<uint32_t>(design(f).position() - before);
        if (!proposed) {
            result = proposed.reason();
            break;
        }
        values[foot_index(f)] = std::move(*proposed);
    }
    // Ordinary steps: the k-th entry holds each foot's k-th proposed step, so that one undo
    // takes back one step (on both feet when both were proposed), as for any other control.
    for (uint32_t k = 0; k < std::max(taken[0], taken[1]); ++k) {
        Entry e = new_entry();
        for (size_t f = 0; f < e.steps.size(); ++f)
            e.steps[f] = k < taken[f] ? 1 : 0;
        push(e);
    }
    if (!result) return result.reason();
    return values;
}

Result<> Pair::choose_size(Foot foot, int index) {
    return step(
        foot, linked_ && sizes_linked(), [&](Design &d) { return d.choose_size(index); }, true);
}

Result<Warnings> Pair::place_dome_behind_heads(Foot foot, double mm) {
    Warnings said;
    const Result<> placed = step(foot, linked_, [&](Design &d) -> Result<> {
        const Result<Warnings> r = d.place_dome_behind_heads(mm);
        if (!r) return r.reason();
        const Foot own = &d == &design(Foot::kLeft) ? Foot::kLeft : Foot::kRight;
        for (const Warning &warning : *r)
            said.add(both_loaded() ? warning_of_foot(own, warning) : warning);
        return Result<>::success();
    });
    if (!placed) return placed.reason();
    return said;
}

Result<> Pair::smooth(Foot foot, bool both) {
    return step(
        foot, both, [](Design &d) { return d.smooth(); }, true);
}

Result<> Pair::move_meta_point(Foot foot, float column, float row) {
    return step(foot, false, [&](Design &d) { return d.move_meta_point(column, row); });
}

Result<> Pair::move_dome_apex(Foot foot, float column, float row) {
    return step(foot, false, [&](Design &d) { return d.move_dome_apex(column, row); });
}

Result<> Pair::place_by_hand(Foot foot, float column, float row) {
    return step(foot, false, [&](Design &d) { return d.place_by_hand(column, row); });
}

Result<> Pair::reset_meta_point(Foot foot) {
    return step(foot, false, [](Design &d) { return d.reset_meta_point(); });
}

Result<> Pair::link(Foot values_from) {
    if (linked_) return Result<>::success();
    Entry e = new_entry();
    linked_ = e.linked_after = true;
    Result<> result = Result<>::success();
    if (both_loaded()) result = take_settings(values_from, other_foot(values_from), e);
    push(e);
    return result;
}

void Pair::unlink() {
    if (!linked_) return;
    Entry e = new_entry();
    linked_ = e.linked_after = false;
    push(e);
}

Result<> Pair::undo() {
    if (!can_undo()) return Result<>::success();
    const Entry e = history_[--position_];
    Result<> result = Result<>::success();
    for (Foot f : kFeet)
        for (uint32_t k = 0; k < e.steps[foot_index(f)]; ++k)
            if (Result<> r = design(f).undo(); !r && result) result = r;
    linked_ = e.linked_before;
    return result;
}

Result<> Pair::redo() {
    if (!can_redo()) return Result<>::success();
    const Entry e = history_[position_++];
    Result<> result = Result<>::success();
    for (Foot f : kFeet)
        for (uint32_t k = 0; k < e.steps[foot_index(f)]; ++k)
            if (Result<> r = design(f).redo(); !r && result) result = r;
    linked_ = e.linked_after;
    return result;
}

const OrderData &Pair::order() const {
    const bool right_alone = !design(Foot::kLeft).loaded() && design(Foot::kRight).loaded();
    return design(right_alone ? Foot::kRight : Foot::kLeft).order();
}

void Pair::set_order(const OrderData &order) {
    for (auto &d : designs_)
        d->set_order(order);
}

bool Pair::modified() const {
    return design(Foot::kLeft).modified() || design(Foot::kRight).modified() ||
           linked_ != saved_linked_;
}

void Pair::mark_saved() {
    for (auto &d : designs_)
        d->mark_saved();
    saved_linked_ = linked_;
}

std::string pair_foot_file_name(const std::string &path, Foot foot) {
    const char *mark = foot == Foot::kLeft ? "_L" : "_R";
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    const bool extension = dot != std::string::npos && dot > name && dot + 1 < path.size();
    if (!extension) return path + mark;
    return path.substr(0, dot) + mark + path.substr(dot);
}

Warning warning_of_foot(Foot foot, const Warning &warning) {
    const bool left = foot == Foot::kLeft;
    return {std::string(left ? "left foot: " : "right foot: ") + warning.text,
            std::string(left ? "左腳：" : "右腳：") + warning.gui};
}

}  // namespace pedaform

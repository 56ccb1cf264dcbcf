// Speed of the design model: undoing a step and opening a design, stamps included.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>

#include "design/design.h"
#include "design/design_file.h"
#include "design/pair.h"
#include "design/pair_file.h"
#include "design/proposal.h"
#include "io/resource_files.h"
#include "io/scan_file.h"
#include "tools/synth.h"
#include "core/console.h"
#include "core/file_output.h"

using namespace pedaform;

namespace {

// 100 random steps on a loaded design: every control, smoothing passes and point moves, the
// stamp switched on early so that its size steps render.
void take_random_steps(Design &design, unsigned seed) {
    (void)design.set(Control::kStamp, 1);
    std::mt19937 rng(seed);
    while (design.position() < 100) {
        Step s;
        const int kind = static_cast<int>(rng() % 10);
        if (kind == 0) {
            s.kind = StepKind::kSmooth;
        } else if (kind == 1) {
            s.kind = StepKind::kMetaPoint;
            s.column = static_cast<float>(40 + rng() % 70);
            s.row = static_cast<float>(150 + rng() % 100);
        } else {
            s.control = static_cast<Control>(rng() % kControlCount);
            const ControlSpec &range = control_spec(s.control);
            const int steps = static_cast<int>((range.max - range.min) / range.step + 0.5);
            s.value =
                control_value_snapped(s.control, range.min + (rng() % (steps + 1)) * range.step);
        }
        (void)design.apply(s);
    }
}

struct BenchDesign {
    std::unique_ptr<Resources> res = std::make_unique<Resources>();
    Design design{*res, load_scan_file};
    std::string dir = "/tmp/pedaform-bench-design-" + std::to_string(getpid());
    std::string scan = dir + "-scan.bmp";

    // A 100-step design (take_random_steps).
    BenchDesign() {
        set_console(nullptr);
        load_startup_resources(*res, PEDAFORM_DATA_DIR);
        const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan({}));
        (void)write_file_atomically(scan, bmp.data(), bmp.size());
        (void)design.load(scan);
        take_random_steps(design, 3);
    }
};

}  // namespace

static void BM_UndoStep(benchmark::State &state) {
    // Each iteration undoes the next step back; at the load, the steps are redone untimed, so
    // that every one of the 100 steps is undone in turn.
    BenchDesign b;
    for (auto _ : state) {
        if (!b.design.can_undo()) {
            state.PauseTiming();
            while (b.design.can_redo())
                (void)b.design.redo();
            state.ResumeTiming();
        }
        (void)b.design.undo();
    }
}
BENCHMARK(BM_UndoStep)->Unit(benchmark::kMillisecond)->Repetitions(5);

static void BM_OpenDesign(benchmark::State &state) {
    BenchDesign b;
    const std::string path = b.dir + ".json";
    (void)save_design(b.design, path);
    for (auto _ : state) {
        const DesignFile file = read_design_file(path).value();
        (void)open_design(b.design, file, design_scan_path(path, file)).load;
        benchmark::DoNotOptimize(b.design.results().relief_grid[0]);
    }
    std::remove(path.c_str());
    std::remove(b.scan.c_str());
}
BENCHMARK(BM_OpenDesign)->Unit(benchmark::kMillisecond)->Repetitions(5);

namespace {

// A design on a generated 253 mm foot, right after the load.
struct LoadedDesign {
    std::unique_ptr<Resources> res = std::make_unique<Resources>();
    Design design{*res, load_scan_file};
    LoadedDesign() {
        set_console(nullptr);
        load_startup_resources(*res, PEDAFORM_DATA_DIR);
        const std::string scan = "/tmp/pedaform-bench-loaded-" + std::to_string(getpid()) + ".bmp";
        const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan({}));
        (void)write_file_atomically(scan, bmp.data(), bmp.size());
        (void)design.load(scan);
        std::remove(scan.c_str());
    }
};

// One control moved back and forth between two values: its layer built and the relief
// composed, as the slider does.
void move_control(benchmark::State &state, Control c, double a, double b) {
    LoadedDesign d;
    bool flip = false;
    for (auto _ : state) {
        (void)d.design.set(c, (flip = !flip) ? a : b);
        benchmark::DoNotOptimize(d.design.results().relief_grid[0]);
    }
}

}  // namespace

static void BM_PadSlider(benchmark::State &state) {
    move_control(state, Control::kHeel1, 3, 4);
}
BENCHMARK(BM_PadSlider)->Unit(benchmark::kMillisecond);

// The same slider on a linked pair of generated feet (the right the left's mirror image): one
// step of the pair that moves the control on both feet.
static void BM_PairLinkedStep(benchmark::State &state) {
    auto res = std::make_unique<Resources>();
    set_console(nullptr);
    load_startup_resources(*res, PEDAFORM_DATA_DIR);
    Pair pair(*res, load_scan_file);
    synth::ScanRecipe recipe;
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        recipe.right_foot = foot == Foot::kRight;
        const std::string scan = "/tmp/pedaform-bench-pair-" + std::to_string(getpid()) + ".bmp";
        const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan(recipe));
        (void)write_file_atomically(scan, bmp.data(), bmp.size());
        (void)pair.load(foot, scan);
        std::remove(scan.c_str());
    }
    bool flip = false;
    for (auto _ : state) {
        (void)pair.set(Foot::kLeft, Control::kHeel1, (flip = !flip) ? 3 : 4);
        benchmark::DoNotOptimize(pair.design(Foot::kRight).results().relief_grid[0]);
    }
}
BENCHMARK(BM_PairLinkedStep)->Unit(benchmark::kMillisecond);

// Opening a pair file of two generated feet (the right the left's mirror image), each with
// 100 steps: both files' steps replayed on their scans.
static void BM_OpenPair(benchmark::State &state) {
    auto res = std::make_unique<Resources>();
    set_console(nullptr);
    load_startup_resources(*res, PEDAFORM_DATA_DIR);
    Pair pair(*res, load_scan_file);
    pair.unlink();
    const std::string dir = "/tmp/pedaform-bench-open-pair-" + std::to_string(getpid());
    std::array<std::string, kFootCount> scans = {dir + "_L.bmp", dir + "_R.bmp"};
    synth::ScanRecipe recipe;
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        recipe.right_foot = foot == Foot::kRight;
        const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan(recipe));
        (void)write_file_atomically(scans[foot_index(foot)], bmp.data(), bmp.size());
        (void)pair.load(foot, scans[foot_index(foot)]);
        take_random_steps(pair.design(foot), foot == Foot::kLeft ? 3 : 5);
    }
    const std::string path = dir + ".json";
    (void)save_pair(pair, path);
    for (auto _ : state) {
        const PairFile file = read_pair_file(path).value();
        if (!open_pair(pair, file, scans).ok()) state.SkipWithError("the pair did not open");
    }
    for (const std::string &f : {scans[0], scans[1], path})
        std::remove(f.c_str());
}
BENCHMARK(BM_OpenPair)->Unit(benchmark::kMillisecond)->Repetitions(5);

static void BM_ArchLayer(benchmark::State &state) {
    move_control(state, Control::kArch, 8, 8.5);
}
BENCHMARK(BM_ArchLayer)->Unit(benchmark::kMillisecond);

static void BM_HeelCupLayer(benchmark::State &state) {
    move_control(state, Control::kHeelCup, 10, 10.5);
}
BENCHMARK(BM_HeelCupLayer)->Unit(benchmark::kMillisecond);

// "依蹠骨頭放置" with the stamped pad on: the placement and the recomposition it causes, moved
// off again (untimed) between runs so that each one is a step.
static void BM_DomeFromHeads(benchmark::State &state) {
    LoadedDesign d;
    (void)d.design.set(Control::kStamp, 1);
    for (auto _ : state) {
        state.PauseTiming();
        (void)d.design.move_meta_point(75, 250);
        state.ResumeTiming();
        (void)d.design.place_dome_behind_heads(7);
        benchmark::DoNotOptimize(d.design.results().relief_grid[0]);
    }
}
BENCHMARK(BM_DomeFromHeads)->Unit(benchmark::kMillisecond);

// "建議處方" on a loaded synthetic left foot: the arch index, the dome from the heads, the arch
// support, heel cup and base with their layers and compositions. Each run starts from a design
// whose proposed steps were undone (untimed), so that each one takes its steps anew.
static void BM_Propose(benchmark::State &state) {
    LoadedDesign d;
    for (auto _ : state) {
        state.PauseTiming();
        while (d.design.can_undo())
            (void)d.design.undo();
        state.ResumeTiming();
        benchmark::DoNotOptimize(propose(d.design));
    }
}
BENCHMARK(BM_Propose)->Unit(benchmark::kMillisecond);

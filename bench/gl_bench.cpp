// Frames of the two views in a real window with real OpenGL. Needs a display:
// scripts/with-display bench/pedaform_gl_bench
#include <FL/Fl.H>
#include <FL/gl.h>
#include <benchmark/benchmark.h>

#include <cstring>

#include "analysis/scan_loader.h"
#include "app/main_window.h"
#include "app/view_timer.h"
#include "tools/synth.h"
#include "workspace/console.h"

using namespace pedaform;

namespace {

Fl_Double_Window *g_window = nullptr;

// A relief whose every cell is drawn: 2 x 149 x 359 = 106,982 triangles.
void full_relief() {
    for (int i = 0; i < kGridCells; ++i)
        g_workspace->relief_grid[i] = static_cast<uint8_t>(20 + (i % 150 + i / 150) % 40);
    g_workspace->scan_loaded = 1;
}

template <typename View>
void frame(View *view) {
    view->make_current();
    view->draw();
    glFinish();
}

}  // namespace

// The view as shipped.
static void BM_Relief3DFrame(benchmark::State &state) {
    full_relief();
    g_view3d->angle_x = 60;
    frame(g_view3d);
    for (auto _ : state)
        frame(g_view3d);
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Relief3DFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// One frame with the surface submitted in immediate mode, and from arrays rebuilt each frame.
static void relief_frames(benchmark::State &state, bool arrays) {
    full_relief();
    const bool saved = g_view3d->use_vertex_arrays;
    g_view3d->use_vertex_arrays = arrays;
    g_view3d->angle_x = 60;
    frame(g_view3d);
    for (auto _ : state)
        frame(g_view3d);
    g_view3d->use_vertex_arrays = saved;
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}

static void BM_Relief3DFrameImmediate(benchmark::State &state) {
    relief_frames(state, false);
}
BENCHMARK(BM_Relief3DFrameImmediate)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_Relief3DFrameArrays(benchmark::State &state) {
    relief_frames(state, true);
}
BENCHMARK(BM_Relief3DFrameArrays)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_ImageViewFrame(benchmark::State &state) {
    full_relief();
    frame(g_workspace);
    for (auto _ : state)
        frame(g_workspace);
}
BENCHMARK(BM_ImageViewFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_ImageViewFrameWithStamp(benchmark::State &state) {
    full_relief();
    for (auto _ : state) {
        g_workspace->pad_stamp_dirty = 1;
        frame(g_workspace);
    }
}
BENCHMARK(BM_ImageViewFrameWithStamp)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    set_console(nullptr);
    g_window = build_main_window(PEDAFORM_DATA_DIR);
    g_window->show();
    for (int i = 0; i < 20; ++i)
        Fl::wait(0.02);
    Fl::remove_timeout(redraw_timer);  // frames are driven by the benchmark alone
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

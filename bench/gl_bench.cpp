// Frames of the two views in a real window with real OpenGL, and what the window costs while
// nobody touches it. Needs a display: scripts/with-display bench/pedaform_gl_bench
#include <FL/Fl.H>
#include <FL/gl.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>

#include "analysis/scan_loader.h"
#include "app/actions.h"
#include "app/gl_display_3d.h"
#include "app/gl_display_image.h"
#include "app/main_window.h"
#include "app/view_timer.h"
#include "relief/smoothing.h"
#include "tools/synth.h"
#include "core/console.h"
#include "core/file_output.h"

using namespace pedaform;

namespace {

Fl_Double_Window *g_window = nullptr;

DesignResults g_full;  // what the 3D view draws in the frame benchmarks

// A relief whose every cell is drawn: 2 x 149 x 359 = 106,982 triangles.
void full_relief(int shift = 0) {
    for (int i = 0; i < kGridCells; ++i)
        g_full.insole_relief[i] = static_cast<uint8_t>(20 + (i % 150 + i / 150 + shift) % 40);
    g_view3d->results = &g_full;
    g_view3d->scan_chosen = true;
}

// A generated scan loaded into the window's design, as the load menu does.
void load_generated_scan() {
    const std::string path = "/tmp/pedaform-gl-bench-" + std::to_string(getpid()) + ".bmp";
    const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan(synth::ScanRecipe{}));
    (void)write_file_atomically(path, bmp.data(), bmp.size());
    (void)g_design->load(path);
    std::remove(path.c_str());
    g_view3d->results = &g_design->results();
    g_image_view->scan_chosen = g_view3d->scan_chosen = true;
}

void full_grid() {
    full_relief();
}

// The 253 mm sample foot as loaded and smoothed, on its fitted outline: the insole's cells,
// about 45,000 triangles.
void insole_relief() {
    set_console(nullptr);
    load_generated_scan();
    (void)g_design->smooth();
}

template <typename View>
void frame(View *view) {
    view->make_current();
    view->draw();
    glFinish();
}

double process_cpu_seconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The Xvfb process serving DISPLAY (":N"), found by its command line; 0 when there is none
// (another kind of X server, or one that is not ours to read).
long xvfb_pid() {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] != ':') return 0;
    const std::string want = std::string(display).substr(0, std::string(display).find('.'));
    DIR *proc = opendir("/proc");
    if (proc == nullptr) return 0;
    long found = 0;
    while (dirent *e = readdir(proc)) {
        const long pid = std::strtol(e->d_name, nullptr, 10);
        if (pid <= 0) continue;
        std::ifstream in("/proc/" + std::string(e->d_name) + "/cmdline", std::ios::binary);
        std::string arg, program;
        bool has_display = false;
        for (int k = 0; std::getline(in, arg, '\0'); ++k) {
            if (k == 0) program = arg.substr(arg.rfind('/') + 1);
            has_display = has_display || arg == want;
        }
        if (program == "Xvfb" && has_display) found = pid;
    }
    closedir(proc);
    return found;
}

// User plus system CPU seconds of a process, from /proc/PID/stat; -1 when unreadable.
double pid_cpu_seconds(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int k = 3; k <= 15 && rest >> field; ++k) {
        if (k == 14) utime = std::stod(field);
        if (k == 15) stime = std::stod(field);
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

// The real window with a scan loaded and its frame timers running, left alone for 5 s.
// core_share: CPU time of this process (all threads) over wall time; with_x_server adds the
// Xvfb serving the display when it can be read; frames: frames drawn by both views.
static void BM_IdleWindowCpu(benchmark::State &state) {
    set_console(nullptr);
    load_generated_scan();
    const long server = xvfb_pid();
    for (auto _ : state) {
        const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (std::chrono::steady_clock::now() < settle)
            Fl::wait(0.05);  // the frames of the load
        const int draws = g_view3d->draws() + g_image_view->draws();
        const double cpu0 = process_cpu_seconds();
        const double server0 = server != 0 ? pid_cpu_seconds(server) : -1;
        const auto t0 = std::chrono::steady_clock::now();
        const auto end = t0 + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end)
            Fl::wait(0.5);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(wall);
        state.counters["core_share"] = (process_cpu_seconds() - cpu0) / wall;
        if (server0 >= 0)
            state.counters["with_x_server"] =
                (process_cpu_seconds() - cpu0 + pid_cpu_seconds(server) - server0) / wall;
        state.counters["frames"] = g_view3d->draws() + g_image_view->draws() - draws;
    }
}
BENCHMARK(BM_IdleWindowCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// Frames that turn the camera over an unchanged relief: the surface stays in its buffer. The
// turn goes back and forth within 5 degrees of the view the earlier frame benchmarks used
// (60, 90), so the pixels drawn, and so the figures, stay comparable with theirs.
template <void (*relief)()>
void turning_frames(benchmark::State &state) {
    relief();
    g_view3d->angle_x = 60;
    g_view3d->angle_y = 90;
    frame(g_view3d);
    int step = 0;
    for (auto _ : state) {
        g_view3d->angle_y = static_cast<float>(85 + std::abs(step++ % 20 - 10));
        frame(g_view3d);
    }
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}

// An insole as the operator sees it.
static void BM_Relief3DFrame(benchmark::State &state) {
    turning_frames<insole_relief>(state);
}
BENCHMARK(BM_Relief3DFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every cell of the grid drawn: the most the view can be given.
static void BM_Relief3DFrameFullGrid(benchmark::State &state) {
    turning_frames<full_grid>(state);
}
BENCHMARK(BM_Relief3DFrameFullGrid)->Unit(benchmark::kMillisecond)->UseRealTime();

// Frames whose relief changed since the last one: the buffer is refilled every time.
static void BM_Relief3DFrameRebuild(benchmark::State &state) {
    g_view3d->angle_x = 60;
    g_view3d->angle_y = 90;
    int shift = 0;
    for (auto _ : state) {
        full_relief(++shift);
        frame(g_view3d);
    }
    state.counters["fps"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Relief3DFrameRebuild)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_ImageViewFrame(benchmark::State &state) {
    load_generated_scan();
    frame(g_image_view);
    for (auto _ : state)
        frame(g_image_view);
}
BENCHMARK(BM_ImageViewFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// A new pad width with the stamp on, as the slider asks: the stamp, the composition, the frame.
static void BM_ImageViewFrameWithStamp(benchmark::State &state) {
    load_generated_scan();
    (void)g_design->set(Control::kStamp, 1);
    int width = 50;
    for (auto _ : state) {
        (void)g_design->set(Control::kPadWidth, width = width == 50 ? 51 : 50);
        frame(g_image_view);
    }
}
BENCHMARK(BM_ImageViewFrameWithStamp)->Unit(benchmark::kMillisecond)->UseRealTime();

// "左腳 | 右腳" with both feet of a pair loaded (the right foot shorter), as the operator flips
// between them: show_foot (the views take the other foot's design, the controls its values),
// then what the frame timer's next tick does, a frame of each view that changed (the wait for
// that tick, at most 1/120 s, is not counted). BM_SwitchFoot is the switch without the frames,
// BM_SwitchFootAndDraw with them: a 3D frame costs what any frame of it costs (BM_Relief3DFrame),
// since each foot's surface stays in its own buffer.
void switch_foot(Foot foot, bool draw) {
    show_foot(foot);
    for (TickedView *view :
         {static_cast<TickedView *>(g_view3d), static_cast<TickedView *>(g_image_view)})
        if (view->frame_changed() && draw) view->request_frame();
    if (!draw) return;
    Fl::flush();
    g_view3d->make_current();
    glFinish();
}

template <bool draw>
void switching_feet(benchmark::State &state) {
    synth::ScanRecipe recipe;
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        recipe.right_foot = foot == Foot::kRight;
        recipe.length = foot == Foot::kRight ? 241 : 253;
        const std::string path = "/tmp/pedaform-gl-bench-pair-" + std::to_string(getpid()) + ".bmp";
        const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan(recipe));
        (void)write_file_atomically(path, bmp.data(), bmp.size());
        (void)g_pair->load(foot, path);
        std::remove(path.c_str());
    }
    (void)g_pair->smooth(Foot::kLeft);
    Foot shown = Foot::kLeft;
    switch_foot(shown, true);
    const long draws = g_view3d->draws() + g_image_view->draws();
    for (auto _ : state)
        switch_foot(shown = other_foot(shown), draw);
    // Both views drawn at every switch, or the figure says less than the operator waits for.
    const long drawn = g_view3d->draws() + g_image_view->draws() - draws;
    if (drawn != (draw ? 2 * state.iterations() : 0))
        state.SkipWithError("a switch did not draw both views");
    switch_foot(Foot::kLeft, true);
}

static void BM_SwitchFoot(benchmark::State &state) {
    switching_feet<false>(state);
}
BENCHMARK(BM_SwitchFoot)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_SwitchFootAndDraw(benchmark::State &state) {
    switching_feet<true>(state);
}
BENCHMARK(BM_SwitchFootAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    set_console(nullptr);
    keep_freed_frame_memory();  // as the program does
    g_window = build_main_window(PEDAFORM_DATA_DIR);
    g_window->show();
    for (int i = 0; i < 20; ++i)
        Fl::wait(0.02);
    // Only BM_IdleWindowCpu runs the event loop: the frame timers fire nowhere else.
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

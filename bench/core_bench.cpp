// Speed of the core actions. Run from the build tree: bench/pedaform_bench.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "analysis/filter_gain.h"
#include "analysis/scan_loader.h"
#include "io/scan_file.h"
#include "bench/smoothing_reference.h"
#include "bench/stl_reference.h"
#include "model3d/print_3mf.h"
#include "model3d/stl_files.h"
#include "relief/composition.h"
#include "relief/smoothing.h"
#include "tools/synth.h"
#include "workspace/console.h"
#include "workspace/file_output.h"
#include "io/resources.h"

using namespace pedaform;

namespace {

std::unique_ptr<Workspace> loaded_workspace(int length = 253) {
    auto ws = std::make_unique<Workspace>();
    load_startup_resources(*ws, PEDAFORM_DATA_DIR);
    synth::ScanRecipe recipe;
    recipe.length = length;
    Picture scan = synth::make_scan(recipe);
    load_scan_picture(*ws, scan, 3.0);
    return ws;
}

std::string scratch(const char *name) {
    return std::string("/tmp/pedaform-bench-") + std::to_string(getpid()) + "-" + name;
}

}  // namespace

static void BM_WorkspaceStartup(benchmark::State &state) {
    for (auto _ : state) {
        auto ws = std::make_unique<Workspace>();
        load_startup_resources(*ws, PEDAFORM_DATA_DIR);
        benchmark::DoNotOptimize(ws->pad_shape_peak);
    }
}
BENCHMARK(BM_WorkspaceStartup)->Unit(benchmark::kMillisecond);

static void BM_LoadScan(benchmark::State &state) {
    auto ws = loaded_workspace();
    const std::string path = scratch("scan.bmp");
    synth::ScanRecipe recipe;
    const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan(recipe));
    (void)write_file_atomically(path, bmp.data(), bmp.size());
    for (auto _ : state) {
        const ScanLoadResult r = load_scan_file(*ws, path.c_str(), 3.0);
        benchmark::DoNotOptimize(r.accepted());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_LoadScan)->Unit(benchmark::kMillisecond);

static void BM_FilterGain(benchmark::State &state) {
    auto ws = loaded_workspace();
    double filter = 0;
    for (auto _ : state) {
        apply_filter_gain(*ws, filter, 2.5);
        filter = filter < 100 ? filter + 1 : 0;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FilterGain)->Unit(benchmark::kMicrosecond);

static void BM_PadSliderAction(benchmark::State &state) {
    auto ws = loaded_workspace();
    PadSliderValues v;
    v.meta2 = 2;
    int value = 1;
    for (auto _ : state) {
        v.meta1 = value;
        pad_slider_action(*ws, PadSlider::kMeta1, v, StampControls());
        value = value % 10 + 1;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PadSliderAction)->Unit(benchmark::kMicrosecond);

static void BM_SmoothingSequence(benchmark::State &state) {
    auto ws = loaded_workspace();
    std::vector<uint8_t> relief(ws->relief_grid, ws->relief_grid + kGridCells);
    for (auto _ : state) {
        std::memcpy(ws->relief_grid, relief.data(), kGridCells);
        smooth_relief(*ws);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmoothingSequence)->Unit(benchmark::kMicrosecond);

static void BM_SmoothingSequenceReference(benchmark::State &state) {
    auto ws = loaded_workspace();
    std::vector<uint8_t> relief(ws->relief_grid, ws->relief_grid + kGridCells);
    for (auto _ : state) {
        std::memcpy(ws->relief_grid, relief.data(), kGridCells);
        apply_template_floor(*ws);
        smooth_pass_reference(ws->relief_grid, 1);
        smooth_pass_reference(ws->relief_grid, 0);
        apply_template_floor(*ws);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmoothingSequenceReference)->Unit(benchmark::kMicrosecond);

static void BM_StlExport(benchmark::State &state) {
    auto ws = loaded_workspace();
    const std::string path = scratch("merge.stl");
    for (auto _ : state) {
        const Result r = export_relief_stl(ws->relief_grid, path);
        if (!r) state.SkipWithError(r.message().c_str());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_StlExport)->Unit(benchmark::kMillisecond);

static void BM_StlExportReference(benchmark::State &state) {
    auto ws = loaded_workspace();
    const std::string path = scratch("merge-ref.stl");
    for (auto _ : state) {
        const PreparedRelief prepared = prepare_relief(ws->relief_grid);
        Mesh mesh;
        build_open_surface(prepared, mesh);
        std::FILE *f = std::fopen(path.c_str(), "w");
        write_ascii_stl_reference(mesh, f);
        std::fclose(f);
    }
    unlink(path.c_str());
}
BENCHMARK(BM_StlExportReference)->Unit(benchmark::kMillisecond);

static void BM_StlSolidExport(benchmark::State &state) {
    auto ws = loaded_workspace();
    const std::string path = scratch("solid.stl");
    for (auto _ : state) {
        const Result r = export_relief_solid(ws->relief_grid, path);
        if (!r) state.SkipWithError(r.message().c_str());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_StlSolidExport)->Unit(benchmark::kMillisecond);

// Three zones at the default tolerance, for PrusaSlicer.
static void BM_Export3mf(benchmark::State &state) {
    auto ws = loaded_workspace();
    PrintSettings settings;
    if (!parse_print_zones(kDefaultPrintZones, settings.zones) || settings.zones.size() != 3)
        state.SkipWithError("zones refused");
    const PrintDescription about{"left_253.bmp", "left", "CM25-26", "", {{"gain", "3"}}};
    const std::string path = scratch("zoned.3mf");
    for (auto _ : state) {
        const Result r =
            export_relief_3mf(ws->relief_grid, ws->pressure_grid, path, settings, about);
        if (!r) state.SkipWithError(r.message().c_str());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_Export3mf)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    set_console(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

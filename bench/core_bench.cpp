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
#include "testsupport/smoothing_reference.h"
#include "testsupport/stl_reference.h"
#include "model3d/print_3mf.h"
#include "design/controls.h"
#include "model3d/stl_files.h"
#include "relief/composition.h"
#include "relief/pad_stamp.h"
#include "relief/smoothing.h"
#include "tools/synth.h"
#include "core/console.h"
#include "core/file_output.h"
#include "io/resource_files.h"

using namespace pedaform;

namespace {

// A generated 253 mm foot as a design holds it right after the load.
struct Loaded {
    Resources res;
    Scan scan;
    DesignResults results;
};

std::unique_ptr<Loaded> loaded() {
    auto ws = std::make_unique<Loaded>();
    (void)load_startup_resources(ws->res, PEDAFORM_DATA_DIR);
    Picture scan = synth::make_scan({});
    (void)load_scan_picture(ws->scan, scan);
    std::memcpy(ws->results.relief_grid, ws->scan.base_grid, kGridCells);
    ws->results.template_index = ws->scan.template_index;
    fill_insole_grid(ws->res, ws->scan, ws->results);
    compose_relief(ws->res, ws->scan, ws->results, StampControls());
    apply_filter_gain(ws->res, ws->scan, ws->results, 0, 3);
    return ws;
}

std::string scratch(const char *name) {
    return std::string("/tmp/pedaform-bench-") + std::to_string(getpid()) + "-" + name;
}

}  // namespace

static void BM_ResourcesStartup(benchmark::State &state) {
    for (auto _ : state) {
        auto res = std::make_unique<Resources>();
        load_startup_resources(*res, PEDAFORM_DATA_DIR);
        benchmark::DoNotOptimize(res->pad_shape_peak);
    }
}
BENCHMARK(BM_ResourcesStartup)->Unit(benchmark::kMillisecond);

static void BM_LoadScan(benchmark::State &state) {
    auto ws = loaded();
    const std::string path = scratch("scan.bmp");
    synth::ScanRecipe recipe;
    const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan(recipe));
    (void)write_file_atomically(path, bmp.data(), bmp.size());
    for (auto _ : state) {
        const Result<ScanLoadResult> r = load_scan_file(ws->scan, path.c_str());
        benchmark::DoNotOptimize(r.ok());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_LoadScan)->Unit(benchmark::kMillisecond);

// The insole's cells at a load or a size change: the size's last fitted to the foot, its cells,
// the foot's, closed into blocks.
static void BM_FitTemplate(benchmark::State &state) {
    auto ws = loaded();
    for (auto _ : state) {
        fill_insole_grid(ws->res, ws->scan, ws->results);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FitTemplate)->Unit(benchmark::kMicrosecond);

static void BM_FilterGain(benchmark::State &state) {
    auto ws = loaded();
    double filter = 0;
    for (auto _ : state) {
        apply_filter_gain(ws->res, ws->scan, ws->results, filter, 2.5);
        filter = filter < 100 ? filter + 1 : 0;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FilterGain)->Unit(benchmark::kMicrosecond);

static void BM_PadSliderAction(benchmark::State &state) {
    auto ws = loaded();
    Controls v;
    v[Control::kMeta2] = 2;
    int value = 1;
    const LayerInputs in{ws->res, ws->scan, ws->results};
    for (auto _ : state) {
        v[Control::kMeta1] = value;
        const LayerBuilds builds = layer_builds(Control::kMeta1, v);
        for (int k = 0; k < builds.count; ++k) {
            const Layer layer = builds.builds[k].layer;
            layer_builder(layer)(in, ws->results.layers[index(layer)], builds.builds[k].amount);
        }
        compose_relief(ws->res, ws->scan, ws->results, StampControls());
        value = value % 10 + 1;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PadSliderAction)->Unit(benchmark::kMicrosecond);

// One stamp at the largest size preset, 59 x 98 cells and 3.7 mm, the template mirrored.
static void BM_StampCpu(benchmark::State &state) {
    auto ws = loaded();
    for (auto _ : state) {
        const Result<> r =
            render_pad_stamp_cpu(ws->res.pad_shape, ws->res.pad_shape_peak, true, 59, 98, 3.7,
                                 ws->results.pad_stamp, ws->results.pad_stamp_stride);
        benchmark::DoNotOptimize(r.ok());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StampCpu)->Unit(benchmark::kMicrosecond);

static void BM_SmoothingSequence(benchmark::State &state) {
    auto ws = loaded();
    std::vector<uint8_t> relief(ws->results.relief_grid, ws->results.relief_grid + kGridCells);
    for (auto _ : state) {
        std::memcpy(ws->results.relief_grid, relief.data(), kGridCells);
        smooth_relief(ws->res, ws->scan, ws->results);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmoothingSequence)->Unit(benchmark::kMicrosecond);

static void BM_SmoothingSequenceReference(benchmark::State &state) {
    auto ws = loaded();
    std::vector<uint8_t> relief(ws->results.relief_grid, ws->results.relief_grid + kGridCells);
    for (auto _ : state) {
        std::memcpy(ws->results.relief_grid, relief.data(), kGridCells);
        apply_template_floor(ws->res, ws->scan, ws->results);
        smooth_pass_reference(ws->results.relief_grid, 1);
        smooth_pass_reference(ws->results.relief_grid, 0);
        apply_template_floor(ws->res, ws->scan, ws->results);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmoothingSequenceReference)->Unit(benchmark::kMicrosecond);

static void BM_StlExport(benchmark::State &state) {
    auto ws = loaded();
    const std::string path = scratch("merge.stl");
    for (auto _ : state) {
        const Result<> r = export_relief_stl(ws->results.relief_grid, path);
        if (!r) state.SkipWithError(r.message().c_str());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_StlExport)->Unit(benchmark::kMillisecond);

static void BM_StlExportReference(benchmark::State &state) {
    auto ws = loaded();
    const std::string path = scratch("merge-ref.stl");
    for (auto _ : state) {
        const PreparedRelief prepared = prepare_relief(ws->results.relief_grid);
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
    auto ws = loaded();
    const std::string path = scratch("solid.stl");
    for (auto _ : state) {
        const Result<> r = export_relief_solid(ws->results.insole_relief, path);
        if (!r) state.SkipWithError(r.message().c_str());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_StlSolidExport)->Unit(benchmark::kMillisecond);

// Three zones at the default tolerance, for PrusaSlicer.
static void BM_Export3mf(benchmark::State &state) {
    auto ws = loaded();
    PrintSettings settings;
    settings.zones = parse_print_zones(kDefaultPrintZones).value();
    const PrintDescription about{"left_253.bmp", "left", "CM25-26", "", {{"gain", "3"}}};
    const std::string path = scratch("zoned.3mf");
    for (auto _ : state) {
        const Result<> r = export_relief_3mf(ws->results.insole_relief, ws->scan.pressure_grid,
                                             path, settings, about);
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

// Speed of the batch command's runs inside one process: the start-up data, the scan's load and
// the outputs. The process's own start-up (the dynamic linker) comes on top: time the program
// itself for it (hyperfine, perf stat).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/batch.h"
#include "core/file_output.h"
#include "tools/synth.h"

using namespace pedaform;

namespace {

// The batch command on a generated 253 mm foot with `options`, outputs in a scratch folder.
void run(benchmark::State &state, std::vector<std::string> options) {
    const std::string dir = "/tmp/pedaform-bench-batch-" + std::to_string(getpid());
    const std::string scan = dir + "-scan.bmp";
    const std::vector<uint8_t> bmp = synth::scan_bmp(synth::make_scan({}));
    (void)write_file_atomically(scan, bmp.data(), bmp.size());
    std::vector<std::string> words = {"pedaform-cli", "--quiet", "--resources", PEDAFORM_DATA_DIR};
    for (std::string &o : options)
        words.push_back(o.rfind("OUT:", 0) == 0 ? dir + "-" + o.substr(4) : o);
    words.push_back(scan);
    std::vector<const char *> argv;
    for (const std::string &w : words)
        argv.push_back(w.c_str());
    const Result<BatchOptions> parsed =
        parse_batch_options(static_cast<int>(argv.size()), argv.data());
    if (!parsed) {
        state.SkipWithError(parsed.message().c_str());
        return;
    }
    for (auto _ : state)
        if (run_batch(*parsed) != kBatchDone) state.SkipWithError("the batch run failed");
    for (const std::string &w : words)
        if (w.rfind(dir + "-", 0) == 0) unlink(w.c_str());
    unlink((dir + "-e.bmp").c_str());
}

}  // namespace

// pedaform-cli --quiet SCAN: the start-up data and the load.
static void BM_BatchLoad(benchmark::State &state) {
    run(state, {});
}
BENCHMARK(BM_BatchLoad)->Unit(benchmark::kMillisecond);

// The usual full run: pads, the stamp, the engraving and both STL files.
static void BM_BatchFullRun(benchmark::State &state) {
    run(state, {"--stamp", "--meta1", "2", "--meta2", "1", "--heel1", "1", "--engrave", "OUT:e",
                "--stl", "OUT:s.stl", "--stl-solid", "OUT:t.stl"});
}
BENCHMARK(BM_BatchFullRun)->Unit(benchmark::kMillisecond);

// pedaform-cli: an insole design from a script, without a screen.
//
//     pedaform-cli [options] SCAN.bmp
//     pedaform-cli import RECORDING --out DIR [options]
//
// Start-up data, the scan load, the stamp frame, the pad sliders, the stamp, the pressure
// colouring, smoothing, the exports and the report: each the GUI action it mirrors.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/batch.h"
#include "cli/import_command.h"
#include "io/data_folder.h"

namespace {

int import_command(int argc, char **argv) {
    pedaform::ImportCommand command;
    if (const pedaform::Result<> parsed = pedaform::parse_import_command(argc, argv, command);
        !parsed) {
        std::fprintf(stderr, "pedaform-cli import: %s\n", parsed.message().c_str());
        return pedaform::kBatchUsage;
    }
    if (command.help) {
        std::fputs(pedaform::import_usage_text().c_str(), stdout);
        return pedaform::kBatchDone;
    }
    return pedaform::run_import_command(command);
}

// A batch run lasts a fraction of a second and fills tens of MB of fresh buffers (grids, meshes,
// STL text). Each 4 KB page of them costs a fault, which on a virtual machine takes longer than
// filling the page, so the heap is made once for the whole run:
// - every buffer up to 32 MB (malloc's largest threshold) comes from the heap, not its own map;
// - memory handed back is kept for the next picture or mesh instead of faulted in again;
// - the heap is grown by 64 MB at once and offered to the kernel for 2 MB pages
//   (transparent huge pages, madvise mode), one fault for what took 512.
// Where the kernel gives no huge pages the heap stays as it was.
void prepare_heap() {
    constexpr size_t kHugePage = size_t{2} << 20;
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
    void *first = std::malloc(kHugePage);
    const auto begin = (reinterpret_cast<uintptr_t>(first) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(kHugePage - 1);
    if (first != nullptr && end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
    std::free(first);
}

}  // namespace

int main(int argc, char **argv) {
    prepare_heap();
    if (argc > 1 && std::strcmp(argv[1], "import") == 0) return import_command(argc - 2, argv + 2);
    pedaform::Result<pedaform::BatchOptions> parsed = pedaform::parse_batch_options(argc, argv);
    if (!parsed) {
        std::fprintf(stderr, "pedaform-cli: %s\n", parsed.message().c_str());
        return pedaform::kBatchUsage;
    }
    pedaform::BatchOptions &options = *parsed;
    if (options.help) {
        std::fputs(pedaform::batch_usage_text().c_str(), stdout);
        std::fputs("\nA pressure recording to scans: pedaform-cli import --help\n", stdout);
        return pedaform::kBatchDone;
    }
    if (options.version) {
        std::printf("pedaform-cli %s\n", PEDAFORM_VERSION);
        return pedaform::kBatchDone;
    }
    // Exports from zeroed templates would look valid, so a missing data folder is a usage error.
    if (options.resources.empty()) {
        if (const pedaform::Result<> found = pedaform::find_data_folder(options.resources);
            !found) {
            std::fprintf(stderr, "pedaform-cli: %s\n", found.message().c_str());
            return pedaform::kBatchUsage;
        }
    } else if (const pedaform::Result<> checked = pedaform::check_data_folder(options.resources);
               !checked) {
        std::fprintf(stderr, "pedaform-cli: no data folder: --resources names %s (%s)\n",
                     options.resources.c_str(), checked.message().c_str());
        return pedaform::kBatchUsage;
    }
    return pedaform::run_batch(options);
}

// pedaform-cli: an insole design from a script, without a screen.
//
//     pedaform-cli [options] SCAN.bmp
//     pedaform-cli import RECORDING --out DIR [options]
//
// Start-up data, the scan load, the stamp frame, the pad sliders, the stamp, the pressure
// colouring, smoothing, the exports and the report: each the GUI action it mirrors.
#include <malloc.h>

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

}  // namespace

int main(int argc, char **argv) {
    // A batch run lasts a fraction of a second: memory handed back to the system between two
    // pictures or meshes would only be faulted in again, page by page, by the next. Keep it.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
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

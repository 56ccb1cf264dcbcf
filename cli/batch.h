// The batch command's run: a design run as an operator would run it in the GUI, through the
// same design model, from options parsed by cli/batch_options.h.
#pragma once

#include "cli/batch_options.h"

namespace pedaform {

// Exit statuses.
enum BatchStatus {
    kBatchDone = 0,
    kBatchUsage = 2,  // also a design file that is refused
    kBatchScanRefused = 3,
    kBatchWriteFailed = 4,
};

// Runs the design. Messages for the user go to standard error; the actions' console lines to
// standard output unless options.quiet. Returns the exit status.
int run_batch(const BatchOptions &options);

}  // namespace pedaform

// Writes the batch command's manual page: the page's text with the line "@BATCH_OPTIONS@"
// replaced by the option entries of the option table (cli/batch_options.h).
//
//     make_manual TEMPLATE OUTPUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "cli/batch_options.h"
#include "core/file_output.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_manual TEMPLATE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "make_manual: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream page;
    bool placed = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "@BATCH_OPTIONS@") {
            page << pedaform::batch_manual_options();
            placed = true;
        } else {
            page << line << "\n";
        }
    }
    if (!placed) {
        std::fprintf(stderr, "make_manual: %s has no @BATCH_OPTIONS@ line\n", argv[1]);
        return 1;
    }
    const std::string text = page.str();
    if (const pedaform::Result<> r =
            pedaform::write_file_atomically(argv[2], text.data(), text.size());
        !r) {
        std::fprintf(stderr, "make_manual: %s\n", r.message().c_str());
        return 1;
    }
    return 0;
}

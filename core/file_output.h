// Writing an output file so that a failure never leaves a truncated or half-replaced file:
// the bytes go to a temporary file beside the target, which is renamed over the target only
// after every byte was written and the file closed.
#pragma once

#include <cstddef>
#include <string>

#include "core/result.h"

namespace pedaform {

// On failure the message is a one-line reason; the target is then untouched and no temporary
// file is left behind.
Result<> write_file_atomically(const std::string &path, const void *data, size_t size);

// The same for a file written in pieces, so that a large export needs no buffer of its whole
// size: open() makes the temporary file, append() adds bytes, commit() renames it over the
// target. The first failure is kept and returned by commit(); a writer destroyed uncommitted
// removes its temporary file and leaves the target untouched.
class AtomicFileWriter {
  public:
    AtomicFileWriter() = default;
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;
    ~AtomicFileWriter();

    Result<> open(const std::string &path);
    void append(const void *data, size_t size);
    Result<> commit();

  private:
    void abandon();

    std::string path_, temp_;
    int fd_ = -1;
    int error_ = 0;  // errno of the first failed write
};

}  // namespace pedaform

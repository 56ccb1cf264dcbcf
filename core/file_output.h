// Writing output files so that a failure never leaves a truncated, half-replaced or partial
// result: an exporter first makes its file's bytes, then the bytes go to a temporary file in the
// target's folder (a short name, ".pf-XXXXXX", so that any name the file system accepts can be
// written), which is renamed over the target only after every byte was written and the file
// closed. A set of files is written whole or not at all: every file to its temporary first, the
// renames only when all of them were written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/result.h"

namespace pedaform {

// An output file: its path and every byte of it.
struct OutputFile {
    std::string path;
    std::string bytes;
};

// Fails when a file cannot be written at `path`, before anything is written: no name, a
// folder that does not exist or is no folder, a name longer than the file system takes (the
// system's "File name too long", 「檔名太長」 in the GUI's words), or a folder standing at
// `path`. The message is "cannot write PATH: " and the system's text for the cause, as a failed
// write's message is; the GUI's words are failure_reason's (core/file_words.h).
Result<> check_output_path(const std::string &path);

// True when `a` and `b` name one file: the same file on disk when both exist, otherwise the
// same path once made absolute and normal.
bool same_file(const std::string &a, const std::string &b);

// True when `name` ends in `extension` (".bmp"), letters in either case.
bool has_extension(const std::string &name, const char *extension);

// Writes every file whole or none: check_output_path for each, each to its temporary file,
// then, once every one was written, each renamed over its target in order. On a failure before
// the renames every temporary file is removed, no target is touched and the message says which
// file failed and why. (A rename fails only when the folder changed since its temporary file
// was made there; the files renamed before it stay.)
Result<> write_files_atomically(const std::vector<OutputFile> &files);

// One file, the same way.
Result<> write_file_atomically(const std::string &path, const void *data, size_t size);

}  // namespace pedaform

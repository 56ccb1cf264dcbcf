// The words of the dialogs: the toolkit's own labels in the program's language, and the
// operator's wording of the common reasons a file cannot be written or read. The batch command
// keeps its English messages; only the GUI uses these.
#pragma once

#include <string>

#include "core/result.h"

// Sets every label of FLTK's file chooser and message boxes (OK, Cancel, Show:, Favorites,
// Filename:, ...) to Traditional Chinese. Call once before the first dialog is made: the file
// chooser reads its labels when it is built.
void use_chinese_dialog_labels();
// Every label use_chinese_dialog_labels sets, one after the other.
std::string chinese_dialog_labels();

// The reason, in Traditional Chinese followed by the system's text in parentheses, for the
// common causes: no such folder, no permission, disk full, read-only file system, a folder where
// a file was expected (and, for reading, no such file). "" for any other cause.
// `error` is an errno value; `reading` tells a missing file from a missing folder.
std::string failure_reason(int error, bool reading, const std::string &path);

// The alert text for a failed write of `path`: the reason in Chinese when `message` ends with
// the system's text of a common cause (as write_file_atomically's messages do), else the
// message as it is.
std::string write_failure_text(const std::string &path, const std::string &message);

// Fails when `path` cannot be opened for reading (a folder included), with the reason as
// failure_reason gives it, or the system's text for another cause.
pedaform::Result<> check_readable(const std::string &path);
// True when the file, or a folder on its way, does not exist.
bool file_missing(const std::string &path);

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

// The alert text for a failed write of `path`: "無法寫入檔案: PATH" and the failure's GUI words
// (the reason in Chinese for the common causes, core/file_words.h), else its message.
std::string write_failure_text(const std::string &path, const pedaform::Failure &why);

// True when the file, or a folder on its way, does not exist. Never waits on a FIFO.
bool file_missing(const std::string &path);

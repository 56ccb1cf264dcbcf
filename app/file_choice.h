// The operator's file choosers. FLTK picks GTK's chooser when it can and its own otherwise
// (always with the FLTK preference FNFCUsesGTK:0). FLTK's own chooser selects the whole path
// it opens with, and a name typed over that path is taken relative to the working directory
// with the cursor sent back to the start, which garbles the name; here only the file's name
// is selected, so that typing replaces just the name in either chooser, and a relative name
// typed into FLTK's own is put in the folder it shows before that chooser sees it.
#pragma once

#include <optional>
#include <string>

#include "core/result.h"

// Shows an Fl_Native_File_Chooser of `type` (an Fl_Native_File_Chooser::Type) with `title`
// and `filter`, opened on `proposed` when it is not empty: its folder is shown and its name is
// ready to be typed over. Returns the chosen name; none after a cancel (printed on standard
// error as "*** CANCEL") or when no name was given; fails with the chooser's message when it
// could not be shown.
pedaform::Result<std::optional<std::string>> choose_file(
    int type, const char *title, const char *filter, const std::string &proposed = std::string());

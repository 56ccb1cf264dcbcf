// The font of the labels. The labels are Traditional Chinese; the toolkit's default sans font
// may have no such glyphs and would draw boxes under a locale that does not name the language.
// So the program asks fontconfig for a font that covers the labels and gives it to the toolkit.
#pragma once

#include <string>

// The family fontconfig offers for Traditional Chinese sans text that covers every character
// of the program's labels; empty when no installed font covers them.
std::string find_label_font();

// True when the font `family` has a glyph for every character of the UTF-8 `text`.
bool font_covers(const std::string &family, const char *text);

// Makes FL_HELVETICA and FL_HELVETICA_BOLD use that font. Returns the family, or an empty
// string (and the toolkit's fonts stay) when none was found.
std::string use_label_font();

// Every label the program shows: the main window's (menus, controls, sizes), the print
// dialog's, the import's dialogs' and the toolkit dialogs'.
std::string label_text();

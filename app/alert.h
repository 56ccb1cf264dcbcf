// Operator alerts that stay on the screen whatever they name: a long path is broken into lines
// no wider than the screen allows, and an endless one is shortened in the middle.
#pragma once

#include <string>

// Shows `text` in a modal alert titled `caption`, laid out by fit_alert_text for the screen.
void show_alert(const char *text, const char *caption);

// Asks a question with two answers in a modal dialog titled "確認"; `text` is laid out as the
// alert lays it out. `keep` is the answer that keeps the operator's work: it is the default
// button (Enter presses it, it has the focus), and Escape or closing the dialog give it too.
// Returns 1 when `other` was pressed, 0 for `keep`.
int show_question(const char *text, const char *keep, const char *other);
// The same with two other answers, left to right before `keep`: 1 for `first`, 2 for `second`,
// 0 for `keep`.
int show_choice(const char *text, const char *keep, const char *first, const char *second);

// `text` laid out in the alert's font (FLTK's message font): every line at most `max_width`
// pixels wide, broken after the last '/' that fits or else between two characters (never
// inside one UTF-8 sequence); when more than `max_lines` lines result, the middle ones give way
// to one line "…". Every '@' is doubled so that FLTK shows it rather than reading a symbol.
// Opens the display to measure.
std::string fit_alert_text(const char *text, int max_width, int max_lines);

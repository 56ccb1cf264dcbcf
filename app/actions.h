// The actions of the menu entries and controls. Each reads the controls through the globals,
// calls the core and leaves the redrawing to the views' timers.
#pragma once

#include <FL/Fl_Widget.H>

#include <string>

// Callbacks (widget and user data are ignored).
void load_cb(Fl_Widget *, void *);
void export_engraving_cb(Fl_Widget *, void *);
void export_print_cb(Fl_Widget *, void *);
void top_view_cb(Fl_Widget *, void *);
void smooth_cb(Fl_Widget *, void *);
void filter_gain_cb(Fl_Widget *, void *);
void meta1_cb(Fl_Widget *, void *);
void meta2_cb(Fl_Widget *, void *);
void heel1_cb(Fl_Widget *, void *);
void heel2_cb(Fl_Widget *, void *);
void heel3_cb(Fl_Widget *, void *);
void pad_width_cb(Fl_Widget *, void *);
void pad_stamp_request_cb(Fl_Widget *, void *);

// The file-menu load: load_scan(), then the stamp check button off and a stamp requested.
void load_action();
// Asks for a scan with the file chooser and loads it.
void load_scan();
// Everything of load_scan() after a name was chosen: the tests call it with a path.
void load_scan_path(const char *path);

// Asks for a name with the save dialog and writes the engraving BMP.
void export_engraving();
// Everything after the name was chosen.
void export_engraving_to(const char *chosen);
// The 3D-print export into `path` ("./merge.stl" from the menu).
void export_print_to(const std::string &path);

// The composition with the stamp controls as they stand.
void compose_relief();
void update_relief_preview();
void apply_filter_gain();
void smooth_relief();

// The operator-facing message box (an alert with the given caption). Tests replace it.
extern void (*show_message_box)(const char *text, const char *caption);

// The main window: both views, the foot switch, the fifteen controls and the two menu bars, and
// the global pointers through which every action reaches them. Built once; nothing is ever
// freed.
#pragma once

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Slider.H>

#include <string>
#include <vector>

#include "app/gl_display_3d.h"
#include "app/gl_display_image.h"
#include "core/warnings.h"
#include "design/controls.h"
#include "relief/foot_axis.h"
#include "core/size_table.h"

extern Fl_Double_Window *g_main_window;
// The data files, read once by build_main_window and shared read-only.
extern pedaform::Resources *g_resources;
// One warning for each data file that could not be read (already on standard error).
extern pedaform::Warnings g_startup_warnings;
extern GL_Display_3D *g_view3d;
extern GL_Display_Image *g_image_view;
extern Fl_Check_Button *g_foot_pressure;
extern Fl_Menu_Bar *g_menu;
extern Fl_Output *g_size_output;
// The design's controls, in the order of Control: value sliders and check buttons, made from
// the control table.
extern Fl_Widget *g_controls[pedaform::kControlCount];
// The "左腳 | 右腳" switch above the image view (radio buttons, left then right) and the
// "左右同步" check button above it.
extern Fl_Button *g_foot_buttons[pedaform::kFootCount];
extern Fl_Check_Button *g_link_button;
inline Fl_Widget *control_widget(pedaform::Control c) {
    return g_controls[static_cast<int>(c)];
}
// The two menu tables.
extern Fl_Menu_Item g_menu_upper_items[];
extern Fl_Menu_Item g_menu_lower_items[];

// Builds the window, reads the data files from `data_dir` ("" for the working directory),
// builds the views and the controls, in start-up order, and ends the window's group.
// Does not show it.
Fl_Double_Window *build_main_window(const std::string &data_dir = std::string());

// Every label the main window shows: the menus', the controls', the size labels and its own.
std::string main_window_labels();

// Marks the "尺碼" entries of the bin nearest to a length that matched no bin ("（最接近）"),
// or none.
void mark_nearest_size(const pedaform::SizeBin *nearest);

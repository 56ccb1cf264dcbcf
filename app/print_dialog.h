// What the 3D-print export asks before it writes a 3MF file: the slicer the file is for, the
// pressure zones as rows of a threshold (a share of the foot's peak pressure) and an infill
// density, the mesh tolerance, and the printer's bed on which a pair's two insoles must fit. While
// the dialog is open the image view shows the insole's cells in their zones' colours, zoned as the
// 3MF file will be (print_zone_cells of the prepared relief).
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model3d/print_3mf.h"

// Where the slicer choice and the bed are kept between runs: "" for the user's FLTK preferences,
// otherwise a folder of its own (the tests'). The file is "pedaform/pedaform.prefs" inside.
extern std::string g_preferences_dir;

class Fl_Preferences;
// The group `group` of the program's preferences, there, for the time of `use`.
void with_preferences(const char *group, const std::function<void(Fl_Preferences &)> &use);

class PrintDialog {
  public:
    // Rows from `zones` (thresholds read as shares of the peak), the tolerance as given, the
    // slicer from the preferences. Colours the image view at once.
    PrintDialog(const std::vector<pedaform::PrintZone> &zones, double tolerance_mm);
    // Gives the image view back its relief preview.
    ~PrintDialog();
    PrintDialog(const PrintDialog &) = delete;
    PrintDialog &operator=(const PrintDialog &) = delete;

    // Modal until "輸出" with valid zones (true: the slicer and the bed are remembered) or "取消"
    // or the window's close button (false). Invalid zones are said in a message box; the dialog
    // stays.
    bool run();

    // What the widgets hold; zones may be invalid (check_zones says why, naming the dialog's
    // rows: 「分區 3 的門檻須高於分區 2 的門檻」).
    pedaform::PrintSettings settings() const;
    pedaform::Result<> check_zones() const;

    // A row after the last, 10 points above it at the same infill; at most kMaxZones.
    void add_zone();
    void remove_zone(size_t row);
    // Rebuilds the image view's zone colours from the widgets.
    void recolour();

    static constexpr size_t kMaxZones = 8;
    struct Row {
        Fl_Spinner *threshold, *density;
        Fl_Button *remove;
    };
    Fl_Double_Window window;
    Fl_Choice *slicer;
    Fl_Value_Input *tolerance;
    Fl_Value_Input *bed_width, *bed_depth;
    Fl_Button *add, *ok, *cancel;
    std::vector<Row> rows;

  private:
    void place_rows();
    // The relief as the 3MF will have it: the zones shown are the file's.
    pedaform::PreparedRelief prepared_;
    bool done_ = false, accepted_ = false;
};

// Every label the dialog shows.
std::string print_dialog_labels();

// The colour of zone k in the image view while the dialog is open.
void zone_colour(int zone, uint8_t rgb[3]);

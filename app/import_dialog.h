// "檔案" → "匯入壓力檔…": a lab's pressure recording in (import/pressure_import.h), one scan a
// foot out, written beside the recording and loaded into that foot.
//
// The steps: the recording is chosen; where the file lacks the sensor pitch or the unit (a
// plate's roll-off export, a peak grid) the scale dialog asks them, offering the values last
// given (kept in the preferences' "import" group); when the recording holds more than one
// footprint the operator could use, the step dialog shows them side by side and the operator
// picks at most one a foot, the importer's choice picked at the start; then a save chooser for
// each chosen foot proposes NAME_L.bmp or NAME_R.bmp beside the recording, both scans are
// written whole or not at all (never over the recording, the design's scan or its file), and
// each is loaded into its own foot of the pair (load_scans_into_feet), the first's foot shown. A
// refused recording is said in an alert with the importer's words and writes nothing.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Float_Input.H>

#include <string>
#include <vector>

#include "import/pressure_import.h"

void import_recording_cb(Fl_Widget *, void *);
// Everything after the chooser: the tests call it with a path.
void import_recording_path(const char *path);

// The pitch and unit a recording lacks. The widgets of what the file gives are inactive and
// show the file's values.
class ScaleDialog {
  public:
    ScaleDialog(const pedaform::RecordingScale &file);
    ScaleDialog(const ScaleDialog &) = delete;
    ScaleDialog &operator=(const ScaleDialog &) = delete;
    // Modal until "確定" with a valid pitch (true: the values are remembered) or "取消" or the
    // close button (false). A pitch that is no number above 0 and at most 100 mm is said in a
    // message box; the dialog stays.
    bool run();
    // The widgets' values as options: only what the file lacks.
    pedaform::Result<> fill(pedaform::ImportOptions &options) const;

    Fl_Double_Window window;
    Fl_Float_Input *row_pitch, *col_pitch;
    Fl_Choice *unit;
    Fl_Button *ok, *cancel;

  private:
    pedaform::RecordingScale file_;
    bool accepted_ = false;
};

// One footprint of the step dialog: its peak picture (toes up, at the dialog's common scale,
// made once), its number, side and length, drawn framed when chosen. A click or the space key
// calls the callback.
class FootprintCard : public Fl_Button {
  public:
    FootprintCard(int x, int y, int w, int h, const pedaform::ImportedFootprint &footprint,
                  double pixels_per_mm);
    const pedaform::ImportedFootprint &footprint() const { return footprint_; }
    const std::string &text() const { return text_; }

  protected:
    void draw() override;

  private:
    const pedaform::ImportedFootprint &footprint_;
    std::vector<uint8_t> rgb_;  // the picture, picture_w_ x picture_h_
    int picture_w_ = 0, picture_h_ = 0;
    std::string text_;
};

// The footprints side by side; at most one chosen a foot.
class StepDialog {
  public:
    // Cards for the footprints the operator could use (measured, not set aside), the ones the
    // importer used chosen; a line lists the others with why they were set aside.
    explicit StepDialog(const pedaform::Import &import);
    StepDialog(const StepDialog &) = delete;
    StepDialog &operator=(const StepDialog &) = delete;
    // Modal until "匯入" with a foot chosen (true) or "取消" or the close button (false).
    bool run();
    // A card's click: the footprint becomes its foot's choice, or none when it was already.
    void pick(int number);
    // The chosen footprints' numbers, left foot first.
    std::vector<int> chosen() const;

    Fl_Double_Window window;
    std::vector<FootprintCard *> cards;
    Fl_Button *ok, *cancel;

  private:
    void show_choice();
    std::string summary_;
    Fl_Widget *summary_box_ = nullptr;
    int chosen_[2] = {0, 0};  // by side; 0 none
    bool accepted_ = false;
};

// Every label the import's dialogs show.
std::string import_dialog_labels();

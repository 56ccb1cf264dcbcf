// The actions of the menu entries and controls. Each is one call on the design model (the pair's,
// design/pair.h, for the foot shown) plus the widget updates it needs; the views show the change
// at their next frame.
#pragma once

#include <FL/Fl_Widget.H>

#include <string>
#include <utility>
#include <vector>

#include "design/design.h"
#include "design/pair.h"

// The pair the window holds, made by build_main_window; the foot the switch shows; and that
// foot's design, which the views show.
extern pedaform::Pair *g_pair;
extern pedaform::Foot g_foot;
extern pedaform::Design *g_design;

// Shows `foot`: the switch, both views, the sliders in place for its side, its control values
// and the title. Both feet's designs stay made, so nothing is computed.
void show_foot(pedaform::Foot foot);
// The switch's buttons; the user data is the foot's index (0 left, 1 right).
void foot_switch_cb(Fl_Widget *, void *foot);
// "左右同步": unlinks the feet, or links them; linking feet whose settings differ asks which
// foot's settings both take (取消 leaves them unlinked).
void link_cb(Fl_Widget *, void *);
void open_pair_cb(Fl_Widget *, void *);
void save_pair_cb(Fl_Widget *, void *);
// "新的一對": both feet empty and linked, after asking when either has unsaved steps.
void new_pair_cb(Fl_Widget *, void *);
// What new_pair_cb does after the chooser; false when the operator kept the work.
bool start_new_pair();

// Callbacks (widget and user data are ignored).
void load_cb(Fl_Widget *, void *);
void export_engraving_cb(Fl_Widget *, void *);
void export_print_cb(Fl_Widget *, void *);
void export_printable_cb(Fl_Widget *, void *);
void open_design_cb(Fl_Widget *, void *);
// "儲存設計" (Ctrl+S): to the design's own file, or as "另存設計…" when it has none yet.
void save_design_cb(Fl_Widget *, void *);
// "另存設計…": to a file the operator chooses, proposed by the design's own name or else the
// scan's.
void save_design_as_cb(Fl_Widget *, void *);
// "訂單資料…": the order's fields in the order dialog (app/order_dialog.h); the pair keeps
// them for both feet (Pair::set_order, no step), and the title marks them unsaved. Without a scan
// it says "尚未讀取掃描檔".
void order_cb(Fl_Widget *, void *);
// "輸出訂單…": the order sheet (order/order_sheet.h) to a PDF file, proposed as the scan's name
// with ".pdf": one sheet for both feet when both are loaded.
void export_order_cb(Fl_Widget *, void *);
void top_view_cb(Fl_Widget *, void *);
// A size chosen from the "尺碼" menu; the user data is the label's index.
void size_cb(Fl_Widget *, void *index);
void reset_point_cb(Fl_Widget *, void *);
// "依蹠骨頭放置": the dome's apex 7 mm heel-ward of the metatarsal heads.
void dome_from_heads_cb(Fl_Widget *, void *);
// The image view's click, drag or arrow key moved the metatarsal point to this cell; off the
// insole (foot or template), the point goes to the nearest insole cell instead.
void move_point_to(float column, float row);
// The left button went down on the image view or a control's slider (true) or up (false): a
// press-drag-release is one design step.
void point_gesture(bool open);
// "建議處方": the proposal's steps (design/proposal.h), then each value and why in a message.
void propose_cb(Fl_Widget *, void *);
void undo_cb(Fl_Widget *, void *);
void redo_cb(Fl_Widget *, void *);
void smooth_cb(Fl_Widget *, void *);
// Every control's widget: the control is the user data, the value the widget's. Changes of one
// control less than a second apart, or within one drag of its slider, are one step.
void control_cb(Fl_Widget *widget, void *control);
// A number typed into a slider's value box (already checked against the control's row).
void set_typed_control(pedaform::Control c, double value);
// True when nothing unsaved would be lost, or the operator agrees to lose it: asked before
// the window closes (either foot's steps) and before another scan, design or pair replaces
// them.
bool ask_before_discard();
// Ctrl+Shift+Z, the second redo shortcut (a menu entry holds one).
int redo_shortcut_handler(int event);

// Everything of the menu entries after a name was chosen: the tests call these with a path.
// Loading fills the foot shown; a scan of the other foot asks to go there (unless neither foot
// holds a scan), and a foot's scan named NAME_L.bmp or NAME_R.bmp (the importer's names) also
// fills the other foot, when that one is empty, with its partner beside it. Loading asks first
// when the foot it fills has unsaved steps; false when the operator kept it. A refused scan,
// like a cancelled chooser, adds no step and changes nothing. Opening a design fills the foot of
// its scan's side the same way; a pair file chosen there opens as a pair.
// With both feet loaded, the exports write both: the engravings and STL files with _L and _R
// before the extension, one 3MF of both insoles on the bed (or one per foot, said, when they
// do not fit).
// Every export and a design saved elsewhere than its own file ask before replacing a file; no
// export replaces the design's scan (「不能覆寫目前的掃描檔」) or its design file, and no design
// is saved over its scan. Saving a design whose scan is gone asks first. The exports added to
// the engraving one and saving a design say "尚未讀取掃描檔" without a scan and write nothing.
// The engraving smooths the relief (a step) once its file is to be written. Opening a design
// whose scan is missing offers to choose another scan to replay it on. Extensions are matched
// in either case. The folder of every path named is the next save's proposal.
bool load_scan_path(const char *path);
// An imported recording's scans (app/import_dialog.h), each into the foot given (its own side),
// asking first when that foot has unsaved steps; the first's foot is then shown.
void load_scans_into_feet(const std::vector<std::pair<pedaform::Foot, std::string>> &scans);
void export_engraving_to(const char *chosen);
void export_print_to(const std::string &path);
// The printable insole: ".stl" the closed solid as binary STL, otherwise a 3MF (".3mf" added
// when missing) for the slicer, zones and tolerance ask_print_settings gives.
void export_printable_to(const char *path);
// The order sheet of the feet exported (both when both are loaded), ".pdf" added when missing; a
// failure (the font missing, a file that cannot be written) is said in a box and writes nothing.
void export_order_to(const char *path);
void open_design_path(const char *path);
void save_design_path(const char *path);
void open_pair_path(const char *path);
void save_pair_path(const char *path);

// True when a new file may be written at `path`, as for an export: not over the design's scan
// or design file, a file can be written there, and nothing is there yet or the operator agrees
// to replace it; each refusal is said.
bool may_write_file(const std::string &path);

// Moves every control to the design's values and shows its title.
void sync_controls();

// The operator-facing message box (an alert with the given caption). Tests replace it.
extern void (*show_message_box)(const char *text, const char *caption);
// A question with two answers; returns 1 for `yes`, 0 for `no`, the default answer that keeps
// the operator's work (Enter and Escape give it). Tests replace it.
extern int (*ask_question)(const char *text, const char *no, const char *yes);
// A question with three answers: 0 for `keep` (the default), 1 for `first`, 2 for `second`.
// Tests replace it.
extern int (*ask_choice)(const char *text, const char *keep, const char *first, const char *second);
// The labels of the pair's questions' answers, for the label font.
std::string pair_action_labels();
// The 3D-print export's questions (print_dialog.h, from the default zones); false when
// cancelled. Tests replace it.
extern bool (*ask_print_settings)(pedaform::PrintSettings &settings);
// The order dialog's answer: false when cancelled, else `order` holds the checked fields. Tests
// replace it.
extern bool (*ask_order)(pedaform::OrderData &order);

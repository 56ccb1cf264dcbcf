// Design files: a design kept as JSON so that it can be opened again weeks later.
//
//     {"format": "pedaform-design", "version": 1,
//      "scan": {"file": "left_253.bmp", "sha256": "<64 hex digits>", "side": "left",
//               "axis": {"heel": [90, 42], "heads": [84, 189]}},
//      "start": {"meta1": 0, ..., "stamp": false, "pad_width": 51, ...},
//      "steps": [{"step": "meta1", "value": 3}, {"step": "stamp", "value": true},
//                {"step": "smooth"}, {"step": "meta_point", "column": 70, "row": 230},
//                {"step": "size", "label": "CM25-26"}, {"step": "dome_behind_heads", "mm": 7}]}
//
// "file" is relative to the design file's folder (an absolute name is used as it is); "side" is
// the foot of that scan and "axis" its foot's axis as [column, row] points (relief/foot_axis.h);
// files without them open as before. "start" holds every control's value right after the load;
// each step names a control with its new value, "smooth", "meta_point" with the point in grid
// units, "size" with a size label, or "dome_behind_heads" with the millimetres behind the
// forefoot's pressure peak (0 to 30; Design::place_dome_behind_heads).
//
// Opened on a scan of the other foot than "side", the hand-placed points ("meta_point" steps)
// are carried to that foot by mirrored_to_other_foot from the recorded axis (without one, from
// the new foot's axis mirrored across the grid's middle column), rounded to whole cells, and
// the opening says so; the dome steps need nothing, being worked out on the scan they run on.
//
// The order data (order/order_data.h) stands after "version" as "order", holding the fields
// that are not empty; a design without order data has no "order", as files had before it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "design/design.h"
#include "relief/foot_axis.h"

namespace pedaform {

struct DesignFile {
    std::string scan_file;  // as written in the file
    std::string scan_sha256;
    std::optional<Foot> side;      // of the design's own scan; none in older files
    std::optional<FootAxis> axis;  // that foot's axis (heel and heads; toe_ward not kept)
    Controls start;
    std::vector<Step> steps;
    OrderData order;
};

constexpr int kDesignFileVersion = 1;

std::string design_file_text(const DesignFile &file);
// The design file's object, as a pair file holds it for each foot.
nlohmann::ordered_json design_file_json(const DesignFile &file);
// The steps as the file lists them, one object each.
nlohmann::ordered_json design_steps_json(const std::vector<Step> &steps);

// Parses and checks everything: JSON, format, version, the scan entry, every control value
// against its range and step, every step, the order's fields. Failure says what is wrong.
Result<DesignFile> parse_design_file(const std::string &text);
// The same checks on a parsed object.
Result<DesignFile> design_file_from_json(const nlohmann::ordered_json &doc);
// The same for the file at `path`, read within kMaxDesignBytes (core/file_input.h); its
// failures start with the path.
Result<DesignFile> read_design_file(const std::string &path);

// The design as a file saved at `path` (the scan named relative to its folder).
DesignFile design_file_of(const Design &design, const std::string &path);
// Writes the design through a temporary file renamed over `path`.
Result<> save_design(const Design &design, const std::string &path);

// The path of the scan a design file at `design_path` names.
std::string design_scan_path(const std::string &design_path, const DesignFile &file);

// The file's "start" values against a load of a scan, which starts from `start`: on the
// design's own scan (the bytes the load read have the file's checksum) every value the load
// sets itself (set_by_load: the controls reset at a load, the size presets) must be the one the
// load gives, else the file is refused naming the first that is not. On another scan the load's
// own values stand (start_changes names those that differ).
Result<> check_start_values(const DesignFile &file, const ScanLoadResult &loaded,
                            const Controls &start);
// Replayed on another scan: the warning naming the "start" values that the scan's load set
// otherwise (`start`: the design's start controls after the load); none when none differ.
std::optional<Warning> start_changes(const DesignFile &file, const Controls &start);

// What opening a design gives. A refusal leaves the design as it was: `load` fails with why,
// and `file_refused` tells a design file whose start values do not fit its own scan from a
// refused scan.
struct OpenedDesign {
    Result<ScanLoadResult> load = Failure{""};
    bool file_refused = false;
    Result<> replayed;                     // the steps' replay
    std::optional<Warning> start_changed;  // start_changes, on another scan
    // The hand-placed points mirrored onto a scan of the other foot than the file's, said.
    Warnings mirrored;
};

// Loads `scan_path` (once: its checksum is that of the bytes loaded) with the file's start
// values, judged by `check` (the caller's: the checksum, a question) and then by
// check_start_values, and replays the file's steps, their hand-placed points mirrored about the
// foot's axis when the scan is of the other foot than the file's; the design then takes the
// file's order and is marked saved.
OpenedDesign open_design(Design &design, const DesignFile &file, const std::string &scan_path,
                         const LoadCheck &check = nullptr);

// open_design in its two halves, for a pair whose feet are replayed side by side (open_pair):
// the load as open_design judges it, then, on a loaded design, the rest of the opening.
OpenedDesign load_design_scan(Design &design, const DesignFile &file, const std::string &scan_path,
                              const LoadCheck &check = nullptr);
void replay_design_file(Design &design, const DesignFile &file, OpenedDesign &opened);

}  // namespace pedaform

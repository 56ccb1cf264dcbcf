// Design files: a design kept as JSON so that it can be opened again weeks later.
//
//     {"format": "pedaform-design", "version": 1,
//      "scan": {"file": "left_253.bmp", "sha256": "<64 hex digits>"},
//      "start": {"meta1": 0, ..., "stamp": false, "pad_width": 51, ...},
//      "steps": [{"step": "meta1", "value": 3}, {"step": "stamp", "value": true},
//                {"step": "smooth"}, {"step": "meta_point", "column": 70, "row": 230},
//                {"step": "size", "label": "CM25-26"}]}
//
// "file" is relative to the design file's folder (an absolute name is used as it is); "start"
// holds every control's value right after the load; each step names a control with its new
// value, "smooth", "meta_point" with the point in grid units, or "size" with a size label.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "design/design.h"

namespace pedaform {

struct DesignFile {
    std::string scan_file;  // as written in the file
    std::string scan_sha256;
    Controls start;
    std::vector<Step> steps;
};

constexpr int kDesignFileVersion = 1;

std::string design_file_text(const DesignFile &file);
// The steps as the file lists them, one object each.
nlohmann::ordered_json design_steps_json(const std::vector<Step> &steps);

// Parses and checks everything: JSON, format, version, the scan entry, every control value
// against its range and step, every step. Failure says what is wrong.
Result<DesignFile> parse_design_file(const std::string &text);
// The same for the file at `path`; its failures start with the path.
Result<DesignFile> read_design_file(const std::string &path);

// The design as a file saved at `path` (the scan named relative to its folder).
DesignFile design_file_of(const Design &design, const std::string &path);
// Writes the design through a temporary file renamed over `path`.
Result<> save_design(const Design &design, const std::string &path);

// The path of the scan a design file at `design_path` names.
std::string design_scan_path(const std::string &design_path, const DesignFile &file);

// What opening a design gives: the scan's load, and how the replay of the steps went.
struct OpenedDesign {
    ScanLoadResult load;
    Result<> replayed;
};

// Loads `scan_path` with the file's start values and replays its steps; the design is marked
// saved. A refused scan leaves the design as it was and fails with the loader's reason.
Result<OpenedDesign> open_design(Design &design, const DesignFile &file,
                                 const std::string &scan_path);

}  // namespace pedaform

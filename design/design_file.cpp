#include "design/design_file.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/size_bin.h"
#include "core/file_input.h"
#include "core/file_output.h"
#include "relief/dome_placement.h"

namespace pedaform {

namespace {

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

const char *const kFormat = "pedaform-design";

// Whole values as whole numbers, so that the file reads as the sliders show them.
json number_json(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e9) return static_cast<long>(value);
    return value;
}

json control_json(Control c, double value) {
    if (control_spec(c).widget == Widget::kCheckButton) return value != 0;
    return number_json(value);
}

json point_json(GridPoint p) {
    return {number_json(p.column), number_json(p.row)};
}

// The value of control `c` in `v`, checked: a value the control's widget can take, or one the
// program itself sets (a size preset), so that every design the program saves opens again.
Result<double> control_from_json(Control c, const json &v) {
    const ControlSpec &range = control_spec(c);
    const std::string name = std::string("\"") + range.name + "\"";
    if (range.widget == Widget::kCheckButton) {
        if (!v.is_boolean())
            return Failure{name + " must be true or false", name + " 須為 true 或 false"};
        return v.get<bool>() ? 1.0 : 0.0;
    }
    if (!v.is_number() || !control_value_accepted(c, v.get<double>())) {
        std::ostringstream text, gui;
        text << name << " must be a number from " << range.min << " to " << range.max
             << " in steps of " << range.step << ", not " << v.dump();
        gui << name << " 須為 " << range.min << " 到 " << range.max << "、間隔 " << range.step
            << " 的數值，不是 " << v.dump();
        return Failure{text.str(), gui.str()};
    }
    return v.get<double>();
}

Result<Step> meta_point_from_json(const json &j) {
    Step step;
    step.kind = StepKind::kMetaPoint;
    const json col = j.value("column", json()), row = j.value("row", json());
    if (!col.is_number() || !row.is_number() || !(col.get<double>() >= 0) ||
        !(col.get<double>() <= kGridWidth - 1) || !(row.get<double>() >= 0) ||
        !(row.get<double>() <= kGridHeight - 1))
        return Failure{
            "\"meta_point\" needs a \"column\" from 0 to 149 and a \"row\" from 0 to 359",
            "\"meta_point\" 需要 0 到 149 的 \"column\" 與 0 到 359 的 \"row\""};
    step.column = static_cast<float>(col.get<double>());
    step.row = static_cast<float>(row.get<double>());
    return step;
}

Result<Step> dome_step_from_json(const json &j) {
    Step step;
    step.kind = StepKind::kDomeBehindHeads;
    const json mm = j.value("mm", json());
    if (!mm.is_number() || !(mm.get<double>() >= 0) || !(mm.get<double>() <= kDomeBehindHeadsMaxMm))
        return Failure{"\"dome_behind_heads\" needs \"mm\" from 0 to 30, not " + mm.dump()};
    step.value = mm.get<double>();
    return step;
}

Result<Step> step_from_json(const json &j) {
    if (!j.is_object() || !j.contains("step") || !j["step"].is_string())
        return Failure{"a step must be an object with a \"step\" name",
                       "步驟須是有 \"step\" 名稱的物件"};
    const std::string name = j["step"].get<std::string>();
    Step step;
    if (name == "smooth") {
        step.kind = StepKind::kSmooth;
        return step;
    }
    if (name == "meta_point") return meta_point_from_json(j);
    if (name == "dome_behind_heads") return dome_step_from_json(j);
    if (name == "size") {
        step.kind = StepKind::kSize;
        const json label = j.value("label", json());
        const std::optional<int> size =
            label.is_string() ? size_label_index(label.get<std::string>()) : std::nullopt;
        if (!size)
            return Failure{"\"size\" needs a \"label\" of a size bin, not " + label.dump(),
                           "\"size\" 需要尺碼的 \"label\"，不是 " + label.dump()};
        step.size = *size;
        return step;
    }
    const std::optional<Control> control = control_named(name);
    if (!control) return Failure{"unknown step \"" + name + "\"", "不明的步驟 \"" + name + "\""};
    if (!j.contains("value"))
        return Failure{"step \"" + name + "\" has no \"value\"",
                       "步驟 \"" + name + "\" 沒有 \"value\""};
    step.kind = StepKind::kSet;
    step.control = *control;
    const Result<double> value = control_from_json(*control, j["value"]);
    if (!value) return value.reason();
    step.value = *value;
    return step;
}

// The "start" values: every control, but those written only when in use may be missing and
// keep their start value. A value of no control is refused, never dropped.
Result<> start_from_json(const json &start, Controls &out) {
    if (!start.is_object())
        return Failure{"the design file has no \"start\" values", "設計檔沒有 \"start\" 值"};
    for (const auto &item : start.items())
        if (!control_named(item.key()))
            return Failure{"\"start\" has an unknown value \"" + item.key() + "\"",
                           "\"start\" 有不明的值 \"" + item.key() + "\""};
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        const char *name = control_spec(c).name;
        if (!start.contains(name) && control_spec(c).optional_in_file) continue;
        if (!start.contains(name))
            return Failure{std::string("\"start\" has no \"") + name + "\"",
                           std::string("\"start\" 沒有 \"") + name + "\""};
        const Result<double> value = control_from_json(c, start[name]);
        if (!value) return value.reason();
        out[c] = *value;
    }
    return Result<>();
}

// A [column, row] point on the grid.
std::optional<GridPoint> grid_point_from_json(const json &j) {
    if (!j.is_array() || j.size() != 2 || !j[0].is_number() || !j[1].is_number())
        return std::nullopt;
    const double column = j[0].get<double>(), row = j[1].get<double>();
    if (!(column >= 0 && column <= kGridWidth - 1 && row >= 0 && row <= kGridHeight - 1))
        return std::nullopt;
    return GridPoint{static_cast<float>(column), static_cast<float>(row)};
}

// The scan's "side" and "axis", both optional.
Result<> side_from_json(const json &scan, DesignFile &f) {
    if (scan.contains("side")) {
        const json side = scan["side"];
        if (side != "left" && side != "right")
            return Failure{"the scan's \"side\" must be \"left\" or \"right\", not " + side.dump()};
        f.side = side == "left" ? Foot::kLeft : Foot::kRight;
    }
    if (!scan.contains("axis")) return Result<>();
    const json axis = scan["axis"];
    const std::optional<GridPoint> heel =
        axis.is_object() ? grid_point_from_json(axis.value("heel", json())) : std::nullopt;
    const std::optional<GridPoint> heads =
        axis.is_object() ? grid_point_from_json(axis.value("heads", json())) : std::nullopt;
    if (!heel || !heads)
        return Failure{
            "the scan's \"axis\" needs \"heel\" and \"heads\" as [column, row] on the "
            "grid"};
    f.axis = FootAxis{*heel, *heads, std::nullopt};
    return Result<>();
}

bool is_sha256(const std::string &s) {
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

nlohmann::ordered_json design_steps_json(const std::vector<Step> &list) {
    json steps = json::array();
    for (const Step &s : list) {
        switch (s.kind) {
            case StepKind::kSet:
                steps.push_back({{"step", control_spec(s.control).name},
                                 {"value", control_json(s.control, s.value)}});
                break;
            case StepKind::kSmooth:
                steps.push_back({{"step", "smooth"}});
                break;
            case StepKind::kMetaPoint:
                steps.push_back({{"step", "meta_point"}, {"column", s.column}, {"row", s.row}});
                break;
            case StepKind::kSize:
                steps.push_back({{"step", "size"}, {"label", size_label(s.size)}});
                break;
            case StepKind::kDomeBehindHeads:
                steps.push_back({{"step", "dome_behind_heads"}, {"mm", number_json(s.value)}});
                break;
        }
    }
    return steps;
}

json design_file_json(const DesignFile &file) {
    json start = json::object();
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        if (control_spec(c).optional_in_file && file.start[c] == 0) continue;
        start[control_spec(c).name] = control_json(c, file.start[c]);
    }
    json scan = {{"file", file.scan_file}, {"sha256", file.scan_sha256}};
    if (file.side) scan["side"] = foot_name(*file.side);
    if (file.axis)
        scan["axis"] = {{"heel", point_json(file.axis->heel)},
                        {"heads", point_json(file.axis->heads)}};
    json doc = {{"format", kFormat}, {"version", kDesignFileVersion}};
    if (!file.order.empty()) doc["order"] = order_json(file.order);
    doc["scan"] = scan;
    doc["start"] = start;
    doc["steps"] = design_steps_json(file.steps);
    return doc;
}

std::string design_file_text(const DesignFile &file) {
    return design_file_json(file).dump(2) + "\n";
}

Result<DesignFile> parse_design_file(const std::string &text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded())
        return Failure{"not a design file: the text is not JSON", "不是設計檔：內容不是 JSON"};
    return design_file_from_json(doc);
}

Result<DesignFile> design_file_from_json(const json &doc) {
    if (!doc.is_object() || doc.value("format", json()) != kFormat)
        return Failure{"not a design file: \"format\" is not \"pedaform-design\"",
                       "不是設計檔：\"format\" 不是 \"pedaform-design\""};
    const json version = doc.value("version", json());
    if (!version.is_number_integer() || version.get<long>() < 1)
        return Failure{"the design file has no valid \"version\"", "設計檔沒有有效的 \"version\""};
    const std::string known = std::to_string(kDesignFileVersion);
    if (version.get<long>() > kDesignFileVersion)
        return Failure{"the design file is version " + version.dump() +
                           ", newer than this program reads (" + known + ")",
                       "設計檔是第 " + version.dump() + " 版，比本程式能讀的第 " + known + " 版新"};
    DesignFile f;
    const json scan = doc.value("scan", json());
    if (!scan.is_object() || !scan.value("file", json()).is_string() ||
        scan["file"].get<std::string>().empty() || !scan.value("sha256", json()).is_string() ||
        !is_sha256(scan["sha256"].get<std::string>()))
        return Failure{"the design file's \"scan\" needs a \"file\" and a \"sha256\"",
                       "設計檔的 \"scan\" 需要 \"file\" 與 \"sha256\""};
    if (doc.contains("order")) {
        const Result<OrderData> order = order_in_file(doc["order"]);
        if (!order) return order.reason();
        f.order = *order;
    }
    f.scan_file = scan["file"].get<std::string>();
    f.scan_sha256 = scan["sha256"].get<std::string>();
    if (Result<> r = side_from_json(scan, f); !r) return r.reason();
    if (Result<> r = start_from_json(doc.value("start", json()), f.start); !r) return r.reason();
    const json steps = doc.value("steps", json());
    if (!steps.is_array())
        return Failure{"the design file has no \"steps\" list", "設計檔沒有 \"steps\" 清單"};
    for (size_t i = 0; i < steps.size(); ++i) {
        const Result<Step> step = step_from_json(steps[i]);
        const std::string n = std::to_string(i + 1);
        if (!step)
            return Failure{"step " + n + ": " + step.message(),
                           "第 " + n + " 步：" + step.gui_message()};
        f.steps.push_back(*step);
    }
    return f;
}

Result<DesignFile> read_design_file(const std::string &path) {
    const Result<std::vector<uint8_t>> bytes = read_file_bytes(path, kMaxDesignBytes);
    if (!bytes)
        return Failure{"cannot read the design file " + path + " (" + bytes.message() + ")",
                       "無法讀取設計檔: " + path + "\n" + bytes.gui_message()};
    Result<DesignFile> parsed = parse_design_file(std::string(bytes->begin(), bytes->end()));
    if (!parsed)
        return Failure{path + ": " + parsed.message(),
                       "設計檔無法使用: " + path + "\n" + parsed.gui_message()};
    return parsed;
}

DesignFile design_file_of(const Design &design, const std::string &path) {
    DesignFile f;
    std::error_code ec;
    const fs::path scan = fs::absolute(design.scan_path(), ec);
    const fs::path folder = fs::absolute(path, ec).parent_path();
    const fs::path relative = scan.lexically_relative(folder);
    f.scan_file = relative.empty() ? scan.string() : relative.generic_string();
    f.scan_sha256 = design.scan_sha256();
    f.side = foot_of(design.scan());
    f.axis = foot_axis(design.scan());
    f.start = design.start_controls();
    f.steps = design.steps();
    f.order = design.order();
    return f;
}

Result<> save_design(const Design &design, const std::string &path) {
    if (!design.loaded()) return Result<>::failure("there is no scan to save a design of");
    const std::string text = design_file_text(design_file_of(design, path));
    return write_file_atomically(path, text.data(), text.size());
}

std::string design_scan_path(const std::string &design_path, const DesignFile &file) {
    const fs::path scan(file.scan_file);
    if (scan.is_absolute()) return scan.string();
    return (fs::path(design_path).parent_path() / scan).lexically_normal().string();
}

namespace {

// The file's steps for a scan of `foot`: on the other foot than the file's, each hand-placed
// point carried over to it (none when the file does not say its side).
std::vector<Step> steps_for(const DesignFile &file, const Scan &scan, Warnings &warnings) {
    std::vector<Step> steps = file.steps;
    const Foot foot = foot_of(scan);
    if (!file.side || *file.side == foot) return steps;
    const FootAxis to = foot_axis(scan);
    const float last = kGridWidth - 1;
    const FootAxis from = file.axis ? foot_axis_through(file.axis->heel, file.axis->heads)
                                    : foot_axis_through({last - to.heel.column, to.heel.row},
                                                        {last - to.heads.column, to.heads.row});
    int mirrored = 0;
    for (Step &s : steps) {
        if (s.kind != StepKind::kMetaPoint) continue;
        const GridPoint p = mirrored_to_other_foot({s.column, s.row}, from, to);
        s.column = std::clamp(std::round(p.column), 0.0f, kGridWidth - 1.0f);
        s.row = std::clamp(std::round(p.row), 0.0f, kGridHeight - 1.0f);
        ++mirrored;
    }
    if (mirrored == 0) return steps;
    const std::string n = std::to_string(mirrored);
    const bool right = foot == Foot::kRight;
    warnings.add({std::string("the design was made on a ") + foot_name(*file.side) + " foot: its " +
                      n + " hand-placed point" + (mirrored > 1 ? "s" : "") +
                      " mirrored about this " + foot_name(foot) + " foot's axis",
                  std::string("此設計原為") + (right ? "左" : "右") + "腳：手動放置的 " + n +
                      " 個點已依" + (right ? "右" : "左") + "腳的足軸鏡像"});
    return steps;
}

}  // namespace

Result<> check_start_values(const DesignFile &file, const ScanLoadResult &loaded,
                            const Controls &start) {
    if (loaded.sha256.hex() != file.scan_sha256) return Result<>();
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        if (!set_by_load(c) || file.start[c] == start[c]) continue;
        std::ostringstream text, gui;
        const char *name = control_spec(c).name;
        text << "\"start\" gives \"" << name << "\" " << file.start[c] << ", but the load of "
             << "the design's own scan gives " << start[c];
        gui << "\"start\" 的 \"" << name << "\" 是 " << file.start[c] << "，但讀入設計檔"
            << "自己的掃描檔得到的是 " << start[c];
        return Failure{text.str(), gui.str()};
    }
    return Result<>();
}

std::optional<Warning> start_changes(const DesignFile &file, const Controls &start) {
    std::string names;
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        if (set_by_load(c) && file.start[c] != start[c])
            names += std::string(names.empty() ? "" : ", ") + control_spec(c).name;
    }
    if (names.empty()) return std::nullopt;
    return Warning{
        "the design's \"start\" values " + names + " are this scan's own, not the design's scan's",
        "設計檔的起始值 " + names + " 改用這個掃描檔自己的值"};
}

OpenedDesign open_design(Design &design, const DesignFile &file, const std::string &scan_path,
                         const LoadCheck &check) {
    OpenedDesign opened = load_design_scan(design, file, scan_path, check);
    if (opened.load) replay_design_file(design, file, opened);
    return opened;
}

OpenedDesign load_design_scan(Design &design, const DesignFile &file, const std::string &scan_path,
                              const LoadCheck &check) {
    OpenedDesign opened;
    auto judge = [&](const ScanLoadResult &loaded, const Controls &start) -> Result<> {
        if (check)
            if (Result<> r = check(loaded, start); !r) return r;
        const Result<> fits = check_start_values(file, loaded, start);
        opened.file_refused = !fits;
        return fits;
    };
    opened.load = design.load(scan_path, &file.start, judge);
    return opened;
}

void replay_design_file(Design &design, const DesignFile &file, OpenedDesign &opened) {
    opened.start_changed = start_changes(file, design.start_controls());
    opened.replayed = design.replay(steps_for(file, design.scan(), opened.mirrored));
    design.set_order(file.order);
    design.mark_saved();
}

}  // namespace pedaform

#include "design/pair_file.h"

#include "core/console.h"
#include "core/file_input.h"
#include "core/file_output.h"
#include "design/side_by_side.h"

namespace pedaform {

namespace {

using json = nlohmann::ordered_json;

const char *const kPairFormat = "pedaform-pair";

Result<std::string> file_text(const std::string &path) {
    const Result<std::vector<uint8_t>> bytes = read_file_bytes(path, kMaxDesignBytes);
    if (!bytes)
        return Failure{"cannot read the pair file " + path + " (" + bytes.message() + ")",
                       "無法讀取左右一對檔: " + path + "\n" + bytes.gui_message()};
    return std::string(bytes->begin(), bytes->end());
}

// The pair's order from the top-level "order", else from a foot's own, given to both feet.
Result<PairFile> with_order(const json &doc, PairFile &f) {
    if (doc.contains("order")) {
        const Result<OrderData> order = order_in_file(doc["order"]);
        if (!order) return order.reason();
        f.order = *order;
    } else {
        f.order = f.feet[0].order.empty() ? f.feet[1].order : f.feet[0].order;
    }
    for (DesignFile &design : f.feet)
        design.order = f.order;
    return std::move(f);
}

}  // namespace

std::string pair_file_text(const PairFile &file) {
    json doc = {{"format", kPairFormat}, {"version", kPairFileVersion}, {"linked", file.linked}};
    if (!file.order.empty()) doc["order"] = order_json(file.order);
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        DesignFile design = file.feet[foot_index(foot)];
        design.order = OrderData();
        doc[foot_name(foot)] = design_file_json(design);
    }
    return doc.dump(2) + "\n";
}

Result<PairFile> parse_pair_file(const std::string &text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded()) return Failure{"not a pair file: the text is not JSON"};
    if (!doc.is_object() || doc.value("format", json()) != kPairFormat)
        return Failure{"not a pair file: \"format\" is not \"pedaform-pair\""};
    const json version = doc.value("version", json());
    if (!version.is_number_integer() || version.get<long>() < 1)
        return Failure{"the pair file has no valid \"version\""};
    if (version.get<long>() > kPairFileVersion)
        return Failure{"the pair file is version " + version.dump() +
                       ", newer than this program reads (" + std::to_string(kPairFileVersion) +
                       ")"};
    PairFile f;
    const json linked = doc.value("linked", json());
    if (!linked.is_boolean()) return Failure{"the pair file's \"linked\" must be true or false"};
    f.linked = linked.get<bool>();
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        const char *name = foot_name(foot);
        if (!doc.contains(name))
            return Failure{std::string("the pair file has no \"") + name + "\""};
        Result<DesignFile> design = design_file_from_json(doc[name]);
        if (!design) return Failure{std::string("\"") + name + "\": " + design.message()};
        f.feet[foot_index(foot)] = std::move(*design);
    }
    return with_order(doc, f);
}

Result<PairFile> read_pair_file(const std::string &path) {
    const Result<std::string> text = file_text(path);
    if (!text) return text.reason();
    Result<PairFile> parsed = parse_pair_file(*text);
    if (!parsed)
        return Failure{path + ": " + parsed.message(),
                       "左右一對檔無法使用: " + path + "\n" + parsed.gui_message()};
    return parsed;
}

bool is_pair_file(const std::string &path) {
    const Result<std::string> text = file_text(path);
    if (!text) return false;
    const json doc = json::parse(*text, nullptr, false);
    return doc.is_object() && doc.value("format", json()) == kPairFormat;
}

PairFile pair_file_of(const Pair &pair, const std::string &path) {
    PairFile f;
    f.linked = pair.linked();
    f.order = pair.order();
    for (Foot foot : {Foot::kLeft, Foot::kRight})
        f.feet[foot_index(foot)] = design_file_of(pair.design(foot), path);
    return f;
}

Result<> save_pair(const Pair &pair, const std::string &path) {
    if (!pair.both_loaded()) return Result<>::failure("a pair file needs the scans of both feet");
    const std::string text = pair_file_text(pair_file_of(pair, path));
    return write_file_atomically(path, text.data(), text.size());
}

OpenedPair open_pair(Pair &pair, const PairFile &file,
                     const std::array<std::string, kFootCount> &scans,
                     const std::array<LoadCheck, kFootCount> &checks) {
    std::array<std::unique_ptr<Design>, kFootCount> fresh;
    OpenedPair opened;
    // The loads in turn, on the caller's thread (a check may ask the operator); the right
    // foot's console lines are kept to follow the left foot's replay, as if opened in turn.
    std::string right_lines;
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        const int f = foot_index(foot);
        fresh[f] = pair.new_design();
        if (foot == Foot::kRight) capture_console_lines(&right_lines);
        opened.feet[f] = load_design_scan(*fresh[f], file.feet[f], scans[f], checks[f]);
        capture_console_lines(nullptr);
        if (!opened.feet[f].load) {
            console_write(right_lines);
            opened.refused = foot;
            return opened;
        }
    }
    // The replays, the larger part, side by side.
    auto replay = [&](Foot foot) {
        const int f = foot_index(foot);
        replay_design_file(*fresh[f], file.feet[f], opened.feet[f]);
    };
    SideBySide side_by_side;
    side_by_side.run(
        [&] {
            replay(Foot::kLeft);
            console_write(right_lines);
        },
        [&] { replay(Foot::kRight); });
    for (Foot foot : {Foot::kLeft, Foot::kRight})
        pair.adopt(foot, std::move(fresh[foot_index(foot)]));
    pair.set_linked(file.linked);
    pair.mark_saved();
    return opened;
}

}  // namespace pedaform

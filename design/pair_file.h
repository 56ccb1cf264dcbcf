// Pair files: both feet's designs in one JSON file, so that a lab's pair opens as it was made.
//
//     {"format": "pedaform-pair", "version": 1, "linked": true, "order": {...},
//      "left": DESIGN, "right": DESIGN}
//
// Each DESIGN is a design file's whole object (design/design_file.h), its scan named relative
// to the pair file's folder. The pair's one order (order/order_data.h) stands before the feet
// as "order", holding the fields that are not empty, and no foot holds one; a pair without
// order data has no "order". Read, a foot's own "order" stands for the pair's when the pair has
// none, the left foot's first. Other members are ignored when read.
#pragma once

#include <array>
#include <string>

#include "design/design_file.h"
#include "design/pair.h"

namespace pedaform {

struct PairFile {
    bool linked = true;
    OrderData order;  // the pair's; each foot's DesignFile holds the same once parsed
    std::array<DesignFile, kFootCount> feet;  // left, right
};

constexpr int kPairFileVersion = 1;

std::string pair_file_text(const PairFile &file);
// Parses and checks everything, each foot as a design file; failure says what is wrong, naming
// the foot.
Result<PairFile> parse_pair_file(const std::string &text);
// The same for the file at `path`, read within kMaxDesignBytes (core/file_input.h); its
// failures start with the path.
Result<PairFile> read_pair_file(const std::string &path);
// True when the file at `path` says it is a pair file ("format"); false for any other file,
// readable or not (reading it as a design file then says what is wrong).
bool is_pair_file(const std::string &path);

// The pair as a file saved at `path`. Both feet must be loaded.
PairFile pair_file_of(const Pair &pair, const std::string &path);
// Writes it through a temporary file renamed over `path`; fails when a foot has no scan.
Result<> save_pair(const Pair &pair, const std::string &path);

// What opening a pair gives: each foot's opening, and the foot whose opening was refused (its
// entry says why; the other foot's is empty when it was not reached), none when both opened.
struct OpenedPair {
    std::array<OpenedDesign, kFootCount> feet;
    std::optional<Foot> refused;
    bool ok() const { return !refused; }
};

// Opens each foot's design on `scans` (left, right) into fresh designs (open_design, each load
// judged by its foot's entry of `checks`, which may be empty); when both open, they replace the
// pair's feet (Pair::adopt), the link is the file's and the pair is marked saved. A refusal
// leaves the pair as it was.
OpenedPair open_pair(Pair &pair, const PairFile &file,
                     const std::array<std::string, kFootCount> &scans,
                     const std::array<LoadCheck, kFootCount> &checks = {});

}  // namespace pedaform

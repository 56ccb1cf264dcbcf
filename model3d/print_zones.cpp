#include "model3d/print_zones.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <queue>
#include <utility>

namespace pedaform {

namespace {

const char kZoneForm[] =
    "write threshold:density pairs such as \"0:35,40%:20,70%:10\" (thresholds rising, as shares "
    "of the foot's peak pressure with \"%\" or as pressures 0..255 without; densities 0..100 %)";

Failure zone_failure(const std::string &what) {
    return Failure{what + "; " + kZoneForm};
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

void skip_blanks(const std::string &text, size_t &pos, size_t end) {
    while (pos < end && is_blank(text[pos]))
        ++pos;
}

// Reads a decimal number between blanks from text[pos..end), moving `pos` past it; none when
// there is no number. Values above 99999 are kept as 99999, which every range check refuses.
std::optional<int> read_number(const std::string &text, size_t &pos, size_t end) {
    skip_blanks(text, pos, end);
    const size_t first = pos;
    long v = 0;
    while (pos < end && text[pos] >= '0' && text[pos] <= '9') {
        v = std::min(v * 10 + (text[pos] - '0'), 99999L);
        ++pos;
    }
    if (pos == first) return std::nullopt;
    skip_blanks(text, pos, end);
    return static_cast<int>(v);
}

// One "T:D" between text[pos] and text[end]; none when it is not of that form.
std::optional<PrintZone> read_zone(const std::string &text, size_t pos, size_t end) {
    PrintZone z;
    const std::optional<int> threshold = read_number(text, pos, end);
    if (!threshold) return std::nullopt;
    z.threshold = *threshold;
    if (pos < end && text[pos] == '%') {
        z.percent = true;
        skip_blanks(text, ++pos, end);
    }
    if (pos >= end || text[pos] != ':') return std::nullopt;
    const std::optional<int> density = read_number(text, ++pos, end);
    if (!density || pos != end) return std::nullopt;
    z.density = *density;
    return z;
}

std::string threshold_text(const PrintZone &z) {
    return std::to_string(z.threshold) + (z.percent ? "%" : "");
}

// Union-find over the connected pieces of the zone map.
struct Pieces {
    std::vector<int> parent, size, label;
    std::vector<std::vector<int>> members;  // pieces merged into a root, kept while it is small

    int find(int p) {
        while (parent[p] != p) {
            parent[p] = parent[parent[p]];
            p = parent[p];
        }
        return p;
    }
};

}  // namespace

const char *const kDefaultPrintZones = "0:35,10%:20,50%:10";

Result<std::vector<PrintZone>> parse_print_zones(const std::string &text) {
    std::vector<PrintZone> read;
    size_t pos = 0;
    while (true) {
        size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        const std::optional<PrintZone> zone = read_zone(text, pos, end);
        if (!zone) return zone_failure("cannot read the zones \"" + text + "\"");
        const PrintZone &z = *zone;
        if (z.percent && z.threshold > 100)
            return zone_failure("zone threshold " + threshold_text(z) + " is above 100 %");
        if (!z.percent && z.threshold > 255)
            return zone_failure("zone pressure " + std::to_string(z.threshold) +
                                " is outside 0..255");
        if (z.density > 100)
            return zone_failure("zone density " + std::to_string(z.density) +
                                " % is outside 0..100");
        if (!read.empty()) {
            const PrintZone &last = read.back();
            if (last.threshold != 0 && z.threshold != 0 && last.percent != z.percent)
                return zone_failure("zone thresholds " + threshold_text(last) + " and " +
                                    threshold_text(z) + " mix shares and pressures");
            if (z.threshold <= last.threshold)
                return zone_failure("zone thresholds must rise: " + threshold_text(last) +
                                    " is followed by " + threshold_text(z));
        }
        read.push_back(z);
        if (end == text.size()) break;
        pos = end + 1;
    }
    // A leading 0 takes the form of the others.
    if (read.size() > 1 && read[0].threshold == 0) read[0].percent = read[1].percent;
    return read;
}

std::string print_zones_text(const std::vector<PrintZone> &zones) {
    std::string text;
    for (const PrintZone &z : zones)
        text += (text.empty() ? "" : ",") + threshold_text(z) + ":" + std::to_string(z.density);
    return text;
}

std::string print_zone_name(const std::vector<PrintZone> &zones, int zone) {
    const PrintZone &z = zones[zone];
    const bool last = zone + 1 == static_cast<int>(zones.size());
    std::string range = std::to_string(zone == 0 ? 0 : z.threshold) + "\u2013";
    if (z.percent)
        range += std::to_string(last ? 100 : zones[zone + 1].threshold) + " % of peak";
    else
        range += std::to_string(last ? 255 : zones[zone + 1].threshold - 1);
    return "pressure " + range + ", infill " + std::to_string(z.density) + " %";
}

void assign_print_zones(const uint8_t *insole, const uint8_t *pressure,
                        const std::vector<PrintZone> &zones, std::vector<int16_t> &cell_zone) {
    int peak = 0;
    for (int i = 0; i < kGridCells; ++i)
        if (insole[i] != 0) peak = std::max(peak, static_cast<int>(pressure[i]));
    int16_t zone_of_pressure[256] = {};  // pressure 0 and those below every start: zone 0
    for (int p = 1; p < 256; ++p)
        for (size_t k = 0; k < zones.size(); ++k) {
            const PrintZone &z = zones[k];
            if (z.percent ? p * 100 >= z.threshold * peak : p >= z.threshold)
                zone_of_pressure[p] = static_cast<int16_t>(k);
        }
    cell_zone.assign(kGridCells, kNotInsole);
    for (int i = 0; i < kGridCells; ++i)
        if (insole[i] != 0) cell_zone[i] = zone_of_pressure[pressure[i]];

    // Connected pieces, each one's cells consecutive in `order`.
    std::vector<int> piece_of(kGridCells, -1), order, start;
    order.reserve(kGridCells);
    Pieces pieces;
    for (int seed = 0; seed < kGridCells; ++seed) {
        if (cell_zone[seed] == kNotInsole || piece_of[seed] >= 0) continue;
        const int id = static_cast<int>(start.size());
        start.push_back(static_cast<int>(order.size()));
        piece_of[seed] = id;
        order.push_back(seed);
        for (size_t k = order.size() - 1; k < order.size(); ++k) {
            const int c = order[k], x = c % kGridWidth, y = c / kGridWidth;
            const int next[4] = {x > 0 ? c - 1 : -1, x < kGridWidth - 1 ? c + 1 : -1,
                                 y > 0 ? c - kGridWidth : -1,
                                 y < kGridHeight - 1 ? c + kGridWidth : -1};
            for (int n : next)
                if (n >= 0 && piece_of[n] < 0 && cell_zone[n] == cell_zone[seed]) {
                    piece_of[n] = id;
                    order.push_back(n);
                }
        }
        pieces.parent.push_back(id);
        pieces.size.push_back(static_cast<int>(order.size()) - start.back());
        pieces.label.push_back(cell_zone[seed]);
    }
    const int count = static_cast<int>(start.size());
    start.push_back(static_cast<int>(order.size()));
    pieces.members.resize(count);

    using Entry = std::pair<int, int>;  // size, piece: smallest first, then the earliest
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> small;
    for (int p = 0; p < count; ++p)
        if (pieces.size[p] < kMinZonePieceCells) {
            pieces.members[p] = {p};
            small.push({pieces.size[p], p});
        }

    std::vector<std::pair<int, int>> border;  // neighbouring root, shared sides
    while (!small.empty()) {
        const auto [size, p] = small.top();
        small.pop();
        if (pieces.find(p) != p || pieces.size[p] != size) continue;  // merged since
        border.clear();
        for (int m : pieces.members[p])
            for (int k = start[m]; k < start[m + 1]; ++k) {
                const int c = order[k], x = c % kGridWidth, y = c / kGridWidth;
                const int next[4] = {x > 0 ? c - 1 : -1, x < kGridWidth - 1 ? c + 1 : -1,
                                     y > 0 ? c - kGridWidth : -1,
                                     y < kGridHeight - 1 ? c + kGridWidth : -1};
                for (int n : next) {
                    if (n < 0 || cell_zone[n] == kNotInsole) continue;
                    const int r = pieces.find(piece_of[n]);
                    if (r == p) continue;
                    auto it =
                        std::find_if(border.begin(), border.end(),
                                     [r](const std::pair<int, int> &b) { return b.first == r; });
                    if (it == border.end())
                        border.push_back({r, 1});
                    else
                        ++it->second;
                }
            }
        if (border.empty()) continue;

        // The zone with the longest shared border; ties to the nearer, then the lower zone.
        const int own = pieces.label[p];
        int best = 0, best_len = -1;
        for (const auto &[r, len] : border) {
            const int z = pieces.label[r];
            int total = 0;
            for (const auto &[r2, len2] : border)
                if (pieces.label[r2] == z) total += len2;
            const bool better =
                total > best_len ||
                (total == best_len && (std::abs(z - own) < std::abs(best - own) ||
                                       (std::abs(z - own) == std::abs(best - own) && z < best)));
            if (better) {
                best = z;
                best_len = total;
            }
        }

        int root = p;
        for (const auto &[r, len] : border) {
            if (pieces.label[r] != best) continue;
            int big = root, other = r;
            if (pieces.size[other] > pieces.size[big]) std::swap(big, other);
            pieces.parent[other] = big;
            pieces.size[big] += pieces.size[other];
            if (pieces.size[big] < kMinZonePieceCells) {
                pieces.members[big].insert(pieces.members[big].end(), pieces.members[other].begin(),
                                           pieces.members[other].end());
            } else {
                pieces.members[big].clear();
            }
            pieces.members[other].clear();
            root = big;
        }
        pieces.label[root] = best;
        if (pieces.size[root] < kMinZonePieceCells) small.push({pieces.size[root], root});
    }

    for (int i = 0; i < kGridCells; ++i)
        if (piece_of[i] >= 0)
            cell_zone[i] = static_cast<int16_t>(pieces.label[pieces.find(piece_of[i])]);
}

}  // namespace pedaform

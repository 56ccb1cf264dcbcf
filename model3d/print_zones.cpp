#include "model3d/print_zones.h"

#include <algorithm>
#include <array>
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

namespace {

// The four side neighbours of cell c; -1 for those off the grid.
std::array<int, 4> side_neighbours(int c) {
    const int x = c % kGridWidth, y = c / kGridWidth;
    return {x > 0 ? c - 1 : -1, x < kGridWidth - 1 ? c + 1 : -1, y > 0 ? c - kGridWidth : -1,
            y < kGridHeight - 1 ? c + kGridWidth : -1};
}

// Every insole cell's zone by its pressure alone; kNotInsole elsewhere.
void zone_by_pressure(const uint8_t *insole, const uint8_t *pressure,
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
}

// The connected pieces of the zone map: each piece's cells consecutive in `order`, from
// start[p] to start[p + 1]; each piece its own set in `pieces`, labelled with its zone.
struct PieceMap {
    std::vector<int> piece_of, order, start;
    Pieces pieces;
    int count() const { return static_cast<int>(start.size()) - 1; }
};

PieceMap find_pieces(const std::vector<int16_t> &cell_zone) {
    PieceMap m;
    m.piece_of.assign(kGridCells, -1);
    m.order.reserve(kGridCells);
    for (int seed = 0; seed < kGridCells; ++seed) {
        if (cell_zone[seed] == kNotInsole || m.piece_of[seed] >= 0) continue;
        const int id = static_cast<int>(m.start.size());
        m.start.push_back(static_cast<int>(m.order.size()));
        m.piece_of[seed] = id;
        m.order.push_back(seed);
        for (size_t k = m.order.size() - 1; k < m.order.size(); ++k)
            for (int n : side_neighbours(m.order[k]))
                if (n >= 0 && m.piece_of[n] < 0 && cell_zone[n] == cell_zone[seed]) {
                    m.piece_of[n] = id;
                    m.order.push_back(n);
                }
        m.pieces.parent.push_back(id);
        m.pieces.size.push_back(static_cast<int>(m.order.size()) - m.start.back());
        m.pieces.label.push_back(cell_zone[seed]);
    }
    m.start.push_back(static_cast<int>(m.order.size()));
    m.pieces.members.resize(m.count());
    return m;
}

// The pieces next to piece p (a root) with the number of sides each shares with it.
void border_of(PieceMap &m, const std::vector<int16_t> &cell_zone, int p,
               std::vector<std::pair<int, int>> &border) {
    border.clear();
    for (int member : m.pieces.members[p])
        for (int k = m.start[member]; k < m.start[member + 1]; ++k)
            for (int n : side_neighbours(m.order[k])) {
                if (n < 0 || cell_zone[n] == kNotInsole) continue;
                const int r = m.pieces.find(m.piece_of[n]);
                if (r == p) continue;
                auto it = std::find_if(border.begin(), border.end(),
                                       [r](const std::pair<int, int> &b) { return b.first == r; });
                if (it == border.end())
                    border.push_back({r, 1});
                else
                    ++it->second;
            }
}

// The zone sharing the longest border; ties to the zone nearer `own`, then the lower zone.
int best_neighbour_zone(const Pieces &pieces, const std::vector<std::pair<int, int>> &border,
                        int own) {
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
    return best;
}

// Joins piece p with every bordering piece of zone `zone` into one piece of that zone; returns
// its root. A joined piece keeps its members listed only while it is small.
int join_zone(Pieces &pieces, int p, const std::vector<std::pair<int, int>> &border, int zone) {
    int root = p;
    for (const auto &[r, len] : border) {
        if (pieces.label[r] != zone) continue;
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
    pieces.label[root] = zone;
    return root;
}

// Every piece smaller than kMinZonePieceCells, smallest first, joins its best neighbouring
// zone, until none is left that touches another piece.
void join_small_pieces(PieceMap &m, const std::vector<int16_t> &cell_zone) {
    using Entry = std::pair<int, int>;  // size, piece: smallest first, then the earliest
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> small;
    for (int p = 0; p < m.count(); ++p)
        if (m.pieces.size[p] < kMinZonePieceCells) {
            m.pieces.members[p] = {p};
            small.push({m.pieces.size[p], p});
        }
    std::vector<std::pair<int, int>> border;  // neighbouring root, shared sides
    while (!small.empty()) {
        const auto [size, p] = small.top();
        small.pop();
        if (m.pieces.find(p) != p || m.pieces.size[p] != size) continue;  // merged since
        border_of(m, cell_zone, p, border);
        if (border.empty()) continue;
        const int zone = best_neighbour_zone(m.pieces, border, m.pieces.label[p]);
        const int root = join_zone(m.pieces, p, border, zone);
        if (m.pieces.size[root] < kMinZonePieceCells) small.push({m.pieces.size[root], root});
    }
}

}  // namespace

void assign_print_zones(const uint8_t *insole, const uint8_t *pressure,
                        const std::vector<PrintZone> &zones, std::vector<int16_t> &cell_zone) {
    zone_by_pressure(insole, pressure, zones, cell_zone);
    PieceMap m = find_pieces(cell_zone);
    join_small_pieces(m, cell_zone);
    for (int i = 0; i < kGridCells; ++i)
        if (m.piece_of[i] >= 0)
            cell_zone[i] = static_cast<int16_t>(m.pieces.label[m.pieces.find(m.piece_of[i])]);
}

}  // namespace pedaform

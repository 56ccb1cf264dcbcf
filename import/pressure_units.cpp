#include "import/pressure_units.h"

#include <charconv>
#include <cmath>

#include "import/recording_text.h"

namespace pedaform {

namespace {

struct NamedUnit {
    const char *name;
    double factor;
};

constexpr NamedUnit kPressureUnits[] = {
    {"kPa", 1.0},      {"N/cm2", 10.0},     {"N/cm\xC2\xB2", 10.0}, {"MPa", 1000.0},
    {"psi", 6.894757}, {"mmHg", 0.1333224}, {"kg/cm2", 98.0665},    {"Raw", 0.0},
};

constexpr NamedUnit kLengthUnits[] = {
    {"mm", 1.0}, {"cm", 10.0}, {"inch", 25.4}, {"inches", 25.4}, {"in", 25.4}};

constexpr double kMaxPitchMm = 100;

bool same_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && starts_with_word(a, b);
}

// A number at the start of `text`, what follows it in `rest`.
bool leading_number(std::string_view text, double &value, std::string_view &rest) {
    const char *end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value);
    if (r.ec != std::errc() || !std::isfinite(value)) return false;
    rest = trim(std::string_view(r.ptr, static_cast<size_t>(end - r.ptr)));
    return true;
}

bool pitch_in_range(double mm) {
    return mm > 0 && mm <= kMaxPitchMm;
}

}  // namespace

Result<double> kpa_per_unit(const std::string &unit) {
    const std::string_view u = trim(unit);
    for (const NamedUnit &known : kPressureUnits)
        if (same_ignoring_case(u, known.name)) return known.factor;
    return Failure{"unknown pressure unit '" + std::string(u) +
                   "' (kPa, N/cm2, MPa, psi, mmHg, kg/cm2 or Raw)"};
}

Result<double> length_mm(const std::string &text) {
    double value = 0;
    std::string_view rest;
    if (!leading_number(trim(text), value, rest)) return Failure{"'" + text + "' is not a length"};
    double factor = rest.empty() ? 1.0 : 0.0;
    for (const NamedUnit &known : kLengthUnits)
        if (same_ignoring_case(rest, known.name)) factor = known.factor;
    if (factor == 0) return Failure{"'" + text + "': the unit is not mm, cm or inch"};
    if (!pitch_in_range(value * factor))
        return Failure{"'" + text + "' is no sensor pitch (above 0, at most 100 mm)"};
    return value * factor;
}

Result<> parse_pitch(const std::string &text, double &row_mm, double &col_mm) {
    const size_t comma = text.find(',');
    double row = 0, col = 0;
    std::string_view rest_row, rest_col;
    if (comma == std::string::npos ||
        !leading_number(trim(std::string_view(text).substr(0, comma)), row, rest_row) ||
        !leading_number(trim(std::string_view(text).substr(comma + 1)), col, rest_col) ||
        !rest_row.empty() || !rest_col.empty())
        return Failure{"--pitch takes ROW_MM,COL_MM, for example 7.62,5.08"};
    if (!pitch_in_range(row) || !pitch_in_range(col))
        return Failure{"--pitch: each pitch is above 0 and at most 100 mm"};
    row_mm = row;
    col_mm = col;
    return Result<>::success();
}

}  // namespace pedaform

#include "cli/batch_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "analysis/size_bin.h"
#include "relief/dome_placement.h"

namespace pedaform {

namespace {

// Reads one option's values from the command line.
class OptionReader {
  public:
    OptionReader(int argc, const char *const *argv) : argc_(argc), argv_(argv) {}

    // The next argument, none after the last.
    std::optional<std::string> next() {
        if (++i_ >= argc_) return std::nullopt;
        option_ = argv_[i_];
        return option_;
    }
    const std::string &option() const { return option_; }
    // The option's value: the argument after it.
    Result<std::string> value() {
        if (i_ + 1 >= argc_) return Failure{option_ + " needs a value"};
        return std::string(argv_[++i_]);
    }
    // A failure that names the option and what it takes.
    Failure takes(const std::string &allowed, const std::string &value) const {
        return Failure{option_ + " takes " + allowed + ", not \"" + value + "\""};
    }

  private:
    int argc_;
    const char *const *argv_;
    int i_ = 0;
    std::string option_;
};

// A number with nothing after it; none for text that is not one or out of double's range.
std::optional<double> number_of(const std::string &text) {
    if (text.empty()) return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

std::optional<long> whole_of(const std::string &text) {
    if (text.empty()) return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

std::string range_text(double min, double max) {
    std::ostringstream text;
    text << min << " to " << max;
    return text.str();
}

Result<int> read_whole(OptionReader &r, long min, long max) {
    Result<std::string> text = r.value();
    if (!text) return Failure{text.message()};
    const std::optional<long> v = whole_of(*text);
    if (!v || *v < min || *v > max)
        return r.takes("a whole number from " + std::to_string(min) + " to " + std::to_string(max),
                       *text);
    return static_cast<int>(*v);
}

// A finite number within [min, max]; `what` names it in the failure.
Result<double> read_number(OptionReader &r, double min, double max, const std::string &what) {
    Result<std::string> text = r.value();
    if (!text) return Failure{text.message()};
    const std::optional<double> v = number_of(*text);
    if (!v || !(*v >= min && *v <= max)) return r.takes(what, *text);
    return *v;
}

Result<std::string> read_file(OptionReader &r) {
    Result<std::string> name = r.value();
    if (name && name->empty()) return Failure{r.option() + " needs a file name"};
    return name;
}

Result<GridPoint> read_point(OptionReader &r) {
    Result<std::string> text = r.value();
    if (!text) return Failure{text.message()};
    const size_t comma = text->find(',');
    const std::optional<double> c = number_of(text->substr(0, comma));
    const std::optional<double> row =
        comma == std::string::npos ? std::nullopt : number_of(text->substr(comma + 1));
    if (!c || !row || !(*c >= 0 && *c <= kGridWidth - 1) || !(*row >= 0 && *row <= kGridHeight - 1))
        return r.takes("COLUMN,ROW in grid cells, column 0 to 149 and row 0 to 359", *text);
    return GridPoint{static_cast<float>(*c), static_cast<float>(*row)};
}

std::string control_argument(Control c);

// A control's value: whole numbers for whole controls, else a value on the control's step grid
// moved exactly onto it; a check button takes no value.
Result<double> read_control(OptionReader &r, Control c) {
    const ControlSpec &row = control_spec(c);
    if (row.widget == Widget::kCheckButton) return 1.0;
    if (row.widget == Widget::kChoice) {
        Result<std::string> word = r.value();
        if (!word) return Failure{word.message()};
        if (const std::optional<double> v = control_choice_value(c, *word)) return *v;
        return r.takes(control_argument(c), *word);
    }
    if (control_whole(c)) {
        Result<int> n = read_whole(r, static_cast<long>(row.min), static_cast<long>(row.max));
        if (!n) return Failure{n.message()};
        return static_cast<double>(*n);
    }
    Result<std::string> text = r.value();
    if (!text) return Failure{text.message()};
    const std::optional<double> v = number_of(*text);
    if (!v || !control_value_valid(c, *v)) {
        std::ostringstream allowed;
        allowed << range_text(row.min, row.max) << " in steps of " << row.step;
        return r.takes(allowed.str(), *text);
    }
    return control_value_snapped(c, *v);
}

// Stores a read value, or passes its failure on.
template <typename T, typename U>
Result<> keep(Result<T> read, U &out) {
    if (!read) return Failure{read.message()};
    out = std::move(*read);
    return Result<>();
}

// An option other than a control's: its argument ("" for a flag), its --help text (lines after
// the first indented to the text's column), its manual entry in roff ("" for the help text),
// and how it is read: into the options, or, for a design option, into the design options of
// both feet or one (--left-, --right-). A row with neither reader only describes options.
struct OptionRow {
    const char *option;
    const char *argument;
    const char *help;
    const char *manual;
    Result<> (*read)(OptionReader &r, BatchOptions &o);
    Result<> (*read_design)(OptionReader &r, DesignOptions &o) = nullptr;
};

Result<double> read_bed_side(const std::string &text) {
    const std::optional<double> v = number_of(text);
    if (!v || !(*v >= kMinBedMm && *v <= kMaxBedMm)) return Failure{""};
    return *v;
}

Result<> read_bed(OptionReader &r, BatchOptions &o) {
    Result<std::string> text = r.value();
    if (!text) return Failure{text.message()};
    const size_t comma = text->find(',');
    const Result<double> width = read_bed_side(text->substr(0, comma));
    const Result<double> depth = comma == std::string::npos
                                     ? Result<double>(Failure{""})
                                     : read_bed_side(text->substr(comma + 1));
    if (!width || !depth) return r.takes("W,H in mm, each 50 to 2000, e.g. 256,256", *text);
    o.bed = BedSize{*width, *depth};
    return Result<>();
}

Result<> read_pair(OptionReader &r, BatchOptions &o) {
    for (std::string &scan : o.pair) {
        Result<std::string> name = read_file(r);
        if (!name) return Failure{r.option() + " needs the left and the right foot's scans"};
        scan = *name;
    }
    return Result<>();
}

// clang-format off
const OptionRow kHeadOptions[] = {
    {"--resources", "DIR", "folder of the data files (default: $PEDAFORM_DATA, data/ beside\n"
     "the program, then ../share/pedaform)",
     "The data folder to read, instead of the one found as described under\n.BR FILES .",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.resources); }},
    {"--design", "FILE", "replay a design file first (on SCAN instead, when one is given)",
     "Replay a design file first: its scan (named relative to the design file), its start "
     "values and\nits steps. With\n.I SCAN.bmp\nas well, the steps are applied to that scan "
     "instead and its checksum is not checked. Options\ngiven with it are applied after its "
     "steps.",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.design); }},
    {"--pair", "LEFT RIGHT", "design both feet of a pair: the left foot's scan, then the\n"
     "right's; outputs per foot get _L and _R before the extension",
     "Design both feet of a pair: the left foot's scan, then the right foot's. Every design "
     "option\napplies to both feet; the\n.BI \\-\\-left\\- OPTION\nand\n.BI \\-\\-right\\- OPTION\n"
     "forms set one foot. The feet are linked (a pair file records it) unless a control, the "
     "size\nor the dome's millimetres differ between them. The engraving, STL, raw and PNG outputs "
     "are\nwritten per foot, with _L and _R before the extension; the 3MF holds both insoles (see\n"
     ".BR \\-\\-bed );\n.B \\-\\-save\\-design\nwrites a pair file; the report gives both "
     "feet and their comparison. With\n.BR \\-\\-design ,\nthe design or pair file is replayed "
     "on these scans.",
     read_pair},
    {"--left-OPTION, --right-OPTION", "V", "with a pair: a design option for one foot only\n"
     "(--left-meta1 3, --right-dome-apex 75,250, --left-smooth 1)",
     "With a pair: any control's option, \\-\\-size, \\-\\-meta\\-point, "
     "\\-\\-dome\\-apex,\n\\-\\-dome\\-behind\\-heads or \\-\\-smooth for one foot only, "
     "e.g.\n.BR \"\\-\\-left\\-meta1 3\" ;\nit replaces the plain option's value for that foot.",
     nullptr},
    {"--ignore-checksum", "", "open a design whose scan's bytes have changed",
     "Open a design whose scan's bytes no longer match the checksum it recorded.",
     [](OptionReader &, BatchOptions &o) { return o.ignore_checksum = true, Result<>(); }},
    {"--propose", "", "first take the proposed insole's steps (the report says why)",
     "First take the steps of the insole a lab would start from, as \\(lq建議處方\\(rq does: the "
     "nearest\nsize when the length matches none, the stamped dome placed by the central heads' "
     "rule, an\narch support from the footprint's arch index, a heel cup, a 2 mm base, and the "
     "default zones\nfor \\-\\-3mf unless \\-\\-zones is given. The other options follow and "
     "override it.",
     [](OptionReader &, BatchOptions &o) { return o.propose = true, Result<>(); }},
    {"--size", "LABEL", "choose the size (its template and presets), e.g. CM25-26",
     "Choose the size (its template and pad presets) by its label, e.g. CM25\\-26; needed when "
     "the\nscan's length matches no size bin.",
     nullptr, [](OptionReader &r, DesignOptions &o) -> Result<> {
         Result<std::string> label = r.value();
         if (!label) return Failure{label.message()};
         o.size = size_label_index(*label);
         if (o.size) return Result<>();
         std::string labels;
         for (int k = 0; k < kSizeLabelCount; ++k)
             labels += std::string(" ") + size_label(k);
         return r.takes("one of" + labels, *label);
     }},
};

const OptionRow kPointOptions[] = {
    {"--meta-point", "C,R", "place the metatarsal point at column C 0 ... 149, row R 0 ... 359",
     "Place the metatarsal point at column C 0 ... 149, row R 0 ... 359 (grid cells), before "
     "the\nstamped pad is switched on.",
     nullptr, [](OptionReader &r, DesignOptions &o) { return keep(read_point(r), o.meta_point); }},
    {"--dome-apex", "C,R", "place the stamped dome's highest cell on column C, row R",
     "Place the stamped dome's highest cell (its apex) on column C, row R; the metatarsal "
     "point\nfollows.",
     nullptr, [](OptionReader &r, DesignOptions &o) { return keep(read_point(r), o.dome_apex); }},
    {"--dome-behind-heads", "MM",
     "place the dome's distal edge MM mm (0 ... 30, e.g. 8) behind\n"
     "the forefoot's pressure peak, between the metatarsal heads",
     "Place the stamped dome so that its distal edge (where its rise falls below a tenth of "
     "the\napex's) lies MM millimetres (0 ... 30; 8 as the GUI's \\(lq依蹠骨頭放置\\(rq) "
     "behind the forefoot's\npressure peak along the foot's axis: the highest pressure between "
     "the metatarsal heads'\ncolumns (landmarks 0 and 1), within 15 mm of their rows. The apex "
     "lies on the axis through\nthe point 40 % of the way from the first head to the fifth. "
     "Without pressure there, the\napex goes MM millimetres heel\\-ward of the line through "
     "the heads, and a warning says so.",
     nullptr, [](OptionReader &r, DesignOptions &o) {
         return keep(read_number(r, 0, kDomeBehindHeadsMaxMm,
                                 "a number from " + range_text(0, kDomeBehindHeadsMaxMm)),
                     o.dome_behind_heads);
     }},
};

const OptionRow kTailOptions[] = {
    {"--smooth", "N", "run \"Smooth\" N times (0 ... 1000)",
     "Run \\(lqSmooth\\(rq N times (0 ... 1000).",
     nullptr, [](OptionReader &r, DesignOptions &o) { return keep(read_whole(r, 0, 1000), o.smooth); }},
    {"--save-design", "FILE", "the design the options made, as a design file (a pair file for\n"
     "a pair)",
     "Write the design the options made (before the exports) as a design file; for a pair, a "
     "pair\nfile holding both feet's designs and whether they are linked.",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.save_design); }},
    {"--engrave", "FILE", "engraving BMP (smoothed; \".bmp\" appended unless present)",
     "Engraving BMP, smoothed;\n.I .bmp\nis appended unless present.",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.engrave); }},
    {"--stl", "FILE", "3D-print surface as ASCII STL", "3D\\-print surface as ASCII STL.",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.stl); }},
    {"--stl-solid", "FILE", "closed solid as binary STL",
     "Closed solid of the insole (the foot and its fitted outline, every cell at its designed\n"
     "height, a vertical wall at the border) as binary STL, every cell (see\n"
     ".BR \\-\\-mesh\\-tolerance ).",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.stl_solid); }},
    {"--3mf", "FILE", "closed solid as 3MF in millimetres",
     "The same closed solid as 3MF in millimetres (one cell is 1 mm, heights are grey level / 5 "
     "mm),\nits title naming the scan, the foot's side, the size and the design file.",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.print_3mf); }},
    {"--zones", "T:D,...", "with --3mf: infill D% for insole cells from pressure T up to the\n"
     "next T, T a share of the foot's peak (\"40%\") or 0 ... 255, e.g.\n"
     "\"0:30,30%:20,60%:15\"; cells below the first T join the first zone",
     "With\n.BR \\-\\-3mf :\ninfill D percent for the insole cells whose pressure is T or more "
     "and below the next T; T is a\nshare of the foot's highest pressure (\\(lq40%\\(rq) or a "
     "pressure 0 ... 255. Cells below the first\nT, and cells without pressure, belong to the "
     "first zone. E.g. \\(lq0:35,10%:20,50%:10\\(rq, the\nGUI's default: firm arch and midfoot, "
     "softer wherever the foot presses.",
     [](OptionReader &r, BatchOptions &o) -> Result<> {
         Result<std::string> text = r.value();
         if (!text) return Failure{text.message()};
         Result<std::vector<PrintZone>> zones = parse_print_zones(*text);
         if (!zones) return Failure{r.option() + ": " + zones.message()};
         o.zones = std::move(*zones);
         return Result<>();
     }},
    {"--slicer", "NAME", "the zones for prusa (PrusaSlicer, default), orca (OrcaSlicer,\n"
     "Bambu Studio) or cura",
     "Who reads the zones: PrusaSlicer (default; one object with a modifier volume per zone),\n"
     "OrcaSlicer and Bambu Studio (each zone a modifier part, in Metadata/model_settings.config) "
     "or\nCura (each zone an infill mesh of its own). A file without zones is the same for all "
     "three.",
     [](OptionReader &r, BatchOptions &o) -> Result<> {
         Result<std::string> name = r.value();
         if (!name) return Failure{name.message()};
         const std::optional<Slicer> slicer = parse_slicer(*name);
         if (!slicer) return r.takes("prusa, orca or cura", *name);
         o.slicer = *slicer;
         return Result<>();
     }},
    {"--mesh-tolerance", "MM", "simplify the 3MF and solid STL meshes: every point of the exact\n"
     "surface within MM (0 ... 1) of the file's; default 0.05 for --3mf,\n"
     "0 (every cell) for --stl-solid",
     "Simplify the 3MF and solid STL meshes, 0 ... 1 mm: every point of the exact surface stays "
     "within\nMM of the file's, borders and walls exact, the solid closed. Default 0.05 for\n"
     ".BR \\-\\-3mf ,\n0 (every cell) for\n.BR \\-\\-stl\\-solid .",
     [](OptionReader &r, BatchOptions &o) {
         return keep(read_number(r, 0, kMaxMeshTolerance, "a length from 0 to 1 mm"),
                     o.mesh_tolerance);
     }},
    {"--bed", "W,H", "with a pair's --3mf: the printer's bed, W x H mm (default\n"
     "256,256); the insoles are turned up to 45 degrees to fit, or\n"
     "written to one 3MF per foot (_L, _R) when they do not",
     "With a pair's\n.BR \\-\\-3mf :\nthe printer's bed, W x H millimetres (default 256,256). "
     "The two insoles stand side by\nside, 10 mm apart, centred on the bed, both turned by the "
     "smallest angle of up to 45 degrees\nthat makes them fit; the placement is each build "
     "item's transform. When they do not fit, the\ncommand says so and writes one 3MF per foot, "
     "with _L and _R before the extension.",
     read_bed},
    {"--relief-raw", "FILE", "the relief as 54,000 bytes, row 0 first", "",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.relief_raw); }},
    {"--preview", "FILE.png", "the relief preview, upright", "",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.preview); }},
    {"--pressure", "FILE.png", "the pressure colouring, upright", "",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.pressure); }},
    {"--report", "FILE|-", "JSON report (\"-\": standard output; use with --quiet)",
     "JSON report; \\fB\\-\\fR writes it to standard output (use with \\fB\\-\\-quiet\\fR). "
     "For a scan made by \\fBpedaform\\-cli import\\fR, \\fIpressure_full_scale_kpa\\fR gives "
     "the pressure of alpha 255 in kPa.",
     [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.report); }},
    {"--quiet", "", "no console lines of the actions",
     "No console lines of the actions on standard output.",
     [](OptionReader &, BatchOptions &o) { return o.quiet = true, Result<>(); }},
    {"--help", "", "", "Print the usage and exit.",
     [](OptionReader &, BatchOptions &o) { return o.help = true, Result<>(); }},
    {"-h", "", "", "",
     [](OptionReader &, BatchOptions &o) { return o.help = true, Result<>(); }},
    {"--version", "", "", "Print the version and exit.",
     [](OptionReader &, BatchOptions &o) { return o.version = true, Result<>(); }},
};
// clang-format on

const char *const kUsageHead =
    "usage: pedaform-cli [options] SCAN.bmp\n"
    "       pedaform-cli --pair LEFT.bmp RIGHT.bmp [options]\n"
    "       pedaform-cli --design FILE.json [options] [SCAN.bmp | --pair LEFT.bmp RIGHT.bmp]\n"
    "\n"
    "Runs an insole design without a screen, as the operator would in the GUI.\n"
    "\n";
const char *const kUsageEnd =
    "  --help, --version\n"
    "\n"
    "Exit status: 0 done, 2 usage error, 3 scan refused, 4 an output could not be written.\n";

// The order's options: one for each field of the order (order/order_data.h), then the sheet.
const char *const kOrderHeading =
    "\nThe order, kept with the design (not as steps) and printed on the order sheet:\n";
const char *const kOrderManual =
    ".SS \"The order sheet\"\n"
    "The order's fields are kept in the design file under \\(lqorder\\(rq (not as steps; a "
    "field given\nreplaces the design file's, an empty one clears it) and printed on the order "
    "sheet. Each takes\nUTF\\-8 text of up to 200 characters (characters, not bytes); the "
    "dates are calendar dates\nwritten YYYY\\-MM\\-DD. A field that fails its check is a "
    "usage error.\n";
const OptionRow kSheetOption = {
    "--order-pdf", "FILE",
    "the order sheet: one A4 page (PDF) with the order, the pictures,\n"
    "the prescription, the measures and the files written on this run",
    "The order sheet, one A4 page of PDF in Traditional Chinese: the order's fields, the "
    "program's\n"
    "version and the date printed; the pressure picture, the relief with its colour key, the "
    "insole\n"
    "from above and from the medial side and the thickness along the foot's axis; the "
    "prescription;\n"
    "the length, size, arch index and, for a scan made from a recording, the peak pressure in "
    "kPa;\n"
    "the design file's name and the SHA\\-256 of the scan and of every other file this run "
    "writes;\n"
    "signature lines. It is written with the other outputs, all or none, and needs the font Noto\n"
    "Sans CJK TC (Debian fonts\\-noto\\-cjk).",
    [](OptionReader &r, BatchOptions &o) { return keep(read_file(r), o.order_pdf); }};

std::string order_field_help(const OrderFieldSpec &row) {
    return std::string("the order's ") + row.english +
           (row.date ? " (a calendar date)" : ", up to 200 characters");
}

std::string order_field_manual(const OrderFieldSpec &row) {
    return std::string("The ") + row.english + " (\\(lq" + row.label + "\\(rq)" +
           (row.date ? ", a date YYYY\\-MM\\-DD" : ", up to 200 characters") +
           (row.multiline ? "; it may hold line breaks." : ".");
}

// An order field's option: its text, checked as the design file checks it.
std::optional<Result<>> read_order_option(OptionReader &reader, BatchOptions &o) {
    for (const OrderFieldSpec &row : kOrderFields) {
        if (reader.option() != row.option) continue;
        Result<std::string> text = reader.value();
        if (!text) return Result<>(Failure{text.message()});
        if (Result<> r = check_order_field(row.field, *text); !r)
            return Result<>(Failure{reader.option() + ": " + r.message()});
        o.order[static_cast<int>(row.field)] = *text;
        return Result<>();
    }
    if (reader.option() == kSheetOption.option) return kSheetOption.read(reader, o);
    return std::nullopt;
}

// The help text's column: options and their arguments stand before it.
constexpr size_t kHelpColumn = 23;

std::string help_lines(const std::string &head, const std::string &text) {
    std::string out =
        head + std::string(head.size() < kHelpColumn ? kHelpColumn - head.size() : 2, ' ');
    for (char c : text)
        out += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
    return out + "\n";
}

// What a control's option takes: its value's range, and its step unless whole.
std::string control_range(Control c) {
    const ControlSpec &s = control_spec(c);
    std::ostringstream text;
    text << s.min << " ... " << s.max;
    if (!control_whole(c)) text << " in steps of " << s.step;
    return text.str();
}

std::string control_argument(Control c) {
    if (control_spec(c).widget == Widget::kCheckButton) return "";
    if (control_spec(c).widget == Widget::kChoice) return control_spec(c).choice_words;
    return control_whole(c) ? "N" : "X";
}

std::string control_help(Control c) {
    const ControlSpec &s = control_spec(c);
    const std::string argument = control_argument(c);
    const std::string head =
        std::string("  ") + s.option + (argument.empty() ? "" : " " + argument);
    std::string text = s.usage;
    if (!argument.empty() && s.widget != Widget::kChoice) text += ", " + control_range(c);
    return help_lines(head, text);
}

// Hyphens as roff's minus signs, so that options can be copied from the page.
std::string roff(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

std::string manual_entry(const std::string &option, const std::string &argument,
                         const std::string &text) {
    std::string head = argument.empty() ? ".B " + roff(option)
                                        : ".BI " + roff(option) + " \" " + roff(argument) + "\"";
    return ".TP\n" + head + "\n" + text + "\n";
}

std::string control_manual(Control c) {
    std::string text = control_spec(c).usage;
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (!control_argument(c).empty() && control_spec(c).widget != Widget::kChoice)
        text += "; " + control_range(c);
    return manual_entry(control_spec(c).option, control_argument(c), roff(text) + ".");
}

// Every option's text in the --help order, each row given to `row` and each control to
// `control`.
template <typename Row, typename Each>
void in_help_order(Row row, Each control) {
    for (const OptionRow &r : kHeadOptions)
        row(r);
    for (Control c : controls_in_batch_order())
        if (control_spec(c).batch_order < kBatchAfterPoint) control(c);
    for (const OptionRow &r : kPointOptions)
        row(r);
    for (Control c : controls_in_batch_order())
        if (control_spec(c).batch_order >= kBatchAfterPoint) control(c);
    for (const OptionRow &r : kTailOptions)
        row(r);
}

// The row of an option other than a control's; none for an unknown option.
const OptionRow *option_row(const std::string &option) {
    for (const OptionRow &row : kHeadOptions)
        if (option == row.option) return &row;
    for (const OptionRow &row : kPointOptions)
        if (option == row.option) return &row;
    for (const OptionRow &row : kTailOptions)
        if (option == row.option) return &row;
    return nullptr;
}

// A design option named `option` (a control's, or a row that reads design options) read into
// `o`; none when `option` is no design option.
std::optional<Result<>> read_design_option(OptionReader &reader, const std::string &option,
                                           DesignOptions &o) {
    for (int i = 0; i < kControlCount; ++i)
        if (option == control_spec(static_cast<Control>(i)).option)
            return keep(read_control(reader, static_cast<Control>(i)), o.controls[i]);
    const OptionRow *row = option_row(option);
    if (row == nullptr || row->read_design == nullptr) return std::nullopt;
    return row->read_design(reader, o);
}

const char *const kFootPrefixes[2] = {"--left-", "--right-"};

Result<> read_option(OptionReader &reader, BatchOptions &o) {
    const std::string &arg = reader.option();
    if (std::optional<Result<>> r = read_order_option(reader, o)) return *r;
    if (std::optional<Result<>> r = read_design_option(reader, arg, o)) return *r;
    for (int f = 0; f < 2; ++f) {
        const std::string prefix = kFootPrefixes[f];
        if (arg.compare(0, prefix.size(), prefix) != 0) continue;
        if (std::optional<Result<>> r =
                read_design_option(reader, "--" + arg.substr(prefix.size()), o.feet[f]))
            return *r;
    }
    const OptionRow *row = option_row(arg);
    if (row != nullptr && row->read != nullptr) return row->read(reader, o);
    return Failure{"unknown option " + arg + " (see --help)"};
}

}  // namespace

bool DesignOptions::any() const {
    for (const std::optional<double> &c : controls)
        if (c) return true;
    return size || meta_point || dome_apex || dome_behind_heads || smooth;
}

std::string batch_usage_text() {
    std::string text = kUsageHead;
    in_help_order(
        [&](const OptionRow &row) {
            if (row.help[0] == '\0') return;  // --help, -h and --version close the list
            const std::string head = std::string("  ") + row.option +
                                     (row.argument[0] != '\0' ? " " : "") + row.argument;
            text += help_lines(head, row.help);
        },
        [&](Control c) { text += control_help(c); });
    text += kOrderHeading;
    for (const OrderFieldSpec &row : kOrderFields)
        text +=
            help_lines(std::string("  ") + row.option + " " + row.argument, order_field_help(row));
    text += help_lines(std::string("  ") + kSheetOption.option + " " + kSheetOption.argument,
                       kSheetOption.help);
    return text + "\n" + kUsageEnd;
}

std::string batch_manual_options() {
    std::string text;
    in_help_order(
        [&](const OptionRow &row) {
            if (std::string(row.option) == "-h") return;  // with --help
            std::string manual = row.manual;
            if (manual.empty()) {
                manual = roff(row.help);
                std::replace(manual.begin(), manual.end(), '\n', ' ');
                manual[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(manual[0])));
                manual += ".";
            }
            const std::string option =
                std::string(row.option) == "--help" ? "--help, -h" : row.option;
            text += manual_entry(option, row.argument, manual);
        },
        [&](Control c) { text += control_manual(c); });
    text += kOrderManual;
    for (const OrderFieldSpec &row : kOrderFields)
        text += manual_entry(row.option, row.argument, order_field_manual(row));
    return text + manual_entry(kSheetOption.option, kSheetOption.argument, kSheetOption.manual);
}

Result<BatchOptions> parse_batch_options(int argc, const char *const *argv) {
    BatchOptions o;
    OptionReader reader(argc, argv);
    while (const std::optional<std::string> arg = reader.next()) {
        if (arg->size() > 1 && (*arg)[0] == '-') {
            if (Result<> r = read_option(reader, o); !r) return Failure{r.message()};
        } else if (!o.scan.empty()) {
            return Failure{"one scan at a time: \"" + o.scan + "\" and \"" + *arg +
                           "\" were given"};
        } else {
            o.scan = *arg;
        }
    }
    const bool pair = !o.pair[0].empty();
    if (pair && !o.scan.empty())
        return Failure{"a scan and --pair were given: with --pair, give the scans there only"};
    if (o.scan.empty() && o.design.empty() && !pair && !o.help && !o.version)
        return Failure{"no scan given (pedaform-cli [options] SCAN.bmp)"};
    return o;
}

}  // namespace pedaform

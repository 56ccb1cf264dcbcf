// Pressure recordings in: worked examples of the resampling, the arch index and the side, the
// shared public recordings, generated recordings of the awkward cases, errors that name their
// line, and the batch command end to end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <optional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/scan_loader.h"
#include "core/size_table.h"
#include "import/foot_measures.h"
#include "import/pressure_import.h"
#include "relief/layers.h"
#include "tests/test_support.h"
#include "tools/recording_synth.h"

using namespace pedaform;

namespace {

const std::string &barefoot_text() {
    static const std::string text = test::unzipped("barefoot_2.zip");
    return text;
}

// The plate recording's documented pitch and unit.
ImportOptions plate_options() {
    ImportOptions o;
    o.row_pitch_mm = 7.62, o.col_pitch_mm = 5.08, o.units = "N/cm2";
    return o;
}

// Every scan loads through the program's scan load as the importer made it: the side the load
// reads from the outline, the landmarks on the foot's contact in their order, the arch index and
// the full scale.
void expect_loads_as_imported(const Import &im) {
    for (const ImportedScan &s : im.scans) {
        Picture p;
        p.width = kGridWidth, p.height = kGridHeight, p.bpp = 32, p.pitch = p.line_bytes = 600;
        p.bits = s.pixels;
        auto scan = std::make_unique<Scan>();
        std::optional<Result<ScanLoadResult>> loaded;
        test::capture_console([&] { loaded = load_scan_picture(*scan, p); });
        ASSERT_TRUE(*loaded) << loaded->message();
        const ScanLoadResult &r = **loaded;
        EXPECT_EQ(scan->template_mirrored, s.side == FootSide::kRight ? 1 : 0);
        EXPECT_EQ(scan->pressure_full_scale_kpa, s.kpa_at_255);
        EXPECT_NEAR(r.ai, s.arch_index, 0.006);
        const Landmark *lm = scan->landmarks;
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(lm[k].row, s.landmarks[k].row);
            EXPECT_EQ(lm[k].column, s.landmarks[k].column);
            const int cell =
                static_cast<int>(lm[k].row) * kGridWidth + static_cast<int>(lm[k].column);
            EXPECT_GT(scan->pressure_grid[cell], 0) << "landmark " << k << " off the contact";
        }
        EXPECT_LT(lm[0].column, lm[1].column);
        EXPECT_LT(lm[2].column, lm[4].column);
        EXPECT_LT(lm[3].row, lm[2].row);  // the heel's centre behind the cup's line
        EXPECT_LT(lm[2].row, std::min(lm[0].row, lm[1].row));
    }
}

const ImportedScan *scan_of(const Import &im, FootSide side) {
    for (const ImportedScan &s : im.scans)
        if (s.side == side) return &s;
    return nullptr;
}

// A walk over a 1.2 m plate: a 250 mm left foot, then a right one 350 mm on, the walker going
// down the rows (a left foot lands toward the higher columns, on the walker's left).
synth::SensorRecording walk() {
    synth::SensorRecording r;
    r.rows = 160, r.cols = 40, r.frames = 120;
    synth::FootStep left;
    left.length_mm = 250, left.heel_x_mm = 130, left.heel_y_mm = 100;
    left.strike_frame = 5, left.stance_frames = 60;
    synth::FootStep right = left;
    right.right_foot = true, right.heel_x_mm = 70, right.heel_y_mm = 450, right.strike_frame = 50;
    r.steps = {left, right};
    return r;
}

}  // namespace

TEST(ImportResampling, BilinearBetweenSenselCentres) {
    const float map[4] = {10, 20, 30, 40};  // 2 x 2, sensel (r, c) centred at (r, c)
    const double cases[][3] = {
        {0, 0, 10}, {0.25, 0.5, 20}, {1, 1, 40}, {0.5, 1.5, 15}, {-0.5, 0, 5}};
    for (const auto &c : cases)
        EXPECT_FLOAT_EQ(bilinear(map, 2, 2, c[0], c[1]), static_cast<float>(c[2]))
            << c[0] << "," << c[1];
}

// A block of 10 x 6 loaded sensels of 7.62 x 5.08 mm is 76.2 x 30.5 mm: the contact's edges
// lie on the sensels' own edges, so 76 x 30 cells of 1 mm, only the corners rounded off.
TEST(ImportResampling, ABlockOfSenselsKeepsItsEdges) {
    Footprint f;
    f.rows = 12, f.cols = 8;
    f.member.assign(96, 0), f.peak.assign(96, 0.0f), f.first_loaded.assign(96, 0);
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 6; ++c)
            f.member[r * 8 + c] = 1, f.peak[r * 8 + c] = 100;
    const FootFrame frame = find_foot_frame(f, 7.62, 5.08, RecordingLayout::kPeakGrid);
    const FootRaster raster = sample_footprint(f, 7.62, 5.08, frame);
    const FootMeasures m = measure_foot(raster);
    EXPECT_EQ(m.length_mm, 76);
    EXPECT_EQ(m.width_mm, 30);
    EXPECT_NEAR(m.area_cm2, 10 * 7.62 * 6 * 5.08 / 100, 0.6);
    EXPECT_FLOAT_EQ(raster.pressure_at(raster.w / 2, (raster.heel_row + raster.toe_row) / 2), 100);
}

// A footprint drawn in 1 mm cells: heel rows 0-59 (60 wide), a lateral midfoot band rows
// 60-119 (20 wide), the ball rows 120-179 (80 wide), a gap, toes on the medial side rows
// 195-199. The toe-less footprint ends at the ball's front (row 180), its thirds are 60 rows:
// 3600, 1200 and 4800 cells, so the arch index is 1200 / 9600. The midfoot lies 20 mm left of
// the heel-to-ball line and the toes 20 mm right of it: a left foot scoring 40.
TEST(ArchIndex, WorkedExampleOfCavanaghAndRodgers) {
    FootRaster r;
    r.w = 100, r.h = 200, r.heel_row = 0, r.toe_row = 199;
    r.contact.assign(20000, 0), r.pressure.assign(20000, 0.0f);
    const int parts[][5] = {{0, 59, 20, 79, 100},
                            {60, 119, 20, 39, 10},
                            {120, 179, 10, 89, 100},
                            {195, 199, 60, 79, 60}};
    for (const auto &p : parts)
        for (int y = p[0]; y <= p[1]; ++y)
            for (int x = p[2]; x <= p[3]; ++x)
                r.contact[y * 100 + x] = 1, r.pressure[y * 100 + x] = static_cast<float>(p[4]);
    const int toe_line = find_toe_line(r);
    EXPECT_GE(toe_line, 180);
    EXPECT_LE(toe_line, 195);
    EXPECT_EQ(toe_less_end(r, toe_line), 180);
    EXPECT_DOUBLE_EQ(arch_index(r, toe_line), 0.125);
    const FootMeasures m = measure_foot(r);
    EXPECT_EQ(m.side, FootSide::kLeft);
    EXPECT_DOUBLE_EQ(m.side_score_mm, 40);
    for (int y = 0; y < 200; ++y)  // mirrored: a right foot
        std::reverse(r.contact.begin() + y * 100, r.contact.begin() + y * 100 + 100),
            std::reverse(r.pressure.begin() + y * 100, r.pressure.begin() + y * 100 + 100);
    EXPECT_EQ(measure_foot(r).side, FootSide::kRight);
}

// The generated walk against the generator's own geometry: side, contact length (0.93 of the
// foot), the heel's and heads' pressure centres at 14 %, 72 % (first) and 64.5 % (fifth) of the
// length, and the arch index of its toe-less shape, within a sensel's pitch.
TEST(ImportGenerated, AWalkGivesTheFeetItWasMadeOf) {
    const synth::SensorRecording rec = walk();
    const Result<Import> im = import_recording(synth::rolloff_text(rec), plate_options());
    ASSERT_TRUE(im) << im.message();
    ASSERT_EQ(im->scans.size(), 2u);
    expect_loads_as_imported(*im);
    const synth::FootStep &foot = rec.steps[0];
    double area[3] = {0, 0, 0};  // the toe-less shape (up to the ball's front, 0.8 L) by thirds
    for (double v = 0.05; v < 0.8 * foot.length_mm; v += 0.1)
        for (double u = -60; u <= 60; u += 0.1)
            area[static_cast<int>(3 * v / (0.8 * foot.length_mm))] +=
                synth::foot_pressure(foot, u, v) > 0;
    const double arch = area[1] / (area[0] + area[1] + area[2]);
    for (const ImportedScan &s : im->scans) {
        const ImportedFootprint &f = im->footprints[s.footprint - 1];
        EXPECT_EQ(s.side,
                  rec.steps[s.footprint - 1].right_foot ? FootSide::kRight : FootSide::kLeft);
        EXPECT_NEAR(f.length_mm, synth::kContactShare * foot.length_mm, 7.62);
        const int first = s.side == FootSide::kLeft ? 1 : 0;
        EXPECT_NEAR(s.landmarks_mm[3], 0.14 * foot.length_mm, 7.62);
        EXPECT_NEAR(s.landmarks_mm[first], 0.72 * foot.length_mm, 7.62);
        EXPECT_NEAR(s.landmarks_mm[1 - first], 0.645 * foot.length_mm, 7.62);
        EXPECT_NEAR(s.arch_index, arch, 0.03);
        EXPECT_EQ(s.kpa_at_255, 400);
    }
}

// The awkward cases, each from generated recordings: every scan still loads as imported.
TEST(ImportGenerated, AwkwardRecordings) {
    synth::SensorRecording below = walk(), stuck = walk(), off = walk(), stand = walk(), shoe;
    for (synth::FootStep &s : below.steps)  // a plate that records the walk seen from below
        s.right_foot = !s.right_foot, s.heel_x_mm = below.cols * below.col_pitch_mm - s.heel_x_mm;
    stuck.stuck_column = 10, stuck.stuck_value = 6;
    off.steps[1].heel_x_mm = 10;  // the right foot half off the plate's side
    stand.cols = 63;              // both feet side by side in every frame, 40 mm apart at the balls
    stand.steps[0].stance_frames = stand.steps[1].stance_frames = 0;
    stand.steps[0].heel_x_mm = 200, stand.steps[1].heel_x_mm = 60, stand.steps[1].heel_y_mm = 100;
    shoe.rows = 60, shoe.cols = 21, shoe.row_pitch_mm = shoe.col_pitch_mm = 5.08, shoe.frames = 70;
    shoe.kpa_per_unit = 1, shoe.sensor_margin_mm = 10;
    synth::FootStep worn;  // toes toward row 1
    worn.length_mm = 260, worn.heel_x_mm = 52, worn.heel_y_mm = 290, worn.heading_degrees = 180;
    worn.strike_frame = 5, worn.stance_frames = 50;
    shoe.steps = {worn};
    std::string commas = synth::peak_grid_text(walk(), ';');
    std::replace(commas.begin(), commas.end(), '.', ',');
    ImportOptions mirrored = plate_options(), shoe_options, named_right;
    mirrored.mirror = true;
    named_right.file_name = "walk_R.asf";
    const struct {
        const char *name;
        std::string text;
        ImportOptions options;
        bool left, right;
        int set_aside;
        const char *warning;
    } cases[] = {
        {"seen from below, --mirror", synth::rolloff_text(below), mirrored, true, true, 0, ""},
        {"stuck column", synth::rolloff_text(stuck), plate_options(), true, true, 0,
         "stuck sensels found and filled from their neighbours: column 11 (rows 1-160)"},
        {"half off the plate", synth::rolloff_text(off), plate_options(), true, false, 1, ""},
        {"both feet standing", synth::rolloff_text(stand), plate_options(), true, true, 0, ""},
        {"a peak grid, ';' and decimal commas", commas, plate_options(), true, true, 0, ""},
        {"in-shoe, B cells, MIRROR_COL 1", synth::tekscan_text(shoe, true), shoe_options, true,
         false, 0, ""},
        {"in-shoe named R", synth::tekscan_text(shoe), named_right, true, false, 0,
         "footprint 1: the file's name says right but the foot's shape reads left; --side sets it"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Result<Import> im = import_recording(c.text, c.options);
        ASSERT_TRUE(im) << im.message();
        EXPECT_EQ(scan_of(*im, FootSide::kLeft) != nullptr, c.left);
        EXPECT_EQ(scan_of(*im, FootSide::kRight) != nullptr, c.right);
        int set_aside = 0;
        for (const ImportedFootprint &f : im->footprints)
            set_aside += !f.set_aside.empty();
        EXPECT_EQ(set_aside, c.set_aside);
        const std::string warnings = im->warnings.empty() ? "" : im->warnings[0];
        EXPECT_EQ(warnings, c.warning);
        expect_loads_as_imported(*im);
    }
}

// The insole fitted to each foot of both shared recordings, the size's last of the nearest bin
// (the one whose heel row the importer put the foot on): test::expect_insole_fits_foot.
TEST(ImportRecordings, TheFittedInsoleClearsEveryImportedFoot) {
    const auto res = test::startup_resources();
    ImportOptions shoe;
    shoe.file_name = "FrasP01L.asf";
    const std::pair<std::string, ImportOptions> recordings[] = {
        {barefoot_text(), plate_options()}, {test::unzipped("FrasP01L.zip"), shoe}};
    for (const auto &[text, options] : recordings) {
        const Result<Import> im = import_recording(text, options);
        ASSERT_TRUE(im) << im.message();
        for (const ImportedScan &s : im->scans) {
            SCOPED_TRACE(options.file_name + " " + foot_side_name(s.side));
            auto ws = std::make_unique<test::Parts>();
            Picture p;
            p.width = kGridWidth, p.height = kGridHeight, p.bpp = 32, p.pitch = p.line_bytes = 600;
            p.bits = s.pixels;
            test::capture_console([&] { ASSERT_TRUE(load_scan_picture(ws->scan, p)); });
            ws->results.template_index.reset();
            for (const SizeBin &bin : kSizeBins)
                if (bin.length == s.size_bin_length) ws->results.template_index = bin.second_index;
            ASSERT_TRUE(ws->results.template_index) << s.size_bin_length;
            fill_insole_grid(*res, ws->scan, ws->results);
            test::expect_insole_fits_foot(ws->scan, ws->results.insole_grid);
        }
    }
}

// The in-shoe recording is of a left foot (its documentation, and the L its name ends in) on a
// sensor of 60 x 21 sensels of 5.08 mm: every step is a left foot shorter than the sensor.
TEST(ImportRecordings, TheInShoeWalkIsALeftFoot) {
    ImportOptions o;
    o.file_name = "FrasP01L.asf";
    const Result<Import> im = import_recording(test::unzipped("FrasP01L.zip"), o);
    ASSERT_TRUE(im) << im.message();
    EXPECT_STREQ(im->layout, "in-shoe");
    ASSERT_EQ(im->scans.size(), 1u);
    EXPECT_EQ(im->scans[0].side, FootSide::kLeft);
    EXPECT_TRUE(im->warnings.empty());
    int steps = 0;
    for (const ImportedFootprint &f : im->footprints) {
        if (!f.set_aside.empty()) continue;
        ++steps;
        EXPECT_EQ(f.side, FootSide::kLeft) << f.number;
        EXPECT_GT(f.length_mm, 200);
        EXPECT_LT(f.length_mm, 60 * 5.08);
        EXPECT_GT(f.width_mm, 60);
        EXPECT_LT(f.width_mm, 21 * 5.08);
        EXPECT_LE(f.peak_kpa, 1514.73);  // the header's saturation pressure
    }
    EXPECT_GE(steps, 5);
    expect_loads_as_imported(*im);
}

// The plate recording (7.62 x 5.08 mm, N/cm2) is a barefoot walk of both feet: each step
// lands on its own side of the line of progression (through the middles of the first two and
// the last two steps), a right foot on the walker's right, and the shape must read the same
// side; --mirror reads every step as the other foot.
TEST(ImportRecordings, ThePlateWalkHasBothFeetOnTheirSides) {
    const std::string &text = barefoot_text();
    const Result<Import> im = import_recording(text, plate_options());
    ASSERT_TRUE(im) << im.message();
    ASSERT_EQ(im->scans.size(), 2u);
    expect_loads_as_imported(*im);
    std::vector<const ImportedFootprint *> steps;
    for (const ImportedFootprint &f : im->footprints)
        if (f.measured && f.set_aside.empty()) steps.push_back(&f);
    ASSERT_GE(steps.size(), 4u);
    const size_t n = steps.size();
    const double ax = (steps[n - 1]->centre_x_mm + steps[n - 2]->centre_x_mm -
                       steps[0]->centre_x_mm - steps[1]->centre_x_mm) /
                      2;
    const double ay = (steps[n - 1]->centre_y_mm + steps[n - 2]->centre_y_mm -
                       steps[0]->centre_y_mm - steps[1]->centre_y_mm) /
                      2;
    double mx = 0, my = 0;
    for (const ImportedFootprint *f : steps)
        mx += f->centre_x_mm / steps.size(), my += f->centre_y_mm / steps.size();
    for (const ImportedFootprint *f : steps) {
        const bool on_right = -ay * (f->centre_x_mm - mx) + ax * (f->centre_y_mm - my) > 0;
        EXPECT_EQ(f->side, on_right ? FootSide::kRight : FootSide::kLeft) << f->number;
        EXPECT_GT(f->length_mm, 180);
        EXPECT_LT(f->length_mm, 300);
        EXPECT_GT(f->width_mm, 70);
        EXPECT_LT(f->width_mm, 130);
        EXPECT_GT(f->peak_kpa, 100);
    }
    ImportOptions mirrored = plate_options();
    mirrored.mirror = true;
    const Result<Import> other = import_recording(text, mirrored);
    ASSERT_TRUE(other) << other.message();
    for (const ImportedFootprint *f : steps)
        EXPECT_NE(other->footprints[f->number - 1].side, f->side) << f->number;
}

namespace {

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\n");
    return lines;
}

// The text with line `n` (from 1) replaced, or cut there when `cut`.
std::string edited(const std::string &text, size_t n, const std::string &line, bool cut = false) {
    std::vector<std::string> lines = lines_of(text);
    if (cut) lines.resize(n);
    lines[n - 1] = line;
    std::string out;
    for (const std::string &l : lines)
        out += l;
    return out;
}

size_t line_number_of(const std::string &text, const std::string &line) {
    const std::vector<std::string> lines = lines_of(text);
    return std::find(lines.begin(), lines.end(), line + "\r\n") - lines.begin() + 1;
}

}  // namespace

// Each fault names its line and produces nothing. Roll-off frames of 4 rows of 3 values start
// on lines 1, 7 and 13; the Tekscan file's frames on the lines that say "Frame N".
TEST(ImportErrors, EachFaultNamesItsLine) {
    synth::SensorRecording empty;
    empty.rows = 4, empty.cols = 3, empty.frames = 3;
    const std::string roll = synth::rolloff_text(empty), asf = synth::tekscan_text(empty);
    const std::string row = "0.0\t0.0\t0.0\r\n";
    const size_t frame3 = line_number_of(asf, "Frame 3"), last = lines_of(asf).size();
    ImportOptions none;
    const struct {
        std::string text;
        ImportOptions options;
        std::string message;
    } cases[] = {
        {edited(roll, 15, row, true), plate_options(),
         "line 15: the frame that starts on line 13 stops after 2 of 4 rows (truncated frame)"},
        {edited(roll, 9, "0.0\t0.0\r\n"), plate_options(),
         "line 9: 2 values where the rows have 3"},
        {edited(roll, 10, "0.5.\t0.0\t0.0\r\n"), plate_options(),
         "line 10: '0.5.' is not a number"},
        {edited(roll, 9, row + row), plate_options(),
         "line 12: the frame that starts on line 7 has more than 4 rows"},
        {edited(asf, frame3 - 2, "\r\n"), none,
         "line " + std::to_string(frame3 - 2) + ": the frame that starts on line " +
             std::to_string(frame3 - 6) + " stops after 3 of 4 rows (truncated frame)"},
        {edited(asf, last - 1, "\r\n", true), none,
         "line " + std::to_string(last - 1) + ": the data ends without '@@' (truncated)"},
        {edited(synth::peak_grid_text(empty), 3, "0,0,x\n"), plate_options(),
         "line 3: 'x' is not a number"},
        {roll, plate_options(), "no footprint: no sensel was loaded"},
        {roll, none, "the file does not give the sensor pitch: give --pitch ROW_MM,COL_MM"},
    };
    for (const auto &c : cases) {
        const Result<Import> im = import_recording(c.text, c.options);
        EXPECT_FALSE(im);
        EXPECT_EQ(im.message(), c.message);
    }
}

namespace {

int run(const std::string &args, std::string &err) {
    const std::string dir = test::scratch_dir();
    const int raw =
        std::system((PEDAFORM_CLI " " + args + " > /dev/null 2> '" + dir + "/err'").c_str());
    const std::vector<uint8_t> e = test::read_file(dir + "/err");
    err.assign(e.begin(), e.end());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace

// The batch command writes each foot's scan (into the build's test-output/import folder, for a
// look) and the report; the batch design command loads them like any scan, its report giving
// the full scale, and draws their pictures beside them.
TEST(ImportCommand, ScansTheReportAndTheirDesigns) {
    const std::string dir = test::scratch_dir(), shown = PEDAFORM_TEST_OUTPUT_DIR "/import";
    mkdir(PEDAFORM_TEST_OUTPUT_DIR, 0755), mkdir(shown.c_str(), 0755);
    const std::string fraser = test::unzipped("FrasP01L.zip");
    test::write_file(dir + "/barefoot_2.txt", {barefoot_text().begin(), barefoot_text().end()});
    test::write_file(dir + "/FrasP01L.asf", {fraser.begin(), fraser.end()});
    const struct {
        const char *name, *options;
        size_t footprints;
        std::vector<const char *> sides;
    } runs[] = {{"barefoot_2.txt", "--pitch 7.62,5.08 --units N/cm2", 5, {"L", "R"}},
                {"FrasP01L.asf", "", 7, {"L"}}};
    std::string err;
    for (const auto &c : runs) {
        ASSERT_EQ(run(std::string("import '") + dir + "/" + c.name + "' " + c.options + " --out '" +
                          shown + "' --report '" + dir + "/r.json'",
                      err),
                  0)
            << err;
        const std::vector<uint8_t> report = test::read_file(dir + "/r.json");
        EXPECT_EQ(nlohmann::json::parse(report.begin(), report.end())["footprints"].size(),
                  c.footprints);
        for (const char *side : c.sides) {
            const std::string stem = std::string(c.name).substr(0, std::string(c.name).find('.'));
            const std::string out = shown + "/" + stem + "_" + side;
            ASSERT_EQ(run("--resources '" PEDAFORM_DATA_DIR "' --quiet --report '" + out +
                              ".json' --preview '" + out + "-preview.png' --pressure '" + out +
                              "-pressure.png' '" + out + ".bmp'",
                          err),
                      0)
                << err;
            const std::vector<uint8_t> r = test::read_file(out + ".json");
            EXPECT_GT(nlohmann::json::parse(r.begin(), r.end())["pressure_full_scale_kpa"], 100);
        }
    }
    EXPECT_EQ(run("import '" + dir + "/barefoot_2.txt' --out '" + dir + "'", err), 3);
    EXPECT_EQ(err, "pedaform-cli: " + dir +
                       "/barefoot_2.txt: the file does not give the sensor pitch: give --pitch "
                       "ROW_MM,COL_MM\n");
    EXPECT_EQ(run("import x --pitch 7.62 --out d", err), 2);
}

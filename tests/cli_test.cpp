// The batch command: its options parsed in-process, and end to end through the real binary,
// one run per exit status and per behaviour that needs the whole program.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/batch.h"
#include "io/scan_file.h"
#include "relief/dome_placement.h"
#include "relief/foot_axis.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string &path) {
    const std::vector<uint8_t> b = test::read_file(path);
    return std::string(b.begin(), b.end());
}

class Cli : public ::testing::Test {
  protected:
    std::string dir = test::scratch_dir();

    // `shell` comes before the command: by default a timeout, only ever a failure bound.
    CliRun cli(const std::string &args, const std::string &shell = "timeout 120 ") {
        const std::string cmd = shell + PEDAFORM_CLI " --resources '" PEDAFORM_DATA_DIR "' " +
                                args + " > '" + dir + "/out.txt' 2> '" + dir + "/err.txt'";
        CliRun r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(dir + "/out.txt");
        r.err = slurp(dir + "/err.txt");
        return r;
    }

    std::string scan(synth::ScanRecipe recipe = {}, const char *name = "scan.bmp") {
        const std::string path = dir + "/" + name;
        test::write_file(path, synth::scan_bmp(synth::make_scan(recipe)));
        return path;
    }
};

// The parser's verdict; `error` gets its message.
bool parse(std::vector<const char *> args, BatchOptions &o, std::string &error) {
    args.insert(args.begin(), "pedaform-cli");
    Result<BatchOptions> r = parse_batch_options(static_cast<int>(args.size()), args.data());
    error = r.message();
    if (r) o = *r;
    return r.ok();
}

}  // namespace

TEST(BatchOptions, ValuesOnTheirControlsGridAndOneLineForEachMistake) {
    BatchOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--meta1", "-10", "--heel3", "10", "--pad-height", "4.6", "--gain", "9.5",
                       "--meta-point", "70.5,359", "--size", "4-5", "--zones", "0:35,96:20",
                       "--slicer", "cura", "--mesh-tolerance", "0.2", "s.bmp"},
                      o, error))
        << error;
    auto value = [&](Control c) { return *o.controls[static_cast<int>(c)]; };
    EXPECT_EQ(value(Control::kMeta1), -10);
    EXPECT_EQ(value(Control::kHeel3), 10);
    EXPECT_NEAR(value(Control::kPadHeight), 4.6, 1e-12);
    EXPECT_EQ(value(Control::kGain), 9.5);
    EXPECT_EQ(o.meta_point, (GridPoint{70.5f, 359.0f}));
    EXPECT_EQ(o.scan, "s.bmp");
    EXPECT_EQ(o.slicer, Slicer::kCura);
    EXPECT_EQ(*o.mesh_tolerance, 0.2);
    // Every control is an option taking both ends of its range and nothing a step beyond, and
    // says so in the usage text; --left- and --right- set it for one foot.
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSpec &row = control_spec(static_cast<Control>(i));
        const std::string right = std::string("--right-") + (row.option + 2);
        BatchOptions one;
        const bool check = row.widget == Widget::kCheckButton;
        const std::string word =
            row.widget == Widget::kChoice
                ? std::string(row.choice_words).substr(0, std::string(row.choice_words).find('|'))
                : "1";
        ASSERT_TRUE(parse(check ? std::vector<const char *>{right.c_str(), "s"}
                                : std::vector<const char *>{right.c_str(), word.c_str(), "s"},
                          one, error))
            << error;
        EXPECT_TRUE(one.feet[1].controls[i]) << right;
        EXPECT_FALSE(one.feet[0].any()) << right;
        EXPECT_FALSE(one.controls[i]) << right;
        EXPECT_NE(batch_usage_text().find(std::string("  ") + row.option + " "), std::string::npos)
            << row.option;
        BatchOptions all;
        if (row.widget == Widget::kCheckButton) {
            ASSERT_TRUE(parse({row.option, "s"}, all, error)) << error;
            EXPECT_EQ(all.controls[i], std::optional<double>(row.max)) << row.option;
            continue;
        }
        if (row.widget == Widget::kChoice) {  // its words, each its value; no number
            const std::vector<std::string> words = control_choices(row.choice_words);
            for (size_t k = 0; k < words.size(); ++k) {
                ASSERT_TRUE(parse({row.option, words[k].c_str(), "s"}, all, error)) << error;
                EXPECT_EQ(all.controls[i], std::optional<double>(k)) << words[k];
            }
            EXPECT_FALSE(parse({row.option, "1", "s"}, all, error));
            continue;
        }
        for (const double end : {row.min, row.max, row.min - row.step, row.max + row.step}) {
            std::ostringstream text;
            text << end;
            const bool inside = end >= row.min && end <= row.max;
            EXPECT_EQ(parse({row.option, text.str().c_str(), "s"}, all, error), inside)
                << row.option << " " << end;
            if (inside) {
                EXPECT_EQ(all.controls[i], std::optional<double>(end)) << row.option;
            }
        }
    }
    o = BatchOptions();
    ASSERT_TRUE(parse({"--meta-point", "0,0", "--pad-width", "0", "s"}, o, error)) << error;
    EXPECT_EQ(o.meta_point, (GridPoint{0, 0}));
    const std::pair<std::vector<const char *>, const char *> bad[] = {
        {{"--meta1", "11", "s"}, "--meta1 takes a whole number from -10 to 10, not \"11\""},
        {{"--heel3", "2.5", "s"}, "--heel3 takes a whole number"},
        {{"--pad-height", "0.3", "s"}, "--pad-height takes 0 to 9 in steps of 0.2"},
        {{"--pad-height", "9.2", "s"}, "--pad-height takes"},
        {{"--gain", "0.5", "s"}, "--gain takes 1 to 10 in steps of 0.5"},
        {{"--gain", "nan", "s"}, "--gain takes"},
        {{"--filter", "-1", "s"}, "--filter takes"},
        {{"--pad-width", "101", "s"}, "--pad-width takes"},
        {{"--pad-length", "abc", "s"}, "--pad-length takes"},
        {{"--smooth"}, "--smooth needs a value"},
        {{"--bogus", "s"}, "unknown option --bogus"},
        {{"--meta-point", "150,3", "s"}, "--meta-point takes COLUMN,ROW"},
        {{"--meta-point", "20", "s"}, "--meta-point takes COLUMN,ROW"},
        {{"--meta-point", "2,-1", "s"}, "--meta-point takes"},
        {{"--size", "CM99", "s"}, "--size takes one of CM15.5-16.5"},
        {{"--zones", "5:10,3:4", "s"}, "--zones: "},
        {{"--zones", "0:101", "s"}, "--zones: "},
        {{"--slicer", "slic3r", "s"}, "--slicer takes prusa, orca or cura, not \"slic3r\""},
        {{"--mesh-tolerance", "1.5", "s"}, "--mesh-tolerance takes a length from 0 to 1 mm"},
        {{"--engrave", "", "s"}, "--engrave needs a file name"},
        {{}, "no scan given"},
        {{"a.bmp", "b.bmp"}, "one scan at a time"},
        {{"--pair", "l.bmp"}, "--pair needs the left and the right foot's scans"},
        {{"--pair", "l.bmp", "r.bmp", "s"}, "a scan and --pair were given"},
        {{"--left-meta1", "11", "s"}, "--left-meta1 takes a whole number from -10 to 10"},
        {{"--right-zones", "0:35", "s"}, "unknown option --right-zones"},
        {{"--bed", "256", "s"}, "--bed takes W,H in mm"},
        {{"--bed", "40,256", "s"}, "--bed takes W,H in mm"},
    };
    for (const auto &[args, message] : bad) {
        BatchOptions b;
        error.clear();
        EXPECT_FALSE(parse(args, b, error)) << message;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

// One run per exit status; a failed output leaves nothing behind and the old file whole.
TEST_F(Cli, ExitStatuses) {
    const std::string s = scan();
    test::write_file(dir + "/bad.bmp", {'n', 'o'});
    test::write_file(dir + "/keep.bmp", {'k'});
    const std::tuple<std::string, int, const char *> runs[] = {
        {"--version", 0, ""},
        {"--meta1 11 " + s, 2,
         "pedaform-cli: --meta1 takes a whole number from -10 to 10, not \"11\"\n"},
        {dir + "/bad.bmp", 3, "格式錯誤: "},
        {"--quiet --stl '" + dir + "/no/m.stl' " + s, 4, "pedaform-cli: cannot "},
        {"--quiet --engrave '" + dir + "/keep.bmp/x' " + s, 4, "pedaform-cli: cannot "},
        {"--quiet --report '" + dir + "/no/r.json' " + s, 4, "pedaform-cli: cannot "},
        {"--quiet --save-design '" + dir + "/no/d.json' " + s, 4, "pedaform-cli: cannot "},
        {"--quiet --engrave '" + dir + "/scan' " + s, 2, "pedaform-cli: --engrave "},
    };
    for (const auto &[args, status, err] : runs) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, status) << args;
        EXPECT_EQ(r.err.rfind(err, 0), 0u) << r.err;
    }
    // Nothing partial is left, and the old file is whole.
    EXPECT_EQ(test::read_file(dir + "/keep.bmp"), std::vector<uint8_t>{'k'});
    EXPECT_EQ(test::files_in(dir).size(), 5u);  // bad, err, keep, out, scan
}

TEST_F(Cli, ReportAndPicturesDescribeTheScan) {
    synth::ScanRecipe recipe;
    recipe.length = 241;
    recipe.right_foot = true;
    synth::Outline o;
    synth::make_scan(recipe, &o);
    const CliRun r = cli("--quiet --filter 30 --gain 2 --pad-width 20 --report - --preview '" +
                         dir + "/p.png' " + scan(recipe));
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["insole_length"], 241);
    EXPECT_EQ(j["size_label"], "CM23-24");
    EXPECT_EQ(j["template_index"], 13);
    EXPECT_EQ(j["outline_bottom_row"], o.bottom);
    EXPECT_EQ(j["pad"], nlohmann::json::parse(R"({"width": 20, "length": 78, "height": 2.9})"));
    EXPECT_EQ(j["ai"], 0.87);
    EXPECT_EQ(j["steps"].size(), 3u);
    EXPECT_EQ(test::read_file(dir + "/p.png")[1], 'P');

    // An unmatched length says so and names the nearest bin, whose presets it takes; no
    // label, no template. Choosing a size ends the warning.
    recipe.length = 240;
    const std::string odd_scan = scan(recipe);
    const CliRun odd = cli("--quiet --report '" + dir + "/odd.json' " + odd_scan);
    EXPECT_NE(odd.err.find("insole length 240 matches no size; nearest 2.5-3.5 / CM23-24"),
              std::string::npos)
        << odd.err;
    const nlohmann::json u = nlohmann::json::parse(slurp(dir + "/odd.json"));
    EXPECT_TRUE(u["size_label"].is_null());
    EXPECT_EQ(u["template_index"], -1);
    EXPECT_EQ(u["pad"], nlohmann::json::parse(R"({"width": 49, "length": 78, "height": 2.9})"));
    EXPECT_EQ(u["warnings"].size(), 1u);
    const nlohmann::json sized =
        nlohmann::json::parse(cli("--quiet --size CM23-24 --report - " + odd_scan).out);
    EXPECT_EQ(sized["size_label"], "CM23-24");
    EXPECT_EQ(sized["template_index"], 13);
    EXPECT_FALSE(sized.contains("warnings"));
}

// A design's steps on another scan, then options; the GUI test compares a plain replay.
TEST_F(Cli, DesignFilesReplayOnAnotherScanAndCheckTheirOwn) {
    const std::string s = scan(), other = scan({241, true}, "other.bmp");
    const std::string design = " --design '" + dir + "/d.json'";
    auto outputs = [&](const char *name) {
        return " --engrave '" + dir + "/" + name + "' --stl-solid '" + dir + "/" + name + ".stl' ";
    };
    ASSERT_EQ(cli("--quiet --meta1 2 --meta2 3 --filter 9 --save-design '" + dir + "/d.json' " + s)
                  .status,
              0);
    ASSERT_EQ(
        cli("--quiet --meta1 2 --meta2 3 --heel1 4 --filter 9" + outputs("direct") + other).status,
        0);
    ASSERT_EQ(cli("--quiet" + design + " --heel1 4" + outputs("replayed") + other).status, 0);
    for (const char *ext : {".bmp", ".stl"})
        test::expect_same_bytes(test::read_file(dir + "/direct" + ext),
                                test::read_file(dir + "/replayed" + ext));
    // The load's own values come from the other scan, and the report names them.
    const CliRun other_scan = cli("--quiet --report -" + design + " " + other);
    EXPECT_NE(nlohmann::json::parse(other_scan.out)["warnings"][0].get<std::string>().find(
                  "\"start\" values pad_width, pad_length, pad_height are this scan's own"),
              std::string::npos)
        << other_scan.out;
    // On its own scan a start value the load sets otherwise refuses the file, naming it.
    nlohmann::json edited = nlohmann::json::parse(slurp(dir + "/d.json"));
    edited["start"]["pad_width"] = 45;
    const std::string text = edited.dump();
    test::write_file(dir + "/bad-start.json", std::vector<uint8_t>(text.begin(), text.end()));
    const CliRun refused = cli("--design '" + dir + "/bad-start.json'");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("\"start\" gives \"pad_width\" 45"), std::string::npos)
        << refused.err;

    // The scan's bytes changed: refused unless asked to go on; a file that is no design: 2.
    std::vector<uint8_t> bytes = test::read_file(s);
    bytes[1000] ^= 1;
    test::write_file(s, bytes);
    const CliRun changed = cli("--quiet" + design);
    EXPECT_EQ(changed.status, 3);
    EXPECT_NE(changed.err.find("checksum"), std::string::npos) << changed.err;
    EXPECT_EQ(cli("--quiet --ignore-checksum" + design).status, 0);
    // Moved away: said to be missing, not changed, even with --ignore-checksum.
    ASSERT_EQ(std::rename(s.c_str(), (s + ".moved").c_str()), 0);
    const CliRun moved = cli("--quiet --ignore-checksum" + design);
    EXPECT_EQ(moved.status, 3);
    EXPECT_NE(moved.err.find("the design's scan is missing"), std::string::npos) << moved.err;
    test::write_file(dir + "/bad.json", {'{', '}'});
    const CliRun bad = cli("--design '" + dir + "/bad.json'");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("not a design file"), std::string::npos) << bad.err;
}

// The turned wide-heeled right foot and a left foot: the search's point, far behind the heads,
// is said until an option places the point or the dome. --dome-behind-heads 8 puts the dome's
// distal edge (where its rise falls below a tenth of the apex's) 8 mm behind the forefoot's
// pressure peak along the foot's axis, and leaves the peak itself below that tenth.
TEST_F(Cli, TheDomeEndsItsDistanceBehindTheForefootPeakOfLeftAndRightFeet) {
    synth::ScanRecipe right, left;
    right.right_foot = right.measured = right.wide_heel = true;
    right.turn_degrees = 3;
    left.measured = true;
    for (const synth::ScanRecipe &recipe : {right, left}) {
        SCOPED_TRACE(recipe.right_foot ? "right" : "left");
        const std::string s = scan(recipe), raw = " --relief-raw '" + dir + "/";
        const CliRun plain = cli("--quiet --report -" + raw + "plain.raw' " + s);
        const CliRun dome = cli("--quiet --stamp --dome-behind-heads 8" + raw + "dome.raw' " + s);
        ASSERT_EQ(dome.status, 0);
        const bool said = plain.err.find("place the dome from the heads") != std::string::npos;
        EXPECT_EQ(said, recipe.right_foot);
        for (const char *placed :
             {"--dome-behind-heads 8", "--dome-apex 80,200", "--meta-point 80,230"})
            EXPECT_EQ(cli("--quiet --report - " + std::string(placed) + " " + s).err, "") << placed;
        const std::vector<uint8_t> flat = test::read_file(dir + "/plain.raw");
        const std::vector<uint8_t> raised = test::read_file(dir + "/dome.raw");
        Scan loaded;
        test::capture_console([&] { ASSERT_TRUE(load_scan_file(loaded, s.c_str())); });
        const std::optional<GridPoint> peak = forefoot_peak(loaded);
        ASSERT_TRUE(peak);
        const GridDirection t = *foot_axis(loaded).toe_ward;
        int apex = 0;
        for (int i = 0; i < kGridCells; ++i)
            if (raised[i] - flat[i] > raised[apex] - flat[apex]) apex = i;
        const int top = raised[apex] - flat[apex];
        double edge = -1e9;  // the farthest toe-ward reach of the dome along the axis
        for (int i = 0; i < kGridCells; ++i)
            if (10 * (raised[i] - flat[i]) >= top)
                edge = std::max(edge, i % kGridWidth * t.column + i / kGridWidth * t.row);
        EXPECT_NEAR(peak->column * t.column + peak->row * t.row - edge, 8, 1);
        const long under = std::lround(peak->row) * kGridWidth + std::lround(peak->column);
        EXPECT_LT(10 * (raised[under] - flat[under]), top);
    }
}

// The posts measured from the printed solid of a left and a right sample foot: a plane fitted by
// least squares to the top within 15 mm of the heel's centre, and to the top 5 to 25 mm ahead of
// the heads' midpoint within 30 mm of the axis, slopes across the foot's axis (landmark 3 to the
// heads' midpoint) toward the first head: 4° ± 0.3° with a 4° post.
TEST_F(Cli, PostsMeasuredFromTheSolidStl) {
    for (const char *foot : {"left_253_CM25-26", "right_305_CM29-30"}) {
        const std::string s = std::string(PEDAFORM_DATA_DIR "/samples/") + foot + ".bmp";
        Scan loaded;
        test::capture_console([&] { ASSERT_TRUE(load_scan_file(loaded, s.c_str())); });
        const Landmark *l = loaded.landmarks, first = l[loaded.template_mirrored ? 0 : 1];
        const double hc = (l[0].column + l[1].column) / 2, hr = (l[0].row + l[1].row) / 2;
        const double length = std::hypot(hc - l[3].column, hr - l[3].row);
        const double tc = (hc - l[3].column) / length, tr = (hr - l[3].row) / length;
        const double side = -tr * (first.column - hc) + tc * (first.row - hr) > 0 ? 1 : -1;
        // Degrees across the axis of the plane through the top's points (along, across) kept by
        // `keep`.
        auto slope = [&](const std::string &options, auto keep) {
            EXPECT_EQ(cli("--quiet " + options + " --stl-solid '" + dir + "/p.stl' " + s).status,
                      0);
            const std::vector<uint8_t> stl = test::read_file(dir + "/p.stl");
            std::map<std::pair<long, long>, float> top;
            for (size_t at = 84 + 12; at + 38 <= stl.size(); at += 50)
                for (int k = 0; k < 3; ++k) {
                    float v[3];
                    std::memcpy(v, &stl[at + 12 * k], sizeof v);
                    float &z = top[{std::lround(v[0]), std::lround(v[1])}];
                    z = std::max(z, v[2]);
                }
            double m[3][4] = {};  // the normal equations of z = a + b across + c along
            for (const auto &[xy, z] : top) {
                const double dx = xy.first - l[3].column, dy = xy.second - l[3].row;
                const double along = tc * dx + tr * dy, across = side * (-tr * dx + tc * dy);
                if (!keep(along, across)) continue;
                const double row[4] = {1, across, along, z};
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 4; ++j)
                        m[i][j] += row[i] * row[j];
            }
            for (int i = 0; i < 3; ++i)  // Gauss-Jordan elimination
                for (int r = 0; r < 3; ++r)
                    for (int j = 3; r != i && j >= i; --j)
                        m[r][j] -= m[r][i] / m[i][i] * m[i][j];
            return std::atan(m[1][3] / m[1][1]) * 180 / M_PI;
        };
        auto seat = [](double along, double across) {
            return along * along + across * across <= 225;
        };
        auto fore = [&](double along, double across) {
            return along >= length + 5 && along <= length + 25 && std::fabs(across) <= 30;
        };
        const double rear = slope("--rearfoot-post 4", seat);
        const double front = slope("--forefoot-post 4", fore);
        std::printf("%s: heel seat %.2f°, forefoot %.2f°\n", foot, rear, front);
        EXPECT_NEAR(rear, 4, 0.3) << foot;
        EXPECT_NEAR(front, 4, 0.3) << foot;
    }
}

// Without pressure in the forefoot's band the dome's apex goes 8 mm behind the heads' line, and
// the batch command says why, on standard error and in the report.
TEST_F(Cli, WithoutPressureUnderTheHeadsTheDomeGoesBehindTheirLine) {
    Picture p = synth::make_scan(synth::ScanRecipe());
    for (int y = 150; y < 300; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            p.bits[(static_cast<size_t>(y) * kGridWidth + x) * 4 + 3] = 0;
    const std::string s = dir + "/bare.bmp", raw = " --relief-raw '" + dir + "/";
    test::write_file(s, synth::scan_bmp(p));
    ASSERT_EQ(cli(raw + "plain.raw' " + s).status, 0);
    const CliRun r = cli("--report - --stamp --dome-behind-heads 8" + raw + "dome.raw' " + s);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("no pressure under the metatarsal heads"), std::string::npos) << r.err;
    const nlohmann::json report = nlohmann::json::parse(r.out.substr(r.out.find("{\n")));
    EXPECT_EQ(report["warnings"].size(), 1u);
    const std::vector<uint8_t> flat = test::read_file(dir + "/plain.raw");
    const std::vector<uint8_t> raised = test::read_file(dir + "/dome.raw");
    int apex = 0;
    for (int i = 0; i < kGridCells; ++i)
        if (raised[i] - flat[i] > raised[apex] - flat[apex]) apex = i;
    Scan loaded;
    test::capture_console([&] { ASSERT_TRUE(load_scan_file(loaded, s.c_str())); });
    const GridPoint at{static_cast<float>(apex % kGridWidth),
                       static_cast<float>(apex / kGridWidth)};
    EXPECT_NEAR(mm_behind_heads(loaded, at), 8, 2);

    // Replayed from a design file, alone or with the step asked again, the step says it once.
    const std::string design = dir + "/dome.json";
    ASSERT_EQ(
        cli("--quiet --stamp --dome-behind-heads 8 --save-design '" + design + "' " + s).status, 0);
    for (const std::string again : {"", "--dome-behind-heads 8 "}) {
        const CliRun replay = cli("--quiet --report - " + again + "--design '" + design + "'");
        ASSERT_EQ(replay.status, 0) << replay.err;
        const size_t said = replay.err.find("no pressure under the metatarsal heads");
        EXPECT_NE(said, std::string::npos) << again << replay.err;
        EXPECT_EQ(replay.err.find("no pressure under", said + 1), std::string::npos) << again;
        EXPECT_EQ(nlohmann::json::parse(replay.out)["warnings"].size(), 1u) << again;
    }
}

// No input holds the batch command up or fills its memory: a FIFO, a device, a folder and a
// 70 MB file are refused as the scan, as the design file and as a design's scan.
TEST_F(Cli, SpecialFilesAreRefusedAsScanDesignAndTheDesignsScan) {
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((dir + "/x.bmp").c_str(), 0755), 0);
    test::write_file(dir + "/big", {});
    ASSERT_EQ(truncate((dir + "/big").c_str(), 70 << 20), 0);  // sparse: nothing written
    ASSERT_EQ(cli("--quiet --save-design '" + dir + "/d.json' " + scan()).status, 0);
    const nlohmann::json design = nlohmann::json::parse(slurp(dir + "/d.json"));
    const std::pair<std::string, const char *> inputs[] = {
        {dir + "/fifo", "not a regular file (a pipe)"},
        {"/dev/urandom", "not a regular file (a device)"},
        {dir + "/x.bmp", "not a regular file (a folder)"},
        {dir + "/big", "the file is too large: 70 MB, more than the "},
    };
    for (const auto &[input, why] : inputs) {
        nlohmann::json on = design;
        on["scan"]["file"] = input;
        const std::string text = on.dump();
        test::write_file(dir + "/on.json", std::vector<uint8_t>(text.begin(), text.end()));
        const std::pair<std::string, int> runs[] = {{"'" + input + "'", 3},
                                                    {"--design '" + input + "'", 2},
                                                    {"--design '" + dir + "/on.json'", 3}};
        for (const auto &[args, status] : runs) {
            const CliRun r = cli("--quiet " + args);
            EXPECT_EQ(r.status, status) << args;
            EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
        }
    }
}

// A run whose second output cannot be written leaves nothing: not when its folder is missing
// (seen before a byte is written), nor when the file system refuses its bytes (a file size
// limit the engraving fits in and the surface STL does not). Any name the file system takes is
// written.
TEST_F(Cli, OutputsAreWrittenWholeOrNotAtAll) {
    const std::string s = scan(), out = dir + "/out";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    const std::string engrave = "--quiet --engrave '" + out + "/e' ";
    const CliRun missing = cli(engrave + "--stl '" + dir + "/none/x.stl' " + s);
    EXPECT_EQ(missing.status, 4);
    const CliRun full =
        cli(engrave + "--stl '" + out + "/x.stl' " + s, "trap '' XFSZ; ulimit -f 1000; exec ");
    EXPECT_EQ(full.status, 4);
    EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
    EXPECT_TRUE(std::filesystem::is_empty(out));  // temporary files included
    const std::string longest = out + "/" + std::string(246, 'n') + ".stl";  // 250 bytes
    ASSERT_EQ(cli("--quiet --stl-solid '" + longest + "' " + s).status, 0);
    EXPECT_EQ(test::files_in(out), std::vector<std::string>{longest});
}

// Landmarks no step can be placed from: the scan loads, the warning is said on standard error
// under --quiet and in the report, and the dome from the heads is refused with it (exit 2).
TEST_F(Cli, AScanWithImpossibleLandmarksIsSaidAndItsDomeFromTheHeadsRefused) {
    std::vector<uint8_t> bytes = synth::scan_bmp(synth::make_scan({}));
    const size_t pixels = bytes[10] + (bytes[11] << 8) + (kGridHeight - 1) * kGridWidth * 4;
    for (int k = 0; k < 6; ++k)
        std::fill_n(&bytes[pixels + 4 * k], 3, 0xFF);
    test::write_file(dir + "/ff.bmp", bytes);
    const char *said = "the scan's landmark 0 lies outside the grid (row -65176, column 255)";
    const CliRun loaded = cli("--quiet --report - " + dir + "/ff.bmp");
    EXPECT_EQ(loaded.status, 0);
    EXPECT_NE(loaded.err.find(said), std::string::npos) << loaded.err;
    EXPECT_NE(loaded.out.find(said), std::string::npos) << loaded.out;
    const CliRun dome = cli("--quiet --stamp --dome-behind-heads 7 " + dir + "/ff.bmp");
    EXPECT_EQ(dome.status, 2);
    EXPECT_NE(dome.err.rfind(std::string("pedaform-cli: ") + said), std::string::npos) << dome.err;
}

// Both feet in one run: every option on both, --left- and --right- on one; per-foot outputs
// with _L and _R equal the single-foot runs' bytes; the report compares the feet; the saved
// pair file replays both; a bed too small writes one 3MF per foot and says so.
TEST_F(Cli, APairInOneRun) {
    synth::ScanRecipe left, right;
    right.right_foot = true;
    right.length = 241;
    const std::string l = scan(left, "l.bmp"), r = scan(right, "r.bmp");
    const std::string out = " --relief-raw '" + dir + "/raw' --3mf '" + dir + "/p.3mf'";
    const std::string both = "--quiet --arch 8 --stamp --dome-behind-heads 7";
    const CliRun pair =
        cli(both + " --left-heel1 2 --report - --save-design '" + dir + "/pair.json'" + out +
                " --patient 林小美 --order-pdf o.pdf --pair " + l + " " + r,
            "cd '" + dir + "' && timeout 120 ");
    ASSERT_EQ(pair.status, 0) << pair.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/_L"));  // no output for an option not given
    ASSERT_EQ(cli(both + " --heel1 2 --relief-raw '" + dir + "/one.raw' " + l).status, 0);
    test::expect_same_bytes(test::read_file(dir + "/one.raw"), test::read_file(dir + "/raw_L"));
    ASSERT_EQ(cli(both + " --relief-raw '" + dir + "/one.raw' " + r).status, 0);
    test::expect_same_bytes(test::read_file(dir + "/one.raw"), test::read_file(dir + "/raw_R"));
    const nlohmann::json j = nlohmann::json::parse(pair.out);
    EXPECT_EQ(j["linked"], false);  // the heel pads differ
    EXPECT_EQ(j["comparison"]["length_mm"],
              nlohmann::json::parse(R"({"left": 253.0, "right": 241.0, "difference": 12.0})"));
    EXPECT_EQ(j["left"]["steps"].size(), 4u);  // arch, heel1, the dome, the stamp
    EXPECT_EQ(j["right"]["steps"].size(), 3u);
    EXPECT_EQ(slurp(dir + "/p.3mf").substr(0, 2), "PK");  // one file for both

    // One sheet for both feet, and the pair's one order in the pair file.
    const std::string sheet = test::command_output("pdftotext -enc UTF-8 '" + dir + "/o.pdf' -");
    for (const char *words : {"林小美", "長度 253 mm", "長度 241 mm"})
        EXPECT_NE(sheet.find(words), std::string::npos) << words << "\n" << sheet;
    const nlohmann::json saved = nlohmann::json::parse(slurp(dir + "/pair.json"));
    EXPECT_EQ(saved["order"], nlohmann::json({{"patient", "林小美"}}));
    EXPECT_FALSE(saved["left"].contains("order"));
    ASSERT_EQ(cli("--quiet --design '" + dir + "/pair.json' --relief-raw '" + dir +
                  "/again' --save-design '" + dir + "/again.json'")
                  .status,
              0);
    EXPECT_EQ(nlohmann::json::parse(slurp(dir + "/again.json"))["order"], saved["order"]);
    for (const char *foot : {"_L", "_R"})
        test::expect_same_bytes(test::read_file(dir + "/raw" + foot),
                                test::read_file(dir + "/again" + foot));

    const CliRun apart =
        cli("--quiet --bed 120,200 --report - --3mf '" + dir + "/q.3mf' --pair " + l + " " + r);
    ASSERT_EQ(apart.status, 0) << apart.err;
    EXPECT_NE(apart.err.find("do not fit one 120 x 200 mm bed"), std::string::npos) << apart.err;
    EXPECT_EQ(nlohmann::json::parse(apart.out)["warnings"].size(), 1u);
    EXPECT_FALSE(test::read_file(dir + "/q_L.3mf").empty());
    EXPECT_FALSE(test::read_file(dir + "/q_R.3mf").empty());
    // A file size limit the engravings fit in and the STL files do not: no engraving is written.
    const CliRun half =
        cli("--quiet --engrave '" + dir + "/w' --stl '" + dir + "/s.stl' --pair " + l + " " + r,
            "trap '' XFSZ; ulimit -f 1000; exec ");
    EXPECT_EQ(half.status, 4);
    EXPECT_TRUE(test::read_file(dir + "/w_L.bmp").empty());

    const std::pair<std::string, const char *> refused[] = {
        {"--left-meta1 2 " + l, "--left- and --right- options set one foot"},
        {"--meta-point 70,200 --pair " + l + " " + r, "name a cell of one foot"},
        {"--pair " + r + " " + l, "is a right foot's scan"},
    };
    for (const auto &[args, why] : refused) {
        const CliRun run = cli("--quiet " + args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
    }
}

// The order from the options into the design file and onto the sheet, which names the run's
// other outputs by the SHA-256 sha256sum gives and, the scan saying what alpha 255 stands for,
// the peak pressure. A date that is none is a usage error; without the sheet's font nothing is
// written.
TEST_F(Cli, TheOrderSheetNamesThePatientTheOutputsAndThePeak) {
    Picture picture = synth::make_scan({});
    uint8_t *meta = &picture.bits[static_cast<size_t>(kGridHeight - 1) * kGridWidth * 4];
    meta[5 * 4] = 2, meta[5 * 4 + 1] = 0;  // 512 kPa at alpha 255
    int peak = 0;
    for (int i = 0; i < kGridCells - kGridWidth; ++i)
        peak = std::max<int>(peak, picture.bits[4 * i + 3]);
    const std::string s = dir + "/scan.bmp", stl = dir + "/a.stl", pdf = dir + "/o.pdf";
    test::write_file(s, synth::scan_bmp(picture));
    const std::string order = "--patient '陳 & \"O'\\''Brien\"' --exam-date 2024-05-02 ";
    const CliRun ok = cli("--quiet --arch 8 " + order + "--stl '" + stl + "' --save-design '" +
                          dir + "/d.json' --order-pdf '" + pdf + "' " + s);
    ASSERT_EQ(ok.status, 0) << ok.err;
    const nlohmann::json design = nlohmann::json::parse(slurp(dir + "/d.json"));
    EXPECT_EQ(design["order"],
              nlohmann::json({{"patient", "陳 & \"O'Brien\""}, {"exam_date", "2024-05-02"}}));
    const std::string text = test::command_output("pdftotext -enc UTF-8 '" + pdf + "' -");
    const std::string hashes = test::command_output("cd '" + dir + "' && sha256sum a.stl d.json");
    const std::vector<std::string> expected = {
        "陳 & \"O'Brien\"",
        "arch support 8 mm",
        "d.json",
        "a.stl",
        hashes.substr(0, 64),
        hashes.substr(hashes.find('\n') + 1, 64),
        "最大壓力 " + std::to_string(std::lround(512 * peak / 255.0)) + " kPa"};
    for (const std::string &words : expected)
        EXPECT_NE(text.find(words), std::string::npos) << words << "\n" << text;

    const CliRun date = cli("--birth-date 2023-02-29 --order-pdf '" + pdf + "' " + s);
    EXPECT_EQ(date.status, 2);
    EXPECT_EQ(date.err,
              "pedaform-cli: --birth-date: the birth date \"2023-02-29\" is not a "
              "calendar date YYYY-MM-DD\n");
    const std::string empty = dir + "/fonts.conf", out = dir + "/out";
    test::write_file(empty, {'<', 'f', 'o', 'n', 't', 'c', 'o', 'n', 'f', 'i', 'g', '/', '>'});
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    const CliRun no_font =
        cli("--quiet --stl '" + out + "/b.stl' --order-pdf '" + out + "/o.pdf' " + s,
            "FONTCONFIG_FILE='" + empty + "' ");
    EXPECT_EQ(no_font.status, 4);
    EXPECT_NE(no_font.err.find("fonts-noto-cjk"), std::string::npos) << no_font.err;
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

// The sheet's drawing is a module found beside the program; a program copied without it still
// runs, and a sheet asked of it fails naming the module, with nothing written.
TEST_F(Cli, WithoutTheSheetsModuleTheRunSaysSoAndWritesNothing) {
    const std::string bin = dir + "/bin", out = dir + "/out", s = scan();
    ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    std::filesystem::copy_file(PEDAFORM_CLI, bin + "/pedaform-cli");
    const std::string cmd = "timeout 120 '" + bin +
                            "/pedaform-cli' --resources '" PEDAFORM_DATA_DIR "' --quiet --stl '" +
                            out + "/b.stl' --order-pdf '" + out + "/o.pdf' " + s + " 2> '" + dir +
                            "/err.txt'";
    const int raw = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 4);
    EXPECT_NE(slurp(dir + "/err.txt").find("pedaform-sheet.so is not in"), std::string::npos)
        << slurp(dir + "/err.txt");
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

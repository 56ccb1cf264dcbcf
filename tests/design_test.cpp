// The design model: undo and redo restore each step exactly, a replay equals the live steps,
// design files round-trip, and hostile design files are refused without touching the design.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "analysis/size_bin.h"
#include "design/design.h"
#include "design/design_file.h"
#include "design/proposal.h"
#include "model3d/print_3mf.h"
#include "io/file_hash.h"
#include "io/scan_file.h"
#include "relief/composition.h"
#include "relief/foot_axis.h"
#include "relief/layers.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

// Everything a design step may change, as bytes.
std::vector<uint8_t> design_state(const Design &d) {
    const DesignResults &ws = d.results();
    std::vector<uint8_t> s;
    auto add = [&](const void *p, size_t n) {
        s.insert(s.end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
    };
    add(ws.relief_grid, sizeof ws.relief_grid);
    add(ws.insole_relief, sizeof ws.insole_relief);
    add(ws.relief_preview, sizeof ws.relief_preview);
    add(ws.colour_grid, sizeof ws.colour_grid);
    for (int i = 0; i < kLayerCount; ++i)  // as the composition reads them
        add(ws.layer_cells(i), sizeof ws.layers[i]);
    add(&ws.meta_column, sizeof ws.meta_column);
    add(&ws.meta_row, sizeof ws.meta_row);
    add(d.controls().value, sizeof d.controls().value);
    return s;
}

struct Fixture {
    std::unique_ptr<Resources> res = test::startup_resources();
    Design design{*res, load_scan_file};
    std::string dir = test::scratch_dir();
    std::string scan = dir + "/scan.bmp";

    explicit Fixture(synth::ScanRecipe recipe = {}) {
        test::write_file(scan, synth::scan_bmp(synth::make_scan(recipe)));
        test::capture_console([&] { EXPECT_TRUE(design.load(scan)); });
    }
};

std::vector<uint8_t> relief_of(const Design &d) {
    return std::vector<uint8_t>(d.results().relief_grid, d.results().relief_grid + kGridCells);
}

// A random valid step: a control at a value on its grid, a smoothing pass or a point.
Step random_step(std::mt19937 &rng) {
    Step s;
    const int kind = static_cast<int>(rng() % 13);
    if (kind == 12) {
        s.kind = StepKind::kSize;
        s.size = static_cast<int>(rng() % kSizeLabelCount);
    } else if (kind == 11) {
        s.kind = StepKind::kSmooth;
    } else if (kind == 10) {
        s.kind = StepKind::kMetaPoint;
        s.column = static_cast<float>(rng() % kGridWidth);
        s.row = static_cast<float>(rng() % kGridHeight);
    } else {
        // Half of the moves on the metatarsal sliders, whose layer 5 depends on both.
        s.control = static_cast<Control>(rng() % 2 ? rng() % 2 : rng() % kControlCount);
        const ControlSpec &range = control_spec(s.control);
        const int steps = static_cast<int>((range.max - range.min) / range.step + 0.5);
        s.value = control_value_snapped(s.control, range.min + (rng() % (steps + 1)) * range.step);
        // Pads from a few values, so that sliders meet at 0 and cross it often.
        if (static_cast<int>(s.control) <= static_cast<int>(Control::kHeel3))
            s.value = -2 + 2.0 * (rng() % 4);
    }
    return s;
}

}  // namespace

TEST(Design, UndoRedoAndReplayGiveEachStepsStateExactly) {
    Fixture f;
    std::mt19937 rng(7);
    std::vector<std::vector<uint8_t>> before;
    std::vector<Step> applied;
    // Undoing the first colour step brings back the load's colours.
    const uint8_t(&colour_grid)[kGridCells * 3] = f.design.results().colour_grid;
    const std::vector<uint8_t> colours(colour_grid, std::end(colour_grid));
    ASSERT_TRUE(f.design.set(Control::kFilter, 60));
    ASSERT_TRUE(f.design.undo());
    EXPECT_TRUE(std::equal(colours.begin(), colours.end(), colour_grid));
    test::capture_console([&] {
        ASSERT_TRUE(f.design.set(Control::kStamp, 1));  // most steps recompose with the stamp
        while (applied.size() < 50) {
            const Step step = random_step(rng);
            before.push_back(design_state(f.design));
            const size_t position = f.design.position();
            ASSERT_TRUE(f.design.apply(step));
            if (f.design.position() == position) {  // the value did not change: no step
                before.pop_back();
                continue;
            }
            applied.push_back(step);
        }
    });
    const std::vector<uint8_t> last = design_state(f.design);
    const std::vector<Step> steps = f.design.steps();
    for (size_t k = before.size(); k-- > 0;) {
        ASSERT_TRUE(f.design.undo());
        ASSERT_TRUE(design_state(f.design) == before[k]) << "undo of step " << k;
    }
    EXPECT_EQ(f.design.position(), 1u);  // the stamp switched on
    while (f.design.can_redo())
        ASSERT_TRUE(f.design.redo());
    EXPECT_TRUE(design_state(f.design) == last);

    // The same steps replayed on a fresh load: what opening the design file does.
    Fixture g;
    test::capture_console([&] {
        ASSERT_TRUE(g.design.load(f.scan));
        ASSERT_TRUE(g.design.replay(steps));
    });
    EXPECT_TRUE(design_state(g.design) == last);

    // Only a change is a step, saved or not; a new step after an undo drops the redo tail.
    EXPECT_TRUE(f.design.modified());
    f.design.mark_saved();
    ASSERT_TRUE(f.design.set(Control::kGain, f.design.controls()[Control::kGain]));
    EXPECT_FALSE(f.design.modified());
    ASSERT_TRUE(f.design.undo());
    ASSERT_TRUE(f.design.set(Control::kGain, f.design.controls()[Control::kGain] == 3 ? 4 : 3));
    EXPECT_FALSE(f.design.can_redo());
    EXPECT_EQ(f.design.position(), steps.size());
}

// Changes of one control less than a second apart, or within one drag however slow, amend one
// step; another step between them, or a second's pause, starts a new one; a burst back to where
// it started leaves none. The amended steps replay to the same state.
TEST(Design, ABurstOrADragOfOneControlIsOneStep) {
    Fixture f;
    const struct {
        Control control;
        double value, at;
        size_t position;  // after the change
    } changes[] = {
        {Control::kArch, 1, 10.0, 1},         {Control::kArch, 1.5, 10.6, 1},
        {Control::kArch, 2, 11.5, 1},         {Control::kArch, 2.5, 12.7, 2},
        {Control::kBase, 1, 12.8, 3},         {Control::kArch, 3, 12.9, 4},
        {Control::kHeelLift, 1, 20.0, 5},     {Control::kHeelLift, 0, 20.5, 4},
        {Control::kRearfootPost, 2, 21.0, 5},
    };
    test::capture_console([&] {
        for (const auto &c : changes) {
            ASSERT_TRUE(f.design.set(c.control, c.value, c.at));
            EXPECT_EQ(f.design.position(), c.position) << c.at;
        }
        f.design.open_gesture();
        ASSERT_TRUE(f.design.set(Control::kTopCover, 0.5, 30));
        ASSERT_TRUE(f.design.set(Control::kTopCover, 1, 40));
        f.design.close_gesture();
    });
    EXPECT_EQ(f.design.position(), 6u);
    EXPECT_EQ(f.design.controls()[Control::kArch], 3);
    Fixture g;
    test::capture_console([&] { ASSERT_TRUE(g.design.replay(f.design.steps())); });
    EXPECT_TRUE(design_state(g.design) == design_state(f.design));
}

// On every sample foot the proposal's steps make an insole that the solid STL and the zoned 3MF
// print without another step, with the heel cup the length gives, and they replay alike.
TEST(Proposal, EverySampleFootPrintsWithoutAnotherStep) {
    const std::unique_ptr<Resources> res = test::startup_resources();
    for (const std::string &scan : test::files_in(PEDAFORM_DATA_DIR "/samples")) {
        Design design(*res, load_scan_file), again(*res, load_scan_file);
        test::capture_console([&] {
            ASSERT_TRUE(design.load(scan));
            ASSERT_TRUE(propose(design)) << scan;
            ASSERT_TRUE(again.load(scan));
            ASSERT_TRUE(again.replay(design.steps()));
        });
        const bool small = design.scan().insole_length < 240;
        EXPECT_EQ(design.controls()[Control::kHeelCup], small ? 10 : 12) << scan;
        const uint8_t *insole = design.results().insole_relief;
        EXPECT_TRUE(encode_relief_solid(insole)) << scan;
        PrintSettings print;
        print.zones = parse_print_zones(kDefaultPrintZones).value();
        test::capture_console([&] {
            EXPECT_TRUE(encode_relief_3mf(insole, design.scan().pressure_grid, print, {})) << scan;
        });
        EXPECT_TRUE(design_state(again) == design_state(design)) << scan;
    }
}

TEST(DesignFile, SaveOpenSaveGivesTheSameFileAndTheSameRelief) {
    Fixture f({253, true});
    test::capture_console([&] {
        for (auto [c, v] : {std::pair{Control::kMeta1, 4.0},
                            {Control::kStamp, 1.0},
                            {Control::kPadHeight, 4.6},
                            {Control::kHeel3, -3.0}})
            ASSERT_TRUE(f.design.set(c, v));
        ASSERT_TRUE(f.design.smooth());
        ASSERT_TRUE(f.design.move_meta_point(70.5f, 231.25f));
        ASSERT_TRUE(f.design.choose_size(3));
    });
    const std::string path = f.dir + "/designs/patient.json";
    ASSERT_EQ(mkdir((f.dir + "/designs").c_str(), 0755), 0);
    ASSERT_TRUE(save_design(f.design, path));
    const std::vector<uint8_t> saved = test::read_file(path);

    const Result<DesignFile> read = read_design_file(path);
    ASSERT_TRUE(read) << read.message();
    const DesignFile &file = *read;
    EXPECT_EQ(file.scan_file, "../scan.bmp");
    const std::vector<uint8_t> scan = test::read_file(f.scan);
    EXPECT_EQ(file.scan_sha256, sha256_hex(scan.data(), scan.size()));
    Fixture g;
    test::capture_console(
        [&] { ASSERT_TRUE(open_design(g.design, file, design_scan_path(path, file)).load); });
    EXPECT_FALSE(g.design.modified());
    test::expect_same_bytes(relief_of(f.design), relief_of(g.design));
    ASSERT_TRUE(save_design(g.design, path));
    test::expect_same_bytes(saved, test::read_file(path));
}

// The file is a contract with the labs' archives: these bytes are the format.
// The checksum a design keeps is of the bytes its load read, even when the scan's file changes
// before the design is saved.
TEST(DesignFile, TheChecksumIsOfTheBytesTheLoadRead) {
    Fixture f;
    const std::vector<uint8_t> read = test::read_file(f.scan);
    test::write_file(f.scan, synth::scan_bmp(synth::make_scan({.length = 228})));
    const std::string path = f.dir + "/d.json";
    ASSERT_TRUE(save_design(f.design, path));
    const Result<DesignFile> saved = read_design_file(path);
    ASSERT_TRUE(saved) << saved.message();
    EXPECT_EQ(saved->scan_sha256, sha256_hex(read.data(), read.size()));
}

TEST(DesignFile, GoldenText) {
    DesignFile f;
    f.scan_file = "a.bmp";
    f.scan_sha256 = std::string(64, 'e');
    f.start[Control::kPadHeight] = 2.9;
    f.start[Control::kHeelCup] = 2;  // an orthotic control is written only when in use
    f.steps.resize(3);
    f.steps[0].value = 3;
    f.steps[1].kind = StepKind::kMetaPoint;
    f.steps[1].column = 70.5f;
    f.steps[2].kind = StepKind::kSize;
    f.steps[2].size = size_label_index("CM25-26").value();
    std::string text = design_file_text(f);
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    EXPECT_EQ(text,
              "{\n\"format\":\"pedaform-design\",\n\"version\":1,\n\"scan\":{\n\"file\":"
              "\"a.bmp\",\n\"sha256\":\"" +
                  f.scan_sha256 +
                  "\"\n},\n\"start\":{\n\"meta1\":0,\n\"meta2\":0,\n\"heel1\":0,\n\"heel2\":"
                  "0,\n\"heel3\":0,\n\"filter\":0,\n\"gain\":3,\n\"stamp\":false,\n\"pad_"
                  "width\":7,\n\"pad_length\":17,\n\"pad_height\":2.9,\n\"heel_cup\":2\n},"
                  "\n\"steps\":[\n{"
                  "\n\"step\":\"meta1\",\n\"value\":3\n},\n{\n\"step\":\"meta_point\",\n"
                  "\"column\":70.5,\n\"row\":0.0\n},\n{\n\"step\":\"size\",\n\"label\":"
                  "\"CM25-26\"\n}\n]\n}\n");
    EXPECT_EQ(design_file_text(f).find("\n  \"version\": 1,\n"), 32u);  // two spaces a level
}

TEST(DesignFile, HostileFilesAreRefusedAndTheDesignStaysAsItWas) {
    Fixture f;
    test::capture_console([&] { ASSERT_TRUE(f.design.set(Control::kMeta2, 3)); });
    const std::string good_path = f.dir + "/good.json";
    ASSERT_TRUE(save_design(f.design, good_path));
    const std::vector<uint8_t> raw = test::read_file(good_path);
    const std::string good(raw.begin(), raw.end());
    auto edit = [&](const std::string &from, const std::string &to) {
        std::string t = good;
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? t : t.replace(at, from.size(), to);
    };
    test::write_file(f.dir + "/not-a-scan.bmp", {'B', 'M', 0, 1});
    const struct {
        const char *what;
        std::string text;
        const char *message;
    } cases[] = {
        {"not JSON", "{\"format\": ", "not JSON"},
        {"truncated", good.substr(0, good.size() / 2), "not JSON"},
        {"another format", edit("pedaform-design", "pedaform-report"), "\"format\""},
        {"a newer version", edit("\"version\": 1", "\"version\": 2"), "newer"},
        {"an unknown step", edit("\"meta2\",", "\"meta9\","), "unknown step \"meta9\""},
        {"a value out of range", edit("\"value\": 3", "\"value\": 11"), "\"meta2\" must be"},
        {"a value off its step", edit("\"value\": 3", "\"value\": 2.5"), "\"meta2\" must be"},
        {"a start value missing", edit("\"meta1\": 0,", ""), "\"start\" has no \"meta1\""},
        {"no start values", edit("\"start\"", "\"begin\""), "no \"start\" values"},
        {"an unknown start value", edit("\"meta1\"", "\"meta9\""), "unknown value \"meta9\""},
        {"a missing scan", edit("scan.bmp", "gone.bmp"), "No such file"},
        {"a refused scan", edit("scan.bmp", "not-a-scan.bmp"), "not a picture"},
        // On its own scan, a start value the load sets must be the one the load gives.
        {"a start value the load resets", edit("\"meta1\": 0", "\"meta1\": 5"),
         "\"start\" gives \"meta1\" 5, but the load of the design's own scan gives 0"},
        {"a start preset of another size", edit("\"pad_width\": 51", "\"pad_width\": 45"),
         "\"pad_width\" 45"},
        {"an orthotic start value", edit("\"stamp\"", "\"arch\": 4, \"stamp\""), "\"arch\" 4"},
    };
    const std::vector<uint8_t> state = design_state(f.design);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = f.dir + "/hostile.json";
        test::write_file(path, std::vector<uint8_t>(c.text.begin(), c.text.end()));
        const Result<DesignFile> file = read_design_file(path);
        std::string message = file.message();
        if (file) {
            bool file_refused = false;
            const std::string log = test::capture_console([&] {
                const OpenedDesign opened =
                    open_design(f.design, *file, design_scan_path(path, *file));
                EXPECT_FALSE(opened.load);
                message = opened.load.message();
                file_refused = opened.file_refused;
            });
            EXPECT_EQ(log.find("Unable to load texture") == std::string::npos, file_refused);
        }
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_TRUE(design_state(f.design) == state);
        EXPECT_EQ(f.design.steps().size(), 1u);
    }
}

TEST(DesignFile, EveryValueTheProgramSetsOpensAgainOnEverySampleAndSize) {
    std::unique_ptr<Resources> res = test::startup_resources();
    const std::string dir = test::scratch_dir();
    for (const std::string &scan : test::files_in(PEDAFORM_DATA_DIR "/samples"))
        for (int size = -1; size < kSizeLabelCount; ++size) {
            SCOPED_TRACE(scan + " size " + std::to_string(size));
            Design saved(*res, load_scan_file), opened(*res, load_scan_file);
            test::capture_console([&] {
                ASSERT_TRUE(saved.load(scan));
                if (size >= 0) {
                    ASSERT_TRUE(saved.choose_size(size));
                }
                ASSERT_TRUE(saved.set(Control::kStamp, 1));
            });
            const std::string path = dir + "/d.json";
            ASSERT_TRUE(save_design(saved, path));
            const DesignFile file = read_design_file(path).value();
            test::capture_console([&] { ASSERT_TRUE(open_design(opened, file, scan).load); });
            test::expect_same_bytes(relief_of(saved), relief_of(opened));
        }
}

TEST(Design, TwoDesignsShareTheResourcesWithoutDisturbingEachOther) {
    std::unique_ptr<Resources> res = test::startup_resources();
    const std::string samples = PEDAFORM_DATA_DIR "/samples/";
    Design left(*res, load_scan_file), right(*res, load_scan_file), alone(*res, load_scan_file);
    test::capture_console([&] {
        ASSERT_TRUE(left.load(samples + "left_253_CM25-26.bmp"));
        ASSERT_TRUE(alone.load(samples + "left_253_CM25-26.bmp"));
        ASSERT_TRUE(right.load(samples + "right_253_4-5.bmp"));
        for (Design *d : {&left, &alone}) {
            ASSERT_TRUE(d->set(Control::kMeta1, 3));
            ASSERT_TRUE(d->set(Control::kStamp, 1));
        }
        ASSERT_TRUE(right.set(Control::kHeel3, -4));
        ASSERT_TRUE(right.smooth());
        ASSERT_TRUE(left.smooth());
        ASSERT_TRUE(alone.smooth());
    });
    EXPECT_EQ(left.scan().template_mirrored, 1 - right.scan().template_mirrored);
    test::expect_same_bytes(relief_of(alone), relief_of(left));
    EXPECT_EQ(design_state(alone), design_state(left));
    EXPECT_NE(relief_of(left), relief_of(right));
}

// The fitted outline on every sample foot (test::expect_insole_fits_foot).
TEST(FittedOutline, MarginsAtTheHeelAndTheBallAndTheCupOnEverySampleFoot) {
    const auto res = test::startup_resources();
    for (const std::string &name : test::files_in(PEDAFORM_DATA_DIR "/samples")) {
        SCOPED_TRACE(name);
        Design design(*res, load_scan_file);
        test::capture_console([&] { ASSERT_TRUE(design.load(name)); });
        test::expect_insole_fits_foot(design.scan(), design.results().insole_grid);
    }
}

// One medial wall on a left and a right sample foot: along the insole's medial border, from the
// heel's centre (landmark 3) to the arch support's crest, cup and arch together never fall
// below 60 % of the lower of the cup's rim and the crest.
TEST(MedialWall, UnbrokenFromTheHeelToTheArchCrestOnSampleFeet) {
    const auto res = test::startup_resources();
    for (const char *name : {"left_253_CM25-26.bmp", "right_305_CM29-30.bmp"}) {
        SCOPED_TRACE(name);
        Design design(*res, load_scan_file);
        test::capture_console([&] {
            ASSERT_TRUE(design.load(std::string(PEDAFORM_DATA_DIR "/samples/") + name));
            ASSERT_TRUE(design.set(Control::kArch, 8));
            ASSERT_TRUE(design.set(Control::kHeelCup, 10));
        });
        const DesignResults &r = design.results();
        const float *arch = r.layer_cells(index(Layer::kArch));
        const float *cup = r.layer_cells(index(Layer::kHeelCup));
        const bool medial_right = medial_column_direction(design.scan()) > 0;
        auto border = [&](int row) {  // the medial border cell of the row (the row's first: none)
            const uint8_t *in = r.insole_grid + row * kGridWidth;
            for (int k = 0; k < kGridWidth; ++k)
                if (const int x = medial_right ? kGridWidth - 1 - k : k; in[x])
                    return row * kGridWidth + x;
            return row * kGridWidth;
        };
        const int heel = static_cast<int>(design.scan().landmarks[3].row);
        int crest = heel;
        for (int row = heel; row < kGridHeight; ++row)
            if (arch[border(row)] > arch[border(crest)]) crest = row;
        auto wall = [&](int row) { return arch[border(row)] + cup[border(row)]; };
        ASSERT_GT(crest, heel + 30);
        const float least = 0.6f * std::min(wall(heel), wall(crest));
        for (int row = heel; row <= crest; ++row)
            EXPECT_GE(wall(row), least) << row;
    }
}

// A pair of feet: the dome's intent replayed on each foot's own heads, hand-placed points carried
// to the other foot by the mirror image, linked steps undone as one, pair files that open as
// they were saved, and a real pair of feet of different lengths.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "design/design_file.h"
#include "design/pair.h"
#include "design/pair_file.h"
#include "design/side_by_side.h"
#include "io/scan_file.h"
#include "relief/dome_placement.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

struct Feet {
    std::unique_ptr<Resources> res = test::startup_resources();
    std::string dir = test::scratch_dir();
    Pair pair{*res, load_scan_file};
    // Synthetic measured feet of one length, the right the left's mirror image on the grid.
    std::array<std::string, 2> scans = {dir + "/a_L.bmp", dir + "/a_R.bmp"};
    explicit Feet(int right_length = 253) {
        synth::ScanRecipe recipe;
        recipe.measured = true;
        test::write_file(scans[0], synth::scan_bmp(synth::make_scan(recipe)));
        recipe.right_foot = true;
        recipe.length = right_length;
        test::write_file(scans[1], synth::scan_bmp(synth::make_scan(recipe)));
        for (Foot f : {Foot::kLeft, Foot::kRight})
            test::capture_console([&] { EXPECT_TRUE(pair.load(f, scans[foot_index(f)])); });
    }
    Design &left() { return pair.design(Foot::kLeft); }
    Design &right() { return pair.design(Foot::kRight); }
};

std::vector<uint8_t> relief_of(const Design &d) {
    return std::vector<uint8_t>(d.results().relief_grid, d.results().relief_grid + kGridCells);
}

// The apex a dome step of `mm` gives on `scan` designed alone, the stamped pad on.
GridPoint apex_placed_alone(const Resources &res, const std::string &scan, double mm) {
    Design d(res, load_scan_file);
    test::capture_console([&] {
        EXPECT_TRUE(d.load(scan));
        EXPECT_TRUE(d.set(Control::kStamp, 1));
        EXPECT_TRUE(d.place_dome_behind_heads(mm));
    });
    return d.dome_apex();
}

}  // namespace

// A dome step is kept as millimetres and worked out on the scan it is replayed on; the hand's
// point stays in cells. The right foot (a mirror image) gets its own apex, not the left's cells.
TEST(DomeStep, ReplayedOnAnotherScanSitsBehindThatFootsHeads) {
    Feet f;
    test::capture_console([&] {
        ASSERT_TRUE(f.left().set(Control::kStamp, 1));
        ASSERT_TRUE(f.left().place_dome_behind_heads(7));
    });
    const DesignFile file = design_file_of(f.left(), f.dir + "/d.json");
    EXPECT_NE(
        design_file_text(file).find("{\n      \"step\": \"dome_behind_heads\",\n      \"mm\": 7\n"),
        std::string::npos);
    OpenedDesign opened;
    test::capture_console([&] { opened = open_design(f.right(), file, f.scans[1]); });
    ASSERT_TRUE(opened.load);
    EXPECT_TRUE(opened.mirrored.empty());  // nothing placed by hand to mirror
    const GridPoint own = apex_placed_alone(*f.res, f.scans[1], 7);
    EXPECT_EQ(f.right().dome_apex(), own);
    EXPECT_NE(own.column, f.left().dome_apex().column);  // not the left foot's cells
    for (const char *bad : {"-1", "30.5", "\"7\"", "null"}) {
        const std::string text =
            "{\"format\": \"pedaform-design\", \"version\": 1, \"scan\": "
            "{\"file\": \"a.bmp\", \"sha256\": \"" +
            std::string(64, 'a') +
            "\"}, \"start\": {}, \"steps\": [{\"step\": "
            "\"dome_behind_heads\", \"mm\": " +
            bad + "}]}";
        EXPECT_FALSE(parse_design_file(text)) << bad;
    }
}

// A foot loaded after the other took a dome step takes the step; on a scan with no pressure
// under the heads it says, as the step run live says, that the dome stands on the heads' line.
TEST(DomeStep, TakenByANewlyLoadedFootSaysWhenNoPressureIsUnderTheHeads) {
    Feet f;
    test::capture_console([&] {
        ASSERT_TRUE(f.pair.set(Foot::kLeft, Control::kStamp, 1));
        ASSERT_TRUE(f.pair.place_dome_behind_heads(Foot::kLeft, 7));
    });
    EXPECT_FALSE(f.right().dome_step_warning());
    synth::ScanRecipe recipe;
    recipe.right_foot = true;
    Picture bare = synth::make_scan(recipe);
    for (int i = 0; i < kGridCells; ++i)
        bare.bits[static_cast<size_t>(i) * 4 + 3] = 0;
    test::write_file(f.scans[1], synth::scan_bmp(bare));
    test::capture_console([&] { ASSERT_TRUE(f.pair.load(Foot::kRight, f.scans[1])); });
    ASSERT_EQ(f.right().dome_behind_heads_mm(), 7);
    const std::optional<Warning> said = f.right().dome_step_warning();
    ASSERT_TRUE(said);
    EXPECT_NE(said->text.find("no pressure under the metatarsal heads"), std::string::npos);
}

// A metatarsal point placed by hand on the left foot lands, replayed on its mirror image, within
// one cell of the mirrored cell, and the opening says so; a file without its side reuses the
// cells.
TEST(DesignFile, HandPlacedPointsMirrorOntoTheOtherFoot) {
    Feet f;
    test::capture_console([&] {
        ASSERT_TRUE(f.left().set(Control::kStamp, 1));
        ASSERT_TRUE(f.left().move_dome_apex(70, 240));
    });
    const GridPoint point{f.left().results().meta_column, f.left().results().meta_row};
    DesignFile file = design_file_of(f.left(), f.dir + "/d.json");
    ASSERT_EQ(file.side, Foot::kLeft);
    for (bool sided : {true, false}) {
        if (!sided) file.side.reset(), file.axis.reset();
        OpenedDesign opened;
        test::capture_console([&] { opened = open_design(f.right(), file, f.scans[1]); });
        ASSERT_TRUE(opened.load);
        const GridPoint shown{f.right().results().meta_column, f.right().results().meta_row};
        if (!sided) {
            EXPECT_TRUE(opened.mirrored.empty());
            EXPECT_EQ(shown, point);
            continue;
        }
        ASSERT_EQ(opened.mirrored.size(), 1u);
        EXPECT_NE(opened.mirrored.texts()[0].find("1 hand-placed point mirrored"),
                  std::string::npos);
        EXPECT_NEAR(shown.column, kGridWidth - 1 - point.column, 1);
        EXPECT_NEAR(shown.row, point.row, 1);
    }
}

// Linked, a control moves both feet and one undo takes it back on both; unlinked, one foot.
// Relinking gives the other foot the chosen foot's values; undoing it unlinks again.
TEST(Pair, LinkedStepsAreOneStepAndRelinkingTakesTheChosenFeetsValues) {
    Feet f;
    const std::vector<uint8_t> left = relief_of(f.left()), right = relief_of(f.right());
    test::capture_console([&] {
        ASSERT_TRUE(f.pair.set(Foot::kRight, Control::kArch, 8));
        EXPECT_EQ(f.left().controls()[Control::kArch], 8);
        ASSERT_TRUE(f.pair.undo());
        EXPECT_TRUE(relief_of(f.left()) == left);
        EXPECT_TRUE(relief_of(f.right()) == right);
        EXPECT_FALSE(f.pair.can_undo());
        f.pair.unlink();
        ASSERT_TRUE(f.pair.set(Foot::kLeft, Control::kHeel1, 3));
        EXPECT_EQ(f.right().controls()[Control::kHeel1], 0);
        EXPECT_FALSE(f.pair.same_settings());
        ASSERT_TRUE(f.pair.link(Foot::kRight));
        EXPECT_EQ(f.left().controls()[Control::kHeel1], 0);
        ASSERT_TRUE(f.pair.undo());
        EXPECT_FALSE(f.pair.linked());
        EXPECT_EQ(f.left().controls()[Control::kHeel1], 3);
    });
}

// A linked step runs the other foot's half on a helper thread: each foot gets what the step
// gives it designed alone, step after step, and the console says the feet in turn.
TEST(Pair, ALinkedStepGivesEachFootItsOwnStepAndTheLinesInTurn) {
    Feet f(228);
    Design left(*f.res, load_scan_file), right(*f.res, load_scan_file);
    test::capture_console([&] {
        ASSERT_TRUE(left.load(f.scans[0]));
        ASSERT_TRUE(right.load(f.scans[1]));
    });
    for (const double mm : {3.0, -2.0, 4.5, 1.5}) {
        const std::string alone = test::capture_console([&] {
            ASSERT_TRUE(left.set(Control::kMeta1, mm));
            ASSERT_TRUE(right.set(Control::kMeta1, mm));
        });
        const std::string linked = test::capture_console(
            [&] { ASSERT_TRUE(f.pair.set(Foot::kLeft, Control::kMeta1, mm)); });
        EXPECT_NE(alone, "") << mm;
        EXPECT_EQ(linked, alone) << mm;
        EXPECT_TRUE(relief_of(f.left()) == relief_of(left)) << mm;
        EXPECT_TRUE(relief_of(f.right()) == relief_of(right)) << mm;
    }
}

// A failure on either side comes back to the caller only once the helper's half is done, so
// that nothing the helper uses goes away under it.
TEST(SideBySide, AnExceptionComesBackAfterBothHalves) {
    SideBySide side_by_side;
    for (const bool mine_throws : {true, false}) {
        std::atomic<bool> theirs_done{false};
        auto slow = [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            theirs_done = true;
            if (!mine_throws) throw std::runtime_error("theirs");
        };
        auto mine = [&] {
            if (mine_throws) throw std::runtime_error("mine");
        };
        EXPECT_THROW(side_by_side.run(mine, slow), std::runtime_error) << mine_throws;
        EXPECT_TRUE(theirs_done) << mine_throws;
    }
}

// A press-drag-release that ends where it began leaves no step in the pair's history either; a
// drag that moves is one step of one foot.
TEST(Pair, AGestureIsOneStepOfOneFootOrNone) {
    Feet f;
    const GridPoint found = f.left().hand_position();
    test::capture_console([&] {
        ASSERT_TRUE(f.pair.place_by_hand(Foot::kLeft, 70, 240));
        const GridPoint placed = f.left().hand_position();
        f.pair.design(Foot::kLeft).open_gesture();
        for (float column : {73.0f, 75.0f, placed.column})
            ASSERT_TRUE(f.pair.place_by_hand(Foot::kLeft, column, placed.row));
        f.pair.design(Foot::kLeft).close_gesture();
        ASSERT_TRUE(f.pair.undo());
        EXPECT_EQ(f.left().hand_position(), found);
        EXPECT_FALSE(f.pair.can_undo());
        EXPECT_EQ(f.right().position(), 0u);
    });
}

// Feet whose lengths fall in different bins keep their own sizes and stamped pad sizes; a foot
// loaded while linked takes the other's settings, as one step.
TEST(Pair, SizesLinkOnlyWithinOneBinAndALoadedFootTakesTheSettings) {
    Feet f(305);
    EXPECT_FALSE(f.pair.sizes_linked());
    test::capture_console([&] {
        ASSERT_TRUE(f.pair.set(Foot::kLeft, Control::kPadWidth, 40));
        ASSERT_TRUE(f.pair.set(Foot::kLeft, Control::kBase, 2));
        EXPECT_NE(f.right().controls()[Control::kPadWidth], 40);
        EXPECT_EQ(f.right().controls()[Control::kBase], 2);
        ASSERT_TRUE(f.pair.place_dome_behind_heads(Foot::kLeft, 6));
        ASSERT_TRUE(f.pair.load(Foot::kRight, f.scans[1]));
    });
    EXPECT_EQ(f.right().controls()[Control::kBase], 2);
    EXPECT_EQ(f.right().dome_behind_heads_mm(), 6);
    EXPECT_TRUE(f.pair.same_settings());
    EXPECT_TRUE(f.pair.modified());
}

// A pair file opens both feet byte for byte as saved, linked as saved, with the pair's one order
// on both; a refused scan leaves the pair as it was; a damaged pair file says what is wrong.
TEST(PairFile, OpensBothFeetAsSavedAndRefusesDamage) {
    Feet f;
    test::capture_console([&] {
        ASSERT_TRUE(f.pair.set(Foot::kLeft, Control::kStamp, 1));
        ASSERT_TRUE(f.pair.place_dome_behind_heads(Foot::kLeft, 7));
        ASSERT_TRUE(f.pair.smooth(Foot::kRight));
        ASSERT_TRUE(f.pair.set(Foot::kLeft, Control::kMeta2, 1));
        f.pair.unlink();
        ASSERT_TRUE(f.pair.set(Foot::kRight, Control::kMeta1, 2));
    });
    OrderData order;
    order[OrderField::kPatient] = "林小美";
    const std::string path = f.dir + "/pair.json";
    ASSERT_TRUE(save_pair(f.pair, path));
    f.pair.set_order(order);
    EXPECT_TRUE(f.pair.modified());
    ASSERT_TRUE(save_pair(f.pair, path));
    Pair again(*f.res, load_scan_file);
    const Result<PairFile> file = read_pair_file(path);
    ASSERT_TRUE(file);
    std::array<std::string, 2> scans = {design_scan_path(path, file->feet[0]),
                                        design_scan_path(path, file->feet[1])};
    // The feet are replayed side by side; the console says them in turn all the same.
    std::string in_turn;
    for (Foot foot : {Foot::kLeft, Foot::kRight}) {
        Design alone(*f.res, load_scan_file);
        const int i = foot_index(foot);
        in_turn += test::capture_console([&] { open_design(alone, file->feet[i], scans[i]); });
    }
    const std::string said =
        test::capture_console([&] { ASSERT_TRUE(open_pair(again, *file, scans).ok()); });
    EXPECT_EQ(said, in_turn);
    for (Foot foot : {Foot::kLeft, Foot::kRight})
        EXPECT_TRUE(relief_of(again.design(foot)) == relief_of(f.pair.design(foot)));
    EXPECT_FALSE(again.linked());
    EXPECT_FALSE(again.modified());
    EXPECT_EQ(again.design(Foot::kLeft).order(), order);
    EXPECT_EQ(again.design(Foot::kRight).order(), order);
    scans[1] = f.dir + "/missing.bmp";
    Design *before = &again.design(Foot::kLeft);
    test::capture_console([&] { EXPECT_FALSE(open_pair(again, *file, scans).ok()); });
    EXPECT_EQ(&again.design(Foot::kLeft), before);

    const nlohmann::ordered_json saved = nlohmann::ordered_json::parse(pair_file_text(*file));
    auto damaged = [&](void (*edit)(nlohmann::ordered_json &)) {
        nlohmann::ordered_json j = saved;
        edit(j);
        return j.dump();
    };
    const std::pair<std::string, const char *> cases[] = {
        {damaged([](nlohmann::ordered_json &j) { j.erase("right"); }), "has no \"right\""},
        {damaged([](nlohmann::ordered_json &j) { j["linked"] = 1; }), "\"linked\""},
        {damaged([](nlohmann::ordered_json &j) { j["version"] = 2; }), "newer"},
        {damaged([](nlohmann::ordered_json &j) { j["left"]["format"] = "x"; }),
         "\"left\": not a design file"},
    };
    for (const auto &[bad, why] : cases) {
        const Result<PairFile> r = parse_pair_file(bad);
        ASSERT_FALSE(r) << why;
        EXPECT_NE(r.message().find(why), std::string::npos) << r.message();
    }
}

// The two feet of a real plate recording, 220 and 234 mm long: the linked controls are equal
// and each dome sits where the dome step puts it on that foot designed alone.
TEST(Pair, ARealPairOfDifferentLengthsKeepsEachFootsOwnDome) {
    const std::string dir = test::scratch_dir();
    const auto res = test::startup_resources();
    const std::array<std::string, 2> scans = test::plate_pair_scans(dir);
    Pair pair(*res, load_scan_file);
    test::capture_console([&] {
        for (Foot foot : {Foot::kLeft, Foot::kRight})
            ASSERT_TRUE(pair.load(foot, scans[foot_index(foot)]));
        ASSERT_TRUE(pair.set(Foot::kLeft, Control::kStamp, 1));
        ASSERT_TRUE(pair.set(Foot::kRight, Control::kArch, 8));
        ASSERT_TRUE(pair.place_dome_behind_heads(Foot::kRight, 7));
    });
    const Design &left = pair.design(Foot::kLeft), &right = pair.design(Foot::kRight);
    EXPECT_NE(left.scan().insole_length, right.scan().insole_length);
    for (Control c : {Control::kStamp, Control::kArch, Control::kHeel1})
        EXPECT_EQ(left.controls()[c], right.controls()[c]);
    for (Foot foot : {Foot::kLeft, Foot::kRight})
        EXPECT_EQ(pair.design(foot).dome_apex(),
                  apex_placed_alone(*res, scans[foot_index(foot)], 7));
}

// "_L" and "_R" go before the extension of the file's own name.
TEST(Pair, FootFileNames) {
    const std::pair<const char *, const char *> names[] = {
        {"insole.stl", "insole_L.stl"}, {"out/insole", "out/insole_L"},
        {"a.b/insole", "a.b/insole_L"}, {".hidden", ".hidden_L"},
        {"x.tar.3mf", "x.tar_L.3mf"},
    };
    for (const auto &[path, left] : names)
        EXPECT_EQ(pair_foot_file_name(path, Foot::kLeft), left);
    EXPECT_EQ(pair_foot_file_name("p.3mf", Foot::kRight), "p_R.3mf");
}

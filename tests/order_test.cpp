// The order: its data's checks and file object, the insole lit on the CPU, the thickness along
// the foot's axis, and the sheet read back by poppler's tools as a PDF reader would.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

#include "design/design.h"
#include "design/design_file.h"
#include "io/picture_io.h"
#include "io/scan_file.h"
#include "order/axis_profile.h"
#include "order/foot_sheet.h"
#include "order/insole_render.h"
#include "order/order_data.h"
#include "order/order_sheet.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

std::string repeated(const std::string &s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

}  // namespace

TEST(OrderData, WorkedExamplesOfTheChecks) {
    const struct {
        const char *what;
        OrderField field;
        std::string text;
        bool accepted;
    } cases[] = {
        {"a leap day", OrderField::kBirthDate, "2024-02-29", true},
        {"the 30th of February", OrderField::kExamDate, "2024-02-30", false},
        {"a leap day of a common year", OrderField::kBirthDate, "2023-02-29", false},
        {"a leap day of 1900, not a leap year", OrderField::kBirthDate, "1900-02-29", false},
        {"a leap day of 2000, a leap year", OrderField::kBirthDate, "2000-02-29", true},
        {"the 31st of April", OrderField::kExamDate, "2024-04-31", false},
        {"a 13th month", OrderField::kExamDate, "2024-13-01", false},
        {"day 0", OrderField::kExamDate, "2024-01-00", false},
        {"year 0", OrderField::kBirthDate, "0000-01-01", false},
        {"a month without its 0", OrderField::kExamDate, "2024-2-01", false},
        {"a date with a time", OrderField::kExamDate, "2024-02-01T10:00", false},
        {"a date in another order", OrderField::kBirthDate, "01-02-2024", false},
        {"no date", OrderField::kBirthDate, "", true},
        {"200 Chinese characters (600 bytes)", OrderField::kPatient, repeated("陳", 200), true},
        {"201 characters", OrderField::kNotes, repeated("a", 201), false},
        {"201 Chinese characters", OrderField::kNotes, repeated("腳", 201), false},
        {"a quote and an ampersand", OrderField::kPatient, "O'Brien & \"Sons\"", true},
        {"an overlong '/'", OrderField::kPatientId, "\xC0\xAF", false},
        {"a lone continuation byte", OrderField::kShoeSize, "38\x80", false},
        {"a UTF-16 surrogate", OrderField::kClinician, "\xED\xA0\x80", false},
        {"a character cut short", OrderField::kPatient, "\xE9\x99", false},
        {"beyond U+10FFFF", OrderField::kNotes, "\xF4\x90\x80\x80", false},
        {"a tab", OrderField::kPatient, "a\tb", false},
        {"a C1 control", OrderField::kNotes, "\xC2\x85", false},
        {"a line break in the notes", OrderField::kNotes, "左腳\n右腳", true},
        {"a line break in a name", OrderField::kPatient, "陳\n美玲", false},
        {"free text for the shoe size", OrderField::kShoeSize, "EU 38 寬楦 / US 7.5", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(check_order_field(c.field, c.text).ok(), c.accepted) << c.what;
}

TEST(OrderData, MessagesNameTheFieldInEitherLanguage) {
    OrderData order;
    order[OrderField::kExamDate] = "2024-02-30";
    EXPECT_EQ(check_order(order).message(),
              "the exam date \"2024-02-30\" is not a calendar date YYYY-MM-DD");
    EXPECT_EQ(check_order(order, Language::kChinese).message(),
              "檢查日期「2024-02-30」不是有效的日期（年-月-日，例如 2024-02-29）");
    order[OrderField::kExamDate] = repeated("鞋", 201);
    EXPECT_EQ(check_order(order, Language::kChinese).message(),
              "檢查日期有 201 個字，最多 200 個字");
}

TEST(OrderData, TheFileObjectRoundTripsAndLeavesEmptyFieldsOut) {
    OrderData order;
    order[OrderField::kPatient] = "O'Brien & \"陳\"";
    order[OrderField::kBirthDate] = "1961-07-04";
    order[OrderField::kNotes] = "左腳\n" + repeated("趾", 190);
    const nlohmann::ordered_json j = order_json(order);
    EXPECT_EQ(j.dump(), nlohmann::ordered_json({{"patient", order[OrderField::kPatient]},
                                                {"birth_date", "1961-07-04"},
                                                {"notes", order[OrderField::kNotes]}})
                            .dump());
    const Result<OrderData> back = order_from_json(nlohmann::ordered_json::parse(j.dump()));
    ASSERT_TRUE(back) << back.message();
    EXPECT_EQ(*back, order);
    EXPECT_TRUE(order_from_json(nlohmann::ordered_json::object())->empty());
}

TEST(OrderData, HostileFileObjectsAreRefused) {
    const struct {
        const char *json, *says;
    } cases[] = {
        {R"(["陳"])", "must be an object"},
        {R"({"patient": "陳", "doctor": "林"})", "unknown field \"doctor\""},
        {R"({"patient": 7})", "patient name must be text, not 7"},
        {R"({"shoe_size": null})", "shoe size must be text"},
        {R"({"birth_date": "2023-02-29"})", "not a calendar date"},
    };
    for (const auto &c : cases) {
        const Result<OrderData> r = order_from_json(nlohmann::ordered_json::parse(c.json));
        ASSERT_FALSE(r) << c.json;
        EXPECT_NE(r.message().find(c.says), std::string::npos) << r.message();
    }
}

namespace {

// The grey Lambert's law gives a surface rising `slope` mm per mm along the columns, lit from
// the direction (lx, 0, lz).
long lambert_grey(double slope, double lx, double lz) {
    const double n_dot_l = (-slope * lx + lz) / (std::hypot(slope, 1.0) * std::hypot(lx, lz));
    return std::lround(255 * (kAmbient + kDiffuse * std::max(0.0, n_dot_l)));
}

}  // namespace

// Lit from the low columns, a slope rising toward the high columns faces the light; one falling
// faces away. Each shows Lambert's grey for its slope, away from the patches' borders.
TEST(InsoleRender, ARampLitFromOneSideShadesInOrder) {
    std::vector<uint8_t> relief(kGridCells);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            relief[y * kGridWidth + x] = static_cast<uint8_t>(x < 50    ? 50 + x
                                                              : x < 100 ? 100
                                                                        : 200 - x);
    const LitPicture p = render_from_above(relief.data(), {-1, 0, 1});
    ASSERT_EQ(p.width, kGridWidth);
    ASSERT_EQ(p.height, kGridHeight);
    const struct {
        int first, last;
        double slope;  // 0.2 mm per level and per 1 mm cell
    } patches[] = {{5, 44, 0.2}, {55, 94, 0.0}, {105, 144, -0.2}};
    for (const auto &patch : patches)
        for (int x = patch.first; x <= patch.last; ++x)
            for (int y = 5; y < kGridHeight - 5; ++y)
                ASSERT_NEAR(p.at(x, y), lambert_grey(patch.slope, -1, 1), 1) << x << ", " << y;
    EXPECT_GT(p.at(20, 100), p.at(70, 100));
    EXPECT_GT(p.at(70, 100), p.at(120, 100));
}

// A flat insole is one grey, its outline included; off it the paper shows.
TEST(InsoleRender, AFlatReliefGivesOneShade) {
    std::vector<uint8_t> relief(kGridCells);
    test::fill_rect(relief.data(), 30, 50, 119, 309, 25);
    const LitPicture p = render_from_above(relief.data(), {-0.6, 0.8, 0.7});
    std::set<uint8_t> insole;
    size_t paper = 0;
    for (const uint8_t g : p.grey) {
        if (g == kBackgroundGrey) ++paper;
        if (g != kBackgroundGrey) insole.insert(g);
    }
    // The light's part along the grid is 1 long.
    EXPECT_EQ(insole, std::set<uint8_t>{static_cast<uint8_t>(lambert_grey(0, 1.0, 0.7))});
    EXPECT_EQ(paper, static_cast<size_t>(kGridCells - 90 * 260));
}

// From the side, a 10 mm block behind a 5 mm one along the rows: the camera puts the lowest row
// on its left when it looks from the high columns, on its right from the low ones.
TEST(InsoleRender, TheSideViewShowsTheProfileFromEitherSide) {
    std::vector<uint8_t> relief(kGridCells);
    test::fill_rect(relief.data(), 40, 100, 109, 149, 50);
    test::fill_rect(relief.data(), 40, 150, 109, 199, 25);
    for (const bool from_high : {true, false}) {
        const LitPicture p = render_from_side(relief.data(), from_high, {1, 0, 1}, 2);
        ASSERT_EQ(p.width, 200);
        ASSERT_EQ(p.height, 21);
        for (int u = 0; u < p.width; ++u) {
            int covered = 0;
            for (int v = 0; v < p.height; ++v)
                covered += p.at(u, v) != kBackgroundGrey;
            const bool tall_block = (u < 100) == from_high;
            ASSERT_EQ(covered, tall_block ? 20 : 10) << from_high << " column " << u;
        }
    }
    EXPECT_EQ(render_from_side(std::vector<uint8_t>(kGridCells).data(), true, {1, 0, 1}, 2).width,
              0);
}

TEST(AxisProfile, ThicknessEveryMillimetreFromTheHeelEnd) {
    std::vector<uint8_t> relief(kGridCells);
    for (int row = 20; row <= 339; ++row)
        test::fill_rect(relief.data(), 20, row, 129, row,
                        static_cast<uint8_t>(10 + (row - 20) / 8));
    // The heel centre on column 90, the heads' midpoint straight toe-ward of it.
    const Landmark landmarks[5] = {{200, 60}, {200, 120}, {70, 40}, {50, 90}, {70, 140}};
    const AxisProfile p = axis_profile(relief.data(), foot_axis(landmarks));
    ASSERT_EQ(p.thickness_mm.size(), 320u);
    EXPECT_EQ(p.heel_mm, 30);
    EXPECT_EQ(p.heads_mm, 180);
    for (size_t k = 0; k < p.thickness_mm.size(); ++k)
        ASSERT_NEAR(p.thickness_mm[k], (10 + static_cast<int>(k) / 8) * 0.2, 1e-9) << k;

    // Slanted 45 degrees across a grid covered by the insole: the diagonal from column 0 to 149.
    const std::vector<uint8_t> everywhere(kGridCells, 10);
    const Landmark slanted[5] = {{150, 100}, {150, 100}, {0, 0}, {100, 50}, {0, 0}};
    EXPECT_NEAR(axis_profile(everywhere.data(), foot_axis(slanted)).thickness_mm.size(),
                149 * std::sqrt(2.0), 2);
    const Landmark together[5] = {{100, 50}, {100, 50}, {0, 0}, {100, 50}, {0, 0}};
    EXPECT_TRUE(axis_profile(everywhere.data(), foot_axis(together)).thickness_mm.empty());
}

namespace {

// Two sample feet of different lengths, designed as a lab would start: arch support, heel cup,
// a base and the dome behind the heads.
struct Pair {
    std::unique_ptr<Resources> res = test::startup_resources();
    Design left{*res, load_scan_file}, right{*res, load_scan_file};
    Pair() {
        test::capture_console([&] {
            for (auto [design, scan] : {std::make_pair(&left, "left_253_CM25-26.bmp"),
                                        std::make_pair(&right, "right_305_CM29-30.bmp")}) {
                EXPECT_TRUE(design->load(PEDAFORM_DATA_DIR "/samples/" + std::string(scan)));
                EXPECT_TRUE(design->set(Control::kArch, 8));
                EXPECT_TRUE(design->set(Control::kHeelCup, 10));
                EXPECT_TRUE(design->set(Control::kBase, 2));
                EXPECT_TRUE(design->set(Control::kStamp, 1));
                EXPECT_TRUE(design->place_dome_behind_heads());
            }
        });
    }
    OrderSheet sheet(const std::string &patient) const {
        OrderSheet s;
        s.order[OrderField::kPatient] = patient;
        s.order[OrderField::kExamDate] = "2024-05-02";
        s.program_version = "1.0.0";
        s.printed_date = "2024-05-03";
        s.design_file = "pair.json";
        s.feet = {foot_sheet_of(left), foot_sheet_of(right)};
        s.feet[0].prescription = {"rearfoot post 4° varus", "後跟墊高 3 mm"};
        s.feet[1].prescription = {"shell length sulcus"};
        s.exports = {{"insole_L.stl", repeated("ab", 32)}};
        return s;
    }
};

// The value after `name` on its line of pdfinfo's output.
std::string info_field(const std::string &info, const std::string &name) {
    const size_t at = info.find("\n" + name + ":");
    if (at == std::string::npos) return "";
    const size_t start = info.find_first_not_of(' ', at + name.size() + 2);
    return info.substr(start, info.find('\n', start) - start);
}

// pdffonts' "emb" column, one entry a font: the columns are as wide as the dashes under their
// names.
std::vector<std::string> embedded_column(const std::string &fonts) {
    std::istringstream lines(fonts);
    std::string header, dashes, line;
    std::getline(lines, header);
    std::getline(lines, dashes);
    const size_t at = header.find(" emb ") + 1;
    std::vector<std::string> column;
    while (std::getline(lines, line))
        column.push_back(line.substr(at, 3));
    return column;
}

// The mean colour of a rectangle of points on a page rendered at `dpi`, and how many distinct
// colours it holds (a picture read through FreeImage: bottom row first, blue, green, red).
struct AreaColours {
    double mean[3] = {0, 0, 0};
    size_t distinct = 0;
};
AreaColours area_colours(const Picture &page, const SheetRect &r, double dpi) {
    const double k = dpi / 72;
    AreaColours a;
    std::set<uint32_t> seen;
    size_t n = 0;
    // One pixel in from each edge, clear of the frame.
    for (int y = static_cast<int>(r.y * k) + 2; y < static_cast<int>((r.y + r.height) * k) - 2; ++y)
        for (int x = static_cast<int>(r.x * k) + 2; x < static_cast<int>((r.x + r.width) * k) - 2;
             ++x) {
            const uint8_t *px = &page.bits[static_cast<size_t>(page.height - 1 - y) * page.pitch +
                                           x * (page.bpp / 8)];
            for (int c = 0; c < 3; ++c)
                a.mean[c] += px[2 - c];
            seen.insert(uint32_t{px[0]} << 16 | uint32_t{px[1]} << 8 | px[2]);
            ++n;
        }
    for (double &m : a.mean)
        m /= n > 0 ? n : 1;
    a.distinct = seen.size();
    return a;
}

}  // namespace

// Read back as a client would: one A4 page, every font embedded, the text found, under 300 kB,
// and each pressure picture drawn where the sheet puts it, in the colours of its foot.
TEST(OrderSheet, APairReadsBackInPdfReaders) {
    const Pair pair;
    const OrderSheet sheet = pair.sheet("陳美玲");
    const std::string out = PEDAFORM_TEST_OUTPUT_DIR, pdf = out + "/order-sheet.pdf";
    std::filesystem::create_directories(out);
    ASSERT_TRUE(write_order_sheet(sheet, pdf));
    EXPECT_LT(std::filesystem::file_size(pdf), 300u * 1000);

    const std::string info = test::command_output("pdfinfo " + pdf);
    EXPECT_EQ(info_field(info, "Pages"), "1");
    EXPECT_EQ(info_field(info, "Page size"), "595.276 x 841.89 pts (A4)");
    const std::vector<std::string> embedded =
        embedded_column(test::command_output("pdffonts " + pdf));
    EXPECT_FALSE(embedded.empty());
    for (const std::string &e : embedded)
        EXPECT_EQ(e, "yes");
    const std::string text = test::command_output("pdftotext -enc UTF-8 " + pdf + " -");
    for (const char *words : {"陳美玲", "rearfoot post 4° varus", "後跟墊高 3 mm",
                              "shell length sulcus", "253 mm", "305 mm", "2024-05-02"})
        EXPECT_NE(text.find(words), std::string::npos) << words;

    test::command_output("pdftoppm -r 100 -png -singlefile " + pdf + " " + out + "/order-sheet");
    Result<Picture> read = read_picture(out + "/order-sheet.png", kMaxDataFileBytes);
    ASSERT_TRUE(read) << read.message();
    const Picture &page = *read;
    for (int foot = 0; foot < 2; ++foot) {
        const std::vector<uint8_t> &rgb = sheet.feet[foot].pressure_rgb;
        double expected[3] = {0, 0, 0};
        for (size_t i = 0; i < rgb.size(); ++i)
            expected[i % 3] += rgb[i] / double{kGridCells};
        const AreaColours drawn =
            area_colours(page, sheet_picture_area(SheetPicture::kPressure, foot, 2), 100);
        EXPECT_GT(drawn.distinct, 50u) << foot;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(drawn.mean[c], expected[c], 12) << foot << " channel " << c;
    }
}

// A name with a quote and an ampersand stays text (no markup), on a sheet of one foot.
TEST(OrderSheet, OneFootAndANameWithMarkupCharacters) {
    const Pair pair;
    OrderSheet sheet = pair.sheet("O'Brien & \"Sons\" <林>");
    sheet.feet.erase(sheet.feet.begin());
    const Result<std::vector<uint8_t>> pdf = order_sheet_pdf(sheet);
    ASSERT_TRUE(pdf) << pdf.message();
    const std::string path = test::scratch_dir() + "/one.pdf";
    test::write_file(path, *pdf);
    EXPECT_EQ(info_field(test::command_output("pdfinfo " + path), "Pages"), "1");
    const std::string text = test::command_output("pdftotext -enc UTF-8 " + path + " -");
    EXPECT_NE(text.find("O'Brien & \"Sons\" <林>"), std::string::npos) << text;
    EXPECT_NE(text.find("305 mm"), std::string::npos);
}

// No font stands in for the sheet's, a bad order is refused, a file that cannot be written is
// reported: each with nothing written.
TEST(OrderSheet, FailuresWriteNothing) {
    const Pair pair;
    const std::string dir = test::scratch_dir();
    struct Case {
        const char *what;
        std::string font, path, patient, says;
    } cases[] = {
        {"a family fontconfig lacks", "Noto Sans CJK XX", dir + "/a.pdf", "陳", "not installed"},
        {"a face without Chinese", "DejaVu Sans", dir + "/b.pdf", "陳", "lacks Chinese"},
        {"a folder that does not exist", kOrderSheetFont, dir + "/no/c.pdf", "陳", "cannot"},
        {"an order field cut mid-character", kOrderSheetFont, dir + "/d.pdf", "\xE9\x99", "UTF-8"},
    };
    for (const Case &c : cases) {
        OrderSheet sheet = pair.sheet(c.patient);
        sheet.font_family = c.font;
        const Result<> r = write_order_sheet(sheet, c.path);
        ASSERT_FALSE(r) << c.what;
        EXPECT_NE(r.message().find(c.says), std::string::npos) << c.what << ": " << r.message();
        EXPECT_EQ(test::files_in(dir), std::vector<std::string>()) << c.what;
    }
    OrderSheet sheet = pair.sheet("陳");
    sheet.font_family = "Noto Sans CJK XX";
    const Result<std::vector<uint8_t>> chinese = order_sheet_pdf(sheet, Language::kChinese);
    EXPECT_NE(chinese.message().find("找不到訂單的字型"), std::string::npos) << chinese.message();
}

// The order goes with the design file: it marks the design unsaved, a file
// without it is the file as it was (the design file's text less "order"), it reads back whole,
// and a bad field refuses the file naming the field.
TEST(OrderData, KeptInTheDesignFileNotAsAStep) {
    Pair pair;
    Design &d = pair.left;
    d.mark_saved();
    const std::string plain = design_file_text(design_file_of(d, "d.json"));
    OrderData order;
    order[OrderField::kPatient] = "陳美玲";
    order[OrderField::kNotes] = "左腳\n拇趾外翻";
    d.set_order(order);
    EXPECT_TRUE(d.modified());
    const std::string text = design_file_text(design_file_of(d, "d.json"));
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(text);
    EXPECT_EQ(doc["order"], order_json(order));
    doc.erase("order");
    EXPECT_EQ(doc.dump(2) + "\n", plain);
    EXPECT_EQ(parse_design_file(text)->order, order);
    doc = nlohmann::ordered_json::parse(text);
    doc["order"]["birth_date"] = "2023-02-29";
    const Result<DesignFile> bad = parse_design_file(doc.dump());
    EXPECT_EQ(bad.message(),
              "\"order\": the birth date \"2023-02-29\" is not a calendar date "
              "YYYY-MM-DD");
}

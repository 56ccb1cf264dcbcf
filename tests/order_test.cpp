// The order: its data's checks and file object.
#include <gtest/gtest.h>

#include <string>

#include "order/order_data.h"

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

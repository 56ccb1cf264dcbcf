// The order data a lab keeps with a design: who the insoles are for, who ordered them, when
// and for which shoe. It is printed on the order sheet (order/order_sheet.h) and kept in a
// design or pair file as the object under "order":
//
//     "order": {"patient": "陳美玲", "patient_id": "A123456", "birth_date": "1961-07-04",
//               "clinician": "林醫師", "exam_date": "2024-05-02", "shoe_size": "EU 38 寬楦",
//               "notes": "左腳拇趾外翻"}
//
// Every field is text, kept as UTF-8 exactly as entered. An empty field is left out of the
// file. One row per field (kOrderFields) names its JSON key, its batch option, its label and
// its checks, so that the order dialog, the batch options and the file all come from it.
//
// Failures come in English (the batch command's language) or Traditional Chinese (the GUI's):
// each message is written once as a pair and the caller picks the language.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <string>

#include "core/result.h"

namespace pedaform {

enum class OrderField {
    kPatient,    // 病患姓名
    kPatientId,  // 病歷號
    kBirthDate,  // 出生日期
    kClinician,  // 臨床人員
    kExamDate,   // 檢查日期
    kShoeSize,   // 鞋碼, free text
    kNotes,      // 備註
};
constexpr int kOrderFieldCount = 7;

// A field's text may hold at most this many characters (Unicode code points, not bytes).
constexpr int kOrderTextMaxChars = 200;

enum class Language { kEnglish, kChinese };

// A message written in both languages where it is made; `language` picks one.
inline std::string in_language(Language language, const std::string &english,
                               const std::string &chinese) {
    return language == Language::kEnglish ? english : chinese;
}

struct OrderFieldSpec {
    OrderField field;
    const char *key;       // in the "order" object: "patient", "birth_date", ...
    const char *option;    // the batch option: "--patient"
    const char *argument;  // what the option takes, in its usage: "NAME", "YYYY-MM-DD"
    const char *label;     // on the sheet and in the dialog: "病患姓名"
    const char *english;   // in English messages: "patient name"
    bool date;             // a calendar date written YYYY-MM-DD
    bool multiline;        // may hold line breaks ('\n'); no field takes other control characters
};

// The rows, in the order the sheet and the dialog show them.
extern const std::array<OrderFieldSpec, kOrderFieldCount> kOrderFields;
const OrderFieldSpec &order_field_spec(OrderField f);

struct OrderData {
    std::array<std::string, kOrderFieldCount> text;  // "" for a field not given
    const std::string &operator[](OrderField f) const { return text[static_cast<int>(f)]; }
    std::string &operator[](OrderField f) { return text[static_cast<int>(f)]; }
    bool operator==(const OrderData &o) const { return text == o.text; }
    bool operator!=(const OrderData &o) const { return text != o.text; }
    bool empty() const;
};

// True for valid UTF-8: no overlong forms, surrogates or code points beyond U+10FFFF.
bool is_valid_utf8(const std::string &text);

// True for a real date of the Gregorian calendar written YYYY-MM-DD (years 0001 to 9999):
// 2024-02-29 is one, 2023-02-29, 2024-02-30, 2024-13-01 and 2024-2-01 are not.
bool is_calendar_date(const std::string &text);

// Checks one field's text: valid UTF-8 (no overlong forms, surrogates or code points beyond
// U+10FFFF), at most kOrderTextMaxChars characters, no control characters (a line break only
// where the row allows one), and a calendar date for the date fields. "" always passes. The
// failure names the field and says what is wrong, in `language`.
Result<> check_order_field(OrderField f, const std::string &text,
                           Language language = Language::kEnglish);
// Every field; the first failure in row order.
Result<> check_order(const OrderData &order, Language language = Language::kEnglish);

// The "order" object: the non-empty fields in row order. The order must pass check_order.
nlohmann::ordered_json order_json(const OrderData &order);
// Reads an "order" object: every key a field's, every value a string passing its field's
// check ("" reads as a field not given). Anything else fails with why, in `language`.
Result<OrderData> order_from_json(const nlohmann::ordered_json &j,
                                  Language language = Language::kEnglish);
// The "order" of a design or pair file (order_from_json): a failure names "order", with its
// words in English and, for the GUI, in Chinese.
Result<OrderData> order_in_file(const nlohmann::ordered_json &j);

}  // namespace pedaform

#include "order/order_data.h"

#include <cassert>

namespace pedaform {

const std::array<OrderFieldSpec, kOrderFieldCount> kOrderFields = {{
    {OrderField::kPatient, "patient", "--patient", "NAME", "病患姓名", "patient name", false,
     false},
    {OrderField::kPatientId, "patient_id", "--patient-id", "ID", "病歷號", "patient id", false,
     false},
    {OrderField::kBirthDate, "birth_date", "--birth-date", "YYYY-MM-DD", "出生日期", "birth date",
     true, false},
    {OrderField::kClinician, "clinician", "--clinician", "NAME", "臨床人員", "clinician", false,
     false},
    {OrderField::kExamDate, "exam_date", "--exam-date", "YYYY-MM-DD", "檢查日期", "exam date", true,
     false},
    {OrderField::kShoeSize, "shoe_size", "--shoe-size", "TEXT", "鞋碼", "shoe size", false, false},
    {OrderField::kNotes, "notes", "--notes", "TEXT", "備註", "notes", false, true},
}};

const OrderFieldSpec &order_field_spec(OrderField f) {
    const OrderFieldSpec &row = kOrderFields[static_cast<int>(f)];
    assert(row.field == f);
    return row;
}

bool OrderData::empty() const {
    for (const std::string &t : text)
        if (!t.empty()) return false;
    return true;
}

namespace {

// In valid UTF-8 every character has exactly one byte that is not a continuation byte.
int character_count(const std::string &text) {
    int n = 0;
    for (const char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// C0 controls, DEL and the C1 controls (U+0080..U+009F, encoded C2 80..C2 9F), in valid UTF-8.
bool has_control(const std::string &text, bool line_breaks_allowed) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' && line_breaks_allowed) continue;
        if (c < 0x20 || c == 0x7F) return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return true;
    }
    return false;
}

bool is_leap_year(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int days_in_month(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

}  // namespace

// nlohmann's serializer checks UTF-8 strictly, so the same check guards the file and the sheet.
bool is_valid_utf8(const std::string &text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error &) {
        return false;
    }
}

bool is_calendar_date(const std::string &text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    int part[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int k = 0; k < 3; ++k)
        for (int i = starts[k]; i < starts[k] + lengths[k]; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            part[k] = part[k] * 10 + (text[i] - '0');
        }
    const int year = part[0], month = part[1], day = part[2];
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= days_in_month(year, month);
}

Result<> check_order_field(OrderField f, const std::string &text, Language language) {
    const OrderFieldSpec &row = order_field_spec(f);
    const std::string en = row.english, zh = row.label;
    if (!is_valid_utf8(text))
        return Failure{in_language(language, "the " + en + " is not valid UTF-8 text",
                                   zh + "不是有效的 UTF-8 文字")};
    if (const int n = character_count(text); n > kOrderTextMaxChars) {
        const std::string count = std::to_string(n), most = std::to_string(kOrderTextMaxChars);
        return Failure{in_language(language,
                                   "the " + en + " has " + count + " characters; at most " + most,
                                   zh + "有 " + count + " 個字，最多 " + most + " 個字")};
    }
    if (has_control(text, row.multiline))
        return Failure{
            in_language(language, "the " + en + " holds a control character", zh + "含有控制字元")};
    if (row.date && !text.empty() && !is_calendar_date(text))
        return Failure{in_language(
            language, "the " + en + " \"" + text + "\" is not a calendar date YYYY-MM-DD",
            zh + "「" + text + "」不是有效的日期（年-月-日，例如 2024-02-29）")};
    return Result<>::success();
}

Result<> check_order(const OrderData &order, Language language) {
    for (const OrderFieldSpec &row : kOrderFields)
        if (Result<> r = check_order_field(row.field, order[row.field], language); !r) return r;
    return Result<>::success();
}

nlohmann::ordered_json order_json(const OrderData &order) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    for (const OrderFieldSpec &row : kOrderFields)
        if (!order[row.field].empty()) j[row.key] = order[row.field];
    return j;
}

Result<OrderData> order_from_json(const nlohmann::ordered_json &j, Language language) {
    if (!j.is_object())
        return Failure{in_language(language, "\"order\" must be an object of text fields",
                                   "「order」必須是文字欄位的物件")};
    OrderData order;
    for (const auto &item : j.items()) {
        const OrderFieldSpec *row = nullptr;
        for (const OrderFieldSpec &r : kOrderFields)
            if (item.key() == r.key) row = &r;
        if (row == nullptr)
            return Failure{in_language(language,
                                       "\"order\" has an unknown field \"" + item.key() + "\"",
                                       "「order」含有不明的欄位「" + item.key() + "」")};
        if (!item.value().is_string())
            return Failure{in_language(
                language,
                "the " + std::string(row->english) + " must be text, not " + item.value().dump(),
                std::string(row->label) + "必須是文字")};
        const std::string text = item.value().get<std::string>();
        if (Result<> r = check_order_field(row->field, text, language); !r)
            return Failure{r.message()};
        order[row->field] = text;
    }
    return order;
}

Result<OrderData> order_in_file(const nlohmann::ordered_json &j) {
    Result<OrderData> order = order_from_json(j);
    if (order) return order;
    return Failure{"\"order\": " + order.message(),
                   "訂單資料：" + order_from_json(j, Language::kChinese).message()};
}

}  // namespace pedaform

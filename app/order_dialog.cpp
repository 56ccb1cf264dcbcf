#include "app/order_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Multiline_Input.H>

#include "app/actions.h"

using namespace pedaform;

namespace {

const char *const kTitle = "訂單資料";
const char *const kOkLabel = "確定";
const char *const kCancelLabel = "取消";
const char *const kHint = "日期寫成 年-月-日，例如 2024-02-29；每欄最多 200 個字";

constexpr int kLabelWidth = 100, kFieldWidth = 300, kRowHeight = 32, kNotesHeight = 90;

OrderDialog *dialog_of(Fl_Widget *w) {
    return static_cast<OrderDialog *>(w->window()->user_data());
}

}  // namespace

OrderDialog::OrderDialog(const OrderData &order)
    : window(kLabelWidth + kFieldWidth + 30,
             20 + (kOrderFieldCount - 1) * kRowHeight + kNotesHeight + 80, kTitle) {
    window.user_data(this);
    int y = 15;
    for (const OrderFieldSpec &row : kOrderFields) {
        const bool notes = row.multiline;
        Fl_Input *field =
            notes
                ? new Fl_Multiline_Input(kLabelWidth + 15, y, kFieldWidth, kNotesHeight, row.label)
                : new Fl_Input(kLabelWidth + 15, y, kFieldWidth, kRowHeight - 6, row.label);
        field->value(order[row.field].c_str());
        fields[static_cast<int>(row.field)] = field;
        y += notes ? kNotesHeight + 6 : kRowHeight;
    }
    Fl_Box *hint = new Fl_Box(15, y, kLabelWidth + kFieldWidth, 20, kHint);
    hint->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    hint->labelsize(12);
    ok = new Fl_Button(window.w() - 200, y + 30, 85, 25, kOkLabel);
    ok->callback([](Fl_Widget *w, void *) {
        OrderDialog *d = dialog_of(w);
        const Result<> r = d->check();
        if (!r) return show_message_box(r.message().c_str(), kTitle);
        d->accepted_ = d->done_ = true;
    });
    cancel = new Fl_Button(window.w() - 105, y + 30, 85, 25, kCancelLabel);
    cancel->callback([](Fl_Widget *w, void *) { dialog_of(w)->done_ = true; });
    window.callback(
        [](Fl_Widget *w, void *) { static_cast<OrderDialog *>(w->user_data())->done_ = true; });
    window.end();
}

OrderData OrderDialog::order() const {
    OrderData order;
    for (int i = 0; i < kOrderFieldCount; ++i)
        order.text[i] = fields[i]->value();
    return order;
}

Result<> OrderDialog::check() const {
    return check_order(order(), Language::kChinese);
}

bool OrderDialog::run() {
    window.set_modal();
    window.show();
    while (!done_ && window.shown())
        Fl::wait();
    window.hide();
    return accepted_;
}

std::string order_dialog_labels() {
    std::string text = std::string(kTitle) + kOkLabel + kCancelLabel + kHint;
    // Each field's label and the words of each way its check can fail.
    for (const OrderFieldSpec &row : kOrderFields) {
        text += row.label;
        for (const std::string &bad :
             {std::string("\xFF"), std::string(201, 'x'), std::string("\x01"), std::string("x")})
            text += check_order_field(row.field, bad, Language::kChinese).message();
    }
    return text;
}

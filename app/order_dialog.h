// "檔案" → "訂單資料…": the order's seven fields (order/order_data.h), one input each in the
// rows' order, the notes on several lines. "確定" keeps them when every field passes its
// check; otherwise the first failure is said in a message box, in Chinese, and the dialog
// stays.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>

#include <string>

#include "core/result.h"
#include "order/order_data.h"

class OrderDialog {
  public:
    // The inputs hold `order`'s fields.
    explicit OrderDialog(const pedaform::OrderData &order);
    OrderDialog(const OrderDialog &) = delete;
    OrderDialog &operator=(const OrderDialog &) = delete;

    // Modal until "確定" with valid fields (true) or "取消" or the window's close button (false).
    bool run();

    // What the inputs hold, checked or not.
    pedaform::OrderData order() const;
    // check_order of what the inputs hold, in Chinese.
    pedaform::Result<> check() const;

    Fl_Double_Window window;
    Fl_Input *fields[pedaform::kOrderFieldCount];
    Fl_Button *ok, *cancel;

  private:
    bool done_ = false, accepted_ = false;
};

// Every label the dialog shows.
std::string order_dialog_labels();

#include "app/control_slider.h"

#include <FL/Fl.H>

#include <cstdlib>

#include "app/actions.h"

using pedaform::Control;

void (*control_gesture)(bool open) = nullptr;

namespace {

// Fl_Value_Slider draws its value in a box this wide at the left of a horizontal slider.
constexpr int kValueBoxWidth = 35;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

std::optional<double> typed_control_value(Control c, const std::string &text) {
    const char *begin = text.c_str();
    char *end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    while (*end == ' ')
        ++end;
    if (*end != '\0' || !pedaform::control_value_valid(c, v)) return std::nullopt;
    return pedaform::control_value_snapped(c, v);
}

std::string typed_value_refusal(Control c) {
    const pedaform::ControlSpec &row = pedaform::control_spec(c);
    return std::string(row.label) + " 須是 " + number(row.min) + " 到 " + number(row.max) +
           " 之間、每格 " + number(row.step) + " 的數值";
}

ControlSlider::ControlSlider(Control c, void (*typed)(Control, double))
    : Fl_Value_Slider(pedaform::control_spec(c).x, pedaform::control_spec(c).y,
                      pedaform::control_spec(c).w, pedaform::control_spec(c).h,
                      pedaform::control_spec(c).label),
      control_(c),
      typed_(typed) {
    field_ = new Fl_Float_Input(x(), y(), kValueBoxWidth, h());
    field_->box(FL_DOWN_BOX);
    field_->textsize(14);
    field_->when(FL_WHEN_ENTER_KEY_ALWAYS | FL_WHEN_RELEASE);
    field_->callback(field_cb, this);
}

int ControlSlider::handle(int event) {
    if (event == FL_PUSH && control_gesture) control_gesture(true);
    const int handled = Fl_Value_Slider::handle(event);
    if (event == FL_RELEASE && control_gesture) control_gesture(false);
    return handled;
}

void ControlSlider::resize(int x, int y, int w, int h) {
    Fl_Value_Slider::resize(x, y, w, h);
    field_->resize(x, y, kValueBoxWidth, h);
}

void ControlSlider::show_value(double v) {
    value(v);
    char text[64];
    format(text);
    if (field_->value() != std::string(text)) field_->value(text);
}

void ControlSlider::field_cb(Fl_Widget *, void *data) {
    auto *self = static_cast<ControlSlider *>(data);
    char shown[64];
    self->format(shown);
    const std::string text = self->field_->value();
    if (text == shown) return;
    const std::optional<double> v = typed_control_value(self->control_, text);
    if (!v) {
        self->field_->value(shown);
        show_message_box(typed_value_refusal(self->control_).c_str(), "數值");
        return;
    }
    self->typed_(self->control_, *v);
}

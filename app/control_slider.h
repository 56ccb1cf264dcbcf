// A control's slider as the main window shows it: FLTK's value slider whose value box takes a
// typed number, and whose press-drag-release is one gesture of the design (one step).
#pragma once

#include <FL/Fl_Float_Input.H>
#include <FL/Fl_Value_Slider.H>

#include <optional>
#include <string>

#include "design/controls.h"

// The typed text's value for the control: a number within the row's range on its step grid,
// moved exactly onto that grid; none for anything else (empty text, trailing characters,
// out of range, off the step).
std::optional<double> typed_control_value(pedaform::Control c, const std::string &text);
// Why typed text was refused, in the operator's words: the label, the range and the step.
std::string typed_value_refusal(pedaform::Control c);

class ControlSlider : public Fl_Value_Slider {
  public:
    // The slider and, over its value box, the field that takes a typed number: Enter or leaving
    // the field moves the control (`typed` is called with the value), a refused text is said
    // and the field shows the control's value again.
    ControlSlider(pedaform::Control c, void (*typed)(pedaform::Control, double));
    int handle(int event) override;
    // The field moves with the slider (the pad sliders change sides with the foot).
    void resize(int x, int y, int w, int h) override;
    // The value, in the slider and in its field.
    void show_value(double v);
    Fl_Float_Input *field() { return field_; }

  private:
    static void field_cb(Fl_Widget *, void *slider);
    pedaform::Control control_;
    void (*typed_)(pedaform::Control, double);
    Fl_Float_Input *field_;
};

// Called with true when the operator presses on a control's slider and false when releasing
// it; the main window's actions open and close the design's gesture.
extern void (*control_gesture)(bool open);

#include "design/prescription.h"

#include <cmath>
#include <cstdio>

namespace pedaform {

namespace {

// A value as the controls' steps give it: "3", "-2", "8.5", "3.4".
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A wedge raises (+) or lowers (-) its part of the insole: the sign is part of the words.
std::string signed_mm(double value) {
    return (value > 0 ? "+" : "") + number(value) + " mm";
}

std::string words_of(Control c, const Controls &v) {
    const double value = v[c];
    switch (c) {
        case Control::kMeta1:
            return "metatarsal wedge 1 " + signed_mm(value);
        case Control::kMeta2:
            return "metatarsal wedge 2 " + signed_mm(value);
        case Control::kHeel1:
            return "heel wedge 1 " + signed_mm(value);
        case Control::kHeel2:
            return "heel wedge 2 " + signed_mm(value);
        case Control::kHeel3:
            return "heel wedge 3 " + signed_mm(value);
        case Control::kStamp:
            return "metatarsal dome " + number(v[Control::kPadWidth]) + " x " +
                   number(v[Control::kPadLength]) + " mm, " + number(v[Control::kPadHeight]) +
                   " mm high";
        case Control::kArch:
            return "arch support " + number(value) + " mm";
        case Control::kHeelCup:
            return "heel cup " + number(value) + " mm";
        case Control::kBase:
            return "base " + number(value) + " mm";
        case Control::kRearfootPost:
        case Control::kForefootPost:
            return std::string(c == Control::kRearfootPost ? "rearfoot" : "forefoot") + " post " +
                   number(std::fabs(value)) + "° " + (value > 0 ? "varus" : "valgus");
        case Control::kHeelLift:
            return "heel lift " + number(value) + " mm";
        case Control::kTopCover:
            return "top cover " + number(value) + " mm";
        case Control::kHeelRecess:
            return "heel spur recess " + number(value) + " mm";
        case Control::kShellLength:
            return value == 1 ? "shell length sulcus" : "shell length 3/4";
        default:
            return "";  // no entry of its own
    }
}

}  // namespace

std::vector<PrescriptionItem> prescription(const Controls &controls) {
    std::vector<PrescriptionItem> items;
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        if (controls[c] == 0) continue;
        std::string words = words_of(c, controls);
        if (!words.empty()) items.push_back({c, std::move(words)});
    }
    return items;
}

std::vector<std::string> prescription_words(const Controls &controls) {
    std::vector<std::string> words;
    for (PrescriptionItem &item : prescription(controls))
        words.push_back(std::move(item.words));
    return words;
}

}  // namespace pedaform

#include "design/prescription.h"

#include <cmath>
#include <cstdio>

namespace pedaform {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A pad's side: the landmark it rises toward is a medial one on one foot and a lateral one on
// the other (relief/foot_axis.h).
const char *side(bool medial) {
    return medial ? "medial" : "lateral";
}

std::string post(const char *what, double degrees) {
    return std::string(what) + " " + number(std::fabs(degrees)) + "° " +
           (degrees > 0 ? "varus" : "valgus");
}

std::string words_of(Control c, const Controls &v, bool right) {
    const std::string mm = number(v[c]) + " mm";
    switch (c) {
        case Control::kMeta1:  // toward landmark 0: the fifth head of a left foot
            return std::string(side(right)) + " forefoot wedge " + mm;
        case Control::kMeta2:  // toward landmark 1: the first head of a left foot
            return std::string(side(!right)) + " forefoot wedge " + mm;
        case Control::kHeel1:  // toward landmark 2: the medial heel of a right foot
            return std::string(side(right)) + " heel wedge " + mm;
        case Control::kHeel2:  // toward landmark 4: the medial heel of a left foot
            return std::string(side(!right)) + " heel wedge " + mm;
        case Control::kHeel3:
            return "heel wedge " + mm;
        case Control::kStamp:
            return "metatarsal dome " + number(v[Control::kPadHeight]) + " mm";
        case Control::kArch:
            return "arch support " + mm;
        case Control::kHeelCup:
            return "heel cup " + mm;
        case Control::kBase:
            return "base " + mm;
        case Control::kRearfootPost:
            return post("rearfoot post", v[c]);
        case Control::kForefootPost:
            return post("forefoot post", v[c]);
        case Control::kHeelLift:
            return "heel lift " + mm;
        case Control::kTopCover:
            return "top cover " + mm;
        case Control::kHeelRecess:
            return "heel spur recess " + mm;
        case Control::kShellLength:
            return v[c] == 1 ? "shell length sulcus" : "shell length 3/4";
        default:
            return "";
    }
}

}  // namespace

std::vector<PrescriptionEntry> prescription(const Controls &controls, bool right_foot) {
    std::vector<PrescriptionEntry> out;
    for (int i = 0; i < kControlCount; ++i) {
        const Control c = static_cast<Control>(i);
        if (controls[c] == 0) continue;
        std::string words = words_of(c, controls, right_foot);
        if (!words.empty()) out.push_back({c, std::move(words)});
    }
    return out;
}

std::vector<std::string> prescription_words(const Controls &controls, bool right_foot) {
    std::vector<std::string> out;
    for (PrescriptionEntry &entry : prescription(controls, right_foot))
        out.push_back(std::move(entry.words));
    return out;
}

}  // namespace pedaform

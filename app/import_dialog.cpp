#include "app/import_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Preferences.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Scroll.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/actions.h"
#include "app/dialog_text.h"
#include "app/file_choice.h"
#include "app/print_dialog.h"
#include "core/ansi_path.h"
#include "core/file_input.h"
#include "core/file_output.h"
#include "import/pressure_units.h"
#include "relief/engraving_bmp.h"

using namespace pedaform;

namespace {

// The dialogs' words.
const char *const kMenuTitle = "匯入壓力檔";
const char *const kScaleTitle = "感測器設定";
const char *const kScaleHeading = "這個檔案沒有記錄以下設定，請輸入：";
const char *const kRowPitchLabel = "列間距 (mm)";
const char *const kColPitchLabel = "行間距 (mm)";
const char *const kUnitLabel = "壓力單位";
const char *const kBadPitch = "感測點間距須為大於 0、最多 100 的數字 (mm)";
const char *const kStepTitle = "選擇足印";
const char *const kStepHeading = "每隻腳選一個足印：點一下選取，再點一下取消";
const char *const kSetAsideHeading = "未採用：";
const char *const kStepWord = "第 %d 步";
const char *const kLeftWord = "左腳";
const char *const kRightWord = "右腳";
const char *const kNoneWord = "無";
const char *const kNoFootChosen = "請至少選一個足印";
const char *const kOkLabel = "確定";
const char *const kImportLabel = "匯入";
const char *const kCancelLabel = "取消";
const char *const kSaveScanTitle = "儲存掃描檔";
const char *const kRefusedHeading = "無法匯入壓力檔: ";
const char *const kNotOverRecording = "不能覆寫壓力檔";
const char *const kSameNameTwice = "兩隻腳的掃描檔不能同名";
const char *const kNoticeHeading = "匯入時的提醒:\n";
const char *const kWriteErrorCaption = "存檔錯誤";

// The units offered, as the importer reads them (import/pressure_units.h).
const char *const kUnits[] = {"kPa", "N/cm2", "MPa", "psi", "mmHg", "kg/cm2"};

const char *side_word(FootSide side) {
    return side == FootSide::kLeft ? kLeftWord : kRightWord;
}

std::string step_word(int number) {
    char text[32];
    std::snprintf(text, sizeof text, kStepWord, number);
    return text;
}

template <typename Dialog>
Dialog *dialog_of(Fl_Widget *w) {
    return static_cast<Dialog *>(w->window()->user_data());
}

}  // namespace

ScaleDialog::ScaleDialog(const RecordingScale &file) : window(360, 200, kScaleTitle), file_(file) {
    window.user_data(this);
    new Fl_Box(FL_NO_BOX, 20, 10, 320, 30, kScaleHeading);
    row_pitch = new Fl_Float_Input(150, 50, 100, 25, kRowPitchLabel);
    col_pitch = new Fl_Float_Input(150, 85, 100, 25, kColPitchLabel);
    unit = new Fl_Choice(150, 120, 100, 25, kUnitLabel);
    for (const char *u : kUnits)
        unit->add(u);
    ok = new Fl_Return_Button(160, 162, 85, 25, kOkLabel);
    ok->callback([](Fl_Widget *w, void *) {
        ScaleDialog *d = dialog_of<ScaleDialog>(w);
        ImportOptions probe;
        if (!d->fill(probe)) return show_message_box(kBadPitch, kScaleTitle);
        d->accepted_ = true;
        d->window.hide();
    });
    cancel = new Fl_Button(255, 162, 85, 25, kCancelLabel);
    cancel->callback([](Fl_Widget *w, void *) { w->window()->hide(); });
    window.end();
    // The values last given; only what the file lacks is asked.
    with_preferences("import", [&](Fl_Preferences &p) {
        char text[32];
        p.get("row_pitch", text, "", sizeof text);
        row_pitch->value(text);
        p.get("col_pitch", text, "", sizeof text);
        col_pitch->value(text);
        p.get("unit", text, kUnits[0], sizeof text);
        unit->value(std::max(0, unit->find_index(text)));
    });
    if (file.row_pitch_mm > 0 && file.col_pitch_mm > 0) row_pitch->hide(), col_pitch->hide();
    if (!file.unit.empty()) unit->hide();
}

Result<> ScaleDialog::fill(ImportOptions &options) const {
    if (row_pitch->visible()) {
        const std::string pitch = std::string(row_pitch->value()) + "," + col_pitch->value();
        if (Result<> r = parse_pitch(pitch, options.row_pitch_mm, options.col_pitch_mm); !r)
            return r;
    }
    if (unit->visible()) options.units = kUnits[std::max(0, unit->value())];
    return Result<>();
}

bool ScaleDialog::run() {
    window.set_modal();
    window.show();
    if (row_pitch->visible())
        row_pitch->take_focus();
    else
        unit->take_focus();
    while (window.shown())
        Fl::wait();
    window.hide();
    if (accepted_)
        with_preferences("import", [&](Fl_Preferences &p) {
            if (row_pitch->visible()) p.set("row_pitch", row_pitch->value());
            if (row_pitch->visible()) p.set("col_pitch", col_pitch->value());
            if (unit->visible()) p.set("unit", kUnits[std::max(0, unit->value())]);
        });
    return accepted_;
}

namespace {

constexpr int kCardW = 130, kCardH = 340, kPictureH = 270, kCardGap = 8;

// A pressure level 1..255 as a colour from blue through green and yellow to red; 0 the
// background.
void level_colour(uint8_t level, uint8_t *rgb) {
    static constexpr uint8_t kStops[4][3] = {
        {40, 60, 200}, {40, 180, 80}, {240, 220, 40}, {220, 40, 30}};
    if (level == 0) return (void)std::fill(rgb, rgb + 3, uint8_t{250});
    const double t = (level - 1) / 254.0 * 3;
    const int k = std::min(2, static_cast<int>(t));
    const double f = t - k;
    for (int c = 0; c < 3; ++c)
        rgb[c] = static_cast<uint8_t>(kStops[k][c] + f * (kStops[k + 1][c] - kStops[k][c]) + 0.5);
}

}  // namespace

FootprintCard::FootprintCard(int x, int y, int w, int h, const ImportedFootprint &f,
                             double pixels_per_mm)
    : Fl_Button(x, y, w, h), footprint_(f) {
    const FootPicture &p = f.picture;
    picture_w_ = std::max(1, static_cast<int>(p.w * pixels_per_mm));
    picture_h_ = std::max(1, static_cast<int>(p.h * pixels_per_mm));
    rgb_.resize(static_cast<size_t>(picture_w_) * picture_h_ * 3);
    // Toes up: the picture's last row on top.
    for (int y = 0; y < picture_h_; ++y)
        for (int x = 0; x < picture_w_; ++x) {
            const int px = std::min(p.w - 1, static_cast<int>(x / pixels_per_mm));
            const int py = std::min(p.h - 1, static_cast<int>(y / pixels_per_mm));
            const uint8_t level = p.level[static_cast<size_t>(p.h - 1 - py) * p.w + px];
            level_colour(level, &rgb_[(static_cast<size_t>(y) * picture_w_ + x) * 3]);
        }
    char length[32];
    std::snprintf(length, sizeof length, " %.0f mm", f.length_mm);
    text_ = step_word(f.number) + "\n" + side_word(f.side) + length;
    box(FL_THIN_UP_BOX);
}

void FootprintCard::draw() {
    const bool chosen = value() != 0;
    draw_box(chosen ? FL_DOWN_BOX : FL_THIN_UP_BOX, chosen ? fl_rgb_color(170, 200, 240) : color());
    fl_draw_image(rgb_.data(), x() + (w() - picture_w_) / 2, y() + 8 + kPictureH - picture_h_,
                  picture_w_, picture_h_, 3);
    fl_font(FL_HELVETICA, 16);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(text_.c_str(), x(), y() + kPictureH + 12, w(), h() - kPictureH - 16, FL_ALIGN_TOP);
    if (Fl::focus() == this) draw_focus();
}

namespace {

// Footprints the operator could use.
bool offered(const ImportedFootprint &f) {
    return f.measured && f.set_aside.empty() && f.picture.w > 0;
}

// Every offered footprint's picture at one scale, the longest and widest fitting a card.
double common_scale(const Import &im) {
    double scale = 1.5;
    for (const ImportedFootprint &f : im.footprints)
        if (offered(f))
            scale =
                std::min({scale, (kPictureH - 4.0) / f.picture.h, (kCardW - 12.0) / f.picture.w});
    return scale;
}

std::string set_aside_line(const Import &im) {
    std::string line;
    for (const ImportedFootprint &f : im.footprints)
        if (!offered(f))
            line += (line.empty() ? kSetAsideHeading : "；") + step_word(f.number) + "（" +
                    (f.set_aside_words.empty() ? f.set_aside : f.set_aside_words) + "）";
    return line;
}

}  // namespace

StepDialog::StepDialog(const Import &im)
    : window(std::clamp(static_cast<int>(
                            std::count_if(im.footprints.begin(), im.footprints.end(), offered)) *
                                (kCardW + kCardGap) +
                            32,
                        460, 940),
             kCardH + 175, kStepTitle) {
    window.user_data(this);
    new Fl_Box(FL_NO_BOX, 10, 8, window.w() - 20, 25, kStepHeading);
    auto *scroll = new Fl_Scroll(10, 40, window.w() - 20, kCardH + 22);
    scroll->type(Fl_Scroll::HORIZONTAL);
    const double scale = common_scale(im);
    int x = 14;
    for (const ImportedFootprint &f : im.footprints) {
        if (!offered(f)) continue;
        auto *card = new FootprintCard(x, 44, kCardW, kCardH, f, scale);
        card->callback([](Fl_Widget *w, void *) {
            dialog_of<StepDialog>(w)->pick(static_cast<FootprintCard *>(w)->footprint().number);
        });
        cards.push_back(card);
        if (f.used) chosen_[static_cast<int>(f.side)] = f.number;
        x += kCardW + kCardGap;
    }
    scroll->end();
    const int below = scroll->y() + scroll->h() + 6;
    auto *aside = new Fl_Box(10, below, window.w() - 20, 40);
    aside->copy_label(set_aside_line(im).c_str());
    aside->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    aside->labelsize(13);
    summary_box_ = new Fl_Box(10, below + 44, window.w() - 20, 25);
    summary_box_->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    ok = new Fl_Return_Button(window.w() - 190, below + 80, 85, 25, kImportLabel);
    ok->callback([](Fl_Widget *w, void *) {
        StepDialog *d = dialog_of<StepDialog>(w);
        if (d->chosen().empty()) return show_message_box(kNoFootChosen, kStepTitle);
        d->accepted_ = true;
        d->window.hide();
    });
    cancel = new Fl_Button(window.w() - 95, below + 80, 85, 25, kCancelLabel);
    cancel->callback([](Fl_Widget *w, void *) { w->window()->hide(); });
    window.end();
    show_choice();
}

void StepDialog::pick(int number) {
    for (const FootprintCard *card : cards) {
        if (card->footprint().number != number) continue;
        int &side = chosen_[static_cast<int>(card->footprint().side)];
        side = side == number ? 0 : number;
    }
    show_choice();
}

std::vector<int> StepDialog::chosen() const {
    std::vector<int> numbers;
    for (const int n : chosen_)
        if (n != 0) numbers.push_back(n);
    return numbers;
}

void StepDialog::show_choice() {
    for (FootprintCard *card : cards) {
        const int n = card->footprint().number;
        card->value(chosen_[0] == n || chosen_[1] == n ? 1 : 0);
    }
    summary_.clear();
    for (const FootSide side : {FootSide::kLeft, FootSide::kRight}) {
        const int n = chosen_[static_cast<int>(side)];
        summary_ += std::string(side == FootSide::kLeft ? "" : "　　") + side_word(side) + "：" +
                    (n != 0 ? step_word(n) : kNoneWord);
    }
    summary_box_->label(summary_.c_str());
    window.redraw();
}

bool StepDialog::run() {
    window.set_modal();
    window.show();
    if (!cards.empty()) cards.front()->take_focus();
    while (window.shown())
        Fl::wait();
    window.hide();
    return accepted_;
}

namespace {

std::string converted(const char *chosen) {
    std::vector<char> path(chosen, chosen + std::char_traits<char>::length(chosen) + 1);
    to_ansi_path(path.data());
    return path.data();
}

void refuse(const std::string &path, const Failure &why) {
    std::fprintf(stderr, "ERROR: %s: %s\n", path.c_str(), why.message.c_str());
    const std::string text =
        kRefusedHeading + path + "\n" + (why.gui.empty() ? why.message : why.gui);
    show_message_box(text.c_str(), kMenuTitle);
}

// The options the recording needs from the operator; false when the scale dialog was cancelled.
bool ask_scale(std::string_view text, const std::string &path, ImportOptions &options) {
    const Result<RecordingScale> scale = recording_scale(text);
    if (!scale) {
        refuse(path, scale.reason());
        return false;
    }
    if (scale->row_pitch_mm > 0 && scale->col_pitch_mm > 0 && !scale->unit.empty()) return true;
    ScaleDialog dialog(*scale);
    return dialog.run() && dialog.fill(options);
}

// The file each scan goes to, chosen by the operator: none when a chooser was cancelled or a
// name refused (said).
std::optional<std::vector<OutputFile>> scan_files(const Import &im, const std::string &path) {
    std::vector<OutputFile> files;
    const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
    for (const ImportedScan &s : im.scans) {
        const std::string proposed = (folder / imported_scan_name(path, s.side)).string();
        Result<std::optional<std::string>> name = choose_file(
            Fl_Native_File_Chooser::BROWSE_SAVE_FILE, kSaveScanTitle, "Insole\t*.bmp\n", proposed);
        if (!name) show_message_box(name.message().c_str(), kSaveScanTitle);
        if (!name || !*name) return std::nullopt;
        std::string scan = converted((*name)->c_str());
        if (!has_extension(scan, ".bmp")) scan += ".bmp";
        const char *refusal = same_file(scan, path)                              ? kNotOverRecording
                              : !files.empty() && same_file(scan, files[0].path) ? kSameNameTwice
                                                                                 : nullptr;
        if (refusal != nullptr) show_message_box(refusal, kWriteErrorCaption);
        if (refusal != nullptr || !may_write_file(scan)) return std::nullopt;
        std::vector<uint8_t> bmp;
        encode_bmp32(s.pixels.data(), kGridWidth, kGridHeight, bmp);
        files.push_back({scan, std::string(bmp.begin(), bmp.end())});
    }
    return files;
}

void say_warnings(const Import &im) {
    if (im.warnings.empty()) return;
    std::string text = kNoticeHeading;
    for (const std::string &w : im.warnings) {
        std::fprintf(stderr, "WARNING: %s\n", w.c_str());
        text += w + "\n";
    }
    show_message_box(text.c_str(), kMenuTitle);
}

}  // namespace

void import_recording_path(const char *chosen) {
    const std::string path = converted(chosen);
    const Result<std::vector<uint8_t>> bytes = read_file_bytes(path, kMaxRecordingBytes);
    if (!bytes) return refuse(path, bytes.reason());
    const std::string_view text(reinterpret_cast<const char *>(bytes->data()), bytes->size());
    ImportOptions options;
    options.file_name = path;
    if (!ask_scale(text, path, options)) return;
    Result<Import> im = import_recording(text, options);
    if (!im) return refuse(path, im.reason());
    if (std::count_if(im->footprints.begin(), im->footprints.end(), offered) > 1) {
        StepDialog dialog(*im);
        if (!dialog.run()) return;
        options.steps = dialog.chosen();
        im = import_recording(text, options);
        if (!im) return refuse(path, im.reason());
        // A foot the operator dropped gets no scan (the importer gives each side its default).
        const std::vector<int> &kept = options.steps;
        im->scans.erase(std::remove_if(im->scans.begin(), im->scans.end(),
                                       [&](const ImportedScan &s) {
                                           return std::find(kept.begin(), kept.end(),
                                                            s.footprint) == kept.end();
                                       }),
                        im->scans.end());
    }
    say_warnings(*im);
    const std::optional<std::vector<OutputFile>> files = scan_files(*im, path);
    if (!files) return;
    if (Result<> r = write_files_atomically(*files); !r) {
        std::fprintf(stderr, "ERROR: %s\n", r.message().c_str());
        const std::string text_out = write_failure_text(files->front().path, r.reason());
        return show_message_box(text_out.c_str(), kWriteErrorCaption);
    }
    std::vector<std::pair<Foot, std::string>> feet;
    for (size_t k = 0; k < files->size(); ++k)
        feet.push_back(
            {im->scans[k].side == FootSide::kLeft ? Foot::kLeft : Foot::kRight, (*files)[k].path});
    load_scans_into_feet(feet);
}

void import_recording_cb(Fl_Widget *, void *) {
    Result<std::optional<std::string>> name =
        choose_file(Fl_Native_File_Chooser::BROWSE_FILE, kMenuTitle,
                    "壓力檔\t*.{asf,ASF,txt,TXT,csv,CSV,tsv,TSV}\n全部檔案\t*\n");
    if (!name) return show_message_box(name.message().c_str(), kMenuTitle);
    if (*name) import_recording_path((*name)->c_str());
}

std::string import_dialog_labels() {
    std::string text;
    for (const char *t :
         {kMenuTitle,        kScaleTitle,      kScaleHeading,  kRowPitchLabel,
          kColPitchLabel,    kUnitLabel,       kBadPitch,      kStepTitle,
          kStepHeading,      kSetAsideHeading, kStepWord,      kLeftWord,
          kRightWord,        kNoneWord,        kNoFootChosen,  kOkLabel,
          kImportLabel,      kCancelLabel,     kSaveScanTitle, kRefusedHeading,
          kNotOverRecording, kSameNameTwice,   kNoticeHeading, "壓力檔全部檔案；（）："})
        text += t;
    return text;
}

#include "app/label_font.h"

#include <FL/Fl.H>
#include <fontconfig/fontconfig.h>

#include "app/actions.h"
#include "app/colour_key.h"
#include "app/dialog_text.h"
#include "app/gl_display_3d.h"
#include "app/import_dialog.h"
#include "app/main_window.h"
#include "app/order_dialog.h"
#include "app/print_dialog.h"

std::string label_text() {
    return main_window_labels() + print_dialog_labels() + order_dialog_labels() +
           chinese_dialog_labels() + kView3DHelp + colour_key_labels() + import_dialog_labels() +
           pair_action_labels();
}

namespace {

// Decodes one UTF-8 character; returns its length (1 for a stray byte).
int next_char(const char *s, FcChar32 *out) {
    const int n = FcUtf8ToUcs4(reinterpret_cast<const FcChar8 *>(s), out, 6);
    return n > 0 ? n : 1;
}

FcCharSet *charset_of(const char *text) {
    FcCharSet *set = FcCharSetCreate();
    for (const char *p = text; *p != '\0';) {
        FcChar32 c = 0;
        p += next_char(p, &c);
        if (c > ' ') FcCharSetAddChar(set, c);
    }
    return set;
}

}  // namespace

bool font_covers(const std::string &family, const char *text) {
    if (!FcInit()) return false;
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    bool covered = false;
    FcCharSet *have = nullptr;
    FcChar8 *matched_family = nullptr;
    if (match != nullptr && FcPatternGetCharSet(match, FC_CHARSET, 0, &have) == FcResultMatch &&
        FcPatternGetString(match, FC_FAMILY, 0, &matched_family) == FcResultMatch &&
        family == reinterpret_cast<const char *>(matched_family)) {
        FcCharSet *need = charset_of(text);
        covered = FcCharSetIsSubset(need, have);
        FcCharSetDestroy(need);
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return covered;
}

std::string find_label_font() {
    if (!FcInit()) return std::string();
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>("sans-serif"));
    FcLangSet *langs = FcLangSetCreate();
    FcLangSetAdd(langs, reinterpret_cast<const FcChar8 *>("zh-tw"));
    FcPatternAddLangSet(pattern, FC_LANG, langs);
    FcCharSet *need = charset_of(label_text().c_str());
    FcPatternAddCharSet(pattern, FC_CHARSET, need);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    std::string family;
    FcResult result;
    FcFontSet *fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    for (int i = 0; fonts != nullptr && i < fonts->nfont && family.empty(); ++i) {
        FcCharSet *have = nullptr;
        FcChar8 *name = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &have) == FcResultMatch &&
            FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch &&
            FcCharSetIsSubset(need, have))
            family = reinterpret_cast<const char *>(name);
    }
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    FcCharSetDestroy(need);
    FcLangSetDestroy(langs);
    FcPatternDestroy(pattern);
    return family;
}

std::string use_label_font() {
    const std::string family = find_label_font();
    if (family.empty()) return family;
    // The toolkit's font names: a leading ' ' means regular, 'B' bold.
    static std::string regular, bold;
    regular = " " + family;
    bold = "B" + family;
    Fl::set_font(FL_HELVETICA, regular.c_str());
    Fl::set_font(FL_HELVETICA_BOLD, bold.c_str());
    return family;
}

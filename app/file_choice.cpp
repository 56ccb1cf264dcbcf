#include "app/file_choice.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Window.H>
#include <FL/filename.H>

#include <cstdio>

namespace {

Fl_File_Input *find_name_input(Fl_Group *group) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget *child = group->child(i);
        if (auto *input = dynamic_cast<Fl_File_Input *>(child)) return input;
        if (Fl_Group *inner = child->as_group())
            if (Fl_File_Input *input = find_name_input(inner)) return input;
    }
    return nullptr;
}

// Runs in the chooser's event loop: in FLTK's own chooser, showing the proposal (made absolute
// as that chooser makes it), selects the name only. GTK's chooser does so by itself.
void select_proposed_name(void *absolute) {
    const std::string &path = *static_cast<std::string *>(absolute);
    for (Fl_Window *w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
        Fl_File_Input *input = find_name_input(w);
        if (input == nullptr || path != input->value()) continue;
        input->position(input->size(), static_cast<int>(path.find_last_of('/') + 1));
        return;
    }
}

}  // namespace

pedaform::Result<std::optional<std::string>> choose_file(int type, const char *title,
                                                         const char *filter,
                                                         const std::string &proposed) {
    Fl_Native_File_Chooser chooser;
    chooser.type(type);
    chooser.title(title);
    chooser.filter(filter);
    std::string absolute;
    if (!proposed.empty()) {
        chooser.preset_file(proposed.c_str());
        char buffer[FL_PATH_MAX];
        fl_filename_absolute(buffer, sizeof buffer, proposed.c_str());
        absolute = buffer;
        Fl::add_timeout(0.0, select_proposed_name, &absolute);
    }
    const int shown = chooser.show();
    Fl::remove_timeout(select_proposed_name, &absolute);
    if (shown == -1) return pedaform::Failure{chooser.errmsg()};
    if (shown == 1) {
        std::fprintf(stderr, "*** CANCEL\n");
        return std::optional<std::string>();
    }
    const char *name = chooser.filename();
    if (name == nullptr || name[0] == '\0') return std::optional<std::string>();
    return std::optional<std::string>(name);
}

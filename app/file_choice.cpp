#include "app/file_choice.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
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

// FLTK's own chooser's handling of its name field, which name_typed runs after its own.
Fl_Callback *g_chooser_name_cb = nullptr;
void *g_chooser_name_data = nullptr;

// FLTK's own chooser makes a relative name absolute after every key, from the working folder
// rather than the one it shows, and sends the cursor back to the start, so that each character
// typed into an emptied field gets a folder before it. Here a relative name is put in the shown
// folder first, the cursor kept after what was typed; the chooser then finds an absolute name.
void name_typed(Fl_Widget *widget, void *) {
    auto *input = static_cast<Fl_File_Input *>(widget);
    // The chooser's window carries the chooser (its callbacks find it there).
    auto *chooser = static_cast<Fl_File_Chooser *>(input->window()->user_data());
    const std::string name = input->value();
    if (name.empty()) return g_chooser_name_cb(widget, g_chooser_name_data);
    const char *folder = chooser != nullptr ? chooser->directory() : nullptr;
    if (name[0] != '/' && name[0] != '~' && name[0] != '$' && folder != nullptr &&
        folder[0] != '\0') {
        std::string prefix = folder;
        if (prefix.back() != '/') prefix += '/';
        const int n = static_cast<int>(prefix.size());
        const int position = input->position(), mark = input->mark();
        input->value((prefix + name).c_str());
        input->position(position + n, mark + n);
    }
    // A path's first folder, still being typed ("/", "/tm"), would take the chooser to the
    // list of file systems, which empties the field: it waits for the folder's closing slash.
    const bool enter = Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter;
    if (name[0] == '/' && name.find('/', 1) == std::string::npos && !enter) return;
    g_chooser_name_cb(widget, g_chooser_name_data);
}

// Runs in the chooser's event loop: in FLTK's own chooser, showing the proposal (made absolute
// as that chooser makes it), selects the name only, and puts name_typed before the chooser's
// own handling of the field. GTK's chooser does so by itself.
void select_proposed_name(void *absolute) {
    const std::string &path = *static_cast<std::string *>(absolute);
    for (Fl_Window *w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
        Fl_File_Input *input = find_name_input(w);
        if (input == nullptr) continue;
        if (input->callback() != name_typed) {
            g_chooser_name_cb = input->callback();
            g_chooser_name_data = input->user_data();
            input->callback(name_typed);
        }
        if (!path.empty() && path == input->value())
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
    }
    Fl::add_timeout(0.0, select_proposed_name, &absolute);
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

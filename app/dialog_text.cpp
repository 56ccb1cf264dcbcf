#include "app/dialog_text.h"

#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Each toolkit label and its words.
const struct {
    const char **label;
    const char *text;
} kDialogLabels[] = {
    {&fl_ok, "確定"},
    {&fl_cancel, "取消"},
    {&fl_yes, "是"},
    {&fl_no, "否"},
    {&fl_close, "關閉"},
    {&Fl_File_Chooser::add_favorites_label, "加入我的最愛"},
    // The chooser takes the pattern from between the parentheses.
    {&Fl_File_Chooser::all_files_label, "所有檔案 (*)"},
    {&Fl_File_Chooser::custom_filter_label, "自訂篩選"},
    {&Fl_File_Chooser::existing_file_label, "請選擇已存在的檔案！"},
    {&Fl_File_Chooser::favorites_label, "我的最愛"},
    {&Fl_File_Chooser::filename_label, "檔名:"},
    {&Fl_File_Chooser::filesystems_label, "檔案系統"},
    {&Fl_File_Chooser::manage_favorites_label, "管理我的最愛"},
    {&Fl_File_Chooser::new_directory_label, "新資料夾名稱:"},
    {&Fl_File_Chooser::new_directory_tooltip, "建立新資料夾"},
    {&Fl_File_Chooser::preview_label, "預覽"},
    {&Fl_File_Chooser::save_label, "儲存"},
    {&Fl_File_Chooser::show_label, "顯示:"},
    {&Fl_File_Chooser::hidden_label, "顯示隱藏檔"},
    {&Fl_Native_File_Chooser::file_exists_message, "檔案已存在，要取代嗎？"},
};

}  // namespace

void use_chinese_dialog_labels() {
    for (const auto &entry : kDialogLabels)
        *entry.label = entry.text;
}

std::string chinese_dialog_labels() {
    std::string text;
    for (const auto &entry : kDialogLabels)
        text += entry.text;
    return text;
}

std::string write_failure_text(const std::string &path, const pedaform::Failure &why) {
    if (why.gui.empty()) return "無法寫入檔案:\n" + why.message;
    return "無法寫入檔案: " + path + "\n" + why.gui;
}

namespace {

// The errno value of opening `path` to read it; 0 when it opens. A FIFO opens at once.
int open_error(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

}  // namespace

bool file_missing(const std::string &path) {
    const int error = open_error(path);
    return error == ENOENT || error == ENOTDIR;
}

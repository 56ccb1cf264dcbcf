#include "app/dialog_text.h"

#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

std::string failure_reason(int error, bool reading, const std::string &path) {
    const char *reason = nullptr;
    switch (error) {
        case ENOENT: {
            // Reading, the file itself may be what is missing; writing, only its folder can be.
            const size_t slash = path.find_last_of('/');
            const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
            struct stat st;
            reason = reading && stat(folder.c_str(), &st) == 0 ? "檔案不存在" : "資料夾不存在";
            break;
        }
        case ENOTDIR:
            reason = "資料夾不存在";
            break;
        case EACCES:
        case EPERM:
            reason = "沒有權限";
            break;
        case ENOSPC:
        case EDQUOT:
            reason = "磁碟已滿";
            break;
        case EROFS:
            reason = "唯讀的檔案系統";
            break;
        case EISDIR:
            reason = "這是資料夾，不是檔案";
            break;
        default:
            return std::string();
    }
    return std::string(reason) + " (" + std::strerror(error) + ")";
}

std::string write_failure_text(const std::string &path, const std::string &message) {
    for (int error : {ENOENT, ENOTDIR, EACCES, EPERM, ENOSPC, EDQUOT, EROFS, EISDIR}) {
        const std::string system = std::strerror(error);
        if (message.size() < system.size() ||
            message.compare(message.size() - system.size(), system.size(), system) != 0)
            continue;
        return "無法寫入檔案: " + path + "\n" + failure_reason(error, false, path);
    }
    return "無法寫入檔案:\n" + message;
}

namespace {

// The errno value of opening `path` to read it, EISDIR for a folder; 0 when it can be read.
int open_error(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    const bool folder = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    close(fd);
    return folder ? EISDIR : 0;
}

}  // namespace

pedaform::Result<> check_readable(const std::string &path) {
    const int error = open_error(path);
    if (error == 0) return pedaform::Result<>();
    const std::string reason = failure_reason(error, true, path);
    return pedaform::Failure{reason.empty() ? std::strerror(error) : reason};
}

bool file_missing(const std::string &path) {
    const int error = open_error(path);
    return error == ENOENT || error == ENOTDIR;
}

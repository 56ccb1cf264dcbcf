#include "core/file_words.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace pedaform {

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
        case ENAMETOOLONG:
            reason = "檔名太長";
            break;
        default:
            return std::string();
    }
    return std::string(reason) + " (" + std::strerror(error) + ")";
}

}  // namespace pedaform

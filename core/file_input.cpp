#include "core/file_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/file_words.h"

namespace pedaform {

namespace {

Failure cannot_read(int error, const std::string &path) {
    const std::string system = std::strerror(error);
    std::string gui = failure_reason(error, true, path);
    if (gui.empty()) gui = "無法讀取檔案 (" + system + ")";
    return Failure{"cannot read the file: " + system, gui};
}

Failure not_regular(mode_t mode) {
    const char *kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a pipe"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "a socket";
    const char *words = S_ISDIR(mode)                    ? "資料夾"
                        : S_ISFIFO(mode)                 ? "管線"
                        : S_ISCHR(mode) || S_ISBLK(mode) ? "裝置"
                                                         : "通訊端";
    return Failure{std::string("not a regular file (") + kind + ")",
                   std::string("不是一般檔案（") + words + "）"};
}

// "70 MB", "64.5 MB": a tenth at most, none when whole.
std::string megabytes(double bytes) {
    char text[32];
    const double mb = bytes / (1 << 20);
    std::snprintf(text, sizeof text, mb == static_cast<long>(mb) ? "%.0f MB" : "%.1f MB", mb);
    return text;
}

Failure too_large(double bytes, size_t max_bytes) {
    const std::string size = megabytes(bytes), bound = megabytes(static_cast<double>(max_bytes));
    return Failure{"the file is too large: " + size + ", more than the " + bound + " read at most",
                   "檔案太大：" + size + "，上限 " + bound};
}

struct Descriptor {
    int fd;
    ~Descriptor() { close(fd); }
};

}  // namespace

Result<std::vector<uint8_t>> read_file_bytes(const std::string &path, size_t max_bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return cannot_read(errno, path);
    const Descriptor opened{fd};
    struct stat st;
    if (fstat(fd, &st) != 0) return cannot_read(errno, path);
    if (!S_ISREG(st.st_mode)) return not_regular(st.st_mode);
    if (static_cast<uint64_t>(st.st_size) > max_bytes)
        return too_large(static_cast<double>(st.st_size), max_bytes);
    // One byte more than the file holds: a file that grew while read is seen to have grown.
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    while (true) {
        if (got == bytes.size()) {
            if (got > max_bytes) return too_large(static_cast<double>(got), max_bytes);
            bytes.resize(std::min(max_bytes + 1, 2 * got));
        }
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return cannot_read(errno, path);
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace pedaform

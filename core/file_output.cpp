#include "core/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pedaform {

namespace {

std::string reason(const std::string &what, const std::string &path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

}  // namespace

Result<> write_file_atomically(const std::string &path, const void *data, size_t size) {
    if (path.empty()) return Result<>::failure("no file name given");
    std::vector<char> temp(path.begin(), path.end());
    const char suffix[] = ".tmp-XXXXXX";
    temp.insert(temp.end(), suffix, suffix + sizeof suffix);  // includes the NUL

    const int fd = mkstemp(temp.data());
    if (fd < 0) return Result<>::failure(reason("cannot create a file beside", path, errno));

    const char *bytes = static_cast<const char *>(data);
    size_t done = 0;
    int err = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        if (n == 0) {
            err = ENOSPC;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (err == 0 && fsync(fd) != 0) err = errno;
    // A new file gets the usual permissions (mkstemp makes it private).
    if (err == 0) {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    if (close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && std::rename(temp.data(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        unlink(temp.data());
        return Result<>::failure(reason("cannot write", path, err));
    }
    return Result<>::success();
}

}  // namespace pedaform

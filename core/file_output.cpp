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

AtomicFileWriter::~AtomicFileWriter() {
    abandon();
}

void AtomicFileWriter::abandon() {
    if (fd_ < 0) return;
    close(fd_);
    unlink(temp_.c_str());
    fd_ = -1;
}

Result<> AtomicFileWriter::open(const std::string &path) {
    abandon();
    if (path.empty()) return Result<>::failure("no file name given");
    std::vector<char> temp(path.begin(), path.end());
    const char suffix[] = ".tmp-XXXXXX";
    temp.insert(temp.end(), suffix, suffix + sizeof suffix);  // includes the NUL
    fd_ = mkstemp(temp.data());
    if (fd_ < 0) return Result<>::failure(reason("cannot create a file beside", path, errno));
    path_ = path;
    temp_ = temp.data();
    error_ = 0;
    return Result<>::success();
}

void AtomicFileWriter::append(const void *data, size_t size) {
    const char *bytes = static_cast<const char *>(data);
    size_t done = 0;
    while (fd_ >= 0 && error_ == 0 && done < size) {
        const ssize_t n = write(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) error_ = n < 0 ? errno : ENOSPC;
        if (n > 0) done += static_cast<size_t>(n);
    }
}

Result<> AtomicFileWriter::commit() {
    if (fd_ < 0) return Result<>::failure("no file open");
    int err = error_;
    if (err == 0 && fsync(fd_) != 0) err = errno;
    // A new file gets the usual permissions (mkstemp makes it private).
    if (err == 0) {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    if (close(fd_) != 0 && err == 0) err = errno;
    fd_ = -1;
    if (err == 0 && std::rename(temp_.c_str(), path_.c_str()) != 0) err = errno;
    if (err != 0) {
        unlink(temp_.c_str());
        return Result<>::failure(reason("cannot write", path_, err));
    }
    return Result<>::success();
}

Result<> write_file_atomically(const std::string &path, const void *data, size_t size) {
    AtomicFileWriter file;
    if (Result<> opened = file.open(path); !opened) return opened;
    file.append(data, size);
    return file.commit();
}

}  // namespace pedaform

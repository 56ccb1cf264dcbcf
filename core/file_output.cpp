#include "core/file_output.h"

#include <fcntl.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/file_words.h"

namespace pedaform {

namespace {

Failure cannot_write(const std::string &path, int error) {
    return Failure{"cannot write " + path + ": " + std::strerror(error),
                   failure_reason(error, false, path)};
}

std::string folder_of(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes `size` bytes to a new temporary file in `path`'s folder; its name, or why not.
Result<std::string> write_temporary(const std::string &path, const void *data, size_t size) {
    std::string temp = folder_of(path) + "/.pf-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return cannot_write(path, errno);
    const char *bytes = static_cast<const char *>(data);
    size_t done = 0;
    int err = 0;
    while (done < size && err == 0) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) err = n < 0 ? errno : ENOSPC;
        if (n > 0) done += static_cast<size_t>(n);
    }
    if (err == 0 && fsync(fd) != 0) err = errno;
    // A new file gets the usual permissions (mkstemp makes it private).
    if (err == 0) {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    if (close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        unlink(temp.c_str());
        return cannot_write(path, err);
    }
    return temp;
}

// A file to write: its target and its bytes, not copied.
struct Pending {
    const std::string &path;
    const void *data;
    size_t size;
};

// Every file to its temporary file, then every temporary renamed over its target.
Result<> write_all(const std::vector<Pending> &files) {
    for (const Pending &f : files)
        if (Result<> checked = check_output_path(f.path); !checked) return checked;
    std::vector<std::string> temps;
    auto remove_from = [&](size_t first) {
        for (size_t k = first; k < temps.size(); ++k)
            unlink(temps[k].c_str());
    };
    for (const Pending &f : files) {
        const Result<std::string> temp = write_temporary(f.path, f.data, f.size);
        if (!temp) {
            remove_from(0);
            return temp.reason();
        }
        temps.push_back(*temp);
    }
    for (size_t k = 0; k < files.size(); ++k)
        if (std::rename(temps[k].c_str(), files[k].path.c_str()) != 0) {
            const int err = errno;
            remove_from(k);
            return cannot_write(files[k].path, err);
        }
    return Result<>();
}

}  // namespace

Result<> check_output_path(const std::string &path) {
    if (path.empty()) return Failure{"no file name given", "沒有檔名"};
    const std::string folder = folder_of(path);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) return cannot_write(path, errno);
    if (!S_ISDIR(st.st_mode)) return cannot_write(path, ENOTDIR);
    const long name_max = pathconf(folder.c_str(), _PC_NAME_MAX);
    const size_t name = path.size() - path.find_last_of('/') - 1;
    if (name > static_cast<size_t>(name_max > 0 ? name_max : NAME_MAX))
        return cannot_write(path, ENAMETOOLONG);
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return cannot_write(path, EISDIR);
    return Result<>();
}

bool has_extension(const std::string &name, const char *extension) {
    const size_t n = std::strlen(extension);
    return name.size() >= n && strcasecmp(name.c_str() + name.size() - n, extension) == 0;
}

bool same_file(const std::string &a, const std::string &b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ignored;
    return std::filesystem::weakly_canonical(std::filesystem::absolute(a, ignored), ignored) ==
           std::filesystem::weakly_canonical(std::filesystem::absolute(b, ignored), ignored);
}

Result<> write_files_atomically(const std::vector<OutputFile> &files) {
    std::vector<Pending> pending;
    for (const OutputFile &f : files)
        pending.push_back({f.path, f.bytes.data(), f.bytes.size()});
    return write_all(pending);
}

Result<> write_file_atomically(const std::string &path, const void *data, size_t size) {
    return write_all({{path, data, size}});
}

}  // namespace pedaform

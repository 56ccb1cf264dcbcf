#include "io/data_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "io/resources.h"
#include "workspace/workspace.h"

#ifndef PEDAFORM_DATA_FROM_BINDIR
#define PEDAFORM_DATA_FROM_BINDIR "../share/pedaform"
#endif

namespace pedaform {

namespace fs = std::filesystem;

Result check_data_folder(const std::string &folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) return Result::failure("no such folder");
    std::vector<const char *> files = {kColourTableFile, kPadShapeFile};
    files.insert(files.end(), kTemplateFiles, kTemplateFiles + kTemplateCount);
    for (const char *file : files) {
        std::FILE *stream = std::fopen(resource_path(folder, file).c_str(), "rb");
        if (stream == nullptr)
            return Result::failure(std::string("cannot read ") + (file + 2) + ": " +
                                   std::strerror(errno));
        std::fclose(stream);
    }
    return Result::success();
}

Result find_data_folder(std::string &folder) {
    const char *named = std::getenv("PEDAFORM_DATA");
    if (named != nullptr && named[0] != '\0') {
        folder = named;
        const Result checked = check_data_folder(folder);
        if (checked) return checked;
        return Result::failure("no data folder: PEDAFORM_DATA names " + folder + " (" +
                               checked.message() + ")");
    }

    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        folder.clear();
        return Result::failure(
            "no data folder: the program's own location is unknown; set PEDAFORM_DATA to the "
            "data folder");
    }
    const fs::path bin = executable.parent_path();
    const std::string candidates[] = {
        (bin / "data").string(), (bin / PEDAFORM_DATA_FROM_BINDIR).lexically_normal().string()};
    std::string looked;
    for (const std::string &candidate : candidates) {
        const Result checked = check_data_folder(candidate);
        if (checked) {
            folder = candidate;
            return checked;
        }
        looked += (looked.empty() ? "" : ", ") + candidate + " (" + checked.message() + ")";
    }
    folder = candidates[0];
    return Result::failure("no data folder: looked in " + looked +
                           "; set PEDAFORM_DATA to the data folder");
}

}  // namespace pedaform

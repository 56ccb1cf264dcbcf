#include "io/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "io/resource_files.h"
#include "core/resources.h"

#ifndef PEDAFORM_DATA_FROM_BINDIR
#define PEDAFORM_DATA_FROM_BINDIR "../share/pedaform"
#endif

namespace pedaform {

namespace fs = std::filesystem;

Result<> check_data_folder(const std::string &folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) return Result<>::failure("no such folder");
    // The colour table or a template folder marks the data folder; a file missing from it is
    // reported when it is read and leaves its data zeroed.
    const std::string markers[] = {resource_path(folder, kColourTableFile),
                                   resource_path(folder, "./ButtomInsole"),
                                   resource_path(folder, "./ButtomInsole_Black")};
    for (const std::string &marker : markers)
        if (fs::exists(marker, error)) return Result<>::success();
    return Result<>::failure("it holds neither lut_256.txt nor the template folders");
}

Result<> find_data_folder(std::string &folder) {
    const char *named = std::getenv("PEDAFORM_DATA");
    if (named != nullptr && named[0] != '\0') {
        folder = named;
        const Result<> checked = check_data_folder(folder);
        if (checked) return checked;
        return Result<>::failure("no data folder: PEDAFORM_DATA names " + folder + " (" +
                                 checked.message() + ")");
    }

    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        folder.clear();
        return Result<>::failure(
            "no data folder: the program's own location is unknown; set PEDAFORM_DATA to the "
            "data folder");
    }
    const fs::path bin = executable.parent_path();
    const std::string candidates[] = {
        (bin / "data").string(), (bin / PEDAFORM_DATA_FROM_BINDIR).lexically_normal().string()};
    std::string looked;
    for (const std::string &candidate : candidates) {
        const Result<> checked = check_data_folder(candidate);
        if (checked) {
            folder = candidate;
            return checked;
        }
        looked += (looked.empty() ? "" : ", ") + candidate + " (" + checked.message() + ")";
    }
    folder = candidates[0];
    return Result<>::failure("no data folder: looked in " + looked +
                             "; set PEDAFORM_DATA to the data folder");
}

}  // namespace pedaform

#include "order/order_sheet.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "core/file_output.h"
#include "order/sheet_module.h"

namespace pedaform {

const char *const kOrderSheetFont = "Noto Sans CJK TC";

namespace {

// The folder of the running program, with its final '/'; "" when the system does not say.
std::string program_folder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    const std::string p(path, static_cast<size_t>(n));
    return p.substr(0, p.rfind('/') + 1);
}

// The sheet's module, opened once: the module, or why it could not be opened (in English, the
// words of the system's loader).
struct OpenedModule {
    const SheetModule *module = nullptr;
    std::string failure;
};

OpenedModule open_sheet_module() {
    OpenedModule opened;
    const std::string folder = program_folder();
    for (const char *sub : kSheetModuleFolders) {
        const std::string path = folder + sub + kSheetModuleFile;
        if (access(path.c_str(), F_OK) != 0) continue;
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            opened.failure = dlerror();
            return opened;
        }
        auto *entry = reinterpret_cast<SheetModuleEntry *>(dlsym(handle, kSheetModuleEntry));
        const SheetModule *module = entry != nullptr ? entry() : nullptr;
        if (module == nullptr || sheet_module_key() != module->key) {
            opened.failure = path + " is of another build";
            return opened;
        }
        opened.module = module;
        return opened;
    }
    opened.failure = std::string(kSheetModuleFile) + " is not in " + folder +
                     kSheetModuleFolders[0] + " nor in " + folder + kSheetModuleFolders[1];
    return opened;
}

}  // namespace

Result<std::vector<uint8_t>> order_sheet_pdf(const OrderSheet &sheet, Language language) {
    static const OpenedModule opened = open_sheet_module();
    if (opened.module == nullptr)
        return Failure{in_language(language,
                                   "the order sheet's drawing cannot be loaded: " + opened.failure,
                                   "無法載入訂單的繪製模組：" + opened.failure)};
    Result<std::vector<uint8_t>> pdf = Failure{""};
    opened.module->render(sheet, language, pdf);
    return pdf;
}

Result<> write_order_sheet(const OrderSheet &sheet, const std::string &path, Language language) {
    Result<std::vector<uint8_t>> pdf = order_sheet_pdf(sheet, language);
    if (!pdf) return Failure{pdf.message()};
    return write_file_atomically(path, pdf->data(), pdf->size());
}

std::string today_date() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

}  // namespace pedaform

// The order sheet's drawing as a module of its own, pedaform-sheet.so, opened at the first sheet
// (order_sheet_pdf). Cairo, Pango and the thirty libraries under them then cost nothing to the
// runs and windows that print no sheet: a program maps its libraries at every start.
//
// The module is built with the programs from the same sources and keeps everything but its entry
// hidden. What crosses is C++ (the sheet, the result), so both sides compute sheet_module_key()
// and a module of another build or compiler is refused instead of called.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"
#include "order/order_sheet.h"

namespace pedaform {

// The module's file, and where it lies beside a program: lib/pedaform under the program's
// folder or its parent (the build tree: build/ and build/tests/; installed: /usr/bin).
constexpr const char *kSheetModuleFile = "pedaform-sheet.so";
constexpr const char *kSheetModuleFolders[] = {"lib/pedaform/", "../lib/pedaform/"};
// The module's one exported function, of type SheetModuleEntry.
constexpr const char *kSheetModuleEntry = "pedaform_sheet_module";

struct SheetModule {
    const char *key;  // sheet_module_key() as the module was built
    // order_sheet_pdf's work: the PDF's bytes or the failure, into `out`.
    void (*render)(const OrderSheet &sheet, Language language, Result<std::vector<uint8_t>> &out);
};
using SheetModuleEntry = const SheetModule *();

// The program's version, the compiler's and the sizes of what crosses.
inline std::string sheet_module_key() {
    return std::string(PEDAFORM_VERSION) + " " + __VERSION__ + " " +
           std::to_string(sizeof(OrderSheet)) + " " + std::to_string(sizeof(FootSheet)) + " " +
           std::to_string(sizeof(Result<std::vector<uint8_t>>));
}

}  // namespace pedaform

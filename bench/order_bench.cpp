// Speed and size of the order sheet: a pair's A4 page from two sample feet.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "core/console.h"
#include "design/design.h"
#include "io/resource_files.h"
#include "io/scan_file.h"
#include "order/foot_sheet.h"
#include "order/order_sheet.h"

using namespace pedaform;

// The feet of different lengths from the generated data folder, shaped as a lab starts: arch
// support, heel cup, base and the dome behind the heads. The sheet is filled from both designs
// and laid out as a PDF; "bytes" is its size.
static void BM_OrderSheet(benchmark::State &state) {
    set_console(nullptr);
    auto res = std::make_unique<Resources>();
    load_startup_resources(*res, PEDAFORM_DATA_DIR);
    Design left(*res, load_scan_file), right(*res, load_scan_file);
    for (auto [design, scan] : {std::make_pair(&left, "left_253_CM25-26.bmp"),
                                std::make_pair(&right, "right_305_CM29-30.bmp")}) {
        (void)design->load(PEDAFORM_DATA_DIR "/samples/" + std::string(scan));
        (void)design->set(Control::kArch, 8);
        (void)design->set(Control::kHeelCup, 10);
        (void)design->set(Control::kBase, 2);
        (void)design->set(Control::kStamp, 1);
        (void)design->place_dome_behind_heads();
    }
    size_t bytes = 0;
    for (auto _ : state) {
        OrderSheet sheet;
        sheet.order[OrderField::kPatient] = "陳美玲";
        sheet.order[OrderField::kClinician] = "林醫師";
        sheet.order[OrderField::kExamDate] = "2024-05-02";
        sheet.program_version = "1.0.0";
        sheet.printed_date = "2024-05-03";
        sheet.feet = {foot_sheet_of(left), foot_sheet_of(right)};
        sheet.feet[0].prescription = {"arch support 8 mm", "heel cup 10 mm", "base 2 mm"};
        sheet.feet[1].prescription = sheet.feet[0].prescription;
        const Result<std::vector<uint8_t>> pdf = order_sheet_pdf(sheet);
        if (!pdf) state.SkipWithError(pdf.message().c_str());
        bytes = pdf ? pdf->size() : 0;
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_OrderSheet)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Core benchmarks; not run by ctest. Build with -DCMAKE_BUILD_TYPE=Release and run
//   build/bench/core/meridax-bench-core
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>

#include "bench/core/DumpGenerator.h"
#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/NumberText.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/uNativeXLSExport.h"
#include "verdict/Verdict.h"

namespace {

constexpr std::size_t MillionRecords = 1'000'000;

const std::string& MillionRecordDump() {
    static const std::string dump = GenerateDeviceDump(MillionRecords);
    return dump;
}

void BM_ParseDeviceDump(benchmark::State& state) {
    const std::string& dump = MillionRecordDump();
    for (auto _ : state) {
        ParseDeviceDump(dump);
        benchmark::DoNotOptimize(Merania.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dump.size()));
    state.counters["records"] = static_cast<double>(Merania.size());
    TMeraniaArray().swap(Merania);
}
BENCHMARK(BM_ParseDeviceDump)->Unit(benchmark::kMillisecond);

// The reference path: rewrite, then SplitDelimited and ParseMeraniaLines on piece lists.
void BM_ParseDeviceDumpReference(benchmark::State& state) {
    const std::string& dump = MillionRecordDump();
    for (auto _ : state) {
        Merania.clear();
        std::string text;
        text.reserve(dump.size());
        for (std::size_t i = 0; i < dump.size(); ++i) {
            if (dump[i] == '\n' && i + 1 < dump.size() && dump[i + 1] == '\r') {
                text += '^';
                ++i;
            } else {
                text += dump[i] == '\t' ? '@' : dump[i];
            }
        }
        std::vector<std::string> lines;
        SplitDelimited('^', text, lines);
        ParseMeraniaLines(lines);
        benchmark::DoNotOptimize(Merania.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dump.size()));
    TMeraniaArray().swap(Merania);
}
BENCHMARK(BM_ParseDeviceDumpReference)->Unit(benchmark::kMillisecond);

void BM_FillTables(benchmark::State& state) {
    ParseDeviceDump(MillionRecordDump());
    TMeasurementTable all(TTablePage::All);
    TMeasurementTable absolute(TTablePage::Absolute);
    TMeasurementTable relative(TTablePage::Relative);
    for (auto _ : state) {
        FillMeasurementTables(Merania, all, absolute, relative);
        benchmark::DoNotOptimize(all.RowCount());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * Merania.size()));
    TMeraniaArray().swap(Merania);
}
BENCHMARK(BM_FillTables)->Unit(benchmark::kMillisecond);

void BM_FloatToText(benchmark::State& state) {
    const double values[] = {1310, -3.52, -0.41, -10, 0.25, 1e-6, 1550, -23.45};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToText(values[i++ % 8]));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_FloatToText);

TMeasurementTable TableOf(std::size_t records) {
    ParseDeviceDump(GenerateDeviceDump(records));
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(Merania, table);
    TMeraniaArray().swap(Merania);
    table.SetAllChecked(true);
    return table;
}

void BM_ExportListViewToXLS65000(benchmark::State& state) {
    const TMeasurementTable table = TableOf(65000);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("meridax-bench-" + std::to_string(::getpid()) + ".xls"))
                                 .string();
    for (auto _ : state) {
        ExportListViewToXLS(table, true, true, "DEVICE-1\t0042", ",", path);
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * table.RowCount()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ExportListViewToXLS65000)->Unit(benchmark::kMillisecond);

void BM_ClipboardText(benchmark::State& state) {
    const TMeasurementTable table = TableOf(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildClipboardText(table, true, "DEVICE-1\t0042", true));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * table.RowCount()));
}
BENCHMARK(BM_ClipboardText)->Arg(65000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ListViewToText(benchmark::State& state) {
    const TMeasurementTable table = TableOf(MillionRecords);
    for (auto _ : state)
        benchmark::DoNotOptimize(ListViewToText(table, false));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * table.RowCount()));
}
BENCHMARK(BM_ListViewToText)->Unit(benchmark::kMillisecond);

}  // namespace

// The verdict pass over a million records (target: under 50 ms), against the README's
// example budget: links by cable and "*", a fixed limit at 1550 nm, a power window.
void BM_JudgeRecords(benchmark::State& state) {
    ParseDeviceDump(MillionRecordDump());
    TBudget budget;
    budget.Preset = "tia-568-sm-isp";
    budget.Links = {{"1", 500, 2, 1}, {"2", 800, 2, 2}, {"*", 90, 2, 0}};
    budget.MaxLossDb = {{1550, 2.0}};
    budget.PowerDbm = {{1310, {-20.0, -3.0}}};
    std::size_t passed = 0;
    for (auto _ : state) {
        const std::vector<TVerdict> verdicts = JudgeRecords(budget, Merania);
        passed = CountVerdicts(verdicts).Pass;
        benchmark::DoNotOptimize(verdicts.data());
    }
    state.counters["records"] = static_cast<double>(Merania.size());
    state.counters["pass"] = static_cast<double>(passed);
    TMeraniaArray().swap(Merania);
}
BENCHMARK(BM_JudgeRecords)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

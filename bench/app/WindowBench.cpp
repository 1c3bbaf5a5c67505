// The window's refill and check-all over a large set, offscreen. Targets: a refill of
// 100,000 records within 0.2 s, a check-all over them within 0.1 s.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <memory>

#include "app/common/MeridaxApplication.h"
#include "app/main/frmMain.h"
#include "bench/app/BenchFolders.h"
#include "data/uMeranie.h"

namespace {

void FillMerania(std::size_t count) {
    Merania.clear();
    Merania.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        TMeranie record;
        record.Cable = std::to_string(i / 12 + 1);
        record.Fiber = std::to_string(i % 12 + 1);
        record.WaveLength = i % 2 == 0 ? 1310 : 1550;
        record.Value = -3.52 - static_cast<double>(i % 100) / 100;
        record.IsRelative = i % 3 != 0;
        record.Reference = record.IsRelative ? -10.25 : 0;
        Merania.push_back(std::move(record));
    }
}

std::unique_ptr<TfrmMain> MakeWindow() {
    TfrmMainOptions options;
    options.EnumeratePorts = [](std::vector<std::string>*) {};
    auto window = std::make_unique<TfrmMain>(std::move(options));
    window->show();
    QCoreApplication::processEvents();
    return window;
}

void BM_LoadDataToAllListView(benchmark::State& state) {
    auto window = MakeWindow();
    FillMerania(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        window->LoadDataToAllListView();
        // The views' own work after the reset belongs to the refill.
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadDataToAllListView)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CheckAll(benchmark::State& state) {
    auto window = MakeWindow();
    FillMerania(static_cast<std::size_t>(state.range(0)));
    window->LoadDataToAllListView();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        // Alternates between ticking and unticking every row of the page shown.
        window->btnCheckUnCheckAll->click();
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CheckAll)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    TMeridaxApplication application(argc, argv);
    const TBenchFolders folders;
    application.SetErrorReporter([](const std::string&) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// A job's results from its downloads; not run by ctest. Build with
// -DCMAKE_BUILD_TYPE=Release and run
//   build/bench/core/meridax-bench-job-results
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "jobs/JobResults.h"

namespace {

// fibres fibres of 144-fibre cables at two wavelengths, A to B and B to A: 4 × fibres
// current readings, all in pairs; a fifth of them re-tested, and the first set again.
std::vector<TDownload> JobDownloads(int fibres) {
    std::vector<TDownload> downloads(4);
    const TDirection directions[] = {TDirection::AToB, TDirection::BToA, TDirection::AToB,
                                     TDirection::AToB};
    for (std::size_t index = 0; index < downloads.size(); ++index) {
        downloads[index].Number = static_cast<std::int64_t>(index + 1);
        downloads[index].TestDate = "2026-11-0" + std::to_string(index + 1);
        downloads[index].Direction = directions[index];
    }
    for (int fibre = 0; fibre < fibres; ++fibre) {
        const std::string cable = "Riser " + std::to_string(fibre / 144 + 1);
        const std::string name = std::to_string(fibre % 144 + 1);
        for (const double waveLength : {1310.0, 1550.0}) {
            const double loss = -0.3 - (fibre % 97) / 100.0;
            downloads[0].Readings.push_back(
                {{cable, name, waveLength, loss, -10, true}, TDirection::AToB});
            downloads[1].Readings.push_back(
                {{cable, name, waveLength, loss - 0.05, -10, true}, TDirection::BToA});
            if (fibre % 5 == 0)
                downloads[2].Readings.push_back(
                    {{cable, name, waveLength, -0.4, -10, true}, TDirection::AToB});
        }
    }
    downloads[3].Readings = downloads[0].Readings;
    return downloads;
}

void BM_ComputeJobResults(benchmark::State& state) {
    const std::vector<TDownload> downloads = JobDownloads(static_cast<int>(state.range(0)) / 4);
    TBudget budget;
    budget.MaxLossDb = {{1310, 1.0}, {1550, 0.8}};
    std::size_t rows = 0;
    for (auto _ : state) {
        const TJobResults results = ComputeJobResults(budget, {{"Riser 1", 144}}, downloads);
        rows = results.Rows.size();
        benchmark::DoNotOptimize(results.Rows.data());
    }
    state.counters["current"] = static_cast<double>(state.range(0));
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_ComputeJobResults)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

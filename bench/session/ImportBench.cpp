// meridax-cli import of a 100 KB memory from meridax-meter-sim paced to 115200 baud. The
// run must take no longer than the wire time of the replies + the connect's fixed 1.3 s
// + 0.2 s.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Subprocess.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double LineBaud = 115200;
// The blocking waits of the connect and its wait for a quiet line before "n".
constexpr double ConnectSeconds = 1.3;
constexpr double AllowanceSeconds = 0.2;
// Records that make a dump of a little over 100 KB (about 23 bytes per record).
const char* const Records = "4900";
const char* const Name = "MERIDAX OLM-45\\tSN 0412871";
constexpr std::size_t NameReplyBytes = sizeof("MERIDAX OLM-45\tSN 0412871") - 1 + 2;

void BM_ImportAt115200(benchmark::State& state) {
    const TTempFolder scratch("meridax-bench");
    const std::string dumpPath = scratch.File("dump.txt");
    TRunResult saved = RunToEnd(
        {MERIDAX_METER_SIM, "--records", Records, "--name", Name, "--save-dump", dumpPath});
    if (saved.ExitCode != 0) {
        state.SkipWithError(("meridax-meter-sim --save-dump failed: " + saved.Err).c_str());
        return;
    }
    const auto dumpBytes = static_cast<double>(fs::file_size(dumpPath));
    const double wireSeconds = (dumpBytes + NameReplyBytes) * 10 / LineBaud;
    const double limitSeconds = wireSeconds + ConnectSeconds + AllowanceSeconds;
    double worstSeconds = 0;

    for (auto _ : state) {
        TSubprocess sim(
            {MERIDAX_METER_SIM, "--records", Records, "--name", Name, "--baud", "115200"},
            scratch.File("sim-stderr.txt"));
        auto port = sim.ReadLine(std::chrono::seconds(30));
        if (!port) {
            state.SkipWithError("meridax-meter-sim gave no port");
            return;
        }
        const auto start = Clock::now();
        TRunResult run =
            RunToEnd({MERIDAX_CLI, "import", "--port", *port, "--to", scratch.File("out.xls")});
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (run.ExitCode != 0) {
            state.SkipWithError(("meridax-cli import failed: " + run.Err).c_str());
            return;
        }
        state.SetIterationTime(seconds);
        worstSeconds = std::max(worstSeconds, seconds);
    }
    state.counters["dump_bytes"] = dumpBytes;
    state.counters["wire_s"] = wireSeconds;
    state.counters["limit_s"] = limitSeconds;
    state.counters["worst_s"] = worstSeconds;
    state.counters["over_wire_and_connect_s"] = worstSeconds - wireSeconds - ConnectSeconds;
    state.counters["within_limit"] = worstSeconds <= limitSeconds ? 1 : 0;
}

BENCHMARK(BM_ImportAt115200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

// The receive path alone: a dump from meridax-meter-sim through TComPort (raw mode, hand-off
// to the waiting thread, callback appending to a text) against `cat` reading the same bytes
// from the same stand-in; and the CPU an open, idle port costs.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "comm/ComPort.h"
#include "support/Subprocess.h"
#include "sys/UniqueFd.h"
#include "tools/meter-sim/MeterDump.h"

namespace {

// About 10 MB of dump.
constexpr std::size_t DumpRecords = 420000;

std::size_t DumpSize() {
    static const std::size_t size = DumpReply(GenerateRecords(DumpRecords, 1)).size();
    return size;
}

// meridax-meter-sim with a 10 MB dump; its port path from the first line it prints.
class TStandIn {
public:
    TStandIn()
        : process_({MERIDAX_METER_SIM, "--records", std::to_string(DumpRecords)}, "/dev/null") {
        path_ = process_.ReadLine(std::chrono::minutes(5)).value_or("");
    }
    const std::string& Path() const { return path_; }

private:
    TSubprocess process_;
    std::string path_;
};

// Opens port on path at 115200 baud in raw mode; what arrives is appended to received.
void OpenRaw(TComPort& port, const std::string& path, std::string& received) {
    port.Port = path;
    port.Baud = 115200;
    port.ReceiveMode = rmRAW;
    port.ReceiveCallBack = [&received](const std::string& Data) { received += Data; };
    port.Open();
}

void BM_ReceiveDumpThroughComPort(benchmark::State& state) {
    TStandIn standIn;
    TSynchronizer sync;
    TComPort port(sync);
    std::string ReceivedText;
    OpenRaw(port, standIn.Path(), ReceivedText);
    const std::size_t expected = DumpSize();
    for (auto _ : state) {
        ReceivedText.clear();
        port.Write("u");
        if (!sync.WaitUntil([&] { return ReceivedText.size() >= expected; },
                            std::chrono::seconds(60))) {
            state.SkipWithError("the dump did not arrive");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * expected));
}

using TClock = std::chrono::steady_clock;

// One dump through the component: from the request to the last byte in ReceivedText.
double ComPortRound(const std::string& path) {
    TSynchronizer sync;
    TComPort port(sync);
    std::string ReceivedText;
    OpenRaw(port, path, ReceivedText);
    const std::size_t expected = DumpSize();
    const auto start = TClock::now();
    port.Write("u");
    if (!sync.WaitUntil([&] { return ReceivedText.size() >= expected; },
                        std::chrono::seconds(60))) {
        throw std::runtime_error("the dump did not arrive");
    }
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// The same dump read by `cat PORT > file in /dev/shm`: from the request to the file's full size.
double CatRound(const std::string& path) {
    char pattern[] = "/dev/shm/meridax-cat-XXXXXX";
    TUniqueFd sink(::mkstemp(pattern));
    if (!sink.Valid()) {
        throw std::runtime_error("cannot make a file in /dev/shm");
    }
    TSubprocess cat({"cat", path}, "/dev/null", pattern);
    ::unlink(pattern);
    // The request goes in through a descriptor of our own that never reads.
    TUniqueFd request(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // cat opens the port
    auto written = [&] {
        struct stat info {};
        ::fstat(sink.Get(), &info);
        return static_cast<std::size_t>(info.st_size);
    };
    const std::size_t expected = DumpSize();
    const auto start = TClock::now();
    if (::write(request.Get(), "u", 1) != 1) {
        throw std::runtime_error("cannot send the request");
    }
    while (written() < expected) {
        if (TClock::now() - start > std::chrono::seconds(60)) {
            throw std::runtime_error("cat did not get the dump");
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// Rounds of the component and of cat alternate on one stand-in, so that both see the same
// machine load; ratio = component throughput / cat throughput.
void BM_ComPortAgainstCat(benchmark::State& state) {
    TStandIn standIn;
    double comPortSeconds = 0;
    double catSeconds = 0;
    try {
        for (auto _ : state) {
            comPortSeconds += ComPortRound(standIn.Path());
            catSeconds += CatRound(standIn.Path());
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return;
    }
    const double megabytes = static_cast<double>(state.iterations() * DumpSize()) / 1e6;
    state.counters["comport_MBps"] = megabytes / comPortSeconds;
    state.counters["cat_MBps"] = megabytes / catSeconds;
    state.counters["ratio"] = catSeconds / comPortSeconds;
}

double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds used by the whole process per second of an open port with nothing arriving.
void BM_IdleOpenPort(benchmark::State& state) {
    TStandIn standIn;
    TSynchronizer sync;
    TComPort port(sync);
    port.Port = standIn.Path();
    port.ReceiveMode = rmRAW;
    port.ReceiveCallBack = [](const std::string&) {};
    port.Open();
    double cpu = 0;
    for (auto _ : state) {
        const double before = ProcessCpuSeconds();
        sync.WaitUntil([] { return false; }, std::chrono::seconds(1));
        cpu += ProcessCpuSeconds() - before;
    }
    state.counters["cpu_s_per_s"] = cpu / static_cast<double>(state.iterations());
}

BENCHMARK(BM_ReceiveDumpThroughComPort)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_ComPortAgainstCat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_IdleOpenPort)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

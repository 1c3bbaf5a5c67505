// The receive path alone: a dump from meridax-meter-sim through TComPort (raw mode, hand-off
// to the waiting thread, callback appending to a text) against `cat` reading the same bytes
// from the same stand-in; and the CPU an open, idle port costs.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "comm/ComPort.h"
#include "comm/FileDescriptor.h"
#include "tools/meter-sim/MeterDump.h"

extern char** environ;

namespace {

// About 10 MB of dump.
constexpr std::size_t DumpRecords = 420000;

std::size_t DumpSize() {
    static const std::size_t size = DumpReply(GenerateRecords(DumpRecords, 1)).size();
    return size;
}

// A child process; killed and reaped with the object.
class TChild {
public:
    TChild(std::vector<std::string> arguments, int output) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (pid_ < 0) {
            throw std::runtime_error("cannot start " + arguments[0]);
        }
    }
    ~TChild() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

private:
    pid_t pid_ = -1;
};

// meridax-meter-sim with a 10 MB dump; its port path from the first line it prints.
class TStandIn {
public:
    TStandIn() {
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        TFileDescriptor reading(output[0]);
        TFileDescriptor writing(output[1]);
        child_ = std::make_unique<TChild>(
            std::vector<std::string>{MERIDAX_METER_SIM, "--records", std::to_string(DumpRecords)},
            writing.Get());
        writing.Reset();
        char byte = 0;
        while (::read(reading.Get(), &byte, 1) == 1 && byte != '\n') {
            path_ += byte;
        }
    }
    const std::string& Path() const { return path_; }

private:
    std::unique_ptr<TChild> child_;
    std::string path_;
};

void BM_ReceiveDumpThroughComPort(benchmark::State& state) {
    TStandIn standIn;
    TSynchronizer sync;
    TComPort port(sync);
    port.Port = standIn.Path();
    port.Baud = 115200;
    port.ReceiveMode = rmRAW;
    std::string ReceivedText;
    port.ReceiveCallBack = [&](const std::string& Data) { ReceivedText += Data; };
    port.Open();
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

void BM_ReceiveDumpWithCat(benchmark::State& state) {
    TStandIn standIn;
    char pattern[] = "/dev/shm/meridax-cat-XXXXXX";
    TFileDescriptor sink(::mkstemp(pattern));
    if (!sink.Valid()) {
        state.SkipWithError("cannot make a file in /dev/shm");
        return;
    }
    ::unlink(pattern);
    TChild cat({"cat", standIn.Path()}, sink.Get());
    // The request goes in through a descriptor of our own that never reads.
    TFileDescriptor request(::open(standIn.Path().c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    const std::size_t expected = DumpSize();
    auto written = [&] {
        struct stat info {};
        ::fstat(sink.Get(), &info);
        return static_cast<std::size_t>(info.st_size);
    };
    // Let cat open the port and start reading before the first request.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (auto _ : state) {
        const std::size_t before = written();
        if (::write(request.Get(), "u", 1) != 1) {
            state.SkipWithError("cannot send the request");
            break;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (written() < before + expected && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * expected));
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
BENCHMARK(BM_ReceiveDumpWithCat)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_IdleOpenPort)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

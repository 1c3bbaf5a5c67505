// Imports through the real window and serial component from meridax-meter-sim, offscreen.
// Targets: a paced 100 KB import at 115200 baud with progress shown takes no more than 1.02
// times the same import with progress off; while an unpaced 30 MB dump arrives, the event
// loop answers a 10 ms timer within 50 ms (the parse and refill after the last byte excluded).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MeridaxApplication.h"
#include "app/frmMain.h"
#include "bench/app/BenchFolders.h"
#include "support/MeterSimProcess.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* IdleCaption = "Import from device";
// Records that make a dump of a little over 100 KB and of about 30 MB.
const char* const PacedRecords = "4900";
const char* const LargeRecords = "1300000";
constexpr int TickMs = 10;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The window with its progress shown or not, noting when the import's caption comes back.
class TBenchWindow : public TfrmMain {
public:
    TBenchWindow(TfrmMainOptions options, bool progress)
        : TfrmMain(std::move(options)), progress_(progress) {}

    void ShowImportProgress(std::size_t bytes, std::size_t lines) override {
        if (progress_) {
            TfrmMain::ShowImportProgress(bytes, lines);
        }
    }
    void SetImportCaption(const std::string& caption) override {
        TfrmMain::SetImportCaption(caption);
        if (caption == IdleCaption) {
            EndedAt = Clock::now();
        }
    }

    std::optional<Clock::time_point> EndedAt;

private:
    bool progress_;
};

// Runs the window's event loop until done holds (tested every millisecond) or the time is up.
bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    poll.start(1);
    loop.exec();
    return done();
}

// One import from a fresh stand-in into a fresh window.
struct TImportRun {
    Clock::time_point ClickedAt;
    Clock::time_point FirstByteAt;
    Clock::time_point LastByteAt;
    Clock::time_point EndedAt;
    std::size_t Bytes = 0;
    std::vector<Clock::time_point> Ticks;
    std::string Error;
};

std::vector<std::string> Errors;

TImportRun Import(const std::vector<std::string>& simArguments, bool progress, bool ticks) {
    TImportRun run;
    const TTempFolder scratch("meridax-bench");
    TMeterSimProcess sim(MERIDAX_METER_SIM, simArguments, scratch.File("sim-stderr.txt"));
    TfrmMainOptions options;
    options.EnumeratePorts = [&sim](std::vector<std::string>* list) {
        list->push_back(sim.Path());
    };
    TBenchWindow window(std::move(options), progress);
    // Every delivery of the serial component, timed before the session sees it.
    bool importing = false;
    auto deliver = std::move(window.ComPort1().ReceiveCallBack);
    window.ComPort1().ReceiveCallBack = [&](const std::string& data) {
        if (importing && !data.empty()) {
            run.LastByteAt = Clock::now();
            if (run.Bytes == 0) {
                run.FirstByteAt = run.LastByteAt;
            }
            run.Bytes += data.size();
        }
        deliver(data);
    };
    window.show();
    window.activateWindow();
    Errors.clear();
    if (!RunUntil([&] { return !window.FirstActivation() && window.cbPorts->count() == 1; },
                  std::chrono::seconds(30))) {
        run.Error = "the window did not list the stand-in's port";
        return run;
    }
    window.cbPorts->setCurrentIndex(0);
    emit window.cbPorts->activated(0);
    if (!RunUntil([&] { return window.btnImport->isEnabled(); }, std::chrono::seconds(30))) {
        run.Error = "the window did not connect to the stand-in";
        return run;
    }
    QTimer tick;
    if (ticks) {
        run.Ticks.reserve(1 << 16);
        QObject::connect(&tick, &QTimer::timeout, [&] { run.Ticks.push_back(Clock::now()); });
        tick.setTimerType(Qt::PreciseTimer);
        tick.start(TickMs);
    }
    window.EndedAt.reset();
    importing = true;
    run.ClickedAt = Clock::now();
    window.btnImport->click();
    const bool ended = RunUntil(
        [&] { return window.EndedAt.has_value() && window.btnImport->text() == IdleCaption; },
        std::chrono::seconds(600));
    tick.stop();
    if (!ended || !Errors.empty() || run.Bytes == 0) {
        run.Error = Errors.empty() ? "the import did not end" : Errors.front();
        return run;
    }
    run.EndedAt = *window.EndedAt;
    return run;
}

// The longest time the loop left the timer unanswered between the first and the last byte.
double LongestGapMs(const TImportRun& run) {
    Clock::time_point previous = run.FirstByteAt;
    Clock::duration longest{};
    for (const Clock::time_point& at : run.Ticks) {
        if (at <= run.FirstByteAt) {
            continue;
        }
        if (at > run.LastByteAt) {
            break;
        }
        longest = std::max(longest, at - previous);
        previous = at;
    }
    longest = std::max(longest, run.LastByteAt - previous);
    return std::chrono::duration<double, std::milli>(longest).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::optional<double> PacedRatio;

// Progress off and on alternate, so a change in the machine's load falls on both.
void BM_PacedImportProgressOnVsOff(benchmark::State& state) {
    const std::vector<std::string> sim{"--records", PacedRecords, "--baud", "115200"};
    std::vector<double> offSeconds;
    std::vector<double> onSeconds;
    std::vector<double> offFromClick;
    std::vector<double> onFromClick;
    double dumpBytes = 0;
    for (auto _ : state) {
        double total = 0;
        for (const bool progress : {false, true}) {
            const TImportRun run = Import(sim, progress, false);
            if (!run.Error.empty()) {
                state.SkipWithError(run.Error.c_str());
                return;
            }
            const double seconds = Seconds(run.EndedAt - run.FirstByteAt);
            (progress ? onSeconds : offSeconds).push_back(seconds);
            (progress ? onFromClick : offFromClick).push_back(Seconds(run.EndedAt - run.ClickedAt));
            dumpBytes = static_cast<double>(run.Bytes);
            total += seconds;
        }
        state.SetIterationTime(total);
    }
    PacedRatio = Median(onSeconds) / Median(offSeconds);
    state.counters["dump_bytes"] = dumpBytes;
    state.counters["off_s"] = Median(offSeconds);
    state.counters["on_s"] = Median(onSeconds);
    state.counters["on_over_off"] = *PacedRatio;
    state.counters["off_from_click_s"] = Median(offFromClick);
    state.counters["on_from_click_s"] = Median(onFromClick);
}
BENCHMARK(BM_PacedImportProgressOnVsOff)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

std::optional<double> LongestGap;

void BM_UnpacedDumpTimerGap(benchmark::State& state) {
    const std::vector<std::string> sim{"--records", LargeRecords};
    std::vector<double> gaps;
    for (auto _ : state) {
        const TImportRun run = Import(sim, true, true);
        if (!run.Error.empty()) {
            state.SkipWithError(run.Error.c_str());
            return;
        }
        gaps.push_back(LongestGapMs(run));
        state.SetIterationTime(Seconds(run.EndedAt - run.ClickedAt));
        state.counters["dump_bytes"] = static_cast<double>(run.Bytes);
        state.counters["receive_s"] = Seconds(run.LastByteAt - run.FirstByteAt);
        state.counters["parse_refill_s"] = Seconds(run.EndedAt - run.LastByteAt);
    }
    LongestGap = *std::max_element(gaps.begin(), gaps.end());
    state.counters["longest_gap_ms"] = *LongestGap;
}
BENCHMARK(BM_UnpacedDumpTimerGap)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    TMeridaxApplication application(argc, argv);
    const TBenchFolders folders;
    application.SetErrorReporter([](const std::string& message) { Errors.push_back(message); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (PacedRatio) {
        std::printf("paced import, progress on / off: %.4f (target <= 1.02): %s\n", *PacedRatio,
                    *PacedRatio <= 1.02 ? "met" : "NOT met");
    }
    if (LongestGap) {
        std::printf(
            "unpaced dump, longest timer gap while bytes arrive: %.1f ms (target <= 50): "
            "%s\n",
            *LongestGap, *LongestGap <= 50 ? "met" : "NOT met");
    }
    return 0;
}

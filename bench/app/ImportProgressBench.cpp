// Imports through the real window and serial component from meridax-meter-sim, offscreen.
// Targets: a paced 100 KB import at 115200 baud with progress shown takes no more than 1.02
// times the same import with progress off; over the whole unpaced import of a million
// records (about 23 MB), from the click until the rows are shown and a moment after, the
// event loop answers a 10 ms timer within 50 ms.
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

#include "app/common/MeridaxApplication.h"
#include "app/main/MeasurementModel.h"
#include "app/main/frmMain.h"
#include "bench/app/BenchFolders.h"
#include "support/MeterSimProcess.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* IdleCaption = "Import from device";
// Records that make a dump of a little over 100 KB, and a million.
const char* const PacedRecords = "4900";
const char* const LargeRecords = "1000000";
constexpr std::size_t LargeRows = 1000000;
constexpr int TickMs = 10;
// The ticks go on this long after the rows are shown: what the end leaves behind counts too.
constexpr std::chrono::milliseconds AfterTheEnd{300};

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
    std::size_t Rows = 0;
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
    if (ended && ticks) {
        const Clock::time_point until = Clock::now() + AfterTheEnd;
        RunUntil([&] { return Clock::now() >= until; }, std::chrono::seconds(10));
    }
    tick.stop();
    run.Rows = static_cast<std::size_t>(window.Model(TTablePage::All).rowCount());
    if (!ended || !Errors.empty() || run.Bytes == 0) {
        run.Error = Errors.empty() ? "the import did not end" : Errors.front();
        return run;
    }
    run.EndedAt = *window.EndedAt;
    return run;
}

// The longest time the loop left the timer unanswered between from and to.
double LongestGapMs(const TImportRun& run, Clock::time_point from, Clock::time_point to) {
    Clock::time_point previous = from;
    Clock::duration longest{};
    for (const Clock::time_point& at : run.Ticks) {
        if (at <= from) {
            continue;
        }
        if (at > to) {
            break;
        }
        longest = std::max(longest, at - previous);
        previous = at;
    }
    longest = std::max(longest, to - previous);
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

void BM_UnpacedMillionRecordsTimerGap(benchmark::State& state) {
    const std::vector<std::string> sim{"--records", LargeRecords};
    std::vector<double> gaps;
    for (auto _ : state) {
        const TImportRun run = Import(sim, true, true);
        if (!run.Error.empty() || run.Rows != LargeRows || run.Ticks.empty()) {
            state.SkipWithError(run.Error.empty() ? "the rows were not all shown"
                                                  : run.Error.c_str());
            return;
        }
        // The whole import: the click, the bytes, the parse, the refill and what follows.
        gaps.push_back(LongestGapMs(run, run.ClickedAt, run.Ticks.back()));
        state.SetIterationTime(Seconds(run.EndedAt - run.ClickedAt));
        state.counters["dump_bytes"] = static_cast<double>(run.Bytes);
        state.counters["receive_s"] = Seconds(run.LastByteAt - run.FirstByteAt);
        state.counters["parse_refill_s"] = Seconds(run.EndedAt - run.LastByteAt);
        state.counters["receive_gap_ms"] = LongestGapMs(run, run.FirstByteAt, run.LastByteAt);
        state.counters["after_last_byte_gap_ms"] =
            LongestGapMs(run, run.LastByteAt, run.Ticks.back());
    }
    LongestGap = *std::max_element(gaps.begin(), gaps.end());
    state.counters["longest_gap_ms"] = *LongestGap;
}
BENCHMARK(BM_UnpacedMillionRecordsTimerGap)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

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
            "unpaced import of a million records, longest timer gap from the click until "
            "after the rows are shown: %.1f ms (target <= 50): %s\n",
            *LongestGap, *LongestGap <= 50 ? "met" : "NOT met");
    }
    return 0;
}

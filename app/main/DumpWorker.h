#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/MeasurementTable.h"
#include "session/DeviceSession.h"
#include "verdict/Budget.h"
#include "verdict/Verdict.h"

// A dump made ready to show: the records, the three pages' tables filled from them, and the
// verdicts when a budget was given. Plain data, made off the window thread.
struct TReadDump {
    std::uint64_t Ticket = 0;
    TDeviceSession::TDumpReading Reading;
    std::array<TMeasurementTable, 3> Tables{TMeasurementTable(TTablePage::All),
                                            TMeasurementTable(TTablePage::Absolute),
                                            TMeasurementTable(TTablePage::Relative)};
    // The budget the verdicts were made by; none: no verdicts.
    std::optional<TBudget> Budget;
    std::shared_ptr<const std::vector<TVerdict>> Verdicts;
    // Each fibre's result counted, with the verdicts: grouping a million records by fibre
    // takes longer than the window thread may be kept.
    TVerdictCounts FibreCounts;
    // Where the records were when they were handed on; the window's check that Merania is
    // this set.
    const TMeranie* RecordsAt = nullptr;
};

// Parses text, fills the tables and judges the records by budget. A rejected dump gives the
// parser's message and no records. The text comes back with the result.
TReadDump ReadDump(std::string text, std::uint64_t ticket, std::optional<TBudget> budget);

// Reads dumps on a thread of its own, one at a time. A dump handed over while another waits
// replaces it (only the newest is ever shown). Done runs on the worker thread and must not
// touch a widget: it hands the result to the window thread.
class TDumpWorker {
public:
    using TDone = std::function<void(TReadDump read)>;

    explicit TDumpWorker(TDone done);
    // Waits for the dump being read; one still waiting is dropped.
    ~TDumpWorker() noexcept;
    TDumpWorker(const TDumpWorker&) = delete;
    TDumpWorker& operator=(const TDumpWorker&) = delete;

    void Read(std::string text, std::uint64_t ticket, std::optional<TBudget> budget);
    // Lets go of what a refill replaced (a million records take a while to free) here rather
    // than on the window thread.
    void Free(std::shared_ptr<void> replaced);

private:
    struct TJob {
        std::string Text;
        std::uint64_t Ticket = 0;
        std::optional<TBudget> Budget;
    };

    void Run();

    TDone done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<TJob> job_;
    std::vector<std::shared_ptr<void>> replaced_;
    bool stopping_ = false;
    // Last, so that it starts after and stops before everything it uses.
    std::thread thread_;
};

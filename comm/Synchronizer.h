#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

// Runs routines handed over by worker threads on the window thread. A worker calls
// Synchronize and blocks until the window thread has run the routine; the window thread
// runs waiting hand-offs in RunPending, which its event loop calls when woken.
class TSynchronizer {
public:
    TSynchronizer() = default;
    TSynchronizer(const TSynchronizer&) = delete;
    TSynchronizer& operator=(const TSynchronizer&) = delete;

    // Called on the worker thread each time a hand-off is queued (the window posts a queued
    // call to RunPending). Set it before any worker starts.
    void SetWakeUp(std::function<void()> wakeUp);

    // Worker thread: runs routine on the window thread and returns when it has run there.
    // An exception thrown by routine is caught on the window thread and passed to the
    // error-report callback; it never reaches the worker. released, if set, runs on the window
    // thread right after the worker was let go, before any error report: there it may wait for
    // that worker's end. It must not throw.
    void Synchronize(std::function<void()> routine, std::function<void()> released = {});

    // Window thread: runs every waiting hand-off; returns how many ran.
    std::size_t RunPending();

    // Window thread: blocks until done() holds, running hand-offs while it waits. Notify wakes
    // the wait to test done() again.
    void WaitUntil(const std::function<bool()>& done);
    void Notify();

    // Window thread: as WaitUntil, but gives up after limit; tells whether done() held.
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    // Window thread: where exceptions of hand-offs go (the window shows a message box, the
    // command-line tool prints). Unset: the message is dropped.
    void SetErrorReport(std::function<void(const std::string&)> report);

private:
    struct THandOff;
    bool WaitLoop(const std::function<bool()>& done,
                  const std::chrono::steady_clock::time_point* deadline);
    void Run(THandOff& handOff);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<THandOff*> pending_;
    std::uint64_t notifications_ = 0;
    std::function<void()> wakeUp_;
    std::function<void(const std::string&)> errorReport_;
};

#include "comm/Synchronizer.h"

#include <exception>
#include <utility>

// Lives on the worker's stack: once done is set, the window thread must not touch it.
struct TSynchronizer::THandOff {
    std::function<void()> routine;
    std::function<void()> released;
    bool done = false;
};

void TSynchronizer::SetWakeUp(std::function<void()> wakeUp) {
    std::lock_guard lock(mutex_);
    wakeUp_ = std::move(wakeUp);
}

void TSynchronizer::SetErrorReport(std::function<void(const std::string&)> report) {
    std::lock_guard lock(mutex_);
    errorReport_ = std::move(report);
}

void TSynchronizer::Synchronize(std::function<void()> routine, std::function<void()> released) {
    THandOff handOff{std::move(routine), std::move(released)};
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(&handOff);
        wakeUp = wakeUp_;
    }
    changed_.notify_all();
    if (wakeUp) {
        wakeUp();
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return handOff.done; });
}

void TSynchronizer::Run(THandOff& handOff) {
    std::string failure;
    bool failed = false;
    try {
        handOff.routine();
    } catch (const std::exception& error) {
        failed = true;
        failure = error.what();
    } catch (...) {
        failed = true;
        failure = "Unknown error";
    }
    const std::function<void()> released = std::move(handOff.released);
    std::function<void(const std::string&)> report;
    {
        std::lock_guard lock(mutex_);
        handOff.done = true;
        report = errorReport_;
    }
    // The worker goes on before the report runs: a report that shows a message box and runs
    // a nested event loop must not hold it.
    changed_.notify_all();
    if (released) {
        released();
    }
    if (failed && report) {
        try {
            report(failure);
        } catch (...) {
            // Nobody is left to tell; the report is dropped.
        }
    }
}

std::size_t TSynchronizer::RunPending() {
    std::size_t count = 0;
    for (;;) {
        THandOff* handOff = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) {
                return count;
            }
            handOff = pending_.front();
            pending_.pop_front();
        }
        Run(*handOff);
        ++count;
    }
}

void TSynchronizer::Notify() {
    {
        std::lock_guard lock(mutex_);
        ++notifications_;
    }
    changed_.notify_all();
}

void TSynchronizer::WaitUntil(const std::function<bool()>& done) {
    WaitLoop(done, nullptr);
}

bool TSynchronizer::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    return WaitLoop(done, &deadline);
}

bool TSynchronizer::WaitLoop(const std::function<bool()>& done,
                             const std::chrono::steady_clock::time_point* deadline) {
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(mutex_);
            seen = notifications_;
        }
        RunPending();
        // done() runs unlocked: it may look at state that hand-offs change.
        if (done()) {
            return true;
        }
        std::unique_lock lock(mutex_);
        // A hand-off or a Notify that came after the snapshot means done() is tested again.
        auto woken = [&] { return !pending_.empty() || notifications_ != seen; };
        if (deadline == nullptr) {
            changed_.wait(lock, woken);
        } else if (!changed_.wait_until(lock, *deadline, woken)) {
            lock.unlock();
            RunPending();
            return done();
        }
    }
}

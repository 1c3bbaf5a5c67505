#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "CommTestSupport.h"
#include "comm/Synchronizer.h"

namespace {

TEST(SynchronizerTest, RoutinesRunOnThePumpingThreadInOrderWhileTheWorkerWaits) {
    TSynchronizer sync;
    std::atomic<int> wakeUps{0};
    sync.SetWakeUp([&] { ++wakeUps; });
    const std::thread::id window = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int step = 0; step < 3; ++step) {
            sync.Synchronize([&, step] {
                EXPECT_EQ(std::this_thread::get_id(), window);
                order.push_back(step);
            });
            // Synchronize returned: the routine has run.
            EXPECT_EQ(order.size(), static_cast<std::size_t>(step + 1));
        }
        finished = true;
        sync.Notify();
    });
    EXPECT_TRUE(PumpUntil(sync, [&] { return finished.load(); }));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(wakeUps.load(), 3);
}

TEST(SynchronizerTest, FailuresGoToTheReportAfterTheWorkerWasReleased) {
    TSynchronizer sync;
    std::mutex mutex;
    std::condition_variable changed;
    bool workerWentOn = false;
    std::vector<std::string> reports;
    sync.SetErrorReport([&](const std::string& text) {
        // A message box would run here; the worker must not wait for it.
        std::unique_lock lock(mutex);
        changed.wait_for(lock, PatientWait, [&] { return workerWentOn; });
        reports.push_back(text + (workerWentOn ? " (worker went on)" : " (worker held)"));
    });
    std::thread worker([&] {
        sync.Synchronize([] { throw std::runtime_error("Cannot open file \"x\"."); });
        {
            std::lock_guard lock(mutex);
            workerWentOn = true;
        }
        changed.notify_all();
        sync.Synchronize([] { throw 42; });
    });
    EXPECT_TRUE(PumpUntil(sync, [&] { return reports.size() == 2; }));
    worker.join();
    EXPECT_EQ(reports, (std::vector<std::string>{"Cannot open file \"x\". (worker went on)",
                                                 "Unknown error (worker went on)"}));
}

// The released step may join the worker (a port closed by its own handler), so it runs once
// the worker was let go, and before a report that may hold the window thread.
TEST(SynchronizerTest, ReleasedStepRunsOnThePumpingThreadAfterTheWorkerWentOn) {
    TSynchronizer sync;
    const std::thread::id window = std::this_thread::get_id();
    std::vector<std::string> steps;
    sync.SetErrorReport([&](const std::string& text) { steps.push_back("report " + text); });
    std::thread worker;
    worker = std::thread([&] {
        sync.Synchronize(
            [&] {
                steps.push_back("routine");
                throw std::runtime_error("failed");
            },
            [&] {
                EXPECT_EQ(std::this_thread::get_id(), window);
                worker.join();
                steps.push_back("joined");
            });
    });
    EXPECT_TRUE(PumpUntil(sync, [&] { return steps.size() == 3; }));
    EXPECT_EQ(steps, (std::vector<std::string>{"routine", "joined", "report failed"}));
    EXPECT_FALSE(worker.joinable());
}

TEST(SynchronizerTest, WaitWithALimitTellsWhetherItWasDone) {
    TSynchronizer sync;
    EXPECT_FALSE(sync.WaitUntil([] { return false; }, std::chrono::milliseconds(10)));
    EXPECT_TRUE(sync.WaitUntil([] { return true; }, std::chrono::milliseconds(0)));
    std::atomic<bool> flag{false};
    std::thread notifier([&] {
        flag = true;
        sync.Notify();
    });
    EXPECT_TRUE(PumpUntil(sync, [&] { return flag.load(); }));
    notifier.join();
    EXPECT_EQ(sync.RunPending(), 0u);
}

}  // namespace

#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "archive/Archive.h"

// One open archive and the one thread that uses it: every open, read and write of the archive
// runs here, in the order posted, so that the window never waits on a file or a server. While
// idle the thread asks the archive's change mark once a second. Results go back through the
// callbacks, which run on this thread and must only post to the window's.
class TJobRunner {
public:
    using TWork = std::function<void(TArchive&)>;
    // Called on the runner's thread with the failure's message and code.
    using TFailure = std::function<void(const std::string& message, std::error_code code)>;

    // Opens location on the new thread; failure reports the open's failure (and every later
    // work then fails with the same), changed is called when the mark moves.
    TJobRunner(std::string location, TFailure failure, std::function<void()> changed,
               std::chrono::milliseconds pollEvery = std::chrono::seconds(1));
    // Finishes the work posted so far and joins the thread.
    ~TJobRunner() noexcept;
    // Asks the thread to end once the work posted so far is done, without waiting for it.
    void Retire();
    // The thread has ended: destroying the runner no longer waits.
    bool Finished() const noexcept { return finished_; }
    TJobRunner(const TJobRunner&) = delete;
    TJobRunner& operator=(const TJobRunner&) = delete;

    // Runs work on the archive; an exception it throws goes to failed (or to the runner's
    // failure callback when failed is empty).
    void Post(TWork work, TFailure failed = {});

    const std::string& Location() const noexcept { return location_; }

private:
    void Run();
    void Open();
    void RunOne(const TWork& work, const TFailure& failed);
    void Poll();

    std::string location_;
    TFailure failure_;
    std::function<void()> changed_;
    std::chrono::milliseconds pollEvery_;
    std::unique_ptr<TArchive> archive_;
    std::string openError_;
    std::error_code openCode_;
    std::int64_t lastMark_ = -1;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<TWork, TFailure>> queue_;
    bool stopping_ = false;
    std::atomic<bool> finished_ = false;
    std::thread thread_;  // last: started once everything it uses exists
};

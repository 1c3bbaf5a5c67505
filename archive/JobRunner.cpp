#include "archive/JobRunner.h"

#include <exception>
#include <utility>

#include "jobs/ArchiveErrors.h"

TJobRunner::TJobRunner(std::string location, TFailure failure, std::function<void()> changed,
                       std::chrono::milliseconds pollEvery)
    : location_(std::move(location)),
      failure_(std::move(failure)),
      changed_(std::move(changed)),
      pollEvery_(pollEvery),
      thread_([this] { Run(); }) {}

TJobRunner::~TJobRunner() noexcept {
    Retire();
    thread_.join();
}

void TJobRunner::Retire() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
}

void TJobRunner::Post(TWork work, TFailure failed) {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(std::move(work), std::move(failed));
    }
    wake_.notify_all();
}

void TJobRunner::Run() {
    Open();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!queue_.empty()) {
            auto [work, failed] = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            RunOne(work, failed);
            lock.lock();
            continue;
        }
        if (stopping_) {
            finished_ = true;
            return;
        }
        if (!wake_.wait_for(lock, pollEvery_, [this] { return stopping_ || !queue_.empty(); })) {
            lock.unlock();
            Poll();
            lock.lock();
        }
    }
}

void TJobRunner::Open() {
    try {
        archive_ = OpenArchive(location_);
        lastMark_ = archive_->ChangeMark();
    } catch (const EArchiveError& e) {
        openError_ = e.what();
        openCode_ = e.code();
    } catch (const std::exception& e) {
        openError_ = e.what();
        openCode_ = make_error_code(TArchiveErrc::DatabaseFailed);
    }
    if (!archive_ && failure_) {
        failure_(openError_, openCode_);
    }
}

void TJobRunner::RunOne(const TWork& work, const TFailure& failed) {
    const TFailure& report = failed ? failed : failure_;
    if (!archive_) {
        if (report) {
            report(openError_, openCode_);
        }
        return;
    }
    try {
        // A change made elsewhere before this work is news; the work's own is not, as whoever
        // posted it hears of its result.
        Poll();
        work(*archive_);
        lastMark_ = archive_->ChangeMark();
    } catch (const EArchiveError& e) {
        if (report) {
            report(e.what(), e.code());
        }
    } catch (const std::exception& e) {
        if (report) {
            report(e.what(), make_error_code(TArchiveErrc::DatabaseFailed));
        }
    }
}

void TJobRunner::Poll() {
    if (!archive_) {
        return;
    }
    try {
        const std::int64_t mark = archive_->ChangeMark();
        if (mark != lastMark_) {
            lastMark_ = mark;
            if (changed_) {
                changed_();
            }
        }
    } catch (const std::exception&) {
        // A server that went away shows in the next command's message; the poll stays quiet
        // rather than repeating it every second.
    }
}

#include "app/main/DumpWorker.h"

#include <exception>
#include <utility>

#include "data/uMeranie.h"

TReadDump ReadDump(std::string text, std::uint64_t ticket, std::optional<TBudget> budget) {
    TReadDump read;
    read.Ticket = ticket;
    TMeraniaArray& records = read.Reading.Records;
    try {
        ParseDeviceDump(text, records, &read.Reading.Damage);
        FillMeasurementTables(records, read.Tables[0], read.Tables[1], read.Tables[2]);
        if (budget) {
            read.Verdicts =
                std::make_shared<const std::vector<TVerdict>>(JudgeRecords(*budget, records));
            read.FibreCounts = CountFibreResults(FibreResults(records, *read.Verdicts));
            read.Budget = std::move(budget);
        }
    } catch (const std::exception& e) {
        read = TReadDump();
        read.Ticket = ticket;
        read.Reading.Error = e.what();
    }
    read.Reading.Text = std::move(text);
    return read;
}

TDumpWorker::TDumpWorker(TDone done) : done_(std::move(done)), thread_([this] { Run(); }) {}

TDumpWorker::~TDumpWorker() noexcept {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void TDumpWorker::Read(std::string text, std::uint64_t ticket, std::optional<TBudget> budget) {
    {
        const std::lock_guard lock(mutex_);
        job_ = TJob{std::move(text), ticket, std::move(budget)};
    }
    wake_.notify_one();
}

void TDumpWorker::Free(std::shared_ptr<void> replaced) {
    {
        const std::lock_guard lock(mutex_);
        replaced_.push_back(std::move(replaced));
    }
    wake_.notify_one();
}

void TDumpWorker::Run() {
    for (;;) {
        std::optional<TJob> job;
        std::vector<std::shared_ptr<void>> replaced;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || job_ || !replaced_.empty(); });
            if (stopping_) {
                return;
            }
            job.swap(job_);
            replaced.swap(replaced_);
        }
        replaced.clear();
        if (job) {
            done_(ReadDump(std::move(job->Text), job->Ticket, std::move(job->Budget)));
        }
    }
}

#include "MemoryArchive.h"

#include <algorithm>
#include <chrono>

#include "archive/ArchiveTime.h"
#include "archive/EventArchive.h"

TMemoryStore::TMemoryStore(std::string origin) : origin_(std::move(origin)) {}

TJobView TMemoryStore::View(const TStoredJob& job) const {
    TJobView view{job.Events, job.Rows, origin_, ""};
    view.Now =
        ArchiveTimeText(std::chrono::system_clock::time_point(std::chrono::seconds(seconds_)));
    return view;
}

std::vector<TJobListing> TMemoryStore::ListJobs() {
    std::vector<TJobListing> jobs;
    for (const auto& [name, job] : jobs_) {
        TJobListing& listing = jobs.emplace_back();
        listing.Name = name;
        listing.Downloads = static_cast<std::int64_t>(job.Rows.size());
        for (const TJobEvent& event : job.Events) {
            if (event.Target == JobTarget)
                listing.JobEvents.push_back(event);
            if (event.Field == EventField::Added)
                listing.LastAddedAt = std::max(listing.LastAddedAt, event.WallTime);
        }
    }
    return jobs;
}

std::optional<TJobView> TMemoryStore::ReadJob(const std::string& name) {
    const auto found = jobs_.find(name);
    if (found == jobs_.end())
        return std::nullopt;
    return View(found->second);
}

std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
TMemoryStore::ReadJobWithReadings(const std::string& name) {
    const auto found = jobs_.find(name);
    if (found == jobs_.end())
        return std::nullopt;
    return std::pair(View(found->second), found->second.Readings);
}

std::vector<TStoredReading> TMemoryStore::ReadRecords(const std::string& name,
                                                      std::int64_t number) {
    const auto found = jobs_.find(name);
    if (found == jobs_.end() || number < 1 ||
        number > static_cast<std::int64_t>(found->second.Readings.size()))
        return {};
    return found->second.Readings[static_cast<std::size_t>(number - 1)];
}

TWriteOutcome TMemoryStore::WriteJob(const std::string& name, TJobPresence presence,
                                     const std::function<TJobWrite(const TJobView&)>& decide) {
    const bool exists = jobs_.count(name) != 0;
    if (exists && presence == TJobPresence::MustBeNew)
        throw EArchiveError(TArchiveErrc::JobExists, "job '" + name + "' exists");
    if (!exists && presence == TJobPresence::MustExist)
        throw EArchiveError(TArchiveErrc::NoSuchJob, "no job '" + name + "' in memory");
    TStoredJob job = exists ? jobs_[name] : TStoredJob{};
    const TJobWrite write = decide(View(job));
    TWriteOutcome outcome;
    for (const TJobEvent& event : write.Events) {
        const bool known = std::any_of(job.Events.begin(), job.Events.end(),
                                       [&](const TJobEvent& e) { return e.Id == event.Id; });
        if (!known) {
            job.Events.push_back(event);
            ++outcome.EventsAdded;
        }
    }
    if (write.Records) {
        for (const TDownloadRow& row : job.Rows) {
            if (row.RecordsSha256 == write.Records->RecordsSha256)
                outcome.Number = row.Number;
        }
        if (outcome.Number == 0) {
            outcome.Number = static_cast<std::int64_t>(job.Rows.size()) + 1;
            job.Rows.push_back({outcome.Number, write.Records->RecordsSha256,
                                write.Records->TextSha256,
                                static_cast<std::int64_t>(write.Records->Readings->size())});
            job.Readings.push_back(*write.Records->Readings);
            outcome.RecordsAdded = true;
        }
    }
    jobs_[name] = std::move(job);
    if (!exists || outcome.RecordsAdded || outcome.EventsAdded > 0)
        ++changes_;
    seconds_ += 60;
    return outcome;
}

std::unique_ptr<TArchive> MakeMemoryArchive(std::string origin) {
    return std::make_unique<TEventArchive>(std::make_unique<TMemoryStore>(std::move(origin)));
}

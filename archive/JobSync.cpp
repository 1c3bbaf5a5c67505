#include "archive/JobSync.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

struct TSide {
    TArchive& Archive;
    bool HasJob = false;
    std::vector<TJobEvent> Events;
    std::vector<TDownloadRow> Rows;
};

void Read(TSide& side, const std::string& jobName) {
    side.HasJob = side.Archive.FindJob(jobName).has_value();
    if (side.HasJob) {
        side.Events = side.Archive.Events(jobName);
        side.Rows = side.Archive.DownloadRows(jobName);
    }
}

bool IsOfDownload(const TJobEvent& event, const std::string& hash) {
    return event.Target == DownloadTarget(hash);
}

// The downloads of from that to lacks, each with its events; then every other event to lacks.
TSyncSide Copy(TSide& from, TSide& to, const std::string& jobName, std::int64_t& done,
               std::int64_t total, const TSyncProgress& progress,
               std::vector<TJobEvent>& farAhead) {
    TSyncSide side;
    std::set<std::string> known;
    for (const TJobEvent& event : to.Events)
        known.insert(event.Id);
    const auto merge = [&](const std::vector<TJobEvent>& events, const TDownload* records) {
        const TMergeOutcome outcome = to.Archive.Merge(jobName, events, records);
        side.JobMade = side.JobMade || outcome.JobMade;
        side.Events += outcome.EventsAdded;
        side.Downloads += outcome.RecordsAdded ? 1 : 0;
        farAhead.insert(farAhead.end(), outcome.FarAhead.begin(), outcome.FarAhead.end());
        for (const TJobEvent& event : events)
            known.insert(event.Id);
    };
    for (const TDownloadRow& row : from.Rows) {
        const bool present = std::any_of(to.Rows.begin(), to.Rows.end(), [&](const auto& other) {
            return other.RecordsSha256 == row.RecordsSha256;
        });
        if (present)
            continue;
        TDownload records;
        records.RecordsSha256 = row.RecordsSha256;
        records.Sha256 = row.TextSha256;
        records.Readings = from.Archive.Records(jobName, row.RecordsSha256);
        std::vector<TJobEvent> events;
        for (const TJobEvent& event : from.Events) {
            if (IsOfDownload(event, row.RecordsSha256) && known.count(event.Id) == 0)
                events.push_back(event);
        }
        merge(events, &records);
        if (progress)
            progress(++done, total);
    }
    std::vector<TJobEvent> rest;
    for (const TJobEvent& event : from.Events) {
        if (known.count(event.Id) == 0)
            rest.push_back(event);
    }
    if (!rest.empty() || (!to.HasJob && from.HasJob && side.Downloads == 0))
        merge(rest, nullptr);
    return side;
}

std::int64_t Missing(const TSide& from, const TSide& to) {
    std::set<std::string> there;
    for (const TDownloadRow& row : to.Rows)
        there.insert(row.RecordsSha256);
    return std::count_if(from.Rows.begin(), from.Rows.end(), [&](const TDownloadRow& row) {
        return there.count(row.RecordsSha256) == 0;
    });
}

// Whether two locations name one archive: the same database, or the same file by any path.
bool SameArchive(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code failed;
    const auto fileA = std::filesystem::weakly_canonical(a, failed);
    const auto fileB = std::filesystem::weakly_canonical(b, failed);
    return !failed && fileA == fileB;
}

}  // namespace

TSyncOutcome SyncJob(TArchive& here, TArchive& there, const std::string& jobName,
                     const TSyncProgress& progress) {
    if (SameArchive(here.Location(), there.Location())) {
        throw EArchiveError(TArchiveErrc::BadInput,
                            "a job is synced between two archives, not with the same one (" +
                                here.Location() + ")");
    }
    TSide first{here, false, {}, {}};
    TSide second{there, false, {}, {}};
    Read(first, jobName);
    Read(second, jobName);
    if (!first.HasJob && !second.HasJob) {
        throw EArchiveError(
            TArchiveErrc::NoSuchJob,
            "there is no job " + jobName + " in " + here.Location() + " or " + there.Location());
    }
    if (here.IsReadOnly() && there.IsReadOnly()) {
        throw EArchiveError(TArchiveErrc::ReadOnly,
                            "neither " + here.Location() + " nor " + there.Location() +
                                " may be changed by this user: nothing to sync into");
    }
    TSyncOutcome outcome;
    outcome.OneWay = here.IsReadOnly() || there.IsReadOnly();
    std::int64_t total = (here.IsReadOnly() ? 0 : Missing(second, first)) +
                         (there.IsReadOnly() ? 0 : Missing(first, second));
    std::int64_t done = 0;
    if (!here.IsReadOnly() && second.HasJob)
        outcome.Here = Copy(second, first, jobName, done, total, progress, outcome.FarAhead);
    if (!there.IsReadOnly() && first.HasJob) {
        Read(first, jobName);
        outcome.There = Copy(first, second, jobName, done, total, progress, outcome.FarAhead);
    }
    return outcome;
}

#include "archive/JobSnapshot.h"

#include "jobs/ArchiveErrors.h"

TJobSnapshot ReadJobSnapshot(TArchive& archive, const std::string& jobName) {
    TJobSnapshot snapshot;
    snapshot.Location = archive.Location();
    snapshot.ReadOnly = archive.IsReadOnly();
    std::optional<TJob> job = archive.FindJob(jobName);
    if (!job) {
        throw EArchiveError(make_error_code(TArchiveErrc::NoSuchJob),
                            "No job " + jobName + " in " + snapshot.Location);
    }
    snapshot.Job = std::move(*job);
    std::vector<TDownload> downloads = archive.Downloads(jobName);
    try {
        snapshot.Results = ComputeJobResults(snapshot.Job, downloads);
    } catch (const std::exception& e) {
        snapshot.BudgetError = e.what();
    }
    snapshot.Downloads.reserve(downloads.size());
    for (TDownload& download : downloads) {
        download.Readings.clear();
        download.Readings.shrink_to_fit();
        snapshot.Downloads.push_back(std::move(download));
    }
    return snapshot;
}

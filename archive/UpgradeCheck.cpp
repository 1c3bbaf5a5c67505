#include "archive/UpgradeCheck.h"

#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"

namespace {

void Compare(std::vector<std::string>& differences, const std::string& what, const std::string& was,
             const std::string& now) {
    if (was != now)
        differences.push_back(what + " " + now + ", not " + was);
}

const TDownloadState* FindState(const TJobState& state, const std::string& hash) {
    for (const TDownloadState& download : state.Downloads) {
        if (download.Hash == hash)
            return &download;
    }
    return nullptr;
}

void CompareDownload(std::vector<std::string>& differences, const TDownload& was,
                     const TDownloadState& now) {
    const std::string name = "download " + std::to_string(was.Number) + ": ";
    Compare(differences, name + "meter", was.Meter, now.Meter);
    Compare(differences, name + "source", was.Source, now.Source);
    Compare(differences, name + "date", was.TestDate, now.TestDate);
    Compare(differences, name + "direction", DirectionName(was.Direction),
            DirectionName(now.Direction));
    Compare(differences, name + "operator", was.Operator, now.Operator);
    Compare(differences, name + "added", was.AddedAt, now.AddedAt);
    Compare(differences, name + "void", was.Void ? "yes" : "no", now.Void ? "yes" : "no");
    Compare(differences, name + "void reason", was.VoidReason, now.VoidReason);
}

}  // namespace

std::vector<std::string> UpgradeDifferences(const TJob& job,
                                            const std::vector<TDownload>& downloads,
                                            const TJobState& state) {
    std::vector<std::string> differences;
    const TJob& now = state.Job;
    Compare(differences, "customer", job.Customer, now.Customer);
    Compare(differences, "site", job.Site, now.Site);
    Compare(differences, "contractor", job.Contractor, now.Contractor);
    Compare(differences, "notes", job.Notes, now.Notes);
    Compare(differences, "created", job.CreatedAt, now.CreatedAt);
    if (job.Logo != now.Logo || job.LogoType != now.LogoType)
        differences.emplace_back("logo");
    if (job.Budgets != now.Budgets)
        differences.emplace_back("budgets");
    if (job.ExpectedFibres != now.ExpectedFibres)
        differences.emplace_back("expected fibres");
    if (state.Downloads.size() != downloads.size())
        differences.push_back(std::to_string(state.Downloads.size()) + " downloads, not " +
                              std::to_string(downloads.size()));
    for (const TDownload& download : downloads) {
        const TDownloadState* found = FindState(state, RecordsSha256(OwnDirections(download)));
        if (found == nullptr)
            differences.push_back("download " + std::to_string(download.Number) + " missing");
        else
            CompareDownload(differences, download, *found);
    }
    if (!state.Conflicts.empty())
        differences.emplace_back("conflicts");
    return differences;
}

std::string UpgradeRefusal(const std::string& location, const std::string& jobName,
                           const std::vector<std::string>& differences) {
    constexpr std::size_t Named = 5;
    std::string named;
    for (std::size_t index = 0; index < differences.size() && index < Named; ++index)
        named += (index == 0 ? "" : "; ") + differences[index];
    if (differences.size() > Named)
        named += "; ...";
    return "the upgrade of the archive " + location + " was undone, nothing changed: job " +
           jobName + " would read differently (" + named + ")";
}

#include "archive/ArchiveLimits.h"

#include "jobs/JobLimits.h"

namespace {
void RequireWithin(const std::optional<TLimitBreach>& breach) {
    if (breach) {
        throw EArchiveError(TArchiveErrc::BadInput, breach->Field + ": " + breach->Problem);
    }
}
}  // namespace

void RequireJobLimits(const TJob& job) {
    RequireWithin(JobLimitBreach(job));
}

void RequireChangeLimits(const TJobChanges& changes) {
    const std::pair<const char*, const std::optional<std::string>*> texts[] = {
        {"customer", &changes.Customer},
        {"site", &changes.Site},
        {"contractor", &changes.Contractor},
        {"notes", &changes.Notes},
        {"budget", &changes.BudgetJson}};
    for (const auto& [field, text] : texts) {
        if (text->has_value()) {
            RequireWithin(TextBreach(field, **text));
        }
    }
    for (const auto& [cable, count] : changes.ExpectedFibres) {
        RequireWithin(ExpectedFibresBreach(cable, count));
    }
}

void RequireDownloadLimits(const TDownload& download) {
    RequireWithin(DownloadLimitBreach(download));
}

void RequireVoidReasonLimits(const std::string& reason) {
    RequireWithin(TextBreach("void_reason", reason));
}

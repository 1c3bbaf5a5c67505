#include "MemoryArchive.h"

#include <cstdio>

std::string TMemoryArchive::Now() {
    char text[40];
    ++clock_;
    std::snprintf(text, sizeof text, "2030-01-01T00:%02d:%02d.000000Z", clock_ / 60 % 60,
                  clock_ % 60);
    return text;
}

TMemoryArchive::TStoredJob& TMemoryArchive::Stored(const std::string& name) {
    const auto found = jobs_.find(name);
    if (found == jobs_.end()) {
        throw EArchiveError(TArchiveErrc::NoSuchJob, "no job '" + name + "' in memory");
    }
    return found->second;
}

std::vector<TJobEntry> TMemoryArchive::ListJobs() {
    std::vector<TJobEntry> entries;
    for (const auto& [name, stored] : jobs_) {
        TJobEntry entry{name,
                        stored.Job.Customer,
                        stored.Job.Site,
                        stored.Job.CreatedAt,
                        static_cast<std::int64_t>(stored.Downloads.size()),
                        ""};
        if (!stored.Downloads.empty()) {
            entry.LastAddedAt = stored.Downloads.back().AddedAt;
        }
        entries.push_back(entry);
    }
    return entries;
}

void TMemoryArchive::CreateJob(const TJob& job) {
    if (jobs_.count(job.Name) != 0) {
        throw EArchiveError(TArchiveErrc::JobExists, "job '" + job.Name + "' exists");
    }
    TStoredJob stored{job, {}};
    if (stored.Job.CreatedAt.empty()) {
        stored.Job.CreatedAt = Now();
    }
    for (TJobBudget& budget : stored.Job.Budgets) {
        if (budget.SetAt.empty()) {
            budget.SetAt = Now();
        }
    }
    jobs_.emplace(job.Name, stored);
    ++changes_;
}

std::optional<TJob> TMemoryArchive::FindJob(const std::string& name) {
    const auto found = jobs_.find(name);
    if (found == jobs_.end()) {
        return std::nullopt;
    }
    return found->second.Job;
}

void TMemoryArchive::ChangeJob(const std::string& name, const TJobChanges& changes) {
    TJob& job = Stored(name).Job;
    const std::pair<const std::optional<std::string>*, std::string*> texts[] = {
        {&changes.Customer, &job.Customer},
        {&changes.Site, &job.Site},
        {&changes.Contractor, &job.Contractor},
        {&changes.Notes, &job.Notes},
        {&changes.Logo, &job.Logo},
        {&changes.LogoType, &job.LogoType}};
    for (const auto& [given, field] : texts) {
        if (*given) {
            *field = **given;
        }
    }
    if (changes.BudgetJson) {
        job.Budgets.push_back({*changes.BudgetJson, changes.BudgetSetAt.value_or(Now())});
    }
    for (const auto& [cable, count] : changes.ExpectedFibres) {
        if (count == 0) {
            job.ExpectedFibres.erase(cable);
        } else {
            job.ExpectedFibres[cable] = count;
        }
    }
    ++changes_;
}

TAddOutcome TMemoryArchive::AddDownload(const std::string& jobName, const TDownload& download) {
    std::vector<TDownload>& downloads = Stored(jobName).Downloads;
    for (const TDownload& held : downloads) {
        if (held.Sha256 == download.Sha256) {
            return {false, held.Number};
        }
    }
    TDownload added = download;
    added.Number = static_cast<std::int64_t>(downloads.size()) + 1;
    added.Void = false;
    added.VoidReason.clear();
    if (added.AddedAt.empty()) {
        added.AddedAt = Now();
    }
    downloads.push_back(added);
    ++changes_;
    return {true, added.Number};
}

std::vector<TDownload> TMemoryArchive::Downloads(const std::string& jobName) {
    return Stored(jobName).Downloads;
}

void TMemoryArchive::SetVoid(const std::string& jobName, std::int64_t number, bool isVoid,
                             const std::string& reason) {
    for (TDownload& download : Stored(jobName).Downloads) {
        if (download.Number == number) {
            download.Void = isVoid;
            download.VoidReason = reason;
            ++changes_;
            return;
        }
    }
    throw EArchiveError(TArchiveErrc::NoSuchDownload, "no download " + std::to_string(number));
}

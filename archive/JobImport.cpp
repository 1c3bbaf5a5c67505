#include "archive/JobImport.h"

#include <algorithm>

namespace {
// The identity fields of the archive's job that differ from the document's, by their names in
// the document.
std::vector<std::string> DifferingFields(const TJob& stored, const TJob& imported) {
    std::vector<std::string> fields;
    const auto compare = [&](const char* name, bool same) {
        if (!same) {
            fields.emplace_back(name);
        }
    };
    compare("customer", stored.Customer == imported.Customer);
    compare("site", stored.Site == imported.Site);
    compare("contractor", stored.Contractor == imported.Contractor);
    compare("notes", stored.Notes == imported.Notes);
    compare("logo", stored.Logo == imported.Logo && stored.LogoType == imported.LogoType);
    compare("expected_fibres", stored.ExpectedFibres == imported.ExpectedFibres);
    return fields;
}

std::string JoinFields(const std::vector<std::string>& fields) {
    std::string joined;
    for (const std::string& field : fields) {
        joined += (joined.empty() ? "" : ", ") + field;
    }
    return joined;
}

// The changes that make the stored job's identity the document's.
TJobChanges IdentityChanges(const TJob& stored, const TJob& imported) {
    TJobChanges changes;
    changes.Customer = imported.Customer;
    changes.Site = imported.Site;
    changes.Contractor = imported.Contractor;
    changes.Notes = imported.Notes;
    changes.Logo = imported.Logo;
    changes.LogoType = imported.LogoType;
    changes.ExpectedFibres = imported.ExpectedFibres;
    for (const auto& [cable, count] : stored.ExpectedFibres) {
        changes.ExpectedFibres.emplace(cable, 0);  // 0 removes a cable the document lacks
    }
    return changes;
}

// The newest budget (by the time it was set) is the one in force, and the last is the one the
// archive puts in force. A budget merged in that is older than the job's newest would come
// last: the newest is then set once more, with its own time, so that it stays in force.
void KeepNewestInForce(TArchive& archive, const std::string& jobName) {
    const std::vector<TJobBudget> budgets = archive.FindJob(jobName).value_or(TJob{}).Budgets;
    if (budgets.empty()) {
        return;
    }
    const auto newest = std::max_element(
        budgets.begin(), budgets.end(),
        [](const TJobBudget& a, const TJobBudget& b) { return a.SetAt < b.SetAt; });
    if (newest->SetAt > budgets.back().SetAt) {
        TJobChanges changes;
        changes.BudgetJson = newest->Json;
        changes.BudgetSetAt = newest->SetAt;
        archive.ChangeJob(jobName, changes);
    }
}

// Budgets are the same when set at the same time with the same text. Those the job lacks are
// added oldest first.
std::int64_t AddMissingBudgets(TArchive& archive, const TJob& stored, const TJob& imported) {
    std::vector<TJobBudget> missing;
    for (const TJobBudget& budget : imported.Budgets) {
        if (std::find(stored.Budgets.begin(), stored.Budgets.end(), budget) ==
            stored.Budgets.end()) {
            missing.push_back(budget);
        }
    }
    std::stable_sort(missing.begin(), missing.end(),
                     [](const TJobBudget& a, const TJobBudget& b) { return a.SetAt < b.SetAt; });
    for (const TJobBudget& budget : missing) {
        TJobChanges changes;
        changes.BudgetJson = budget.Json;
        changes.BudgetSetAt = budget.SetAt;
        archive.ChangeJob(imported.Name, changes);
    }
    if (!missing.empty()) {
        KeepNewestInForce(archive, imported.Name);
    }
    return static_cast<std::int64_t>(missing.size());
}

void AddDownloads(TArchive& archive, const TJobDocument& document, TImportOutcome& outcome) {
    for (const TDownload& download : document.Downloads) {
        const TAddOutcome added = archive.AddDownload(document.Job.Name, download);
        if (!added.Added) {
            ++outcome.DownloadsPresent;
            continue;
        }
        ++outcome.DownloadsAdded;
        if (download.Void) {
            archive.SetVoid(document.Job.Name, added.Number, true, download.VoidReason);
        }
    }
}
}  // namespace

std::string ExportJob(TArchive& archive, const std::string& jobName) {
    const std::optional<TJob> job = archive.FindJob(jobName);
    if (!job) {
        throw EArchiveError(TArchiveErrc::NoSuchJob,
                            "there is no job " + jobName + " in the archive " + archive.Location());
    }
    return JobDocumentText(*job, archive.Downloads(jobName));
}

TImportOutcome ImportJob(TArchive& archive, const TJobDocument& document, bool replace) {
    TImportOutcome outcome;
    const TJob& imported = document.Job;
    const std::optional<TJob> stored = archive.FindJob(imported.Name);
    if (!stored) {
        archive.CreateJob(imported);
        outcome.Created = true;
        outcome.BudgetsAdded = static_cast<std::int64_t>(imported.Budgets.size());
    } else {
        const std::vector<std::string> differing = DifferingFields(*stored, imported);
        if (!differing.empty() && !replace) {
            throw EArchiveError(TArchiveErrc::IdentityDiffers,
                                "job " + imported.Name + " in the archive " + archive.Location() +
                                    " differs from the document in: " + JoinFields(differing));
        }
        if (!differing.empty()) {
            archive.ChangeJob(imported.Name, IdentityChanges(*stored, imported));
            outcome.Replaced = true;
        }
        outcome.BudgetsAdded = AddMissingBudgets(archive, *stored, imported);
    }
    AddDownloads(archive, document, outcome);
    return outcome;
}

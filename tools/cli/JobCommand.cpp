#include <iostream>

#include "data/ControlText.h"
#include "sys/TextFile.h"
#include "tools/cli/BudgetFile.h"
#include "tools/cli/Commands.h"
#include "tools/cli/ConvertOptions.h"
#include "tools/cli/JobCommands.h"
#include "tools/cli/OutputFile.h"
#include "tools/cli/TextColumns.h"

namespace {

// The budget file's own text, once it is known to be a budget: the job keeps it as written.
std::string BudgetText(const std::string& path) {
    ReadCommandLineBudget(path);
    return ReadWholeFile(path);
}

// What new and set change: the texts given, the budget's and the logo's bytes.
TJobChanges IdentityChanges(const TJobOptions& options) {
    TJobChanges changes;
    changes.Customer = options.Customer;
    changes.Site = options.Site;
    changes.Contractor = options.Contractor;
    changes.Notes = options.Notes;
    if (options.BudgetFile)
        changes.BudgetJson = BudgetText(*options.BudgetFile);
    if (options.LogoFile) {
        const std::string& path = *options.LogoFile;
        changes.Logo = path.empty() ? std::string() : ReadWholeFile(path);
        changes.LogoType = path.empty() ? "" : HasExtension(path, ".svg") ? "svg" : "png";
    }
    for (std::size_t at = 0; at < options.Cables.size(); ++at)
        changes.ExpectedFibres[options.Cables[at]] = options.Fibers[at];
    return changes;
}

// A name as a message shows it: in quotes, its control characters escaped.
std::string Quoted(const std::string& name) {
    return "\"" + EscapeControls(name) + "\"";
}

}  // namespace

TJob RequireJob(TArchive& archive, const std::string& name) {
    std::optional<TJob> job = archive.FindJob(name);
    if (!job) {
        throw EArchiveError(TArchiveErrc::NoSuchJob,
                            "no job " + Quoted(name) + " in " + archive.Location());
    }
    return std::move(*job);
}

int RunJobNew(const TJobOptions& options, TArchive& archive) {
    const TJobChanges changes = IdentityChanges(options);
    TJob job;
    job.Name = options.Name;
    job.Customer = changes.Customer.value_or("");
    job.Site = changes.Site.value_or("");
    job.Contractor = changes.Contractor.value_or("");
    job.Notes = changes.Notes.value_or("");
    if (changes.BudgetJson)
        job.Budgets.push_back(TJobBudget{*changes.BudgetJson, ""});
    job.Logo = changes.Logo.value_or("");
    job.LogoType = changes.LogoType.value_or("");
    archive.CreateJob(job);
    std::cout << "made job " << Quoted(job.Name) << " in " << archive.Location() << '\n';
    return 0;
}

int RunJobSet(const TJobOptions& options, TArchive& archive) {
    archive.ChangeJob(options.Name, IdentityChanges(options));
    std::cout << "changed job " << Quoted(options.Name) << '\n';
    return 0;
}

int RunJobList(TArchive& archive) {
    const std::vector<TJobEntry> jobs = archive.ListJobs();
    if (jobs.empty()) {
        std::cout << "no jobs in " << archive.Location() << '\n';
        return 0;
    }
    std::vector<std::vector<std::string>> lines{
        {"Name", "Customer", "Site", "Downloads", "Created", "Last added"}};
    for (const TJobEntry& entry : jobs) {
        lines.push_back({entry.Name, entry.Customer, entry.Site, std::to_string(entry.Downloads),
                         entry.CreatedAt, entry.LastAddedAt});
    }
    WriteStandardOutput(AlignedColumns(lines, {false, false, false, true, false, false}));
    return 0;
}

// "download 3 (3f2a9c1e)": the name given and the hash every archive knows it by.
std::string DownloadNamed(TArchive& archive, const TJobOptions& options) {
    const std::string hash = archive.FindDownload(options.Name, options.Download);
    return "download " + options.Download +
           (hash.starts_with(options.Download) ? "" : " (" + hash.substr(0, 8) + ")");
}

int RunJobVoid(const TJobOptions& options, TArchive& archive) {
    const bool isVoid = options.Action == TJobAction::Void;
    archive.SetVoid(options.Name, options.Download, isVoid, isVoid ? options.Reason : "");
    std::cout << DownloadNamed(archive, options) << " of job " << Quoted(options.Name)
              << (isVoid ? " is void: " + EscapeControls(options.Reason)
                         : std::string(" counts again"))
              << '\n';
    return 0;
}

int RunJobFix(const TJobOptions& options, TArchive& archive) {
    archive.FixDownload(options.Name, options.Download, options.Fix);
    std::string fixed;
    if (options.Fix.Direction) {
        const char* direction = DirectionName(*options.Fix.Direction);
        fixed += std::string("direction ") + (*direction == '\0' ? "none" : direction);
    }
    if (options.Fix.TestDate)
        fixed += (fixed.empty() ? "" : ", ") + std::string("date ") + *options.Fix.TestDate;
    if (options.Fix.Operator)
        fixed += (fixed.empty() ? "" : ", ") + std::string("operator ") +
                 EscapeControls(*options.Fix.Operator);
    std::cout << DownloadNamed(archive, options) << " of job " << Quoted(options.Name) << ": "
              << fixed << '\n';
    return 0;
}

int RunJob(const TJobOptions& options) {
    // Only a new job or an imported one makes a missing archive file.
    const bool makes = options.Action == TJobAction::New || options.Action == TJobAction::Import ||
                       options.Action == TJobAction::Sync;
    std::unique_ptr<TArchive> archive;
    const auto open = [&] {
        archive = OpenArchive(ArchiveLocation(options.Archive),
                              makes ? TArchiveCreation::MayCreate : TArchiveCreation::MustExist);
    };
    if (options.Action == TJobAction::Add)
        AddOrTell(open);
    else
        open();
    if (const std::string notice = archive->OpenNotice(); !notice.empty())
        std::cerr << "meridax-cli: " << notice << '\n';
    switch (options.Action) {
        case TJobAction::New:
            return RunJobNew(options, *archive);
        case TJobAction::Add:
            return RunJobAdd(options, *archive);
        case TJobAction::List:
            return RunJobList(*archive);
        case TJobAction::Show:
            return RunJobShow(options, *archive);
        case TJobAction::Set:
            return RunJobSet(options, *archive);
        case TJobAction::Void:
        case TJobAction::Unvoid:
            return RunJobVoid(options, *archive);
        case TJobAction::Fix:
            return RunJobFix(options, *archive);
        case TJobAction::Sync:
            return RunJobSync(options, *archive);
        case TJobAction::Report:
            return RunJobReport(options, *archive);
        case TJobAction::Export:
            return RunJobExport(options, *archive);
        case TJobAction::Import:
            return RunJobImport(options, *archive);
    }
    return 2;
}

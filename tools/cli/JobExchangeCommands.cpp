#include <unistd.h>

#include <iostream>

#include "archive/JobImport.h"
#include "archive/JobSync.h"
#include "data/ControlText.h"
#include "data/CountText.h"
#include "jobs/JobDocument.h"
#include "sys/TextFile.h"
#include "tools/cli/JobCommands.h"
#include "tools/cli/OutputFile.h"
#include "tools/cli/StopSignalWatch.h"

int RunJobExport(const TJobOptions& options, TArchive& archive) {
    const TJob job = RequireJob(archive, options.Name);
    const std::string text = ExportJob(archive, job.Name);
    const TStopSignalWatch stopSignals("meridax-cli job export: interrupted\n");
    if (options.Output == "-")
        WriteStandardOutput(text);
    else
        WriteWholeFile(options.Output, text);
    return 0;
}

int RunJobImport(const TJobOptions& options, TArchive& archive) {
    const bool standardInput = options.Document == "-";
    const std::string text = standardInput ? ReadStandardInput() : ReadWholeFile(options.Document);
    const TJobDocument document =
        ReadJobDocument(text, standardInput ? "standard input" : options.Document);
    const TImportOutcome outcome = ImportJob(archive, document);
    std::cout << "job " << EscapeControls(document.Job.Name) << ": "
              << (outcome.Created ? "made, " : "")
              << Counted(static_cast<std::size_t>(outcome.DownloadsAdded), "download", "downloads")
              << " added, " << GroupedCount(static_cast<std::size_t>(outcome.DownloadsPresent))
              << " already there, "
              << Counted(static_cast<std::size_t>(outcome.EventsAdded), "decision", "decisions")
              << " taken in\n";
    if (const std::string warning = FarAheadWarning(outcome.FarAhead); !warning.empty())
        std::cerr << "meridax-cli: " << EscapeControls(warning) << '\n';
    return 0;
}

namespace {

std::string SideText(const TSyncSide& side) {
    return (side.JobMade ? "job made, " : std::string()) +
           Counted(static_cast<std::size_t>(side.Downloads), "download", "downloads") + ", " +
           Counted(static_cast<std::size_t>(side.Events), "decision", "decisions");
}

}  // namespace

int RunJobSync(const TJobOptions& options, TArchive& archive) {
    const std::unique_ptr<TArchive> other =
        OpenArchive(ArchiveLocation(options.With), TArchiveCreation::MayCreate);
    const TStopSignalWatch stopSignals(
        "meridax-cli job sync: interrupted; what was synced is kept, run it again to go on\n");
    // Progress on a terminal only: a log gets the outcome alone.
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const TSyncOutcome outcome =
        SyncJob(archive, *other, options.Name, [terminal](std::int64_t done, std::int64_t of) {
            if (!terminal)
                return;
            std::cerr << "\rdownloads: " << done << " of " << of << std::flush;
            if (done == of)
                std::cerr << '\n';
        });
    std::cout << "job " << EscapeControls(options.Name) << ": into " << archive.Location() << ": "
              << SideText(outcome.Here) << "; into " << other->Location() << ": "
              << SideText(outcome.There) << '\n';
    if (outcome.OneWay)
        std::cout << "one way only: " << (archive.IsReadOnly() ? archive : *other).Location()
                  << " may only be read by this user\n";
    if (const std::string warning = FarAheadWarning(outcome.FarAhead); !warning.empty())
        std::cerr << "meridax-cli: " << EscapeControls(warning) << '\n';
    return 0;
}

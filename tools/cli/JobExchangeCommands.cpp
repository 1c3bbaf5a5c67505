#include <iostream>

#include "archive/JobImport.h"
#include "data/ControlText.h"
#include "data/CountText.h"
#include "jobs/JobDocument.h"
#include "sys/TextFile.h"
#include "tools/cli/JobCommands.h"
#include "tools/cli/OutputFile.h"
#include "tools/cli/StopSignalWatch.h"

int RunJobExport(const TJobOptions& options, TArchive& archive) {
    const TJob job = RequireJob(archive, options.Name);
    const std::string text = JobDocumentText(job, archive.Downloads(job.Name));
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
    const TImportOutcome outcome = ImportJob(archive, document, options.Replace);
    std::cout << "job " << EscapeControls(document.Job.Name) << ": "
              << (outcome.Created    ? "made, "
                  : outcome.Replaced ? "identity replaced, "
                                     : "")
              << Counted(static_cast<std::size_t>(outcome.DownloadsAdded), "download", "downloads")
              << " added, " << GroupedCount(static_cast<std::size_t>(outcome.DownloadsPresent))
              << " already there\n";
    return 0;
}

#include <iostream>

#include "archive/JobImport.h"
#include "jobs/JobDocument.h"
#include "sys/TextFile.h"
#include "tools/cli/JobCommands.h"
#include "tools/cli/OutputFile.h"
#include "tools/cli/StopSignalWatch.h"

namespace {

std::string Plural(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace

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
    std::cout << "job " << document.Job.Name << ": "
              << (outcome.Created    ? "made, "
                  : outcome.Replaced ? "identity replaced, "
                                     : "")
              << Plural(outcome.DownloadsAdded, "download", "downloads") << " added, "
              << outcome.DownloadsPresent << " already there\n";
    return 0;
}

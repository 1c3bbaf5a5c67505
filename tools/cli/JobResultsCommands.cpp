#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/ControlText.h"
#include "export/CsvExport.h"
#include "export/ExportFields.h"
#include "export/XlsxExport.h"
#include "jobs/JobResults.h"
#include "report/JobReport.h"
#include "report/OffscreenGui.h"
#include "tools/cli/Commands.h"
#include "tools/cli/JobCommands.h"
#include "tools/cli/JobReport.h"
#include "tools/cli/OutputFile.h"
#include "tools/cli/StopSignalWatch.h"
#include "tools/cli/TextColumns.h"
#include "verdict/Budget.h"

#include "MeridaxVersion.h"

namespace {

std::string IdentityText(const TJob& job) {
    std::string text = "job " + EscapeControls(job.Name) + '\n';
    const std::pair<const char*, const std::string*> fields[] = {{"customer", &job.Customer},
                                                                 {"site", &job.Site},
                                                                 {"contractor", &job.Contractor},
                                                                 {"notes", &job.Notes}};
    for (const auto& [name, value] : fields) {
        if (!value->empty())
            text += std::string(name) + ": " + EscapeControls(*value) + '\n';
    }
    text += "created: " + job.CreatedAt + '\n';
    if (job.Budgets.empty()) {
        text += "budget: none\n";
    } else {
        const std::string name = ParseBudget(job.Budgets.back().Json, "the job's budget").Name;
        text += "budget: " + (name.empty() ? std::string("unnamed") : EscapeControls(name)) + '\n' +
                "budget set: " + job.Budgets.back().SetAt + " (" +
                std::to_string(job.Budgets.size() - 1) + " earlier)\n";
    }
    if (!job.Logo.empty())
        text += "logo: " + EscapeControls(job.LogoType) + ", " + std::to_string(job.Logo.size()) +
                " bytes\n";
    return text;
}

// A meter's name line as its label shows it: the TAB between name and serial number as four
// blanks (the archive keeps the TAB).
std::string MeterShown(const std::string& meter) {
    std::string shown;
    for (const char c : meter)
        shown += c == '\t' ? std::string("    ") : std::string(1, c);
    return shown;
}

// "void: reason", and when a fix was made after the void: who fixed it, and what to do.
std::string VoidText(const TDownload& download) {
    if (!download.Void)
        return "";
    std::string text = "void: " + EscapeControls(download.VoidReason);
    if (!download.FixedAfterVoidAt.empty())
        text += "; fixed after voiding by " +
                EscapeControls(download.FixedAfterVoidBy.empty() ? "someone"
                                                                 : download.FixedAfterVoidBy) +
                " on " + download.FixedAfterVoidAt + ": unvoid if the fix is right";
    return text;
}

std::string DownloadsText(const std::vector<TDownload>& downloads) {
    if (downloads.empty())
        return "no downloads\n";
    std::vector<std::vector<std::string>> lines{
        {"N", "Download", "Date", "Direction", "Operator", "Meter", "Source", "Readings", "Void"}};
    for (const TDownload& download : downloads) {
        const char* direction = DirectionName(download.Direction);
        lines.push_back({std::to_string(download.Number), download.RecordsSha256.substr(0, 8),
                         download.TestDate, *direction == '\0' ? "none" : direction,
                         download.Operator, MeterShown(download.Meter), download.Source,
                         std::to_string(download.Readings.size()), VoidText(download)});
    }
    return AlignedColumns(lines, {true, false, false, false, false, false, false, true, false});
}

// The decisions made without seeing each other, until the next change of their field.
std::string ConflictsText(const TJobState& state) {
    if (state.Conflicts.empty())
        return "";
    std::string text = "\nconflicts:\n";
    for (const TConflict& conflict : state.Conflicts) {
        const std::string_view target = conflict.Target;
        const std::string where =
            target.starts_with(DownloadTargetPrefix)
                ? "download " + std::string(target.substr(std::strlen(DownloadTargetPrefix), 8)) +
                      ", "
            : target.starts_with(CableTargetPrefix)
                ? "cable " + std::string(target.substr(std::strlen(CableTargetPrefix))) + ", "
                : std::string();
        text += EscapeControls(where + ConflictText(conflict)) + '\n';
    }
    return text;
}

std::string OneDirectionText(const TJobResults& results) {
    std::vector<std::vector<std::string>> lines{{"Cable", "Fiber", "WaveLength", "Direction"}};
    for (const TResultRow& row : results.Rows) {
        if (row.Shape == TRowShape::OneDirection)
            lines.push_back({Latin1ToUtf8(row.Cable), Latin1ToUtf8(row.Fiber),
                             std::to_string(row.WaveLengthKey),
                             DirectionName(row.Reading.Direction)});
    }
    if (lines.size() == 1)
        return {};
    return "\none direction:\n" + AlignedColumns(lines, {false, false, true, false});
}

bool AnyFailOrCheck(const TJobResults& results) {
    return results.Counts.Rows.Fail + results.Counts.Rows.Check > 0;
}

}  // namespace

int RunJobShow(const TJobOptions& options, TArchive& archive) {
    const TJob job = RequireJob(archive, options.Name);
    const std::vector<TDownload> downloads = archive.Downloads(job.Name);
    const TJobResults results = ComputeJobResults(job, downloads);
    WriteStandardOutput(IdentityText(job) + '\n' + DownloadsText(downloads) + '\n' +
                        JobCountsText(results) + OneDirectionText(results) +
                        ConflictsText(archive.State(job.Name)));
    return 0;
}

int RunJobReport(const TJobOptions& options, TArchive& archive) {
    const TJob job = RequireJob(archive, options.Name);
    const std::vector<TDownload> downloads = archive.Downloads(job.Name);
    const TJobResults results = ComputeJobResults(job, downloads);
    const TExportGrid grid = JobReportGrid(results);
    // Ctrl+C while the file is written leaves no hidden temporary file beside it.
    const TStopSignalWatch stopSignals("meridax-cli job report: interrupted\n");
    switch (options.OutputKind) {
        case TJobReportOutput::Xlsx:
            ExportGridToXlsx(grid, options.Output);
            break;
        case TJobReportOutput::Csv:
            ExportGridToCsv(grid, options.Output);
            break;
        case TJobReportOutput::Pdf: {
            // Qt's fonts and PDF writer want an application object: offscreen, no display.
            const TOffscreenGui gui;
            WriteJobReport(MakeJobReportInput(job, downloads, results, MERIDAX_VERSION,
                                              options.Title.value_or("")),
                           options.Output);
            break;
        }
        case TJobReportOutput::Text:
            WriteStandardOutput(JobReportText(grid) + '\n' + JobCountsText(results));
            break;
    }
    return AnyFailOrCheck(results) ? ReportFailedExitCode : 0;
}

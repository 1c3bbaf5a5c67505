#include "report/JobReport.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <stdexcept>

#include "export/ExportFile.h"
#include "report/JobReportBlocks.h"
#include "report/PdfDates.h"
#include "report/ReportInput.h"
#include "report/ReportPdf.h"

namespace {

QString ProgramLine(const TJobReportInput& input) {
    return Utf8(input.ProgramName + (input.Version.empty() ? "" : " " + input.Version));
}

// The budget the results were computed with: the job's last, an empty one when it has none.
TBudget BudgetInForce(const TJob& job) {
    return job.Budgets.empty() ? TBudget{} : ParseBudget(job.Budgets.back().Json, job.Name);
}

std::vector<TReportBlock> JobReportBlocks(const TJobReportInput& input, const TBudget& budget,
                                          const TJobCharts& charts, const TReportStyle& style) {
    TBlockList list(style);
    AddJobCover(list, input, budget);
    list.Add(PageBreak());
    AddJobSummary(list, input);
    list.Add(PageBreak());
    AddJobResults(list, *input.Results);
    list.Add(PageBreak());
    AddJobCharts(list, charts);
    list.Add(PageBreak());
    AddJobRetests(list, input, budget);
    list.Gap(24);
    AddSignOff(list);
    return list.Take();
}

// Lays the whole report out first, so that every page knows the count, then paints it.
QByteArray RenderJobReport(const TJobReportInput& input, const std::string& path) {
    const TBudget budget = BudgetInForce(*input.Job);
    const TJobCharts charts = JobCharts(*input.Results);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    // PDF/A-1b: Qt writes the identification, an sRGB output intent and embeds the fonts; the
    // report draws nothing transparent, which that version forbids.
    writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    SetUpReportWriter(writer, Utf8(input.Title), ProgramLine(input));

    const TReportStyle style(&writer);
    const std::vector<TReportBlock> blocks = JobReportBlocks(input, budget, charts, style);
    PaintReportPages(writer, style, blocks, ProgramLine(input), Utf8(input.Title), path);
    buffer.close();
    AlignXmpDates(bytes);
    return bytes;
}

}  // namespace

TJobReportInput MakeJobReportInput(const TJob& job, const std::vector<TDownload>& downloads,
                                   const TJobResults& results, const std::string& version,
                                   const std::string& title) {
    TJobReportInput input;
    input.Job = &job;
    input.Downloads = &downloads;
    input.Results = &results;
    if (!title.empty())
        input.Title = title;
    input.Version = version;
    input.DateTime = ReportDateTimeWithZoneNow();
    return input;
}

void WriteJobReport(const TJobReportInput& input, const std::string& path) {
    if (input.Job == nullptr || input.Downloads == nullptr || input.Results == nullptr)
        throw std::invalid_argument("a job report needs the job, its downloads and results");
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        throw std::logic_error("a job report needs a QGuiApplication");
    WriteReportFile(RenderJobReport(input, path), path);
}

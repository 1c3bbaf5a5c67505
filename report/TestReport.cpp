#include "report/TestReport.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <stdexcept>

#include "export/ExportFile.h"
#include "report/ReportGroups.h"
#include "report/ReportLayout.h"
#include "report/ReportPdf.h"
#include "report/ReportRows.h"
#include "report/ReportSections.h"

namespace {

QString ProgramLine(const TReportInput& input) {
    return Utf8(input.ProgramName + (input.Version.empty() ? "" : " " + input.Version));
}

// Lays the whole report out first, so that every page knows the count, then paints it.
QByteArray RenderReport(const TReportInput& input, const std::string& path) {
    TReportRows rows = CollectReportRows(*input.Table, *input.Verdicts, input.OnlyChecked);
    // Readings a few nm apart are judged by one budget key, so they are counted and charted
    // together.
    const std::vector<int> keys = BudgetWavelengths(input.Budget);
    GroupByBudgetWavelengths(rows, *input.Table, keys);
    const std::vector<TChartSeries> series = CollectChartSeries(*input.Table, rows, &keys);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    SetUpReportWriter(writer, Utf8(input.Title), ProgramLine(input));

    const TReportStyle style(&writer);
    const std::vector<TReportBlock> blocks = ReportBlocks(input, rows, series, style);
    PaintReportPages(writer, style, blocks, ProgramLine(input), Utf8(input.Title), path);
    return bytes;
}

}  // namespace

void WriteTestReport(const TReportInput& input, const std::string& path) {
    if (input.Table == nullptr || input.Verdicts == nullptr)
        throw std::invalid_argument("a test report needs a table and its verdicts");
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        throw std::logic_error("a test report needs a QGuiApplication");
    WriteReportFile(RenderReport(input, path), path);
}

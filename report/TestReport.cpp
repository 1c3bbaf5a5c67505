#include "report/TestReport.h"

#include <fcntl.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <stdexcept>

#include "export/ExportFile.h"
#include "report/ReportGroups.h"
#include "report/ReportLayout.h"
#include "report/ReportRows.h"
#include "report/ReportSections.h"
#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

namespace {

void PaintFooter(QPainter& painter, const TReportStyle& style, const TReportInput& input, int page,
                 int pages) {
    const QFontMetricsF& metrics = style.Metrics(TFontRole::Small);
    const double ruleY = Pt(PageHeightPt - MarginPt - FooterPt + 12);
    const double baseline = ruleY + Pt(3) + metrics.ascent();
    const double left = Pt(MarginPt);
    const double right = Pt(MarginPt + ContentWidthPt);
    painter.setPen(QPen(QColor(0xb0, 0xb4, 0xbc), Pt(0.5)));
    painter.drawLine(QPointF(left, ruleY), QPointF(right, ruleY));
    painter.setFont(style.Font(TFontRole::Small));
    painter.setPen(Qt::black);
    QString program = Utf8(input.ProgramName);
    if (!input.Version.empty())
        program += QLatin1Char(' ') + Utf8(input.Version);
    painter.drawText(QPointF(left, baseline), program);
    const QString title = Utf8(input.Title);
    painter.drawText(QPointF((left + right - metrics.horizontalAdvance(title)) / 2, baseline),
                     title);
    const QString count = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    painter.drawText(QPointF(right - metrics.horizontalAdvance(count), baseline), count);
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
    writer.setResolution(ReportResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    writer.setTitle(Utf8(input.Title));
    writer.setCreator(Utf8(input.ProgramName + (input.Version.empty() ? "" : " " + input.Version)));

    const TReportStyle style(&writer);
    const std::vector<TReportBlock> blocks = ReportBlocks(input, rows, series, style);
    const std::vector<TPageLayout> pages = LayOutPages(blocks, style);

    QPainter painter;
    if (!painter.begin(&writer))
        ThrowExportError("Cannot create", path, std::make_error_code(std::errc::io_error));
    const int pageCount = static_cast<int>(pages.size());
    for (int page = 0; page < pageCount; ++page) {
        if (page > 0)
            writer.newPage();
        PaintPage(painter, style, blocks, pages[static_cast<std::size_t>(page)]);
        PaintFooter(painter, style, input, page + 1, pageCount);
    }
    if (!painter.end())
        ThrowExportError("Cannot create", path, std::make_error_code(std::errc::io_error));
    return bytes;
}

}  // namespace

void WriteTestReport(const TReportInput& input, const std::string& path) {
    if (input.Table == nullptr || input.Verdicts == nullptr)
        throw std::invalid_argument("a test report needs a table and its verdicts");
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        throw std::logic_error("a test report needs a QGuiApplication");
    const QByteArray pdf = RenderReport(input, path);
    WriteExportFile(path, [&](const std::string& writePath) {
        TUniqueFd fd(::open(writePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!fd)
            ThrowExportError("Cannot create", path, ErrnoCode());
        if (const std::error_code error =
                WriteAll(fd.Get(), pdf.constData(), static_cast<std::size_t>(pdf.size())))
            ThrowExportError("Cannot create", path, error);
        if (const std::error_code error = fd.Close())
            ThrowExportError("Cannot create", path, error);
    });
}

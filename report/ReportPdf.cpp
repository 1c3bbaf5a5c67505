#include "report/ReportPdf.h"

#include <fcntl.h>

#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include "export/ExportFile.h"
#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

void SetUpReportWriter(QPdfWriter& writer, const QString& title, const QString& creator) {
    writer.setResolution(ReportResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    writer.setTitle(title);
    writer.setCreator(creator);
}

void PaintReportFooter(QPainter& painter, const TReportStyle& style, const QString& program,
                       const QString& title, int page, int pages) {
    const QFontMetricsF& metrics = style.Metrics(TFontRole::Small);
    const double ruleY = Pt(PageHeightPt - MarginPt - FooterPt + 12);
    const double baseline = ruleY + Pt(3) + metrics.ascent();
    const double left = Pt(MarginPt);
    const double right = Pt(MarginPt + ContentWidthPt);
    painter.setPen(QPen(QColor(0xb0, 0xb4, 0xbc), Pt(0.5)));
    painter.drawLine(QPointF(left, ruleY), QPointF(right, ruleY));
    painter.setFont(style.Font(TFontRole::Small));
    painter.setPen(Qt::black);
    painter.drawText(QPointF(left, baseline), program);
    const QString count = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    painter.drawText(QPointF(right - metrics.horizontalAdvance(count), baseline), count);
    // The title in the middle of the page, or of the room between the other two where it
    // does not fit there, cut short where it does not fit that room: it never overprints
    // them (the cover prints it whole).
    const double gap = Pt(12);
    const double roomLeft = left + metrics.horizontalAdvance(program) + gap;
    const double roomRight = right - metrics.horizontalAdvance(count) - gap;
    if (roomRight <= roomLeft)
        return;
    const QString shown = metrics.elidedText(title, Qt::ElideRight, roomRight - roomLeft);
    const double width = metrics.horizontalAdvance(shown);
    double x = (left + right - width) / 2;
    if (x < roomLeft || x + width > roomRight)
        x = (roomLeft + roomRight - width) / 2;
    painter.drawText(QPointF(x, baseline), shown);
}

void WriteReportFile(const QByteArray& pdf, const std::string& path) {
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

void PaintReportPages(QPdfWriter& writer, const TReportStyle& style,
                      const std::vector<TReportBlock>& blocks, const QString& program,
                      const QString& title, const std::string& path) {
    const std::vector<TPageLayout> pages = LayOutPages(blocks, style);
    QPainter painter;
    if (!painter.begin(&writer))
        ThrowExportError("Cannot create", path, std::make_error_code(std::errc::io_error));
    const int pageCount = static_cast<int>(pages.size());
    for (int page = 0; page < pageCount; ++page) {
        if (page > 0)
            writer.newPage();
        PaintPage(painter, style, blocks, pages[static_cast<std::size_t>(page)]);
        PaintReportFooter(painter, style, program, title, page + 1, pageCount);
    }
    if (!painter.end())
        ThrowExportError("Cannot create", path, std::make_error_code(std::errc::io_error));
}

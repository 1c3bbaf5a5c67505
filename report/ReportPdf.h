#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

#include "report/ReportLayout.h"
#include "report/ReportStyle.h"

class QPainter;
class QPdfWriter;

// What the reports share around their pages: the writer's A4 page at the report's resolution,
// the footer line, and the finished bytes put in place.

// Sets writer to an A4 portrait page without margins at ReportResolution, with the document's
// title and creator.
void SetUpReportWriter(QPdfWriter& writer, const QString& title, const QString& creator);

// The rule and the line under a page's content: the program at the left, the title in the
// middle, "Page N of M" at the right.
void PaintReportFooter(QPainter& painter, const TReportStyle& style, const QString& program,
                       const QString& title, int page, int pages);

// Lays blocks out on pages and paints each with its footer (program, title, "Page N of M").
// Throws EExportError naming path when the painter cannot draw on writer.
void PaintReportPages(QPdfWriter& writer, const TReportStyle& style,
                      const std::vector<TReportBlock>& blocks, const QString& program,
                      const QString& title, const std::string& path);

// Writes pdf to path through the safe replacement. Throws EExportError naming path.
void WriteReportFile(const QByteArray& pdf, const std::string& path);

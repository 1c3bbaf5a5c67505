#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <variant>
#include <vector>

#include "report/ReportChart.h"
#include "report/ReportStyle.h"
#include "report/ReportTable.h"

class QPainter;

// A paragraph: it wraps at the content's width (a legend's line does not), so that a long
// title or device line prints whole.
struct TTextBlock {
    QString Text;
    TFontRole Font = TFontRole::Body;
    QColor Color = Qt::black;
    bool KeepWithNext = false;  // a heading never ends a page
    bool Legend = false;        // the chart key at the line's right end
};

// Room between blocks; none at the top of a page.
struct TGapBlock {
    double HeightPt = 0;
};

// A picture at the left margin, drawn into WidthPt × HeightPt points.
struct TImageBlock {
    QImage Image;
    double WidthPt = 0;
    double HeightPt = 0;
};

// The lines text takes at width (device pixels): broken at blanks, a word wider than the width
// anywhere. One line, maybe empty, at least.
QStringList WrappedLines(const QString& text, const QFontMetricsF& metrics, double width);

using TReportBlock = std::variant<TTextBlock, TGapBlock, TTableBlock, TChartBlock, TImageBlock>;

// A gap taller than any page: what follows starts on a new page (unless at the top of one).
inline TGapBlock PageBreak() {
    return {PageHeightPt};
}

// Where a block, or a piece of a table (rows [First, First + Count)), goes on its page.
struct TPlacement {
    std::size_t Block = 0;
    double Top = 0;
    std::size_t First = 0;
    std::size_t Count = 0;
};
using TPageLayout = std::vector<TPlacement>;

// Fills pages top-down with the blocks in order; a table that does not fit goes on under its
// header on the next page. At least one page.
std::vector<TPageLayout> LayOutPages(const std::vector<TReportBlock>& blocks,
                                     const TReportStyle& style);

// Paints the blocks of one page.
void PaintPage(QPainter& painter, const TReportStyle& style,
               const std::vector<TReportBlock>& blocks, const TPageLayout& page);

#include "report/ReportTable.h"

#include <QPainter>

namespace {

constexpr double PaddingPt = 3;

// Draws text in the cell [left, left + width), cut with an ellipsis when it does not fit.
void DrawCell(QPainter& painter, const QFontMetricsF& metrics, const QString& text, double left,
              double width, bool alignRight, double baseline) {
    const double room = width - 2 * Pt(PaddingPt);
    double advance = metrics.horizontalAdvance(text);
    QString cut;
    if (advance > room) {
        cut = metrics.elidedText(text, Qt::ElideRight, room);
        advance = metrics.horizontalAdvance(cut);
    }
    const double x = alignRight ? left + width - Pt(PaddingPt) - advance : left + Pt(PaddingPt);
    painter.drawText(QPointF(x, baseline), cut.isNull() ? text : cut);
}

double TableWidth(const TTableBlock& table) {
    double width = 0;
    for (const TReportColumn& column : table.Columns)
        width += Pt(column.WidthPt);
    return width;
}

}  // namespace

double TableHeaderHeight(const TReportStyle& style, const TTableBlock& table) {
    return table.ShowHeader ? style.LineHeight(TFontRole::TableBold) + Pt(2) : 0;
}

double TableRowHeight(const TReportStyle& style) {
    return style.LineHeight(TFontRole::Table);
}

void PaintTable(QPainter& painter, const TReportStyle& style, const TTableBlock& table, double top,
                std::size_t first, std::size_t count) {
    const double left = Pt(MarginPt);
    const double width = TableWidth(table);
    const std::size_t columns = table.Columns.size();
    double y = top;
    if (table.ShowHeader) {
        const double height = TableHeaderHeight(style, table);
        painter.fillRect(QRectF(left, y, width, height), QColor(0xe8, 0xea, 0xee));
        painter.setFont(style.Font(TFontRole::TableBold));
        painter.setPen(Qt::black);
        const QFontMetricsF& metrics = style.Metrics(TFontRole::TableBold);
        const double baseline = y + (height - metrics.height()) / 2 + metrics.ascent();
        double x = left;
        for (const TReportColumn& column : table.Columns) {
            DrawCell(painter, metrics, column.Caption, x, Pt(column.WidthPt), column.AlignRight,
                     baseline);
            x += Pt(column.WidthPt);
        }
        y += height;
    }

    const double rowHeight = TableRowHeight(style);
    const QFontMetricsF& metrics = style.Metrics(TFontRole::Table);
    const QFontMetricsF& boldMetrics = style.Metrics(TFontRole::TableBold);
    const double baselineOffset = (rowHeight - metrics.height()) / 2 + metrics.ascent();
    painter.setFont(style.Font(TFontRole::Table));
    painter.setPen(Qt::black);
    for (std::size_t row = first; row < first + count; ++row, y += rowHeight) {
        const TVerdictKind verdict =
            row < table.Verdicts.size() ? table.Verdicts[row] : TVerdictKind::None;
        if (verdict == TVerdictKind::Fail || verdict == TVerdictKind::Check)
            painter.fillRect(QRectF(left, y, width, rowHeight), VerdictRowColor(verdict));
        double x = left;
        for (std::size_t column = 0; column < columns; ++column) {
            const TReportColumn& col = table.Columns[column];
            const QString& text = table.Cells[row * columns + column];
            if (static_cast<int>(column) == table.VerdictColumn && verdict != TVerdictKind::None) {
                // The verdict in its colour and bold, the only cell that changes the pen.
                painter.setFont(style.Font(TFontRole::TableBold));
                painter.setPen(VerdictColor(verdict));
                DrawCell(painter, boldMetrics, text, x, Pt(col.WidthPt), col.AlignRight,
                         y + baselineOffset);
                painter.setFont(style.Font(TFontRole::Table));
                painter.setPen(Qt::black);
            } else if (!text.isEmpty()) {
                DrawCell(painter, metrics, text, x, Pt(col.WidthPt), col.AlignRight,
                         y + baselineOffset);
            }
            x += Pt(col.WidthPt);
        }
    }
    if (!table.ShowHeader)
        return;
    // A rule under the last row drawn closes the piece of the table on this page.
    painter.setPen(QPen(QColor(0xb0, 0xb4, 0xbc), Pt(0.5)));
    painter.drawLine(QPointF(left, y), QPointF(left + width, y));
}

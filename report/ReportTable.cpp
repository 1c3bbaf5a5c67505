#include "report/ReportTable.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <numeric>

#include "report/ReportText.h"

namespace {

constexpr double PaddingPt = 3;
const QColor HeaderColor(0xe8, 0xea, 0xee);
const QColor RuleColor(0xb0, 0xb4, 0xbc);

double Room(double width) {
    return width - 2 * Pt(PaddingPt);
}

bool BoldCell(const TTableBlock& table, std::size_t row, std::size_t column) {
    return static_cast<int>(column) == table.VerdictColumn && row < table.Verdicts.size() &&
           table.Verdicts[row] != TVerdictKind::None;
}

// Every column as wide as it would like when they all fit; else the narrow ones keep their
// width and the others share what is left evenly.
std::vector<double> ShareWidths(const std::vector<double>& natural, double total) {
    if (std::accumulate(natural.begin(), natural.end(), 0.0) <= total)
        return natural;
    std::vector<double> widths(natural.size(), -1);
    double left = total;
    std::size_t open = natural.size();
    for (bool settled = true; settled && open > 0;) {
        settled = false;
        const double share = left / static_cast<double>(open);
        for (std::size_t c = 0; c < natural.size(); ++c) {
            if (widths[c] < 0 && natural[c] <= share) {
                widths[c] = natural[c];
                left -= natural[c];
                --open;
                settled = true;
            }
        }
    }
    for (double& width : widths) {
        if (width < 0)
            width = left / static_cast<double>(open);
    }
    return widths;
}

// The texts of one font and colour, gathered into one glyph run per piece of a table.
class TCellWriter {
public:
    TCellWriter(QPainter& painter, const TReportStyle& style, TFontRole role, QColor color)
        : painter_(painter),
          style_(style),
          role_(role),
          color_(color),
          glyphs_(style.RawFont(role), style.Metrics(role)) {}

    // The text, or its wrapped lines one under the other, in the cell [left, left + width).
    void Add(const QString& text, double advance, const std::vector<QString>* lines, double left,
             double width, bool alignRight, double baseline) {
        if (lines == nullptr) {
            AddLine(text, advance, left, width, alignRight, baseline);
            return;
        }
        for (const QString& line : *lines) {
            AddLine(line, glyphs_.Advance(line), left, width, alignRight, baseline);
            baseline += style_.Metrics(role_).height();
        }
    }

    void Flush() {
        if (glyphs_.Empty())
            return;
        painter_.setPen(color_);
        painter_.drawGlyphRun(QPointF(0, 0), glyphs_.TakeRun());
    }

private:
    void AddLine(const QString& text, double advance, double left, double width, bool alignRight,
                 double baseline) {
        if (text.isEmpty())
            return;
        const double x = alignRight ? left + width - Pt(PaddingPt) - advance : left + Pt(PaddingPt);
        if (glyphs_.Append(text, QPointF(x, baseline)))
            return;
        painter_.setFont(style_.Font(role_));
        painter_.setPen(color_);
        painter_.drawText(QPointF(x, baseline), text);
    }

    QPainter& painter_;
    const TReportStyle& style_;
    TFontRole role_;
    QColor color_;
    TGlyphText glyphs_;
};

// The lines of a text that does not fit its column; the lines count.
std::size_t WrapCell(TTableBlock& table, std::size_t index, const QString& text, double advance,
                     double width, TGlyphText& glyphs) {
    if (advance <= Room(width))
        return 1;
    std::vector<QString> lines =
        WrapText(text, Room(width), [&](const QString& line) { return glyphs.Advance(line); });
    const std::size_t count = lines.size();
    if (count > 1)
        table.Wrapped.emplace(index, std::move(lines));
    return count;
}

void MeasureCells(const TReportStyle& style, TTableBlock& table, std::vector<double>& natural) {
    TGlyphText plain(style.RawFont(TFontRole::Table), style.Metrics(TFontRole::Table));
    TGlyphText bold(style.RawFont(TFontRole::TableBold), style.Metrics(TFontRole::TableBold));
    const std::size_t columns = table.Columns.size();
    for (std::size_t c = 0; c < columns; ++c) {
        table.CaptionAdvances.push_back(
            table.ShowHeader ? static_cast<float>(bold.Advance(table.Columns[c].Caption)) : 0);
        natural[c] = table.CaptionAdvances[c];
    }
    table.Advances.resize(table.Cells.size());
    for (std::size_t i = 0; i < table.Cells.size(); ++i) {
        const std::size_t c = i % columns;
        if (table.Cells[i].isEmpty())
            continue;
        TGlyphText& glyphs = BoldCell(table, i / columns, c) ? bold : plain;
        table.Advances[i] = static_cast<float>(glyphs.Advance(table.Cells[i]));
        natural[c] = std::max(natural[c], static_cast<double>(table.Advances[i]));
    }
    for (double& width : natural)
        width += 2 * Pt(PaddingPt);
}

void WrapCells(const TReportStyle& style, TTableBlock& table) {
    TGlyphText plain(style.RawFont(TFontRole::Table), style.Metrics(TFontRole::Table));
    TGlyphText bold(style.RawFont(TFontRole::TableBold), style.Metrics(TFontRole::TableBold));
    const std::size_t columns = table.Columns.size();
    std::size_t headerLines = 1;
    for (std::size_t c = 0; c < columns && table.ShowHeader; ++c) {
        headerLines =
            std::max(headerLines, WrapCell(table, table.Cells.size() + c, table.Columns[c].Caption,
                                           table.CaptionAdvances[c], table.Widths[c], bold));
    }
    const double boldStep = style.Metrics(TFontRole::TableBold).height();
    table.HeaderHeight = table.ShowHeader ? style.LineHeight(TFontRole::TableBold) + Pt(2) +
                                                static_cast<double>(headerLines - 1) * boldStep
                                          : 0;
    const std::size_t rows = table.RowCount();
    const double rowHeight = style.LineHeight(TFontRole::Table);
    const double step = style.Metrics(TFontRole::Table).height();
    table.RowTops.assign(rows + 1, 0);
    for (std::size_t row = 0; row < rows; ++row) {
        std::size_t lines = 1;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t i = row * columns + c;
            TGlyphText& glyphs = BoldCell(table, row, c) ? bold : plain;
            lines = std::max(lines, WrapCell(table, i, table.Cells[i], table.Advances[i],
                                             table.Widths[c], glyphs));
        }
        table.RowTops[row + 1] =
            table.RowTops[row] + rowHeight + static_cast<double>(lines - 1) * step;
    }
}

const std::vector<QString>* LinesOf(const TTableBlock& table, std::size_t index) {
    const auto found = table.Wrapped.find(index);
    return found == table.Wrapped.end() ? nullptr : &found->second;
}

double PaintHeader(QPainter& painter, const TReportStyle& style, const TTableBlock& table,
                   double top) {
    const double left = Pt(MarginPt);
    const double width = std::accumulate(table.Widths.begin(), table.Widths.end(), 0.0);
    painter.fillRect(QRectF(left, top, width, table.HeaderHeight), HeaderColor);
    const QFontMetricsF& metrics = style.Metrics(TFontRole::TableBold);
    const double oneLine = style.LineHeight(TFontRole::TableBold) + Pt(2);
    const double baseline = top + (oneLine - metrics.height()) / 2 + metrics.ascent();
    TCellWriter writer(painter, style, TFontRole::TableBold, Qt::black);
    double x = left;
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        const TReportColumn& column = table.Columns[c];
        writer.Add(column.Caption, table.CaptionAdvances[c], LinesOf(table, table.Cells.size() + c),
                   x, table.Widths[c], column.AlignRight, baseline);
        x += table.Widths[c];
    }
    writer.Flush();
    return top + table.HeaderHeight;
}

}  // namespace

void FitTable(const TReportStyle& style, TTableBlock& table) {
    table.CaptionAdvances.clear();
    table.Wrapped.clear();
    std::vector<double> natural(table.Columns.size(), 0);
    MeasureCells(style, table, natural);
    table.Widths = ShareWidths(natural, Pt(ContentWidthPt));
    WrapCells(style, table);
}

void PaintTable(QPainter& painter, const TReportStyle& style, const TTableBlock& table, double top,
                std::size_t first, std::size_t count) {
    const double left = Pt(MarginPt);
    const double width = std::accumulate(table.Widths.begin(), table.Widths.end(), 0.0);
    const double rowsTop = table.ShowHeader ? PaintHeader(painter, style, table, top) : top;
    const double y0 = rowsTop - table.RowTops[first];
    for (std::size_t row = first; row < first + count && row < table.Verdicts.size(); ++row) {
        const TVerdictKind verdict = table.Verdicts[row];
        if (verdict == TVerdictKind::Fail || verdict == TVerdictKind::Check)
            painter.fillRect(QRectF(left, y0 + table.RowTops[row], width, table.RowHeight(row)),
                             VerdictRowColor(verdict));
    }

    // The texts of the piece in few runs: the plain ones, and the verdicts bold in their colours.
    const QFontMetricsF& metrics = style.Metrics(TFontRole::Table);
    const double baselineOffset =
        (style.LineHeight(TFontRole::Table) - metrics.height()) / 2 + metrics.ascent();
    TCellWriter plain(painter, style, TFontRole::Table, Qt::black);
    std::array<TCellWriter, 3> verdicts = {
        TCellWriter(painter, style, TFontRole::TableBold, VerdictColor(TVerdictKind::Pass)),
        TCellWriter(painter, style, TFontRole::TableBold, VerdictColor(TVerdictKind::Fail)),
        TCellWriter(painter, style, TFontRole::TableBold, VerdictColor(TVerdictKind::Check))};
    const std::size_t columns = table.Columns.size();
    for (std::size_t row = first; row < first + count; ++row) {
        const double baseline = y0 + table.RowTops[row] + baselineOffset;
        double x = left;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t i = row * columns + c;
            const TVerdictKind verdict =
                BoldCell(table, row, c) ? table.Verdicts[row] : TVerdictKind::None;
            TCellWriter& writer = verdict == TVerdictKind::Pass    ? verdicts[0]
                                  : verdict == TVerdictKind::Fail  ? verdicts[1]
                                  : verdict == TVerdictKind::Check ? verdicts[2]
                                                                   : plain;
            writer.Add(table.Cells[i], table.Advances[i], LinesOf(table, i), x, table.Widths[c],
                       table.Columns[c].AlignRight, baseline);
            x += table.Widths[c];
        }
    }
    plain.Flush();
    for (TCellWriter& writer : verdicts)
        writer.Flush();
    if (!table.ShowHeader)
        return;
    // A rule under the last row drawn closes the piece of the table on this page.
    const double bottom = y0 + table.RowTops[first + count];
    painter.setPen(QPen(RuleColor, Pt(0.5)));
    painter.drawLine(QPointF(left, bottom), QPointF(left + width, bottom));
}

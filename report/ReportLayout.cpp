#include "report/ReportLayout.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

QStringList TextLines(const TReportStyle& style, const TTextBlock& text) {
    if (text.Legend)
        return {text.Text};
    return WrappedLines(text.Text, style.Metrics(text.Font), Pt(ContentWidthPt));
}

// The longest start of word that fits width, at least one character.
qsizetype FittingLength(const QString& word, const QFontMetricsF& metrics, double width) {
    qsizetype length = 1;
    while (length < word.size() && metrics.horizontalAdvance(word.left(length + 1)) <= width)
        ++length;
    return length;
}

struct THeightOf {
    const TReportStyle& Style;

    double operator()(const TTextBlock& text) const {
        return Style.LineHeight(text.Font) * static_cast<double>(TextLines(Style, text).size());
    }
    double operator()(const TGapBlock& gap) const { return Pt(gap.HeightPt); }
    // A table's least piece: its header and one row.
    double operator()(const TTableBlock& table) const {
        return table.HeaderHeight + (table.RowCount() > 0 ? table.RowHeight(0) : 0);
    }
    double operator()(const TChartBlock& strip) const { return ChartStripHeight(Style, strip); }
    double operator()(const TImageBlock& image) const { return Pt(image.HeightPt); }
};

class TPager {
public:
    explicit TPager(const TReportStyle& style) : style_(style) { NewPage(); }

    void Place(const std::vector<TReportBlock>& blocks) {
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const TReportBlock& block = blocks[i];
            if (const auto* gap = std::get_if<TGapBlock>(&block)) {
                if (y_ > top_)
                    y_ = std::min(y_ + Pt(gap->HeightPt), bottom_);
                continue;
            }
            if (const auto* table = std::get_if<TTableBlock>(&block)) {
                PlaceTable(i, *table);
                continue;
            }
            MakeRoom(Need(blocks, i));
            pages_.back().push_back({i, y_, 0, 0});
            y_ += std::visit(THeightOf{style_}, block);
        }
    }

    std::vector<TPageLayout> Take() { return std::move(pages_); }

private:
    void NewPage() {
        pages_.emplace_back();
        y_ = top_;
    }

    // A heading needs room for the headings and gaps after it and the first line, row or
    // strip they head.
    double Need(const std::vector<TReportBlock>& blocks, std::size_t i) const {
        double need = 0;
        for (; i < blocks.size(); ++i) {
            need += std::visit(THeightOf{style_}, blocks[i]);
            const auto* text = std::get_if<TTextBlock>(&blocks[i]);
            if (!std::holds_alternative<TGapBlock>(blocks[i]) &&
                (text == nullptr || !text->KeepWithNext))
                break;
        }
        return need;
    }

    void MakeRoom(double height) {
        if (y_ + height > bottom_ && y_ > top_)
            NewPage();
    }

    // Rows go on while they fit under the header, at least one to a page.
    void PlaceTable(std::size_t index, const TTableBlock& table) {
        const std::size_t rows = table.RowCount();
        MakeRoom(table.HeaderHeight + (rows > 0 ? table.RowHeight(0) : 0));
        std::size_t first = 0;
        do {
            const double room = bottom_ - y_ - table.HeaderHeight;
            std::size_t count = std::min<std::size_t>(1, rows - first);
            while (first + count < rows &&
                   table.RowTops[first + count + 1] - table.RowTops[first] <= room)
                ++count;
            pages_.back().push_back({index, y_, first, count});
            y_ += table.HeaderHeight + table.RowTops[first + count] - table.RowTops[first];
            first += count;
            if (first < rows)
                NewPage();
        } while (first < rows);
    }

    const TReportStyle& style_;
    const double top_ = Pt(MarginPt);
    const double bottom_ = Pt(PageHeightPt - MarginPt - FooterPt);
    std::vector<TPageLayout> pages_;
    double y_ = 0;
};

struct TPainterOf {
    QPainter& Painter;
    const TReportStyle& Style;
    const TPlacement& Where;

    void operator()(const TTextBlock& text) const {
        const QFontMetricsF& metrics = Style.Metrics(text.Font);
        double baseline = Where.Top + Pt(1) + metrics.ascent();
        Painter.setFont(Style.Font(text.Font));
        Painter.setPen(text.Color);
        for (const QString& line : TextLines(Style, text)) {
            Painter.drawText(QPointF(Pt(MarginPt), baseline), line);
            baseline += Style.LineHeight(text.Font);
        }
        if (text.Legend)
            PaintChartLegend(Painter, Style, Where.Top + Pt(1) + metrics.ascent());
    }
    void operator()(const TGapBlock&) const {}
    void operator()(const TTableBlock& table) const {
        PaintTable(Painter, Style, table, Where.Top, Where.First, Where.Count);
    }
    void operator()(const TChartBlock& strip) const {
        PaintChartStrip(Painter, Style, strip, Where.Top);
    }
    void operator()(const TImageBlock& image) const {
        Painter.drawImage(QRectF(Pt(MarginPt), Where.Top, Pt(image.WidthPt), Pt(image.HeightPt)),
                          image.Image);
    }
};

}  // namespace

QStringList WrappedLines(const QString& text, const QFontMetricsF& metrics, double width) {
    QStringList lines;
    QString line;
    for (QString word : text.split(QLatin1Char(' '))) {
        const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (metrics.horizontalAdvance(joined) <= width) {
            line = joined;
            continue;
        }
        if (!line.isEmpty())
            lines << line;
        while (metrics.horizontalAdvance(word) > width) {
            const qsizetype length = FittingLength(word, metrics, width);
            lines << word.left(length);
            word.remove(0, length);
        }
        line = word;
    }
    lines << line;
    return lines;
}

std::vector<TPageLayout> LayOutPages(const std::vector<TReportBlock>& blocks,
                                     const TReportStyle& style) {
    TPager pager(style);
    pager.Place(blocks);
    return pager.Take();
}

void PaintPage(QPainter& painter, const TReportStyle& style,
               const std::vector<TReportBlock>& blocks, const TPageLayout& page) {
    for (const TPlacement& placement : page)
        std::visit(TPainterOf{painter, style, placement}, blocks[placement.Block]);
}

#include "report/ReportLayout.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

struct THeightOf {
    const TReportStyle& Style;

    double operator()(const TTextBlock& text) const { return Style.LineHeight(text.Font); }
    double operator()(const TGapBlock& gap) const { return Pt(gap.HeightPt); }
    // A table's least piece: its header and one row.
    double operator()(const TTableBlock& table) const {
        return TableHeaderHeight(Style, table) + (table.RowCount() > 0 ? TableRowHeight(Style) : 0);
    }
    double operator()(const TChartBlock&) const { return Pt(ChartStripHeightPt); }
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

    void PlaceTable(std::size_t index, const TTableBlock& table) {
        const double header = TableHeaderHeight(style_, table);
        const double row = TableRowHeight(style_);
        const std::size_t rows = table.RowCount();
        MakeRoom(header + (rows > 0 ? row : 0));
        std::size_t first = 0;
        do {
            const auto fit =
                static_cast<std::size_t>(std::max(1.0, std::floor((bottom_ - y_ - header) / row)));
            const std::size_t count = std::min(fit, rows - first);
            pages_.back().push_back({index, y_, first, count});
            y_ += header + static_cast<double>(count) * row;
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
        const double baseline = Where.Top + Pt(1) + metrics.ascent();
        Painter.setFont(Style.Font(text.Font));
        Painter.setPen(text.Color);
        QString shown = text.Text;
        if (metrics.horizontalAdvance(shown) > Pt(ContentWidthPt))
            shown = metrics.elidedText(shown, Qt::ElideRight, Pt(ContentWidthPt));
        Painter.drawText(QPointF(Pt(MarginPt), baseline), shown);
        if (text.Legend)
            PaintChartLegend(Painter, Style, baseline);
    }
    void operator()(const TGapBlock&) const {}
    void operator()(const TTableBlock& table) const {
        PaintTable(Painter, Style, table, Where.Top, Where.First, Where.Count);
    }
    void operator()(const TChartBlock& strip) const {
        PaintChartStrip(Painter, Style, strip, Where.Top);
    }
};

}  // namespace

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

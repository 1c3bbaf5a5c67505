#include "report/ReportChart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "report/ReportText.h"

namespace {

constexpr double AxisWidthPt = 34;
constexpr double CaptionPt = 13;
constexpr double LabelsPt = 28;
constexpr double GapPt = 10;
constexpr double MaxSlotPt = 36;
const QColor GridColor(0xdd, 0xdf, 0xe4);
const QColor LimitColor(0x10, 0x10, 0x10);

// An axis step of 1, 2 or 5 times a power of ten giving about five steps over span.
double NiceStep(double span) {
    const double raw = span / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double normal = raw / magnitude;
    const double factor = normal <= 1 ? 1 : normal <= 2 ? 2 : normal <= 5 ? 5 : 10;
    return factor * magnitude;
}

// Figures far beyond any reading are drawn at this bound, so that the axis's span stays finite.
double Bounded(double value) {
    return std::clamp(value, -1e300, 1e300);
}

void SetScale(const TChartSeries& series, TChartBlock& strip) {
    double low = 0;
    double high = 0;
    for (const TChartBar& bar : series.Bars) {
        low = std::min(low, Bounded(bar.Loss));
        high = std::max(high, Bounded(bar.Loss));
        if (bar.Limit)
            high = std::max(high, Bounded(*bar.Limit));
    }
    high = std::max(high, low + 0.5);
    strip.Step = NiceStep(high - low);
    strip.Low = std::floor(low / strip.Step) * strip.Step;
    strip.High = std::ceil(high / strip.Step) * strip.Step;
}

QString AxisText(double value, double step) {
    const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
    // No "-0" for a zero that rounding left negative.
    return QString::number(std::abs(value) < step / 2 ? 0.0 : value, 'f', decimals);
}

// The lines of a label under a width, each drawn centred.
std::vector<QString> LabelLines(TGlyphText& glyphs, const QString& text, double width) {
    return WrapText(text, width, [&](const QString& line) { return glyphs.Advance(line); });
}

double FiberRoom(const TChartBlock& strip) {
    return strip.SlotWidth - Pt(1);
}

// Calls f(first, end, row) for each run [first, end) of the strip's bars on one cable, row the
// table row of its last bar.
template <class F>
void ForEachCableRun(const TChartBlock& strip, F f) {
    const std::vector<TChartBar>& bars = strip.Series->Bars;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < strip.Count; ++i) {
        const std::size_t row = bars[strip.First + i].Row;
        if (i + 1 == strip.Count || strip.Table->SubItem(bars[strip.First + i + 1].Row, 0) !=
                                        strip.Table->SubItem(row, 0)) {
            f(runStart, i + 1, row);
            runStart = i + 1;
        }
    }
}

// The room a cable's label has under its bracket over bars [first, end).
double CableRoom(const TChartBlock& strip, std::size_t first, std::size_t end) {
    return static_cast<double>(end - first) * strip.SlotWidth - Pt(2);
}

void CountLabelLines(TGlyphText& glyphs, TChartBlock& strip) {
    const std::vector<TChartBar>& bars = strip.Series->Bars;
    for (std::size_t i = 0; i < strip.Count; ++i) {
        const QString fiber = Latin1(strip.Table->SubItem(bars[strip.First + i].Row, 1));
        strip.FiberLines =
            std::max(strip.FiberLines, LabelLines(glyphs, fiber, FiberRoom(strip)).size());
    }
    ForEachCableRun(strip, [&](std::size_t first, std::size_t end, std::size_t row) {
        const QString cable = Latin1(strip.Table->SubItem(row, 0));
        strip.CableLines = std::max(strip.CableLines,
                                    LabelLines(glyphs, cable, CableRoom(strip, first, end)).size());
    });
}

// Lines centred on x from the first baseline down, as glyphs where the font has them.
void AddCentred(QPainter& painter, TGlyphText& glyphs, const QFontMetricsF& metrics,
                const std::vector<QString>& lines, double x, double baseline) {
    for (const QString& line : lines) {
        const QPointF origin(x - glyphs.Advance(line) / 2, baseline);
        if (!glyphs.Append(line, origin))
            painter.drawText(origin, line);
        baseline += metrics.height();
    }
}

}  // namespace

std::vector<TChartBlock> ChartStrips(const TReportStyle& style, const TMeasurementTable& table,
                                     const TChartSeries& series) {
    const std::size_t bars = series.Bars.size();
    if (bars == 0)
        return {};
    TGlyphText glyphs(style.RawFont(TFontRole::Tiny), style.Metrics(TFontRole::Tiny));
    // A cable may have a single bar in a strip, so its label counts as well as the fibers'.
    double widest = 0;
    for (const TChartBar& bar : series.Bars) {
        widest = std::max({widest, glyphs.Advance(Latin1(table.SubItem(bar.Row, 1))),
                           glyphs.Advance(Latin1(table.SubItem(bar.Row, 0)))});
    }
    const double wanted = widest + Pt(2);
    const double plotWidth = Pt(ContentWidthPt - AxisWidthPt);
    const auto fitting = static_cast<std::size_t>(std::max(1.0, std::floor(plotWidth / wanted)));
    const std::size_t perStrip = std::clamp(fitting, MinBarsPerStrip, MaxBarsPerStrip);
    const std::size_t strips = (bars + perStrip - 1) / perStrip;
    TChartBlock strip;
    strip.Table = &table;
    strip.Series = &series;
    strip.Slots = (bars + strips - 1) / strips;
    // Few bars keep a bar chart's proportions, from the left, rather than spread out.
    strip.SlotWidth =
        std::min(plotWidth / static_cast<double>(strip.Slots), std::max(Pt(MaxSlotPt), wanted));
    SetScale(series, strip);
    std::vector<TChartBlock> result;
    for (std::size_t first = 0; first < bars; first += strip.Slots) {
        strip.First = first;
        strip.Count = std::min(strip.Slots, bars - first);
        strip.FiberLines = 1;
        strip.CableLines = 1;
        CountLabelLines(glyphs, strip);
        result.push_back(strip);
    }
    return result;
}

double ChartStripHeight(const TReportStyle& style, const TChartBlock& strip) {
    const double extraLines = static_cast<double>(strip.FiberLines + strip.CableLines - 2);
    return Pt(ChartStripHeightPt) + extraLines * style.Metrics(TFontRole::Tiny).height();
}

namespace {

// Under the plot: each bar's fiber, and each run of one cable's bars under a bracket.
void PaintLabels(QPainter& painter, const TReportStyle& style, const TChartBlock& strip,
                 double plotBottom) {
    const double plotLeft = Pt(MarginPt + AxisWidthPt);
    const double slot = strip.SlotWidth;
    const QFontMetricsF& tiny = style.Metrics(TFontRole::Tiny);
    const double fiberBaseline = plotBottom + Pt(3) + tiny.ascent();
    const double bracketY =
        fiberBaseline + static_cast<double>(strip.FiberLines - 1) * tiny.height() + Pt(4);
    const double cableBaseline = bracketY + Pt(2) + tiny.ascent();
    painter.setPen(Qt::black);
    painter.drawText(QPointF(Pt(MarginPt), fiberBaseline), QStringLiteral("Fiber"));
    painter.drawText(QPointF(Pt(MarginPt), cableBaseline), QStringLiteral("Cable"));
    painter.setFont(style.Font(TFontRole::Tiny));
    TGlyphText glyphs(style.RawFont(TFontRole::Tiny), tiny);
    const std::vector<TChartBar>& bars = strip.Series->Bars;
    for (std::size_t i = 0; i < strip.Count; ++i) {
        const QString fiber = Latin1(strip.Table->SubItem(bars[strip.First + i].Row, 1));
        const double centre = plotLeft + (static_cast<double>(i) + 0.5) * slot;
        AddCentred(painter, glyphs, tiny, LabelLines(glyphs, fiber, FiberRoom(strip)), centre,
                   fiberBaseline);
    }
    ForEachCableRun(strip, [&](std::size_t first, std::size_t end, std::size_t row) {
        const double left = plotLeft + static_cast<double>(first) * slot + Pt(1);
        const double right = plotLeft + static_cast<double>(end) * slot - Pt(1);
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), Pt(0.5)));
        painter.drawLine(QPointF(left, bracketY), QPointF(right, bracketY));
        painter.setPen(Qt::black);
        const QString cable = Latin1(strip.Table->SubItem(row, 0));
        AddCentred(painter, glyphs, tiny, LabelLines(glyphs, cable, CableRoom(strip, first, end)),
                   (left + right) / 2, cableBaseline);
    });
    if (!glyphs.Empty())
        painter.drawGlyphRun(QPointF(0, 0), glyphs.TakeRun());
}

}  // namespace

void PaintChartStrip(QPainter& painter, const TReportStyle& style, const TChartBlock& strip,
                     double top) {
    const std::vector<TChartBar>& bars = strip.Series->Bars;
    const double plotLeft = Pt(MarginPt + AxisWidthPt);
    const double plotWidth = Pt(ContentWidthPt - AxisWidthPt);
    const double plotTop = top + Pt(CaptionPt);
    const double plotHeight = Pt(ChartStripHeightPt - CaptionPt - LabelsPt - GapPt);
    const double plotBottom = plotTop + plotHeight;
    const double slot = strip.SlotWidth;
    const auto yOf = [&](double value) {
        return plotBottom - (Bounded(value) - strip.Low) / (strip.High - strip.Low) * plotHeight;
    };

    const QFontMetricsF& small = style.Metrics(TFontRole::Small);
    painter.setFont(style.Font(TFontRole::Small));
    painter.setPen(Qt::black);
    if (strip.Count < bars.size()) {
        painter.drawText(QPointF(plotLeft, top + small.ascent()),
                         QStringLiteral("Fibers %1 to %2 of %3")
                             .arg(strip.First + 1)
                             .arg(strip.First + strip.Count)
                             .arg(bars.size()));
    }

    // The grid and its figures; the zero line stronger.
    const int steps = static_cast<int>(std::lround((strip.High - strip.Low) / strip.Step));
    for (int i = 0; i <= steps; ++i) {
        const double value = strip.Low + i * strip.Step;
        const double y = yOf(value);
        const bool zero = std::abs(value) < strip.Step / 2;
        painter.setPen(QPen(zero ? QColor(0x60, 0x60, 0x60) : GridColor, Pt(zero ? 0.8 : 0.5)));
        painter.drawLine(QPointF(plotLeft, y), QPointF(plotLeft + plotWidth, y));
        painter.setPen(Qt::black);
        // Figures centred on their lines; the lowest above its line, clear of the labels below.
        const QString text = AxisText(value, strip.Step);
        const double baseline = i == 0 ? y - Pt(1) : y + small.ascent() / 2 - Pt(1);
        painter.drawText(QPointF(plotLeft - Pt(4) - small.horizontalAdvance(text), baseline), text);
    }

    // Bars, then the limits over them.
    const double barWidth = std::min(slot * 0.7, Pt(16));
    const double zeroY = yOf(0);
    for (std::size_t i = 0; i < strip.Count; ++i) {
        const TChartBar& bar = bars[strip.First + i];
        const double centre = plotLeft + (static_cast<double>(i) + 0.5) * slot;
        const double y = yOf(bar.Loss);
        QRectF rect(centre - barWidth / 2, std::min(y, zeroY), barWidth,
                    std::max(std::abs(y - zeroY), Pt(0.5)));
        painter.fillRect(rect, VerdictColor(bar.Kind));
    }
    painter.setPen(QPen(LimitColor, Pt(1.2), Qt::SolidLine, Qt::FlatCap));
    for (std::size_t i = 0; i < strip.Count; ++i) {
        const TChartBar& bar = bars[strip.First + i];
        if (!bar.Limit)
            continue;
        const double left = plotLeft + static_cast<double>(i) * slot;
        const double y = yOf(*bar.Limit);
        painter.drawLine(QPointF(left + slot * 0.05, y), QPointF(left + slot * 0.95, y));
    }

    PaintLabels(painter, style, strip, plotBottom);
}

void PaintChartLegend(QPainter& painter, const TReportStyle& style, double baseline) {
    const QFontMetricsF& metrics = style.Metrics(TFontRole::Small);
    painter.setFont(style.Font(TFontRole::Small));
    const double box = Pt(7);
    const double gap = Pt(10);
    const double boxTop = baseline - metrics.ascent() + (metrics.ascent() - box) / 2 + Pt(1);
    struct TKey {
        TVerdictKind Kind;
        QString Text;
    };
    const TKey keys[] = {{TVerdictKind::Pass, QStringLiteral("PASS")},
                         {TVerdictKind::Fail, QStringLiteral("FAIL")},
                         {TVerdictKind::Check, QStringLiteral("CHECK")},
                         {TVerdictKind::None, QStringLiteral("no verdict")}};
    const QString limitText = QStringLiteral("limit");
    double width = box * 2 + Pt(3) + metrics.horizontalAdvance(limitText);
    for (const TKey& key : keys)
        width += gap + box + Pt(3) + metrics.horizontalAdvance(key.Text);
    double x = Pt(MarginPt + ContentWidthPt) - width;
    for (const TKey& key : keys) {
        painter.fillRect(QRectF(x, boxTop, box, box), VerdictColor(key.Kind));
        x += box + Pt(3);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x, baseline), key.Text);
        x += metrics.horizontalAdvance(key.Text) + gap;
    }
    painter.setPen(QPen(LimitColor, Pt(1.2)));
    painter.drawLine(QPointF(x, boxTop + box / 2), QPointF(x + box * 2, boxTop + box / 2));
    x += box * 2 + Pt(3);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(x, baseline), limitText);
}

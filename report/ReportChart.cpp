#include "report/ReportChart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

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

// text centred on x, cut to width.
void DrawCentred(QPainter& painter, const QFontMetricsF& metrics, const QString& text, double x,
                 double width, double baseline) {
    QString shown = text;
    if (metrics.horizontalAdvance(shown) > width)
        shown = metrics.elidedText(text, Qt::ElideRight, width);
    painter.drawText(QPointF(x - metrics.horizontalAdvance(shown) / 2, baseline), shown);
}

}  // namespace

std::vector<TChartBlock> ChartStrips(const TMeasurementTable& table, const TChartSeries& series) {
    const std::size_t bars = series.Bars.size();
    const std::size_t strips = (bars + MaxBarsPerStrip - 1) / MaxBarsPerStrip;
    if (strips == 0)
        return {};
    TChartBlock strip;
    strip.Table = &table;
    strip.Series = &series;
    strip.Slots = (bars + strips - 1) / strips;
    SetScale(series, strip);
    std::vector<TChartBlock> result;
    for (std::size_t first = 0; first < bars; first += strip.Slots) {
        strip.First = first;
        strip.Count = std::min(strip.Slots, bars - first);
        result.push_back(strip);
    }
    return result;
}

void PaintChartStrip(QPainter& painter, const TReportStyle& style, const TChartBlock& strip,
                     double top) {
    const std::vector<TChartBar>& bars = strip.Series->Bars;
    const double plotLeft = Pt(MarginPt + AxisWidthPt);
    const double plotWidth = Pt(ContentWidthPt - AxisWidthPt);
    const double plotTop = top + Pt(CaptionPt);
    const double plotHeight = Pt(ChartStripHeightPt - CaptionPt - LabelsPt - GapPt);
    const double plotBottom = plotTop + plotHeight;
    // Few bars keep a bar chart's proportions, from the left, rather than spread out.
    const double slot = std::min(plotWidth / static_cast<double>(strip.Slots), Pt(MaxSlotPt));
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

    // Under the plot: each bar's fiber, and each run of one cable's bars under a bracket.
    const TMeasurementTable& table = *strip.Table;
    const QFontMetricsF& tiny = style.Metrics(TFontRole::Tiny);
    const double fiberBaseline = plotBottom + Pt(3) + tiny.ascent();
    const double bracketY = fiberBaseline + Pt(4);
    const double cableBaseline = bracketY + Pt(2) + tiny.ascent();
    painter.setPen(Qt::black);
    painter.drawText(QPointF(Pt(MarginPt), fiberBaseline), QStringLiteral("Fiber"));
    painter.drawText(QPointF(Pt(MarginPt), cableBaseline), QStringLiteral("Cable"));
    painter.setFont(style.Font(TFontRole::Tiny));
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < strip.Count; ++i) {
        const std::size_t row = bars[strip.First + i].Row;
        const double centre = plotLeft + (static_cast<double>(i) + 0.5) * slot;
        DrawCentred(painter, tiny, Latin1(table.SubItem(row, 1)), centre, slot - Pt(1),
                    fiberBaseline);
        const bool runEnds = i + 1 == strip.Count || table.SubItem(bars[strip.First + i + 1].Row,
                                                                   0) != table.SubItem(row, 0);
        if (!runEnds)
            continue;
        const double left = plotLeft + static_cast<double>(runStart) * slot + Pt(1);
        const double right = plotLeft + static_cast<double>(i + 1) * slot - Pt(1);
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), Pt(0.5)));
        painter.drawLine(QPointF(left, bracketY), QPointF(right, bracketY));
        painter.setPen(Qt::black);
        DrawCentred(painter, tiny, Latin1(table.SubItem(row, 0)), (left + right) / 2, right - left,
                    cableBaseline);
        runStart = i + 1;
    }
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

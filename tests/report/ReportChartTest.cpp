#include "report/ReportChart.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPdfWriter>

namespace {

// A series of one bar per row of table, all on one wavelength.
TChartSeries SeriesOf(const TMeasurementTable& table) {
    TChartSeries series{"1310", {}};
    for (std::size_t row = 0; row < table.RowCount(); ++row)
        series.Bars.push_back({row, 1.0, 2.0, TVerdictKind::Pass});
    return series;
}

class TChartStripsTest : public testing::Test {
protected:
    TChartStripsTest() : writer_(&buffer_) {
        buffer_.open(QIODevice::WriteOnly);
        writer_.setResolution(ReportResolution);
    }

    QBuffer buffer_;
    QPdfWriter writer_;
    TMeasurementTable table_{TTablePage::Relative};
};

TEST_F(TChartStripsTest, WideLabelsGetFewerBarsToAStripAndWhatStillDoesNotFitWraps) {
    const TReportStyle style(&writer_);
    for (int i = 1; i <= 60; ++i)
        table_.AddRow("BLDG-A-R12-P03", "F0" + std::to_string(i) + "-BLUE", "1310", "-1", "-10");
    const TChartSeries series = SeriesOf(table_);
    const std::vector<TChartBlock> strips = ChartStrips(style, table_, series);
    ASSERT_GT(strips.size(), 2u);
    EXPECT_LT(strips[0].Slots, MaxBarsPerStrip);
    const QFontMetricsF& tiny = style.Metrics(TFontRole::Tiny);
    std::size_t bars = 0;
    for (const TChartBlock& strip : strips) {
        EXPECT_EQ(strip.First, bars);
        bars += strip.Count;
        EXPECT_GE(strip.SlotWidth - Pt(1), tiny.horizontalAdvance(QStringLiteral("F060-BLUE")));
        EXPECT_GE(strip.SlotWidth - Pt(1),
                  tiny.horizontalAdvance(QStringLiteral("BLDG-A-R12-P03")));
        EXPECT_EQ(strip.FiberLines, 1u);
        EXPECT_EQ(strip.CableLines, 1u);
        EXPECT_DOUBLE_EQ(ChartStripHeight(style, strip), Pt(ChartStripHeightPt));
    }
    EXPECT_EQ(bars, 60u);

    // Labels wider than a bar of the narrowest strip take more lines, and the strip grows.
    TMeasurementTable wide(TTablePage::Relative);
    const std::string fiber(60, 'W');
    for (int i = 0; i < 12; ++i)
        wide.AddRow(std::to_string(i), fiber, "1310", "-1", "-10");
    const TChartSeries wideSeries = SeriesOf(wide);
    const std::vector<TChartBlock> wideStrips = ChartStrips(style, wide, wideSeries);
    ASSERT_EQ(wideStrips.size(), 2u);
    EXPECT_EQ(wideStrips[0].Slots, 6u);  // ten at most, so 12 bars in two even strips
    EXPECT_GT(wideStrips[0].FiberLines, 1u);
    EXPECT_DOUBLE_EQ(
        ChartStripHeight(style, wideStrips[0]),
        Pt(ChartStripHeightPt) + static_cast<double>(wideStrips[0].FiberLines - 1) * tiny.height());

    // Short labels keep fifty bars to a strip.
    TMeasurementTable narrow(TTablePage::Relative);
    for (int i = 0; i < 120; ++i)
        narrow.AddRow(std::to_string(i / 12 + 1), std::to_string(i % 12 + 1), "1310", "-1", "-10");
    const TChartSeries narrowSeries = SeriesOf(narrow);
    EXPECT_EQ(ChartStrips(style, narrow, narrowSeries)[0].Slots, 40u);  // 120 in three strips
}

}  // namespace

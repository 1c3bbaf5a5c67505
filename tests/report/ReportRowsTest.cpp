#include "report/ReportGroups.h"
#include "report/ReportRows.h"

#include <gtest/gtest.h>

TEST(NaturalLessTest, OrdersNumbersByValue) {
    struct TCase {
        const char* A;
        const char* B;
        bool Less;
    };
    const TCase cases[] = {{"2", "10", true},   {"10", "2", false},       {"A2", "A10", true},
                           {"007", "7", false}, {"7", "007", false},      {"1", "1a", true},
                           {"b", "a", false},   {"9", "A", true},         {"1-2", "1-10", true},
                           {"", "0", true},     {"x20y3", "x20y12", true}};
    for (const TCase& c : cases)
        EXPECT_EQ(NaturalLess(c.A, c.B), c.Less) << c.A << " < " << c.B;
}

TEST(ReportRowsTest, TickedRowsCountedPerVerdictAndWavelength) {
    TMeasurementTable table(TTablePage::Relative);
    const std::vector<TVerdict> verdicts = {{TVerdictKind::Pass, 1.0, 2.0, 1.0},
                                            {TVerdictKind::Fail, 3.0, 2.0, -1.0},
                                            {TVerdictKind::Check, -0.5, 2.0, 2.5},
                                            {TVerdictKind::Fail, 4.0, 2.0, -2.0},
                                            {TVerdictKind::None, 1.0, {}, {}}};
    table.AddRow("10", "1", "1550", "-1", "-10");
    table.AddRow("2", "2", "1310", "-3", "-10");
    table.AddRow("2", "1", "1310", "0.5", "-10");
    table.AddRow("1", "1", "1310", "-4", "-10");  // unticked
    table.AddRow("1", "1", "850", "-1", "-10");
    table.SetAllChecked(true);
    table.SetChecked(3, false);

    const TReportRows rows = CollectReportRows(table, verdicts, true);
    ASSERT_EQ(rows.Rows.size(), 4u);
    EXPECT_EQ(rows.Rows[3].Row, 4u);
    EXPECT_EQ(rows.Rows[3].Verdict, &verdicts[4]);
    EXPECT_EQ(rows.Counts, (TVerdictCounts{1, 1, 1, 1}));
    ASSERT_EQ(rows.ByWaveLength.size(), 3u);
    EXPECT_EQ(rows.ByWaveLength[0].WaveLength, "850");
    EXPECT_EQ(rows.ByWaveLength[1].WaveLength, "1310");
    EXPECT_EQ(rows.ByWaveLength[1].Counts, (TVerdictCounts{0, 1, 1, 0}));
    EXPECT_EQ(rows.ByWaveLength[2].WaveLength, "1550");
    EXPECT_EQ(CollectReportRows(table, verdicts, false).Rows.size(), 5u);

    // Bars in cable, then fiber order; a wavelength's bars are its rows with a loss.
    const std::vector<TChartSeries> series = CollectChartSeries(table, rows);
    ASSERT_EQ(series.size(), 3u);
    ASSERT_EQ(series[1].Bars.size(), 2u);
    EXPECT_EQ(series[1].Bars[0].Row, 2u);
    EXPECT_EQ(series[1].Bars[1].Row, 1u);
    EXPECT_EQ(series[1].Bars[1].Kind, TVerdictKind::Fail);
    EXPECT_EQ(series[1].Bars[1].Limit, 2.0);

    EXPECT_THROW(CollectReportRows(table, {verdicts[0]}, true), std::invalid_argument);
}

// Readings are counted and charted by the budget's wavelength keys: 1290, 1310 and 1330 nm
// under a 1310 key are one group, readings near no key one "other" group, last.
TEST(ReportRowsTest, GroupedByTheBudgetsWavelengthKeys) {
    TMeasurementTable table(TTablePage::Relative);
    const std::vector<TVerdict> verdicts = {
        {TVerdictKind::Pass, 1.0, 2.0, 1.0}, {TVerdictKind::Fail, 3.0, 2.0, -1.0},
        {TVerdictKind::Pass, 1.5, 2.0, 0.5}, {TVerdictKind::Pass, 0.5, 3.0, 2.5},
        {TVerdictKind::None, 1.0, {}, {}},   {TVerdictKind::None, 1.0, {}, {}},
        {TVerdictKind::Fail, 2.5, 2.0, -0.5}};
    table.AddRow("1", "1", "1290", "-1", "-10");
    table.AddRow("1", "2", "1310", "-3", "-10");
    table.AddRow("1", "3", "1330", "-1.5", "-10");
    table.AddRow("1", "1", "850", "-0.5", "-10");
    table.AddRow("1", "1", "1625", "-1", "-10");
    table.AddRow("1", "2", "1331", "-1", "-10");
    table.AddRow("2", "1", "1550", "-2.5", "-10");
    table.SetAllChecked(true);
    const std::vector<int> keys{850, 1310, 1550};
    EXPECT_EQ(WavelengthGroupName("1290", keys), "1310");
    EXPECT_EQ(WavelengthGroupName("1331", keys), "other");
    EXPECT_EQ(WavelengthGroupName("x", keys), "other");

    TReportRows rows = CollectReportRows(table, verdicts, true);
    GroupByBudgetWavelengths(rows, table, keys);
    ASSERT_EQ(rows.ByWaveLength.size(), 4u);
    EXPECT_EQ(rows.ByWaveLength[0].WaveLength, "850");
    EXPECT_EQ(rows.ByWaveLength[1].WaveLength, "1310");
    EXPECT_EQ(rows.ByWaveLength[1].Counts, (TVerdictCounts{2, 1, 0, 0}));
    EXPECT_EQ(rows.ByWaveLength[2].WaveLength, "1550");
    EXPECT_EQ(rows.ByWaveLength[3].WaveLength, "other");
    EXPECT_EQ(rows.ByWaveLength[3].Counts, (TVerdictCounts{0, 0, 0, 2}));

    const std::vector<TChartSeries> series = CollectChartSeries(table, rows, &keys);
    ASSERT_EQ(series.size(), 4u);
    ASSERT_EQ(series[1].Bars.size(), 3u);
    EXPECT_EQ(series[1].Bars[0].Row, 0u);
    EXPECT_EQ(series[1].Bars[1].Row, 1u);
    EXPECT_EQ(series[1].Bars[2].Row, 2u);
    EXPECT_EQ(series[3].Bars.size(), 2u);
}

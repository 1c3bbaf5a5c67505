// The job report's table made from results given by hand: which figure goes in which
// column for each shape of row, the notes, the text's alignment and the counts' wording.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "jobs/JobReportColumns.h"
#include "tools/cli/JobOptions.h"
#include "tools/cli/JobReport.h"
#include "tools/cli/TextColumns.h"

namespace {

TRowReading Reading(TDirection direction, double value, TVerdict verdict) {
    TRowReading reading;
    reading.WaveLength = 1310;
    reading.Value = value;
    reading.Reference = -10;
    reading.Direction = direction;
    reading.Download = 1;
    reading.Verdict = verdict;
    return reading;
}

TResultRow Row(TRowShape shape, std::string fiber, TRowReading reading) {
    TResultRow row;
    row.Cable = "C\xC4";  // Latin-1 Ä
    row.Fiber = std::move(fiber);
    row.WaveLengthKey = 1310;
    row.IsRelative = shape != TRowShape::Absolute;
    row.Shape = shape;
    row.Reading = reading;
    row.Limit = reading.Verdict.Limit;
    row.Margin = reading.Verdict.Margin;
    row.Kind = reading.Verdict.Kind;
    return row;
}

// One row of every shape: a pair (0.42 and 0.48, average 0.45), a B->A reading without its
// partner, a reading without a direction, an absolute reading with a re-test in its history.
TJobResults Results() {
    TJobResults results;
    TResultRow pair = Row(TRowShape::Pair, "1",
                          Reading(TDirection::AToB, -0.42, {TVerdictKind::Pass, 0.42, 1.0, 0.58}));
    pair.Partner = Reading(TDirection::BToA, -0.48, {TVerdictKind::Pass, 0.48, 1.0, 0.52});
    pair.Average = 0.45;
    pair.Margin = 0.55;
    results.Rows.push_back(pair);
    results.Rows.push_back(
        Row(TRowShape::OneDirection, "2",
            Reading(TDirection::BToA, -1.25, {TVerdictKind::Fail, 1.25, 1.0, -0.25})));
    results.Rows.push_back(
        Row(TRowShape::Single, "3",
            Reading(TDirection::None, -0.5, {TVerdictKind::Pass, 0.5, 1.0, 0.5})));
    TResultRow absolute =
        Row(TRowShape::Absolute, "4",
            Reading(TDirection::AToB, -3.1, {TVerdictKind::Pass, std::nullopt, std::nullopt, 0.1}));
    absolute.History.push_back(THistoryReading{1310, -2.5, 0, TDirection::AToB, 1, TFigure()});
    results.Rows.push_back(absolute);
    results.Counts.Rows = {3, 1, 0, 0};
    results.Counts.Pairs = 1;
    results.Counts.OneDirection = 1;
    results.Counts.Current = 5;
    results.Counts.History = 1;
    results.Counts.Repeats = 1;
    return results;
}

std::vector<std::string> Texts(const std::vector<TGridCell>& cells) {
    std::vector<std::string> texts;
    for (const TGridCell& cell : cells)
        texts.push_back(cell.Text);
    return texts;
}

TEST(JobReportGridTest, EachShapeOfRowPutsItsFiguresInTheirColumns) {
    const TExportGrid grid = JobReportGrid(Results());
    EXPECT_EQ(grid.Captions,
              (std::vector<std::string>{"Cable", "Fiber", "WaveLength", "A→B", "B→A", "Average",
                                        "Limit", "Margin", "Verdict", "Note"}));
    ASSERT_EQ(grid.Rows.size(), 4u);
    using V = std::vector<std::string>;
    EXPECT_EQ(Texts(grid.Rows[0]),
              (V{"CÄ", "1", "1310", "0.42", "0.48", "0.45", "1.00", "0.55", "PASS", ""}));
    EXPECT_EQ(Texts(grid.Rows[1]),
              (V{"CÄ", "2", "1310", "", "1.25", "", "1.00", "-0.25", "FAIL", "one direction"}));
    EXPECT_EQ(Texts(grid.Rows[2]),
              (V{"CÄ", "3", "1310", "", "", "0.50", "1.00", "0.50", "PASS", "no direction"}));
    EXPECT_EQ(Texts(grid.Rows[3]), (V{"CÄ", "4", "1310", "-3.10", "", "", "", "0.10", "PASS",
                                      "absolute (dBm); re-tested"}));
}

// The workbook gets the doubles, not the rounded figures; texts stay texts.
TEST(JobReportGridTest, FiguresAreNumbersWithTheirDoubles) {
    const TExportGrid grid = JobReportGrid(Results());
    const std::vector<TGridCell>& pair = grid.Rows[0];
    EXPECT_EQ(pair[2].Number, 1310.0);
    EXPECT_EQ(pair[2].Decimals, 0);
    EXPECT_EQ(pair[3].Number, 0.42);
    EXPECT_EQ(pair[5].Number, 0.45);
    EXPECT_EQ(pair[5].Decimals, 2);
    EXPECT_FALSE(pair[0].Number.has_value());
    EXPECT_FALSE(pair[8].Number.has_value());
    EXPECT_FALSE(grid.Rows[1][3].Number.has_value());
    EXPECT_EQ(grid.Rows[3][3].Number, -3.1);
}

// A limit shows the decimals it needs; the readings, the average and the margin of its row
// follow it, and a reading 0.002 dB over never reads as its limit beside FAIL. The workbook's
// number formats have the texts' decimals.
TEST(JobReportGridTest, FiguresShowTheDecimalsTheirLimitNeeds) {
    TJobResults results;
    TResultRow pair = Row(TRowShape::Pair, "1",
                          Reading(TDirection::AToB, -1.5, {TVerdictKind::Pass, 1.5, 1.815, 0.315}));
    pair.Partner =
        Reading(TDirection::BToA, -1.817, {TVerdictKind::Fail, 1.817, 1.815, 1.815 - 1.817});
    pair.Average = 1.6585;
    pair.Loss = 1.817;
    pair.Margin = 1.815 - 1.817;
    pair.Kind = TVerdictKind::Fail;
    results.Rows.push_back(pair);
    results.Rows.push_back(
        Row(TRowShape::OneDirection, "2",
            Reading(TDirection::AToB, -1.802, {TVerdictKind::Fail, 1.802, 1.8, 1.8 - 1.802})));
    const TExportGrid grid = JobReportGrid(results);
    using V = std::vector<std::string>;
    EXPECT_EQ(Texts(grid.Rows[0]),
              (V{"CÄ", "1", "1310", "1.500", "1.817", "1.659", "1.815", "-0.002", "FAIL", ""}));
    EXPECT_EQ(Texts(grid.Rows[1]),
              (V{"CÄ", "2", "1310", "1.802", "", "", "1.80", "-0.002", "FAIL", "one direction"}));
    EXPECT_EQ(grid.Rows[0][LimitColumn].Decimals, 3);
    EXPECT_EQ(grid.Rows[1][AToBColumn].Decimals, 3);
    EXPECT_EQ(grid.Rows[1][LimitColumn].Decimals, 2);
}

TEST(JobReportGridTest, TextIsAlignedByCharactersNotBytes) {
    EXPECT_EQ(
        JobReportText(JobReportGrid(Results())),
        "Cable  Fiber  WaveLength    A→B   B→A  Average  Limit  Margin  Verdict  Note\n"
        "CÄ     1            1310   0.42  0.48     0.45   1.00    0.55  PASS\n"
        "CÄ     2            1310         1.25            1.00   -0.25  FAIL     one direction\n"
        "CÄ     3            1310                  0.50   1.00    0.50  PASS     no direction\n"
        "CÄ     4            1310  -3.10                          0.10  PASS     "
        "absolute (dBm); re-tested\n");
}

TEST(JobReportGridTest, CountsSayWhatTheResultsHold) {
    TJobResults results = Results();
    results.Fibres = {{"C", "1", TVerdictKind::Pass}, {"C", "2", TVerdictKind::Fail}};
    results.Completeness.Expected = 12;
    results.Completeness.Tested = 10;
    results.Completeness.Cables = {{"CÄ", 12, 10, {"7", "11"}}};
    EXPECT_EQ(JobCountsText(results),
              "5 current readings, 1 history, 1 repeat\n"
              "1 pair, 1 one direction\n"
              "a pair's limit, margin and verdict are its worse direction's (pair rule worst)\n"
              "4 rows: 3 pass, 1 fail\n"
              "2 fibres: 1 pass, 1 fail\n"
              "10 of 12 fibres tested\n"
              "untested in cable CÄ: 7, 11\n");
    results.Counts.Rows = {1, 0, 0, 2};
    results.PairRule = TPairRule::Average;
    results.Completeness = {};
    results.Fibres.clear();
    EXPECT_EQ(JobCountsText(results),
              "5 current readings, 1 history, 1 repeat\n"
              "1 pair, 1 one direction\n"
              "a pair's limit, margin and verdict are its average's (pair rule average)\n"
              "1 row: 1 pass\n"
              "2 rows without a verdict\n");
}

TEST(AlignedColumnsTest, PadsByCharactersAndCutsTrailingBlanks) {
    EXPECT_EQ(AlignedColumns({{"A→B", "n", ""}, {"x", "10", "z"}}, {false, true, false}),
              "A→B   n\n"
              "x    10  z\n");
}

struct TDateCase {
    const char* text;
    bool valid;
};

class CalendarDateTest : public testing::TestWithParam<TDateCase> {};

TEST_P(CalendarDateTest, OnlyRealDatesWrittenYearMonthDay) {
    EXPECT_EQ(IsCalendarDate(GetParam().text), GetParam().valid) << GetParam().text;
}

const TDateCase DateCases[] = {
    {"2026-12-07", true},   {"2024-02-29", true},  {"2000-02-29", true},  {"1900-02-29", false},
    {"2026-02-29", false},  {"2026-04-31", false}, {"2026-13-01", false}, {"2026-00-10", false},
    {"2026-01-00", false},  {"2026-1-07", false},  {"26-12-07", false},   {"2026/12/07", false},
    {"2026-12-07x", false}, {"", false},           {"2026-12-3a", false},
};

INSTANTIATE_TEST_SUITE_P(Dates, CalendarDateTest, testing::ValuesIn(DateCases),
                         [](const auto& param) {
                             std::string name;
                             for (const char c : std::string(param.param.text))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return "Case" + std::to_string(param.index) + "_" + name;
                         });

}  // namespace

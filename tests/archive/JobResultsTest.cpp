// A job's results from its downloads: keys, repeats, re-tests, pairs, fibre results and
// completeness, on hand-made dumps and on records made in place, every figure worked out by
// hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/JobResults.h"
#include "data/uMeranie.h"
#include "support/Throws.h"
#include "sys/TextFile.h"

namespace {

const std::string Fixtures = MERIDAX_ARCHIVE_FIXTURES;

TMeranie Relative(const std::string& cable, const std::string& fiber, double waveLength,
                  double value, double reference = -10) {
    return {cable, fiber, waveLength, value, reference, true};
}

TMeranie Absolute(const std::string& cable, const std::string& fiber, double waveLength,
                  double value) {
    return {cable, fiber, waveLength, value, 0, false};
}

TDownload Download(std::int64_t number, const std::string& testDate, TDirection direction,
                   const TMeraniaArray& records) {
    TDownload download;
    download.Number = number;
    download.TestDate = testDate;
    download.Direction = direction;
    download.AddedAt = "2026-12-01T08:00:00.000000Z";
    download.Sha256 = std::string(63, '0') + std::to_string(number % 10);
    for (const TMeranie& record : records)
        download.Readings.push_back({record, direction});
    return download;
}

TDownload FixtureDownload(std::int64_t number, const std::string& file,
                          const std::string& testDate, TDirection direction) {
    TMeraniaArray records;
    ParseDeviceDump(ReadWholeFile(Fixtures + "/" + file), records);
    return Download(number, testDate, direction, records);
}

TBudget FixtureBudget() {
    return ReadBudgetFile(Fixtures + "/budget.json");
}

// The fixtures' budget under a pair rule.
TBudget FixedLimits(TPairRule rule) {
    TBudget budget = FixtureBudget();
    budget.PairRule = rule;
    return budget;
}

const char* ShapeName(TRowShape shape) {
    switch (shape) {
        case TRowShape::Single:
            return "single";
        case TRowShape::Pair:
            return "pair";
        case TRowShape::OneDirection:
            return "one-direction";
        case TRowShape::Absolute:
            break;
    }
    return "absolute";
}

std::string FigureText(const TFigure& figure) {
    return figure ? TwoDecimals(*figure) : std::string("none");
}

// "a-b -0.42#1 PASS": direction ("-" for none), value, download, the reading's own verdict.
std::string ReadingText(const TRowReading& reading) {
    const std::string direction =
        reading.Direction == TDirection::None ? "-" : DirectionName(reading.Direction);
    const std::string kind =
        reading.Verdict.Kind == TVerdictKind::None ? "none" : VerdictText(reading.Verdict.Kind);
    return direction + " " + TwoDecimals(reading.Value) + "#" + std::to_string(reading.Download) +
           " " + kind;
}

// A row in one line, so that a table of expected rows reads like the report.
std::string RowText(const TResultRow& row) {
    std::string text = row.Cable + "/" + row.Fiber + " " + std::to_string(row.WaveLengthKey) +
                       " " + ShapeName(row.Shape) + ": " + ReadingText(row.Reading);
    if (row.Shape == TRowShape::Pair)
        text += ", " + ReadingText(row.Partner) + ", average " + FigureText(row.Average);
    text += ", limit " + FigureText(row.Limit) + ", margin " + FigureText(row.Margin) + " => " +
            (row.Kind == TVerdictKind::None ? "none" : VerdictText(row.Kind));
    for (const THistoryReading& earlier : row.History) {
        text += ", was " + std::string(DirectionName(earlier.Direction)) + " " +
                TwoDecimals(earlier.Value) + "#" + std::to_string(earlier.Download);
    }
    return text;
}

std::vector<std::string> RowTexts(const TJobResults& results) {
    std::vector<std::string> texts;
    for (const TResultRow& row : results.Rows)
        texts.push_back(RowText(row));
    return texts;
}

std::vector<std::string> FibreTexts(const TJobResults& results) {
    std::vector<std::string> texts;
    for (const TFibreResult& fibre : results.Fibres)
        texts.push_back(fibre.Cable + "/" + fibre.Fiber + " " + VerdictText(fibre.Kind));
    return texts;
}

}  // namespace

namespace {

// The fixtures by their number, in the order they were added; test dates one day apart.
TDownload Fixture(std::int64_t number) {
    switch (number) {
        case 1:
            return FixtureDownload(1, "meter1-a-b.dump", "2026-11-02", TDirection::AToB);
        case 2:
            return FixtureDownload(2, "meter1-b-a.dump", "2026-11-03", TDirection::BToA);
        case 3:
            return FixtureDownload(3, "meter2-retest-a-b.dump", "2026-11-04", TDirection::AToB);
        default:
            return FixtureDownload(4, "meter1-again-a-b.dump", "2026-11-05", TDirection::AToB);
    }
}

struct TFixtureCase {
    const char* Name;
    TBudget (*MakeBudget)();  // called in the test, not when the cases are listed
    std::vector<std::int64_t> Added;  // fixture numbers
    std::vector<std::int64_t> Voided;
    std::vector<std::string> Rows;
    TJobCounts Counts;
    std::vector<std::string> Fibres;
    int Tested = 0;  // of 8 fibres expected on R
    std::vector<std::string> Untested;
};

class FixtureJob : public testing::TestWithParam<TFixtureCase> {};

TEST_P(FixtureJob, GivesTheRowsCountsAndFibresWorkedOutByHand) {
    const TFixtureCase& expected = GetParam();
    std::vector<TDownload> downloads;
    // Added newest first: the test dates, not the list, put them in order.
    for (auto number = expected.Added.rbegin(); number != expected.Added.rend(); ++number) {
        downloads.push_back(Fixture(*number));
        for (const std::int64_t voided : expected.Voided)
            downloads.back().Void = downloads.back().Void || voided == *number;
    }
    const TJobResults results = ComputeJobResults(expected.MakeBudget(), {{"R", 8}}, downloads);
    EXPECT_EQ(RowTexts(results), expected.Rows);
    EXPECT_EQ(results.Counts, expected.Counts);
    EXPECT_EQ(FibreTexts(results), expected.Fibres);
    EXPECT_EQ(CompletenessText(results.Completeness),
              std::to_string(expected.Tested) + " of 8 fibres tested");
    ASSERT_EQ(results.Completeness.Cables.size(), 1u);
    EXPECT_EQ(results.Completeness.Cables[0].Untested, expected.Untested);
    EXPECT_EQ(results.VoidDownloads.size(), expected.Voided.size());
}

const char* const Fibre1At1310 =
    "R/1 1310 pair: a-b -0.42#1 PASS, b-a -0.48#2 PASS, average 0.45, limit 1.00, "
    "margin 0.55 => PASS";
// The power reading: -3.10 dBm is 0.10 dB inside the window's -3 dBm.
const char* const Fibre1Power =
    "R/1 1310 absolute: a-b -3.10#1 PASS, limit none, margin 0.10 => PASS";
const char* const Fibre1At1550 =
    "R/1 1550 pair: a-b -0.35#1 PASS, b-a -0.31#2 PASS, average 0.33, limit 0.80, "
    "margin 0.47 => PASS";
const char* const Fibre2At1310 =
    "R/2 1310 pair: a-b -0.61#1 PASS, b-a -0.57#2 PASS, average 0.59, limit 1.00, "
    "margin 0.41 => PASS";
// The second meter's re-test: 0.58 then 0.55 in one download, the later wins; the first
// meter's 0.95 comes back in download 4 as a repeat and does not undo it.
const char* const Fibre2At1550Retested =
    "R/2 1550 pair: a-b -0.55#3 PASS, b-a -0.65#2 PASS, average 0.60, limit 0.80, "
    "margin 0.20 => PASS, was a-b -0.95#1, was a-b -0.58#3";
// A gain of 0.30 dB beyond the 0.20 tolerance: CHECK under either rule.
const char* const Fibre3At1310 =
    "R/3 1310 pair: a-b -0.50#1 PASS, b-a 0.30#2 CHECK, average 0.10, limit 1.00, "
    "margin 0.90 => CHECK";
// 1548 nm keys to the budget's 1550.
const char* const Fibre3At1550 =
    "R/3 1550 pair: a-b -0.40#1 PASS, b-a -0.44#2 PASS, average 0.42, limit 0.80, "
    "margin 0.38 => PASS";
const char* const Fibre4 =
    "R/4 1310 one-direction: a-b -0.30#1 PASS, limit 1.00, margin 0.70 => PASS";
const char* const Fibre5 =
    "R/5 1310 one-direction: b-a -0.70#2 PASS, limit 1.00, margin 0.30 => PASS";
const char* const Fibre7 =
    "R/07 1310 one-direction: a-b -0.52#4 PASS, limit 1.00, margin 0.48 => PASS";
// Without the re-test: 0.95 and 0.65 average 0.80, on the limit.
const char* const Fibre2At1550Failing =
    "R/2 1550 pair: a-b -0.95#1 FAIL, b-a -0.65#2 PASS, average 0.80, limit 0.80, "
    "margin 0.00 => ";

std::vector<std::string> AllFourRows() {
    return {Fibre1At1310, Fibre1Power,  Fibre1At1550, Fibre2At1310, Fibre2At1550Retested,
            Fibre3At1310, Fibre3At1550, Fibre4,       Fibre5,       Fibre7};
}

std::vector<std::string> WithoutRetestRows(const char* fibre2Kind) {
    return {Fibre1At1310, Fibre1Power,  Fibre1At1550,
            Fibre2At1310, std::string(Fibre2At1550Failing) + fibre2Kind,
            Fibre3At1310, Fibre3At1550, Fibre4,       Fibre5,       Fibre7};
}

const std::vector<std::string> AllFibresPass3Check = {"R/1 PASS", "R/2 PASS", "R/3 CHECK",
                                                      "R/4 PASS", "R/5 PASS", "R/07 PASS"};

TJobCounts Counts(TVerdictCounts rows, std::size_t pairs, std::size_t oneDirection,
                  std::size_t current, std::size_t history, std::size_t repeats,
                  std::size_t downloads, std::size_t voids) {
    return {rows, pairs, oneDirection, current, history, repeats, downloads, voids};
}

// A budget of 1310 nm only: 1550 and 1548 nm key apart, nothing judges them.
TBudget Only1310() {
    TBudget budget;
    budget.MaxLossDb = {{1310, 1.0}};
    return budget;
}

std::vector<TFixtureCase> FixtureCases() {
    return {
        // 16 current readings: 6 pairs, 3 one-direction, 1 absolute. Repeats: the re-test's
        // 0.61 and all 8 old records of download 4.
        {"AllFourWorst", FixtureBudget, {1, 2, 3, 4}, {}, AllFourRows(),
         Counts({9, 0, 1, 0}, 6, 3, 16, 2, 9, 4, 0), AllFibresPass3Check, 6, {"6", "8"}},
        {"AllFourAverage", +[] { return FixedLimits(TPairRule::Average); }, {1, 2, 3, 4}, {}, AllFourRows(),
         Counts({9, 0, 1, 0}, 6, 3, 16, 2, 9, 4, 0), AllFibresPass3Check, 6, {"6", "8"}},
        // The re-test void: the worse direction fails the pair, the average is on the limit.
        {"RetestVoidWorst", +[] { return FixedLimits(TPairRule::Worst); }, {1, 2, 3, 4}, {3},
         WithoutRetestRows("FAIL"), Counts({8, 1, 1, 0}, 6, 3, 16, 0, 8, 3, 1),
         {"R/1 PASS", "R/2 FAIL", "R/3 CHECK", "R/4 PASS", "R/5 PASS", "R/07 PASS"}, 6,
         {"6", "8"}},
        {"RetestVoidAverage", +[] { return FixedLimits(TPairRule::Average); }, {1, 2, 3, 4}, {3},
         WithoutRetestRows("PASS"), Counts({9, 0, 1, 0}, 6, 3, 16, 0, 8, 3, 1),
         AllFibresPass3Check, 6, {"6", "8"}},
        {"AToBOnly", FixtureBudget, {1}, {},
         {"R/1 1310 one-direction: a-b -0.42#1 PASS, limit 1.00, margin 0.58 => PASS",
          Fibre1Power,
          "R/1 1550 one-direction: a-b -0.35#1 PASS, limit 0.80, margin 0.45 => PASS",
          "R/2 1310 one-direction: a-b -0.61#1 PASS, limit 1.00, margin 0.39 => PASS",
          "R/2 1550 one-direction: a-b -0.95#1 FAIL, limit 0.80, margin -0.15 => FAIL",
          "R/3 1310 one-direction: a-b -0.50#1 PASS, limit 1.00, margin 0.50 => PASS",
          "R/3 1550 one-direction: a-b -0.40#1 PASS, limit 0.80, margin 0.40 => PASS", Fibre4},
         Counts({7, 1, 0, 0}, 0, 7, 8, 0, 0, 1, 0),
         {"R/1 PASS", "R/2 FAIL", "R/3 PASS", "R/4 PASS"}, 4, {"5", "6", "7", "8"}},
        {"Only1310Keyed", Only1310, {1, 2, 3, 4}, {},
         {Fibre1At1310, "R/1 1310 absolute: a-b -3.10#1 none, limit none, margin none => none",
          "R/1 1550 pair: a-b -0.35#1 none, b-a -0.31#2 none, average 0.33, limit none, "
          "margin none => none",
          Fibre2At1310,
          "R/2 1550 pair: a-b -0.55#3 none, b-a -0.65#2 none, average 0.60, limit none, "
          "margin none => none, was a-b -0.95#1, was a-b -0.58#3",
          Fibre3At1310,
          "R/3 1548 one-direction: b-a -0.44#2 none, limit none, margin none => none",
          "R/3 1550 one-direction: a-b -0.40#1 none, limit none, margin none => none", Fibre4,
          Fibre5, Fibre7},
         Counts({5, 0, 1, 5}, 5, 5, 16, 2, 9, 4, 0), AllFibresPass3Check, 6, {"6", "8"}},
    };
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureJob, testing::ValuesIn(FixtureCases()),
                         [](const testing::TestParamInfo<TFixtureCase>& one) {
                             return std::string(one.param.Name);
                         });

}  // namespace

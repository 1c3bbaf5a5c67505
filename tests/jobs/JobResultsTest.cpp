// A job's results from its downloads: keys, repeats, re-tests, pairs, fibre results and
// completeness, on hand-made dumps and on records made in place, every figure worked out by
// hand.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "data/uMeranie.h"
#include "jobs/JobReportColumns.h"
#include "jobs/JobResults.h"
#include "support/Throws.h"
#include "sys/TextFile.h"

namespace {

const std::string Fixtures = MERIDAX_JOB_FIXTURES;

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

TDownload FixtureDownload(std::int64_t number, const std::string& file, const std::string& testDate,
                          TDirection direction) {
    TMeraniaArray records;
    ParseDeviceDump(ReadWholeFile(Fixtures + "/" + file), records);
    return Download(number, testDate, direction, records);
}

TBudget FixtureBudget() {
    return ReadBudgetFile(Fixtures + "/budget.json");
}

// What the fixtures' budget says: 1.00 dB at 1310 nm, 0.80 dB at 1550 nm, absolute readings
// at 1310 nm from -20 to -3 dBm; here under a pair rule.
TBudget FixedLimits(TPairRule rule) {
    TBudget budget;
    budget.Name = "Riser R, fixed limits";
    budget.MaxLossDb = {{1310, 1.0}, {1550, 0.8}};
    budget.PowerDbm = {{1310, {-20.0, -3.0}}};
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
    std::string text = row.Cable + "/" + row.Fiber + " " + std::to_string(row.WaveLengthKey) + " " +
                       ShapeName(row.Shape) + ": " + ReadingText(row.Reading);
    if (row.Shape == TRowShape::Pair) {
        text += ", " + ReadingText(row.Partner) + ", average " + FigureText(row.Average) +
                ", loss " + FigureText(row.Loss);
        if (row.WorseDirection != TDirection::None)
            text += " " + std::string(DirectionName(row.WorseDirection));
    } else if (!(row.Loss == row.Reading.Verdict.Loss)) {
        text += ", loss " + FigureText(row.Loss) + " not the reading's";
    }
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
    TBudget (*MakeBudget)();          // called in the test, not when the cases are listed
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

// A count an older archive may hold beyond today's limit is read at the limit, not with all
// memory.
TEST(JobResults, AnExpectedCountBeyondTheLimitIsReadAtTheLimit) {
    const TJobResults results =
        ComputeJobResults(TBudget(), {{"R", INT_MAX}}, {Fixture(1), Fixture(2)});
    EXPECT_EQ(CompletenessText(results.Completeness), "5 of 1000000 fibres tested");
}

// A pair's text: what both rules share, then the figures under "worst" (the worse
// direction's) or "average" (the average's), then the verdict.
struct TPairText {
    const char* Head;
    const char* Worst;
    const char* Average;
    const char* Tail;

    std::string Under(TPairRule rule) const {
        return std::string(Head) + (rule == TPairRule::Worst ? Worst : Average) + Tail;
    }
};

const TPairText Fibre1At1310 = {"R/1 1310 pair: a-b -0.42#1 PASS, b-a -0.48#2 PASS, average 0.45, ",
                                "loss 0.48 b-a, limit 1.00, margin 0.52",
                                "loss 0.45, limit 1.00, margin 0.55", " => PASS"};
// The power reading: -3.10 dBm is 0.10 dB inside the window's -3 dBm.
const char* const Fibre1Power =
    "R/1 1310 absolute: a-b -3.10#1 PASS, limit none, margin 0.10 => PASS";
const TPairText Fibre1At1550 = {"R/1 1550 pair: a-b -0.35#1 PASS, b-a -0.31#2 PASS, average 0.33, ",
                                "loss 0.35 a-b, limit 0.80, margin 0.45",
                                "loss 0.33, limit 0.80, margin 0.47", " => PASS"};
const TPairText Fibre2At1310 = {"R/2 1310 pair: a-b -0.61#1 PASS, b-a -0.57#2 PASS, average 0.59, ",
                                "loss 0.61 a-b, limit 1.00, margin 0.39",
                                "loss 0.59, limit 1.00, margin 0.41", " => PASS"};
// The second meter's re-test: 0.58 then 0.55 in one download, the later wins; the first
// meter's 0.95 comes back in download 4 as a repeat and does not undo it.
const TPairText Fibre2At1550Retested = {
    "R/2 1550 pair: a-b -0.55#3 PASS, b-a -0.65#2 PASS, average 0.60, ",
    "loss 0.65 b-a, limit 0.80, margin 0.15", "loss 0.60, limit 0.80, margin 0.20",
    " => PASS, was a-b -0.95#1, was a-b -0.58#3"};
// A gain of 0.30 dB beyond the 0.20 tolerance: CHECK under either rule.
const TPairText Fibre3At1310 = {"R/3 1310 pair: a-b -0.50#1 PASS, b-a 0.30#2 CHECK, average 0.10, ",
                                "loss 0.50 a-b, limit 1.00, margin 0.50",
                                "loss 0.10, limit 1.00, margin 0.90", " => CHECK"};
// 1548 nm keys to the budget's 1550.
const TPairText Fibre3At1550 = {"R/3 1550 pair: a-b -0.40#1 PASS, b-a -0.44#2 PASS, average 0.42, ",
                                "loss 0.44 b-a, limit 0.80, margin 0.36",
                                "loss 0.42, limit 0.80, margin 0.38", " => PASS"};
const char* const Fibre4 =
    "R/4 1310 one-direction: a-b -0.30#1 PASS, limit 1.00, margin 0.70 => PASS";
const char* const Fibre5 =
    "R/5 1310 one-direction: b-a -0.70#2 PASS, limit 1.00, margin 0.30 => PASS";
const char* const Fibre7 =
    "R/07 1310 one-direction: a-b -0.52#4 PASS, limit 1.00, margin 0.48 => PASS";
// Without the re-test: 0.95 fails, 0.95 and 0.65 average 0.80, on the limit.
const TPairText Fibre2At1550Failing = {
    "R/2 1550 pair: a-b -0.95#1 FAIL, b-a -0.65#2 PASS, average 0.80, ",
    "loss 0.95 a-b, limit 0.80, margin -0.15 => FAIL", "loss 0.80, limit 0.80, margin 0.00 => PASS",
    ""};

std::vector<std::string> AllFourRows(TPairRule rule) {
    return {Fibre1At1310.Under(rule),
            Fibre1Power,
            Fibre1At1550.Under(rule),
            Fibre2At1310.Under(rule),
            Fibre2At1550Retested.Under(rule),
            Fibre3At1310.Under(rule),
            Fibre3At1550.Under(rule),
            Fibre4,
            Fibre5,
            Fibre7};
}

std::vector<std::string> WithoutRetestRows(TPairRule rule) {
    std::vector<std::string> rows = AllFourRows(rule);
    rows[4] = Fibre2At1550Failing.Under(rule);
    return rows;
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

std::vector<TFixtureCase> AllFourCases() {
    return {
        // 16 current readings: 6 pairs, 3 one-direction, 1 absolute. Repeats: the re-test's
        // 0.61 and all 8 old records of download 4.
        {"AllFourWorst",
         FixtureBudget,
         {1, 2, 3, 4},
         {},
         AllFourRows(TPairRule::Worst),
         Counts({9, 0, 1, 0}, 6, 3, 16, 2, 9, 4, 0),
         AllFibresPass3Check,
         6,
         {"6", "8"}},
        {"AllFourAverage",
         +[] { return FixedLimits(TPairRule::Average); },
         {1, 2, 3, 4},
         {},
         AllFourRows(TPairRule::Average),
         Counts({9, 0, 1, 0}, 6, 3, 16, 2, 9, 4, 0),
         AllFibresPass3Check,
         6,
         {"6", "8"}},
        // The re-test void: the worse direction fails the pair, the average is on the limit.
        {"RetestVoidWorst",
         +[] { return FixedLimits(TPairRule::Worst); },
         {1, 2, 3, 4},
         {3},
         WithoutRetestRows(TPairRule::Worst),
         Counts({8, 1, 1, 0}, 6, 3, 16, 0, 8, 3, 1),
         {"R/1 PASS", "R/2 FAIL", "R/3 CHECK", "R/4 PASS", "R/5 PASS", "R/07 PASS"},
         6,
         {"6", "8"}},
        {"RetestVoidAverage",
         +[] { return FixedLimits(TPairRule::Average); },
         {1, 2, 3, 4},
         {3},
         WithoutRetestRows(TPairRule::Average),
         Counts({9, 0, 1, 0}, 6, 3, 16, 0, 8, 3, 1),
         AllFibresPass3Check,
         6,
         {"6", "8"}},
    };
}

std::vector<TFixtureCase> OtherFixtureCases() {
    return {
        {"AToBOnly",
         FixtureBudget,
         {1},
         {},
         {"R/1 1310 one-direction: a-b -0.42#1 PASS, limit 1.00, margin 0.58 => PASS", Fibre1Power,
          "R/1 1550 one-direction: a-b -0.35#1 PASS, limit 0.80, margin 0.45 => PASS",
          "R/2 1310 one-direction: a-b -0.61#1 PASS, limit 1.00, margin 0.39 => PASS",
          "R/2 1550 one-direction: a-b -0.95#1 FAIL, limit 0.80, margin -0.15 => FAIL",
          "R/3 1310 one-direction: a-b -0.50#1 PASS, limit 1.00, margin 0.50 => PASS",
          "R/3 1550 one-direction: a-b -0.40#1 PASS, limit 0.80, margin 0.40 => PASS", Fibre4},
         Counts({7, 1, 0, 0}, 0, 7, 8, 0, 0, 1, 0),
         {"R/1 PASS", "R/2 FAIL", "R/3 PASS", "R/4 PASS"},
         4,
         {"5", "6", "7", "8"}},
        {"Only1310Keyed",
         Only1310,
         {1, 2, 3, 4},
         {},
         {Fibre1At1310.Under(TPairRule::Worst),
          "R/1 1310 absolute: a-b -3.10#1 none, limit none, margin none => none",
          // Without a limit the worse direction is the one of the greater loss.
          "R/1 1550 pair: a-b -0.35#1 none, b-a -0.31#2 none, average 0.33, loss 0.35 a-b, "
          "limit none, margin none => none",
          Fibre2At1310.Under(TPairRule::Worst),
          "R/2 1550 pair: a-b -0.55#3 none, b-a -0.65#2 none, average 0.60, loss 0.65 b-a, "
          "limit none, margin none => none, was a-b -0.95#1, was a-b -0.58#3",
          Fibre3At1310.Under(TPairRule::Worst),
          "R/3 1548 one-direction: b-a -0.44#2 none, limit none, margin none => none",
          "R/3 1550 one-direction: a-b -0.40#1 none, limit none, margin none => none", Fibre4,
          Fibre5, Fibre7},
         Counts({5, 0, 1, 5}, 5, 5, 16, 2, 9, 4, 0),
         AllFibresPass3Check,
         6,
         {"6", "8"}},
    };
}

std::vector<TFixtureCase> FixtureCases() {
    std::vector<TFixtureCase> cases = AllFourCases();
    for (TFixtureCase& other : OtherFixtureCases())
        cases.push_back(std::move(other));
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureJob, testing::ValuesIn(FixtureCases()),
                         [](const testing::TestParamInfo<TFixtureCase>& one) {
                             return std::string(one.param.Name);
                         });

}  // namespace

namespace {

bool SameBitsForTest(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every figure of a double, -0 apart from 0.
std::string Exact(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// The one row's current reading, its history and the repeats, e.g.
// "current 1310 -0.42#2; was 1310 -0.4#1; repeats 1".
std::string Trace(const TJobResults& results) {
    if (results.Rows.size() != 1)
        return std::to_string(results.Rows.size()) + " rows";
    const TResultRow& row = results.Rows[0];
    std::string trace = "current " + Exact(row.Reading.WaveLength) + " " +
                        Exact(row.Reading.Value) + "/" + Exact(row.Reading.Reference) + "#" +
                        std::to_string(row.Reading.Download);
    for (const THistoryReading& earlier : row.History) {
        trace += "; was " + Exact(earlier.WaveLength) + " " + Exact(earlier.Value) + "/" +
                 Exact(earlier.Reference) + "#" + std::to_string(earlier.Download);
    }
    trace += "; repeats " + std::to_string(results.Counts.Repeats);
    if (results.Counts.History != row.History.size())
        trace += "; history counted " + std::to_string(results.Counts.History);
    return trace;
}

struct TRepeatCase {
    const char* Name;
    std::vector<TMeraniaArray> Downloads;  // numbered 1, 2, ... and tested a day apart
    const char* Trace;
};

class Repeats : public testing::TestWithParam<TRepeatCase> {};

TEST_P(Repeats, ChangeNothingAndReTestsGoToHistory) {
    std::vector<TDownload> downloads;
    for (std::size_t index = 0; index < GetParam().Downloads.size(); ++index) {
        const auto number = static_cast<std::int64_t>(index + 1);
        downloads.push_back(Download(number, "2026-11-1" + std::to_string(index), TDirection::None,
                                     GetParam().Downloads[index]));
    }
    EXPECT_EQ(Trace(ComputeJobResults(FixedLimits(TPairRule::Worst), {}, downloads)),
              GetParam().Trace);
}

const double NextAfterPoint4 = std::nextafter(-0.4, 0.0);

INSTANTIATE_TEST_SUITE_P(
    Readings, Repeats,
    testing::Values(
        TRepeatCase{"SameReadingTwice",
                    {{Relative("R", "1", 1310, -0.4)}, {Relative("R", "1", 1310, -0.4)}},
                    "current 1310 -0.40000000000000002/-10#1; repeats 1"},
        TRepeatCase{"SameReadingTwiceInOneDownload",
                    {{Relative("R", "1", 1310, -0.4), Relative("R", "1", 1310, -0.4)}},
                    "current 1310 -0.40000000000000002/-10#1; repeats 1"},
        TRepeatCase{"TheLaterRecordOfADownloadWins",
                    {{Relative("R", "1", 1310, -0.4), Relative("R", "1", 1310, -0.3)}},
                    "current 1310 -0.29999999999999999/-10#1; was 1310 "
                    "-0.40000000000000002/-10#1; repeats 0"},
        // An old value a meter still holds does not undo a re-test made since.
        TRepeatCase{"AnOldValueAgainIsARepeat",
                    {{Relative("R", "1", 1310, -0.9)},
                     {Relative("R", "1", 1310, -0.4)},
                     {Relative("R", "1", 1310, -0.9)}},
                    "current 1310 -0.40000000000000002/-10#2; was 1310 "
                    "-0.90000000000000002/-10#1; repeats 1"},
        TRepeatCase{"AnotherReferenceIsANewReading",
                    {{Relative("R", "1", 1310, -0.4, -10)}, {Relative("R", "1", 1310, -0.4, -9)}},
                    "current 1310 -0.40000000000000002/-9#2; was 1310 "
                    "-0.40000000000000002/-10#1; repeats 0"},
        // Bit for bit: a loss of -0 is not one of 0, nor one a unit in the last place off.
        TRepeatCase{"NegativeZeroIsNotZero",
                    {{Relative("R", "1", 1310, 0.0)}, {Relative("R", "1", 1310, -0.0)}},
                    "current 1310 -0/-10#2; was 1310 0/-10#1; repeats 0"},
        TRepeatCase{"OneUnitInTheLastPlace",
                    {{Relative("R", "1", 1310, -0.4)}, {Relative("R", "1", 1310, NextAfterPoint4)}},
                    "current 1310 -0.39999999999999997/-10#2; was 1310 "
                    "-0.40000000000000002/-10#1; repeats 0"},
        // 1311 nm keys to 1310 with it, but is a wavelength of its own.
        TRepeatCase{"AnotherWavelengthOfTheKey",
                    {{Relative("R", "1", 1310, -0.4)}, {Relative("R", "1", 1311, -0.4)}},
                    "current 1311 -0.40000000000000002/-10#2; was 1310 "
                    "-0.40000000000000002/-10#1; repeats 0"},
        TRepeatCase{"RepeatsOfHistoryAndCurrentBothCount",
                    {{Relative("R", "1", 1310, -0.5), Relative("R", "1", 1310, -0.4)},
                     {Relative("R", "1", 1310, -0.5), Relative("R", "1", 1310, -0.4)},
                     {Relative("R", "1", 1310, -0.5)}},
                    "current 1310 -0.40000000000000002/-10#1; was 1310 -0.5/-10#1; repeats 3"}),
    [](const testing::TestParamInfo<TRepeatCase>& one) { return std::string(one.param.Name); });

TEST(JobResults, TheFixturesBudgetIsTheOneTheTestsSpellOut) {
    TBudget spelt = FixedLimits(TPairRule::Worst);
    spelt.PairRule.reset();
    EXPECT_EQ(FixtureBudget(), spelt);
}

TEST(JobResults, DownloadsTakePartByTestDateThenTimeOfAddingThenHash) {
    struct TOrderCase {
        const char* Name;
        TDownload Earlier;  // as its fields say; listed after the later one
        TDownload Later;
    };
    TDownload early = Download(2, "2026-11-01", TDirection::None, {Relative("R", "1", 1310, -0.5)});
    TDownload late = Download(1, "2026-11-02", TDirection::None, {Relative("R", "1", 1310, -0.4)});
    std::vector<TOrderCase> cases = {{"TestDate", early, late}};
    early.TestDate = late.TestDate;
    early.AddedAt = "2026-12-01T07:59:59.999999Z";
    cases.push_back({"AddedAt", early, late});
    early.AddedAt = late.AddedAt;
    early.Sha256 = "0" + late.Sha256.substr(1);
    late.Sha256 = "f" + late.Sha256.substr(1);
    cases.push_back({"Sha256", early, late});
    for (const TOrderCase& one : cases) {
        SCOPED_TRACE(one.Name);
        const TJobResults results =
            ComputeJobResults(FixedLimits(TPairRule::Worst), {}, {one.Later, one.Earlier});
        ASSERT_EQ(results.Rows.size(), 1u);
        EXPECT_EQ(results.Rows[0].Reading.Download, one.Later.Number);
        EXPECT_EQ(results.Rows[0].Reading.Value, -0.4);
        ASSERT_EQ(results.Rows[0].History.size(), 1u);
        EXPECT_EQ(results.Rows[0].History[0].Download, one.Earlier.Number);
        // Judged by the budget in force, as the rows are: the re-test's loss.
        EXPECT_EQ(results.Rows[0].History[0].Loss, TFigure(0.5));
    }
}

TEST(JobResults, VoidDownloadsAreListedButTakeNoPart) {
    TDownload wrong = Download(2, "2026-11-02", TDirection::BToA, {Relative("R", "1", 1310, -0.4)});
    wrong.Void = true;
    wrong.VoidReason = "another building";
    TDownload alsoWrong = Download(1, "2026-11-01", TDirection::None, {});
    alsoWrong.Void = true;
    alsoWrong.VoidReason = "empty";
    const TDownload right =
        Download(3, "2026-11-03", TDirection::AToB, {Relative("R", "1", 1310, -0.4)});
    const TJobResults results =
        ComputeJobResults(FixedLimits(TPairRule::Worst), {{"R", 1}}, {wrong, right, alsoWrong});
    // The void b-a reading neither pairs the a-b one nor makes it a repeat.
    EXPECT_EQ(RowTexts(results),
              (std::vector<std::string>{
                  "R/1 1310 one-direction: a-b -0.40#3 PASS, limit 1.00, margin 0.60 => PASS"}));
    EXPECT_EQ(results.Counts, Counts({1, 0, 0, 0}, 0, 1, 1, 0, 0, 1, 2));
    // Listed in the order given, an archive's order of adding.
    EXPECT_EQ(results.VoidDownloads,
              (std::vector<TVoidDownload>{{2, "another building", ""}, {1, "empty", ""}}));
    EXPECT_EQ(RowNote(results.Rows[0]), "one direction");
}

}  // namespace

namespace {

struct TKeyCase {
    const char* Name;
    TBudget Budget;
    double WaveLength;
    int Key;
};

class WaveLengthKey : public testing::TestWithParam<TKeyCase> {};

TEST_P(WaveLengthKey, IsTheBudgetsNearestWithin20NmElseTheRoundedWavelength) {
    const TDownload download = Download(1, "2026-11-01", TDirection::None,
                                        {Relative("R", "1", GetParam().WaveLength, -1)});
    const TJobResults results = ComputeJobResults(GetParam().Budget, {}, {download});
    ASSERT_EQ(results.Rows.size(), 1u);
    EXPECT_EQ(results.Rows[0].WaveLengthKey, GetParam().Key);
    EXPECT_TRUE(SameBitsForTest(results.Rows[0].Reading.WaveLength, GetParam().WaveLength));
}

TBudget Keys(std::initializer_list<int> waveLengths) {
    TBudget budget;
    for (const int waveLength : waveLengths)
        budget.MaxLossDb[waveLength] = 1.0;
    return budget;
}

TBudget PresetKeys() {
    TBudget budget;
    budget.Preset = "tia-568-mm";  // 850 and 1300 nm
    return budget;
}

TBudget LinkKeys() {
    TBudget budget;
    budget.Links = {{"R", 100, 2, 0, "", {{1625, 0.4}}}};
    return budget;
}

TBudget PowerKeys() {
    TBudget budget;
    budget.PowerDbm[1490] = {-20.0, std::nullopt};
    return budget;
}

const double Infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Keys, WaveLengthKey,
    testing::Values(TKeyCase{"Exact", Keys({1310, 1550}), 1310, 1310},
                    TKeyCase{"Below20", Keys({1310, 1550}), 1291, 1310},
                    TKeyCase{"Just20Below", Keys({1310, 1550}), 1290, 1310},
                    TKeyCase{"Just20Above", Keys({1310, 1550}), 1330, 1310},
                    TKeyCase{"Beyond20Rounded", Keys({1310, 1550}), 1289.6, 1290},
                    TKeyCase{"HalfRoundsUp", Keys({1310, 1550}), 1570.5, 1571},
                    TKeyCase{"HalfBelowRoundsDown", Keys({1310, 1550}), 1330.49, 1330},
                    TKeyCase{"NearerOfTwo", Keys({1310, 1550}), 1548, 1550},
                    TKeyCase{"TieToTheShorter", Keys({1300, 1320}), 1310, 1300},
                    TKeyCase{"PresetsKeys", PresetKeys(), 1310, 1300},
                    TKeyCase{"LinksOwnKeys", LinkKeys(), 1610, 1625},
                    TKeyCase{"PowerWindowsKeys", PowerKeys(), 1480, 1490},
                    TKeyCase{"NoBudgetRounds", TBudget{}, 1310.49, 1310},
                    TKeyCase{"NoBudgetHalfUp", TBudget{}, 1310.5, 1311},
                    TKeyCase{"NoNumber", TBudget{}, std::nan(""), 0},
                    TKeyCase{"Huge", TBudget{}, Infinity, INT_MAX},
                    TKeyCase{"HugeNegative", TBudget{}, -1e300, INT_MIN}),
    [](const testing::TestParamInfo<TKeyCase>& one) { return std::string(one.param.Name); });

}  // namespace

namespace {

struct TDirectionCase {
    const char* Name;
    TBudget Budget;
    std::vector<TDownload> Downloads;
    std::vector<std::string> Rows;
};

class Directions : public testing::TestWithParam<TDirectionCase> {};

TEST_P(Directions, MakeTheRowsWorkedOutByHand) {
    EXPECT_EQ(RowTexts(ComputeJobResults(GetParam().Budget, {}, GetParam().Downloads)),
              GetParam().Rows);
}

TDownload AToB(std::int64_t number, const TMeraniaArray& records) {
    return Download(number, "2026-11-0" + std::to_string(number), TDirection::AToB, records);
}

TDownload BToA(std::int64_t number, const TMeraniaArray& records) {
    return Download(number, "2026-11-0" + std::to_string(number), TDirection::BToA, records);
}

TDownload NoDirection(std::int64_t number, const TMeraniaArray& records) {
    return Download(number, "2026-11-0" + std::to_string(number), TDirection::None, records);
}

// Losses as positive figures: 0.6 and 1.2 against 1.00 average 0.90.
TBudget PositiveLosses(TPairRule rule) {
    TBudget budget = FixedLimits(rule);
    budget.LossSign = TLossSign::Positive;
    return budget;
}

std::vector<TDirectionCase> PairRuleCases() {
    return {
        {"PositiveLossesWorst",
         PositiveLosses(TPairRule::Worst),
         {AToB(1, {Relative("R", "1", 1310, 0.6)}), BToA(2, {Relative("R", "1", 1310, 1.2)})},
         // The failing direction's margin, never the average's 0.10 beside a FAIL.
         {"R/1 1310 pair: a-b 0.60#1 PASS, b-a 1.20#2 FAIL, average 0.90, loss 1.20 b-a, "
          "limit 1.00, margin -0.20 => FAIL"}},
        {"PositiveLossesAverage",
         PositiveLosses(TPairRule::Average),
         {AToB(1, {Relative("R", "1", 1310, 0.6)}), BToA(2, {Relative("R", "1", 1310, 1.2)})},
         {"R/1 1310 pair: a-b 0.60#1 PASS, b-a 1.20#2 FAIL, average 0.90, loss 0.90, "
          "limit 1.00, margin 0.10 => PASS"}},
        // Both over: the average fails too.
        {"BothFailAverage",
         FixedLimits(TPairRule::Average),
         {AToB(1, {Relative("R", "1", 1310, -1.1)}), BToA(2, {Relative("R", "1", 1310, -1.3)})},
         {"R/1 1310 pair: a-b -1.10#1 FAIL, b-a -1.30#2 FAIL, average 1.20, loss 1.20, "
          "limit 1.00, margin -0.20 => FAIL"}},
        // A gain in one direction makes the pair CHECK though the average passes.
        {"CheckWinsOverAverage",
         FixedLimits(TPairRule::Average),
         {AToB(1, {Relative("R", "1", 1310, 0.5)}), BToA(2, {Relative("R", "1", 1310, -0.9)})},
         {"R/1 1310 pair: a-b 0.50#1 CHECK, b-a -0.90#2 PASS, average 0.20, loss 0.20, "
          "limit 1.00, margin 0.80 => CHECK"}},
        // Under either rule a direction to measure again makes the pair CHECK, a FAIL in the
        // other direction too.
        {"CheckWinsOverFailWorst",
         FixedLimits(TPairRule::Worst),
         {AToB(1, {Relative("R", "1", 1310, 0.5)}), BToA(2, {Relative("R", "1", 1310, -1.9)})},
         {"R/1 1310 pair: a-b 0.50#1 CHECK, b-a -1.90#2 FAIL, average 0.70, loss 1.90 b-a, "
          "limit 1.00, margin -0.90 => CHECK"}},
        {"CheckWinsOverFailAverage",
         FixedLimits(TPairRule::Average),
         {AToB(1, {Relative("R", "1", 1310, 0.5)}), BToA(2, {Relative("R", "1", 1310, -2.9)})},
         {"R/1 1310 pair: a-b 0.50#1 CHECK, b-a -2.90#2 FAIL, average 1.20, loss 1.20, "
          "limit 1.00, margin -0.20 => CHECK"}},
    };
}

std::vector<TDirectionCase> WhatPairsCases() {
    return {
        // Without a limit a pair has its average and no verdict.
        {"NoLimit",
         TBudget{},
         {AToB(1, {Relative("R", "1", 1310, -0.4)}), BToA(2, {Relative("R", "1", 1310, -0.6)})},
         {"R/1 1310 pair: a-b -0.40#1 none, b-a -0.60#2 none, average 0.50, loss 0.60 b-a, "
          "limit none, margin none => none"}},
        // Absolute readings never pair; a reading without a direction is judged alone, as a
        // download's reading is; other cables, fibres and wavelengths do not pair.
        {"WhatDoesNotPair",
         FixedLimits(TPairRule::Worst),
         {AToB(1, {Absolute("R", "1", 1310, -5), Relative("R", "1", 1310, -0.4),
                   Relative("R", "2", 1310, -0.4), Relative("S", "1", 1550, -0.3)}),
          BToA(2, {Absolute("R", "1", 1310, -25), Relative("R", "3", 1310, -0.4),
                   Relative("S", "1", 1310, -0.3)}),
          NoDirection(3, {Relative("R", "1", 1310, -0.7)})},
         {"R/1 1310 single: - -0.70#3 PASS, limit 1.00, margin 0.30 => PASS",
          "R/1 1310 one-direction: a-b -0.40#1 PASS, limit 1.00, margin 0.60 => PASS",
          "R/1 1310 absolute: a-b -5.00#1 PASS, limit none, margin 2.00 => PASS",
          "R/1 1310 absolute: b-a -25.00#2 FAIL, limit none, margin -5.00 => FAIL",
          "R/2 1310 one-direction: a-b -0.40#1 PASS, limit 1.00, margin 0.60 => PASS",
          "R/3 1310 one-direction: b-a -0.40#2 PASS, limit 1.00, margin 0.60 => PASS",
          "S/1 1310 one-direction: b-a -0.30#2 PASS, limit 1.00, margin 0.70 => PASS",
          "S/1 1550 one-direction: a-b -0.30#1 PASS, limit 0.80, margin 0.50 => PASS"}},
        // A pair's history holds both directions' earlier readings, oldest first.
        {"PairHistoryInOrder",
         FixedLimits(TPairRule::Worst),
         {AToB(1, {Relative("R", "1", 1310, -0.9)}), BToA(2, {Relative("R", "1", 1310, -0.8)}),
          AToB(3, {Relative("R", "1", 1310, -0.5)}), BToA(4, {Relative("R", "1", 1310, -0.3)})},
         {"R/1 1310 pair: a-b -0.50#3 PASS, b-a -0.30#4 PASS, average 0.40, loss 0.50 a-b, "
          "limit 1.00, margin 0.50 => PASS, was a-b -0.90#1, was b-a -0.80#2"}},
        // Per reading directions (a download's may differ): the readings' own decide.
        {"TheReadingsOwnDirection",
         FixedLimits(TPairRule::Worst),
         {[] {
             TDownload both =
                 NoDirection(1, {Relative("R", "1", 1310, -0.4), Relative("R", "1", 1310, -0.6)});
             both.Readings[0].Direction = TDirection::BToA;
             both.Readings[1].Direction = TDirection::AToB;
             return both;
         }()},
         {"R/1 1310 pair: a-b -0.60#1 PASS, b-a -0.40#1 PASS, average 0.50, loss 0.60 a-b, "
          "limit 1.00, margin 0.40 => PASS"}},
    };
}

const auto NameOfDirectionCase = [](const testing::TestParamInfo<TDirectionCase>& one) {
    return std::string(one.param.Name);
};

INSTANTIATE_TEST_SUITE_P(PairRules, Directions, testing::ValuesIn(PairRuleCases()),
                         NameOfDirectionCase);
INSTANTIATE_TEST_SUITE_P(WhatPairs, Directions, testing::ValuesIn(WhatPairsCases()),
                         NameOfDirectionCase);

}  // namespace

namespace {

TEST(JobResults, RowsAreSortedByCableFibreNumberWavelengthAndKind) {
    const TDownload download =
        NoDirection(1, {Relative("R", "x", 1310, -0.1), Relative("R", "10", 1310, -0.1),
                        Absolute("R", "2", 1310, -5), Relative("R", "2", 1550, -0.1),
                        Relative("R", "2", 1310, -0.1), Relative("R", "010", 1550, -0.1),
                        Relative("Q", "3", 1310, -0.1), Relative("R", "", 1310, -0.1),
                        Relative("R", "00000000000000000000000000000000099", 1310, -0.1),
                        Relative("R", "100", 1310, -0.1), Relative("R", "A", 1310, -0.1)});
    std::vector<std::string> order;
    for (const TResultRow& row : ComputeJobResults(TBudget{}, {}, {download}).Rows) {
        order.push_back(row.Cable + "/" + row.Fiber + " " + std::to_string(row.WaveLengthKey) +
                        (row.IsRelative ? "" : " absolute"));
    }
    // Numbers in number order ("010" is fibre 10, named "10" as first seen), then the other
    // texts in byte order, the empty one first.
    EXPECT_EQ(order, (std::vector<std::string>{"Q/3 1310", "R/2 1310", "R/2 1310 absolute",
                                               "R/2 1550", "R/10 1310", "R/10 1550",
                                               "R/00000000000000000000000000000000099 1310",
                                               "R/100 1310", "R/ 1310", "R/A 1310", "R/x 1310"}));
}

TEST(JobResults, AFibresResultIsItsWorstRowAbsoluteOnesIncluded) {
    const TDownload download = NoDirection(
        1, {Relative("R", "1", 1310, -0.5), Relative("R", "1", 1550, -0.9),  // PASS, FAIL
            Relative("R", "2", 1310, 0.5), Relative("R", "2", 1550, -0.9),   // CHECK, FAIL
            Relative("R", "3", 1310, 0.5), Relative("R", "3", 1550, -0.5),   // CHECK, PASS
            Absolute("R", "4", 1310, -30),                                   // absolute only
            Relative("R", "5", 1310, -0.5), Absolute("R", "5", 1310, -30),   // PASS, FAIL
            Relative("R", "6", 1625, -0.5)});                                // no limit
    const TJobResults results = ComputeJobResults(FixedLimits(TPairRule::Worst), {}, {download});
    // A power out of its window fails the fibre, with or without a loss beside it.
    EXPECT_EQ(FibreTexts(results), (std::vector<std::string>{"R/1 FAIL", "R/2 FAIL", "R/3 CHECK",
                                                             "R/4 FAIL", "R/5 FAIL", "R/6 "}));
    EXPECT_EQ(results.Counts.Rows, (TVerdictCounts{3, 4, 2, 1}));
}

// "7" one way and "07" the other are one fibre: they pair, count once and are named as the
// first reading names them, here the earlier b-a download's "07".
TEST(JobResults, FibresNamedByDigitsAreOneFibreByNumberNamedAsFirstSeen) {
    const std::vector<TDownload> downloads = {
        BToA(1, {Relative("R", "07", 1310, -0.6), Relative("R", "x07", 1310, -0.5),
                 Relative("R", "00", 1310, -0.5)}),
        AToB(2, {Relative("R", "7", 1310, -0.4), Relative("R", "007", 1550, -0.3),
                 Absolute("R", "7", 1310, -5), Relative("R", "x7", 1310, -0.5),
                 Relative("R", "0", 1310, -0.2), Relative("S", "7", 1310, -0.2)})};
    const TJobResults results =
        ComputeJobResults(FixedLimits(TPairRule::Worst), {{"R", 8}}, downloads);
    EXPECT_EQ(RowTexts(results),
              (std::vector<std::string>{
                  "R/00 1310 pair: a-b -0.20#2 PASS, b-a -0.50#1 PASS, average 0.35, loss 0.50 "
                  "b-a, limit 1.00, margin 0.50 => PASS",
                  "R/07 1310 pair: a-b -0.40#2 PASS, b-a -0.60#1 PASS, average 0.50, loss 0.60 "
                  "b-a, limit 1.00, margin 0.40 => PASS",
                  "R/07 1310 absolute: a-b -5.00#2 PASS, limit none, margin 2.00 => PASS",
                  "R/07 1550 one-direction: a-b -0.30#2 PASS, limit 0.80, margin 0.50 => PASS",
                  "R/x07 1310 one-direction: b-a -0.50#1 PASS, limit 1.00, margin 0.50 => PASS",
                  "R/x7 1310 one-direction: a-b -0.50#2 PASS, limit 1.00, margin 0.50 => PASS",
                  "S/7 1310 one-direction: a-b -0.20#2 PASS, limit 1.00, margin 0.80 => PASS"}));
    EXPECT_EQ(FibreTexts(results), (std::vector<std::string>{"R/00 PASS", "R/07 PASS", "R/x07 PASS",
                                                             "R/x7 PASS", "S/7 PASS"}));
    EXPECT_EQ(results.Counts.Pairs, 2u);
    EXPECT_EQ(CompletenessText(results.Completeness), "1 of 8 fibres tested");
}

TEST(JobResults, ExpectedFibresAreCountedByNumberPerCable) {
    // "\xC4" is the records' Latin-1 for the job's UTF-8 "\xC3\x84".
    const TDownload download =
        NoDirection(1, {Relative("\xC4", "001", 1310, -0.5), Relative("\xC4", "3", 1310, -0.5),
                        Relative("\xC4", "03", 1550, -0.5), Relative("\xC4", "9", 1310, -0.5),
                        Relative("\xC4", "0", 1310, -0.5), Relative("\xC4", "2a", 1310, -0.5),
                        Absolute("R", "2", 1310, -5), Relative("S", "1", 1310, -0.5)});
    const TJobResults results =
        ComputeJobResults(TBudget{}, {{"\xC3\x84", 4}, {"R", 2}, {"T", 1}, {"Z", 0}}, {download});
    const TJobCompleteness& completeness = results.Completeness;
    // Fibres 1 and 3 of "\xC4" (9 is beyond its 4; 0 and 2a name no fibre), 2 of R (an
    // absolute reading tests it too); nothing of T; S expects nothing.
    EXPECT_EQ(CompletenessText(completeness), "3 of 7 fibres tested");
    EXPECT_EQ(completeness.Cables,
              (std::vector<TCableCompleteness>{{"R", 2, 1, {"1"}},
                                               {"T", 1, 0, {"1"}},
                                               {"Z", 0, 0, {}},
                                               {"\xC3\x84", 4, 2, {"2", "4"}}}));
    EXPECT_EQ(CompletenessText({1, 1, {}}), "1 of 1 fibre tested");
    EXPECT_EQ(CompletenessText({}), "0 of 0 fibres tested");
    EXPECT_EQ(ComputeJobResults(TBudget{}, {}, {download}).Completeness, TJobCompleteness{});
}

TJob JobWith(const std::vector<std::string>& budgets) {
    TJob job;
    job.Name = "Riser";
    for (const std::string& json : budgets)
        job.Budgets.push_back({json, "2026-11-01T08:00:00.000000Z"});
    job.ExpectedFibres = {{"R", 3}};
    return job;
}

// A budget change re-keys and re-judges: only the last budget counts.
TEST(JobResults, TheJobsLastBudgetKeysAndJudges) {
    const std::vector<TDownload> downloads = {AToB(1, {Relative("R", "1", 1550, -0.5)}),
                                              BToA(2, {Relative("R", "1", 1548, -0.7)})};
    const std::string old = R"({"max_loss_db": {"1310": 1}})";
    const std::string strict = R"({"max_loss_db": {"1550": 0.55}})";
    const std::string lenient = R"({"max_loss_db": {"1550": 0.8}, "pair_rule": "average"})";
    EXPECT_EQ(RowTexts(ComputeJobResults(JobWith({strict, old}), downloads)),
              (std::vector<std::string>{
                  "R/1 1548 one-direction: b-a -0.70#2 none, limit none, margin none => none",
                  "R/1 1550 one-direction: a-b -0.50#1 none, limit none, margin none => none"}));
    EXPECT_EQ(RowTexts(ComputeJobResults(JobWith({old, lenient, strict}), downloads)),
              (std::vector<std::string>{"R/1 1550 pair: a-b -0.50#1 PASS, b-a -0.70#2 FAIL, "
                                        "average 0.60, loss 0.70 b-a, limit 0.55, margin -0.15 "
                                        "=> FAIL"}));
    EXPECT_EQ(RowTexts(ComputeJobResults(JobWith({strict, lenient}), downloads)),
              (std::vector<std::string>{"R/1 1550 pair: a-b -0.50#1 PASS, b-a -0.70#2 PASS, "
                                        "average 0.60, loss 0.60, limit 0.80, margin 0.20 => "
                                        "PASS"}));
    EXPECT_EQ(ComputeJobResults(JobWith({strict, lenient}), downloads).PairRule,
              TPairRule::Average);
    // No budget: keys are the rounded wavelengths, nothing is judged.
    const TJobResults none = ComputeJobResults(JobWith({}), downloads);
    EXPECT_EQ(none.PairRule, TPairRule::Worst);
    EXPECT_EQ(none.Counts, Counts({0, 0, 0, 2}, 0, 2, 2, 0, 0, 2, 0));
    EXPECT_EQ(CompletenessText(none.Completeness), "1 of 3 fibres tested");
    EXPECT_THROW_MESSAGE(
        ComputeJobResults(JobWith({old, R"({"pair_rule": "best"})"}), downloads), EBudgetError,
        R"(Budget file "job Riser": "pair_rule" must be "worst" or "average", not 'best')");
}

// Many readings: every a-b one pairs its b-a one, every re-test is history, the old memory a
// repeat; the counts add up at a size the report must handle.
TEST(JobResults, AHundredThousandReadingsPairAndCountUp) {
    constexpr int Fibres = 25'000;
    TMeraniaArray there;
    TMeraniaArray back;
    TMeraniaArray retest;
    for (int fibre = 1; fibre <= Fibres; ++fibre) {
        const std::string cable = "C" + std::to_string(fibre % 50);
        const std::string name = std::to_string(fibre);
        for (const double waveLength : {1310.0, 1550.0}) {
            there.push_back(Relative(cable, name, waveLength, -0.9));
            back.push_back(Relative(cable, name, waveLength, -0.5));
        }
        if (fibre % 5 == 0)
            retest.push_back(Relative(cable, name, 1550, -0.7));
    }
    const TJobResults results =
        ComputeJobResults(FixedLimits(TPairRule::Worst), {},
                          {AToB(1, there), BToA(2, back), AToB(3, retest), AToB(4, there)});
    // 1310: 0.9 and 0.5 pass 1.00; 1550: 0.9 fails 0.80, a re-test of 0.7 passes.
    EXPECT_EQ(results.Counts,
              Counts({30'000, 20'000, 0, 0}, 50'000, 0, 100'000, 5'000, 50'000, 4, 0));
    EXPECT_EQ(results.Fibres.size(), static_cast<std::size_t>(Fibres));
    EXPECT_EQ(results.Rows.front().Cable, "C0");
    EXPECT_EQ(results.Rows.front().Fiber, "50");
    EXPECT_EQ(results.Rows.back().Cable, "C9");
    EXPECT_EQ(results.Rows.back().Fiber, "24959");
}

}  // namespace

#include <gtest/gtest.h>

#include "verdict/Verdict.h"

namespace {

TMeranie Loss(const char* cable, double waveLength, double value) {
    return {cable, "1", waveLength, value, -10.0, true};
}
TMeranie Power(double waveLength, double value) {
    return {"1", "1", waveLength, value, 0.0, false};
}

// The budget of the worked example: a 500 m single-mode inside-plant link with two
// connector pairs and a splice, every other cable 90 m with two pairs.
TBudget RiserBudget() {
    TBudget budget;
    budget.Preset = "tia-568-sm-isp";
    budget.Links = {{"1", 500, 2, 1}, {"*", 90, 2, 0}};
    return budget;
}

struct TJudgeCase {
    const char* name;
    TMeranie record;
    TVerdictKind kind;
    std::optional<double> loss, limit, margin;
};

void ExpectVerdict(const TBudget& budget, const TJudgeCase& c) {
    SCOPED_TRACE(c.name);
    const TVerdict verdict = TVerdictJudge(budget).Judge(c.record);
    EXPECT_EQ(verdict.Kind, c.kind);
    const auto near = [](std::optional<double> actual, std::optional<double> expected) {
        ASSERT_EQ(actual.has_value(), expected.has_value());
        if (expected) {
            EXPECT_NEAR(*actual, *expected, 1e-12);
        }
    };
    near(verdict.Loss, c.loss);
    near(verdict.Limit, c.limit);
    near(verdict.Margin, c.margin);
}

TEST(VerdictJudge, RelativeRecordsAgainstLinksAndPreset) {
    const TJudgeCase cases[] = {
        // 0.5 km × 1.0 + 2 × 0.75 + 0.3 = 2.30 dB; -1.95 dB passes by 0.35 dB.
        {"worked example", Loss("1", 1310, -1.95), TVerdictKind::Pass, 1.95, 2.3, 0.35},
        {"exactly on the limit", Loss("1", 1310, -2.3), TVerdictKind::Pass, 2.3, 2.3, 0.0},
        {"over the limit", Loss("1", 1550, -2.41), TVerdictKind::Fail, 2.41, 2.3, -0.11},
        // Cable 7 has no link of its own: the "*" link, 0.09 × 1.0 + 2 × 0.75.
        {"the * link", Loss("7", 1310, -1.2), TVerdictKind::Pass, 1.2, 1.59, 0.39},
        {"1300 nm matches 1310", Loss("1", 1300, -1.0), TVerdictKind::Pass, 1.0, 2.3, 1.3},
        {"20 nm off still matches", Loss("1", 1290, -1.0), TVerdictKind::Pass, 1.0, 2.3, 1.3},
        {"21 nm off has no limit", Loss("1", 1289, -1.0), TVerdictKind::None, 1.0, {}, {}},
        {"850 nm has no attenuation", Loss("1", 850, -1.0), TVerdictKind::None, 1.0, {}, {}},
        {"a small gain passes", Loss("1", 1310, 0.2), TVerdictKind::Pass, -0.2, 2.3, 2.5},
        {"a gain beyond 0.2 dB", Loss("1", 1310, 0.21), TVerdictKind::Check, -0.21, 2.3, 2.51},
        {"a gain without a limit", Loss("1", 850, 0.5), TVerdictKind::Check, -0.5, {}, {}},
    };
    for (const TJudgeCase& c : cases)
        ExpectVerdict(RiserBudget(), c);
}

TEST(VerdictJudge, BudgetFiguresOverridePresetAndSign) {
    TBudget budget = RiserBudget();
    budget.LossSign = TLossSign::Positive;
    budget.GainToleranceDb = 0.0;
    budget.ConnectorDb = 0.5;
    budget.AttenuationDbPerKm = {{1550, 0.4}};
    budget.MaxLossDb = {{850, 2.0}};
    const TJudgeCase cases[] = {
        // 1310 keeps the preset's 1.0 dB/km: 0.5 + 2 × 0.5 + 0.3.
        {"preset attenuation", Loss("1", 1310, 1.8), TVerdictKind::Pass, 1.8, 1.8, 0.0},
        {"own attenuation", Loss("1", 1550, 1.6), TVerdictKind::Fail, 1.6, 1.5, -0.1},
        {"fixed limit, no link needed", Loss("x", 850, 2.5), TVerdictKind::Fail, 2.5, 2.0, -0.5},
        {"no tolerance", Loss("1", 1310, -0.01), TVerdictKind::Check, -0.01, 1.8, 1.81},
    };
    for (const TJudgeCase& c : cases)
        ExpectVerdict(budget, c);
    budget.Links.pop_back();
    ExpectVerdict(budget, {"no * link", Loss("7", 1310, 1.0), TVerdictKind::None, 1.0, {}, {}});
}

TEST(VerdictJudge, AbsoluteRecordsAgainstPowerWindows) {
    TBudget budget;
    budget.PowerDbm = {{1310, {-20.0, -3.0}}, {1550, {-25.0, std::nullopt}}, {850, {}}};
    const TJudgeCase cases[] = {
        {"inside, nearer the top", Power(1310, -5), TVerdictKind::Pass, {}, {}, 2.0},
        {"inside, nearer the bottom", Power(1310, -18.5), TVerdictKind::Pass, {}, {}, 1.5},
        {"above", Power(1310, -2.5), TVerdictKind::Fail, {}, {}, -0.5},
        {"below", Power(1310, -21), TVerdictKind::Fail, {}, {}, -1.0},
        {"only a min", Power(1550, 3), TVerdictKind::Pass, {}, {}, 28.0},
        {"only a min, below", Power(1550, -26), TVerdictKind::Fail, {}, {}, -1.0},
        {"an empty window", Power(850, -5), TVerdictKind::None, {}, {}, {}},
        {"no window", Power(1625, -5), TVerdictKind::None, {}, {}, {}},
    };
    for (const TJudgeCase& c : cases)
        ExpectVerdict(budget, c);
}

TEST(VerdictJudge, NearestKeyWinsAndTiesGoToTheShorter) {
    TBudget budget;
    budget.MaxLossDb = {{1300, 1.0}, {1310, 2.0}, {1340, 3.0}};
    const std::pair<double, double> expected[] = {{1304.9, 1.0}, {1305.0, 1.0}, {1305.1, 2.0},
                                                  {1325.0, 2.0}, {1326, 3.0},   {1360, 3.0}};
    for (const auto& [waveLength, limit] : expected) {
        const TVerdict verdict = TVerdictJudge(budget).Judge(Loss("1", waveLength, -0.5));
        ASSERT_TRUE(verdict.Limit) << waveLength;
        EXPECT_EQ(*verdict.Limit, limit) << waveLength;
    }
    for (const double odd : {1361.0, -1e300, 1e300, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(TVerdictJudge(budget).Judge(Loss("1", odd, -0.5)).Limit) << odd;
}

TEST(VerdictJudge, LinkCablesMatchTheRecordsLatin1Texts) {
    TBudget budget = RiserBudget();
    budget.Links = {{"K\xC3\xA4ller", 1000, 0, 0}};  // "Käller" in the file's UTF-8
    const TVerdict verdict = TVerdictJudge(budget).Judge(Loss("K\xE4ller", 1310, -0.5));
    ASSERT_TRUE(verdict.Limit);
    EXPECT_DOUBLE_EQ(*verdict.Limit, 1.0);
}

// The largest readings a dump can hold, or a budget built in the window with huge figures,
// make figures beyond any double: such a reading is not judged and the figure is left out.
TEST(VerdictJudge, FiguresBeyondAnyNumberGiveNoVerdict) {
    constexpr double Largest = std::numeric_limits<double>::max();  // 1.79769313486232E308
    TBudget budget;
    budget.MaxLossDb = {{1310, Largest}};
    budget.PowerDbm = {{1310, {-Largest, Largest}}};
    budget.ConnectorDb = 1e305;
    budget.Links = {{"*", 0, 10000, 0}};
    budget.AttenuationDbPerKm = {{1550, 1.0}};
    const TJudgeCase cases[] = {
        {"a gain of the largest",
         Loss("1", 1310, Largest),
         TVerdictKind::None,
         -Largest,
         Largest,
         {}},
        {"a loss of the largest", Loss("1", 1310, -Largest), TVerdictKind::Pass, Largest, Largest,
         0.0},
        {"an infinite link limit", Loss("1", 1550, -1.0), TVerdictKind::None, 1.0, {}, {}},
        {"power below the window", Power(1310, -Largest), TVerdictKind::Pass, {}, {}, 0.0},
    };
    for (const TJudgeCase& c : cases)
        ExpectVerdict(budget, c);
    budget.PowerDbm = {{1310, {std::nullopt, Largest}}};
    ExpectVerdict(
        budget,
        {"margin beyond the largest", Power(1310, -Largest), TVerdictKind::None, {}, {}, {}});
}

TEST(VerdictTexts, TwoDecimalsAndSummaries) {
    EXPECT_EQ(TwoDecimals(0.35), "0.35");
    EXPECT_EQ(TwoDecimals(2.3), "2.30");
    EXPECT_EQ(TwoDecimals(-1.956), "-1.96");
    EXPECT_EQ(TwoDecimals(-0.004), "0.00");
    // Every digit of the largest figures, not the first 63.
    EXPECT_EQ(TwoDecimals(1e300).size(), 304u);
    EXPECT_EQ(TwoDecimals(-std::numeric_limits<double>::max()).size(), 313u);
    EXPECT_EQ(VerdictText(TVerdictKind::Check), std::string("CHECK"));
    EXPECT_EQ(VerdictSummary({20, 3, 1, 5}, "relative"), "24 relative: 20 pass, 3 fail, 1 check");
    EXPECT_EQ(VerdictSummary({5, 0, 0, 0}, "absolute"), "5 absolute: 5 pass");
    EXPECT_EQ(VerdictSummary({1200, 0, 3400, 0}, "relative"),
              "4,600 relative: 1,200 pass, 3,400 check");
}

TEST(PageVerdicts, FollowTheRecordsOfThePage) {
    const TMeraniaArray records{Loss("1", 1310, -1), Power(1310, -5), Loss("2", 1310, -3)};
    TBudget budget = RiserBudget();
    budget.PowerDbm = {{1310, {-20.0, -3.0}}};
    const std::vector<TVerdict> all = JudgeRecords(budget, records);
    ASSERT_EQ(all.size(), 3u);
    const auto relative = PageVerdicts(all, records, TTablePage::Relative);
    const auto absolute = PageVerdicts(all, records, TTablePage::Absolute);
    ASSERT_EQ(relative.size(), 2u);
    ASSERT_EQ(absolute.size(), 1u);
    EXPECT_EQ(relative[1], all[2]);
    EXPECT_EQ(absolute[0], all[1]);
    EXPECT_EQ(PageVerdicts(all, records, TTablePage::All), all);
    EXPECT_EQ(CountVerdicts(all), (TVerdictCounts{2, 1, 0, 0}));
}

}  // namespace

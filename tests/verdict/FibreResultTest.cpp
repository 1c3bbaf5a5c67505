#include <gtest/gtest.h>

#include "verdict/Verdict.h"

namespace {

TMeranie Loss(const char* cable, const char* fiber, double waveLength, double value) {
    return {cable, fiber, waveLength, value, -10.0, true};
}
TMeranie Power(const char* cable, const char* fiber, double waveLength, double value) {
    return {cable, fiber, waveLength, value, 0.0, false};
}

TEST(FibreResults, TheWorstOfAFibresLossReadings) {
    TBudget budget;
    budget.MaxLossDb = {{850, 2.0}, {1310, 1.0}};
    budget.PowerDbm = {{1550, {-20.0, -3.0}}};
    const TMeraniaArray records{
        Loss("A", "1", 850, -1.0),  Loss("A", "1", 1310, -0.5),  // pass, pass
        Loss("A", "2", 850, -1.0),  Loss("A", "2", 1310, -1.5),  // pass, fail
        Loss("A", "3", 850, 0.5),   Loss("A", "3", 1310, -0.5),  // check, pass
        Loss("A", "4", 850, 0.5),   Loss("A", "4", 1310, -1.5),  // check, fail
        Loss("A", "5", 1625, -1.0),                              // no limit
        Power("A", "6", 1550, -30),                              // absolute: no fibre
        Loss("B", "1", 1310, -0.2), Loss("A", "1", 1300, -1.2),  // B 1 apart; A 1 fails late
    };
    const auto results = FibreResults(records, JudgeRecords(budget, records));
    const std::vector<TFibreResult> expected{
        {"A", "1", TVerdictKind::Fail},  {"A", "2", TVerdictKind::Fail},
        {"A", "3", TVerdictKind::Check}, {"A", "4", TVerdictKind::Fail},
        {"A", "5", TVerdictKind::None},  {"B", "1", TVerdictKind::Pass}};
    EXPECT_EQ(results, expected);
    const TVerdictCounts counts = CountFibreResults(results);
    EXPECT_EQ(counts, (TVerdictCounts{1, 3, 1, 1}));
    EXPECT_EQ(FibreSummary(counts), "5 fibres: 1 pass, 3 fail, 1 check");
    EXPECT_EQ(FibreSummary({0, 1, 0, 4}), "1 fibre: 1 fail");
}

TEST(WavelengthGroups, TheNearestBudgetKeyWithinTwentyNanometres) {
    TBudget budget;
    budget.Preset = "iso-11801-om5";
    budget.MaxLossDb = {{1310, 2.0}};
    budget.PowerDbm = {{1490, {}}};
    const std::vector<int> keys = BudgetWavelengths(budget);
    EXPECT_EQ(keys, (std::vector<int>{850, 953, 1300, 1310, 1490}));
    const std::pair<double, std::optional<int>> cases[] = {
        {1290, 1300},         {1305, 1300},
        {1305.5, 1310},       {1330, 1310},
        {1331, std::nullopt}, {973, 953},
        {974, std::nullopt},  {1470, 1490},
        {1625, std::nullopt}, {std::numeric_limits<double>::quiet_NaN(), std::nullopt}};
    for (const auto& [waveLength, group] : cases)
        EXPECT_EQ(NearestWavelength(keys, waveLength), group) << waveLength;
    // Under a lone 1310 key, 1290, 1310 and 1330 nm are one group.
    for (const double waveLength : {1290.0, 1310.0, 1330.0})
        EXPECT_EQ(NearestWavelength({1310, 1550}, waveLength), 1310);
}

// A margin is shown with the decimals its sign needs: a FAIL never reads 0.00.
TEST(MarginText, TheSignOfTheVerdict) {
    const std::pair<double, const char*> texts[] = {
        {0.35, "0.35"},       {-1.956, "-1.96"},       {0.0, "0.00"},           {0.004, "0.00"},
        {-0.004, "-0.004"},   {-0.005, "-0.01"},       {-0.0051, "-0.01"},      {-0.001, "-0.001"},
        {-0.0004, "-0.0004"}, {-1e-9, "-0.000000001"}, {-2.6e-8, "-0.00000003"}};
    for (const auto& [margin, text] : texts) {
        EXPECT_EQ(MarginText(margin), text) << margin;
    }
    EXPECT_EQ(MarginDecimals(-0.004), 3);
    EXPECT_EQ(MarginDecimals(0.004), 2);
    EXPECT_EQ(MarginDecimals(-0.01), 2);
}

TEST(MarginText, AThousandthAroundALimit) {
    TBudget budget;
    budget.Preset = "iso-11801-om4";
    budget.Links = {{"*", 90, 2, 0}};  // 1.815 dB at 850 nm
    const TVerdictJudge judge(budget);
    const TVerdict over = judge.Judge(Loss("1", "1", 850, -1.816));
    EXPECT_EQ(over.Kind, TVerdictKind::Fail);
    EXPECT_EQ(MarginText(*over.Margin), "-0.001");
    const TVerdict under = judge.Judge(Loss("1", "1", 850, -1.814));
    EXPECT_EQ(under.Kind, TVerdictKind::Pass);
    EXPECT_EQ(MarginText(*under.Margin), "0.00");
    const TVerdict on = judge.Judge(Loss("1", "1", 850, -1.815));
    EXPECT_EQ(on.Kind, TVerdictKind::Pass);
    EXPECT_EQ(MarginText(*on.Margin), "0.00");
}

}  // namespace

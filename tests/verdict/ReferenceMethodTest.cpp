#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "verdict/Verdict.h"

namespace {

TMeranie ReferenceLoss(const char* cable, double waveLength, double value) {
    return {cable, "1", waveLength, value, -10.0, true};
}

std::optional<double> LimitOf(const TBudget& budget, const TMeranie& record) {
    return TVerdictJudge(budget).Judge(record).Limit;
}

TBudget OneLink(const char* preset, TLinkBudget link) {
    TBudget budget;
    budget.Preset = preset;
    budget.Links = {std::move(link)};
    return budget;
}

TEST(ReferenceMethod, TheWorkedExamples) {
    // 90 m of OM4 at 850 nm, 3.5 dB/km, two connectors, no splice.
    TBudget om4 = OneLink("iso-11801-om4", {"*", 90, 2, 0});
    const std::pair<std::optional<TReferenceMethod>, double> methods[] = {
        {std::nullopt, 1.815},
        {TReferenceMethod::OneJumper, 1.815},
        {TReferenceMethod::TwoJumper, 1.065},
        {TReferenceMethod::ThreeJumper, 0.315}};
    for (const auto& [method, limit] : methods) {
        om4.ReferenceMethod = method;
        const auto judged = LimitOf(om4, ReferenceLoss("1", 850, -1.0));
        ASSERT_TRUE(judged);
        EXPECT_NEAR(*judged, limit, 1e-12);
    }
    om4.ReferenceMethod = std::nullopt;
    om4.EndConnectorDb = 0.5;
    EXPECT_NEAR(*LimitOf(om4, ReferenceLoss("1", 850, -1.0)), 1.315, 1e-12);

    // 500 m of OS2 at 1310 nm, four connectors and a splice, 2-jumper:
    // 0.2 + 1 × 0.75 + 2 × 0.75 + 0.3.
    TBudget os2 = OneLink("iso-11801-os2", {"*", 500, 4, 1});
    os2.ReferenceMethod = TReferenceMethod::TwoJumper;
    EXPECT_NEAR(*LimitOf(os2, ReferenceLoss("1", 1310, -1.0)), 2.75, 1e-12);
}

// Every method with 0, 1, 2 and 4 connectors, with the connector figure (0.75) or an end
// figure of 0.5 for the measured end connections; no length, no splice.
struct TMethodCase {
    TReferenceMethod method;
    int connectors;
    bool endFigure;
    double limit;
};

class ConnectorAllowance : public testing::TestWithParam<TMethodCase> {};

TEST_P(ConnectorAllowance, FollowsTheMethod) {
    const TMethodCase& c = GetParam();
    TBudget budget = OneLink("", {"*", 0, c.connectors, 0});
    budget.AttenuationDbPerKm = {{1310, 1.0}};
    budget.ReferenceMethod = c.method;
    if (c.endFigure)
        budget.EndConnectorDb = 0.5;
    EXPECT_NEAR(LinkFixedDb(budget, budget.Links[0]), c.limit, 1e-12);
    const auto limit = LimitOf(budget, ReferenceLoss("9", 1310, -0.1));
    ASSERT_TRUE(limit);
    EXPECT_NEAR(*limit, c.limit, 1e-12);
}

constexpr auto One = TReferenceMethod::OneJumper;
constexpr auto Two = TReferenceMethod::TwoJumper;
constexpr auto Three = TReferenceMethod::ThreeJumper;

INSTANTIATE_TEST_SUITE_P(
    EveryMethod, ConnectorAllowance,
    testing::Values(TMethodCase{One, 0, false, 0.0}, TMethodCase{One, 1, false, 0.75},
                    TMethodCase{One, 2, false, 1.5}, TMethodCase{One, 4, false, 3.0},
                    TMethodCase{One, 0, true, 0.0}, TMethodCase{One, 1, true, 0.5},
                    TMethodCase{One, 2, true, 1.0}, TMethodCase{One, 4, true, 2.5},
                    TMethodCase{Two, 0, false, 0.0}, TMethodCase{Two, 1, false, 0.75},
                    TMethodCase{Two, 2, false, 0.75}, TMethodCase{Two, 4, false, 2.25},
                    TMethodCase{Two, 0, true, 0.0}, TMethodCase{Two, 1, true, 0.5},
                    TMethodCase{Two, 2, true, 0.5}, TMethodCase{Two, 4, true, 2.0},
                    TMethodCase{Three, 0, false, 0.0}, TMethodCase{Three, 1, false, 0.0},
                    TMethodCase{Three, 2, false, 0.0}, TMethodCase{Three, 4, false, 1.5},
                    TMethodCase{Three, 0, true, 0.0}, TMethodCase{Three, 1, true, 0.0},
                    TMethodCase{Three, 2, true, 0.0}, TMethodCase{Three, 4, true, 1.5}),
    [](const testing::TestParamInfo<TMethodCase>& caseInfo) {
        const TMethodCase& c = caseInfo.param;
        const char* method = c.method == One   ? "OneJumper"
                             : c.method == Two ? "TwoJumper"
                                               : "ThreeJumper";
        return std::string(method) + "_" + std::to_string(c.connectors) + "Connectors_" +
               (c.endFigure ? "EndFigure" : "ConnectorFigure");
    });

// Without the new keys every limit is the one of connectors × connector figure, to the bit.
TEST(ReferenceMethod, OldBudgetsJudgeAsBefore) {
    for (const double connectorDb : {0.75, 0.5, 0.1, 0.3333}) {
        for (const int connectors : {0, 1, 2, 3, 4, 7, 10000}) {
            TBudget budget = OneLink("tia-568-mm", {"*", 123.4, connectors, 3});
            budget.ConnectorDb = connectorDb;
            budget.SpliceDb = 0.1;
            const double before = connectors * connectorDb + 3 * 0.1;
            EXPECT_EQ(LinkFixedDb(budget, budget.Links[0]), before) << connectors;
            budget.ReferenceMethod = TReferenceMethod::OneJumper;
            budget.EndConnectorDb = connectorDb;
            EXPECT_EQ(LinkFixedDb(budget, budget.Links[0]), before) << connectors;
        }
    }
}

// Each preset at each of its wavelengths, 20 nm either side (still the key) and 21 nm
// either side (no key: no two keys of one preset lie within 41 nm).
struct TPresetCase {
    std::string preset;
    int waveLength;
    double attenuation;
};

class PresetAttenuation : public testing::TestWithParam<TPresetCase> {};

TEST_P(PresetAttenuation, CoversTwentyNanometresEitherSide) {
    const TPresetCase& c = GetParam();
    const TBudget budget = OneLink(c.preset.c_str(), {"*", 1000, 0, 0});
    for (const int offset : {0, -20, 20}) {
        const auto limit = LimitOf(budget, ReferenceLoss("1", c.waveLength + offset, -0.1));
        ASSERT_TRUE(limit) << offset;
        EXPECT_EQ(*limit, c.attenuation) << offset;
    }
    for (const int offset : {-21, 21})
        EXPECT_FALSE(LimitOf(budget, ReferenceLoss("1", c.waveLength + offset, -0.1))) << offset;
}

std::vector<TPresetCase> EveryPresetWavelength() {
    std::vector<TPresetCase> cases;
    for (const TBudgetPreset& preset : BudgetPresets()) {
        for (const auto& [waveLength, attenuation] : preset.AttenuationDbPerKm)
            cases.push_back({preset.Name, waveLength, attenuation});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryPreset, PresetAttenuation, testing::ValuesIn(EveryPresetWavelength()),
                         [](const testing::TestParamInfo<TPresetCase>& caseInfo) {
                             std::string name = caseInfo.param.preset;
                             for (char& c : name)
                                 c = c == '-' ? '_' : c;
                             return name + "_" + std::to_string(caseInfo.param.waveLength) + "nm";
                         });

TEST(ReferenceMethod, TheIsoPresetsFigures) {
    const std::pair<const char*, TWavelengthTable> expected[] = {
        {"iso-11801-om3", {{850, 3.5}, {1300, 1.5}}},
        {"iso-11801-om4", {{850, 3.5}, {1300, 1.5}}},
        {"iso-11801-om5", {{850, 3.0}, {953, 2.3}, {1300, 1.5}}},
        {"iso-11801-os1a", {{1310, 1.0}, {1383, 1.0}, {1550, 1.0}}},
        {"iso-11801-os2", {{1310, 0.4}, {1383, 0.4}, {1550, 0.4}}}};
    for (const auto& [name, table] : expected) {
        const TBudgetPreset* preset = FindBudgetPreset(name);
        ASSERT_NE(preset, nullptr) << name;
        EXPECT_EQ(preset->AttenuationDbPerKm, table) << name;
        EXPECT_EQ(preset->ConnectorDb, 0.75);
        EXPECT_EQ(preset->SpliceDb, 0.3);
    }
}

// One job mixes multimode and single-mode cables: 1300 and 1310 nm are within 20 nm of each
// other, so each link judges with its own fibre's table.
TEST(ReferenceMethod, ALinkJudgesWithItsOwnPreset) {
    TBudget budget;
    budget.Preset = "iso-11801-om4";
    budget.AttenuationDbPerKm = {{850, 3.0}};
    TLinkBudget singleMode{"SM", 1000, 0, 0};
    singleMode.Preset = "iso-11801-os2";
    TLinkBudget ownFigure{"X", 1000, 0, 0};
    ownFigure.AttenuationDbPerKm = {{1300, 2.0}};
    budget.Links = {{"MM", 1000, 0, 0}, singleMode, ownFigure};
    EXPECT_EQ(LimitOf(budget, ReferenceLoss("MM", 1300, -0.1)), 1.5);
    EXPECT_EQ(LimitOf(budget, ReferenceLoss("MM", 850, -0.1)), 3.0);
    EXPECT_EQ(LimitOf(budget, ReferenceLoss("SM", 1310, -0.1)), 0.4);
    EXPECT_EQ(LimitOf(budget, ReferenceLoss("SM", 1300, -0.1)), 0.4);
    EXPECT_FALSE(LimitOf(budget, ReferenceLoss("SM", 850, -0.1)));
    EXPECT_EQ(LimitOf(budget, ReferenceLoss("X", 1300, -0.1)), 2.0);
    EXPECT_EQ(LimitOf(budget, ReferenceLoss("X", 850, -0.1)), 3.0);
    EXPECT_EQ(BudgetWavelengths(budget), (std::vector<int>{850, 1300, 1310, 1383, 1550}));
}

TEST(ReferenceMethod, TheMethodAsReportsNameIt) {
    TBudget budget;
    EXPECT_EQ(BudgetMethodText(budget), "Reference: 1-jumper; end connection: 0.75 dB");
    budget.ReferenceMethod = TReferenceMethod::ThreeJumper;
    budget.EndConnectorDb = 0.5;
    budget.Launch = "encircled flux";
    EXPECT_EQ(BudgetMethodText(budget),
              "Reference: 3-jumper; end connection: 0.5 dB; launch: encircled flux");
}

TEST(ReferenceMethod, MaxLossStillWinsAndGainsStillCheck) {
    TBudget budget = OneLink("iso-11801-om4", {"*", 90, 2, 0});
    budget.ReferenceMethod = TReferenceMethod::ThreeJumper;
    budget.MaxLossDb = {{1300, 2.0}};
    EXPECT_EQ(LimitOf(budget, ReferenceLoss("1", 1300, -1.0)), 2.0);
    const TVerdict gain = TVerdictJudge(budget).Judge(ReferenceLoss("1", 850, 0.25));
    EXPECT_EQ(gain.Kind, TVerdictKind::Check);
}

}  // namespace

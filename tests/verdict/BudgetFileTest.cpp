#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "support/Throws.h"
#include "sys/TextFile.h"
#include "verdict/Budget.h"

namespace {

// The example budget the README shows.
const char* const ExampleJson = R"({
  "name": "Building A riser, TIA-568 single-mode inside plant",
  "preset": "tia-568-sm-isp",
  "loss_sign": "negative",
  "gain_tolerance_db": 0.2,
  "attenuation_db_per_km": { "1310": 1.0, "1550": 1.0 },
  "connector_db": 0.75,
  "splice_db": 0.3,
  "links": [ { "cable": "1", "length_m": 500, "connectors": 2, "splices": 1 },
             { "cable": "*", "length_m": 90,  "connectors": 2, "splices": 0 } ],
  "max_loss_db": { "1550": 2.0 },
  "power_dbm": { "1310": { "min": -20, "max": -3 } }
})";

TEST(BudgetFile, TheExampleReadsAndWritesBack) {
    const TBudget budget = ParseBudget(ExampleJson, "riser.json");
    EXPECT_EQ(budget.Name, "Building A riser, TIA-568 single-mode inside plant");
    EXPECT_EQ(budget.Preset, "tia-568-sm-isp");
    EXPECT_EQ(budget.GainToleranceDb, 0.2);
    ASSERT_EQ(budget.Links.size(), 2u);
    EXPECT_EQ(budget.Links[0].Cable, "1");
    EXPECT_EQ(budget.Links[0].LengthM, 500);
    EXPECT_EQ(budget.Links[0].Splices, 1);
    EXPECT_EQ(budget.Links[1].Cable, "*");
    EXPECT_EQ(budget.MaxLossDb, (TWavelengthTable{{1550, 2.0}}));
    ASSERT_EQ(budget.PowerDbm.count(1310), 1u);
    EXPECT_EQ(budget.PowerDbm.at(1310).Min, -20.0);
    EXPECT_EQ(budget.PowerDbm.at(1310).Max, -3.0);
    EXPECT_EQ(ParseBudget(BudgetToJson(budget), "again.json"), budget);

    TTempFolder folder;
    WriteBudgetFile(budget, folder.File("b.json"));
    EXPECT_EQ(ReadBudgetFile(folder.File("b.json")), budget);
    EXPECT_EQ(ReadWholeFile(folder.File("b.json")), BudgetToJson(budget));
}

TEST(BudgetFile, TheMethodEndFigureLaunchAndLinkPresetsReadAndWriteBack) {
    const char* const json = R"({
  "name": "Campus",
  "preset": "iso-11801-om4",
  "loss_sign": "negative",
  "reference_method": "2-jumper",
  "end_connector_db": 0.5,
  "launch": "encircled flux",
  "links": [
    {
      "cable": "MM",
      "length_m": 90,
      "connectors": 2,
      "splices": 0
    },
    {
      "cable": "SM",
      "length_m": 500,
      "connectors": 4,
      "splices": 1,
      "preset": "iso-11801-os2",
      "attenuation_db_per_km": {
        "1550": 0.3
      }
    }
  ]
}
)";
    const TBudget budget = ParseBudget(json, "campus.json");
    EXPECT_EQ(budget.ReferenceMethod, TReferenceMethod::TwoJumper);
    EXPECT_EQ(budget.EndConnectorDb, 0.5);
    EXPECT_EQ(budget.Launch, "encircled flux");
    ASSERT_EQ(budget.Links.size(), 2u);
    EXPECT_EQ(budget.Links[1].Preset, "iso-11801-os2");
    EXPECT_EQ(budget.Links[1].AttenuationDbPerKm, (TWavelengthTable{{1550, 0.3}}));
    EXPECT_EQ(BudgetToJson(budget), json);
    for (const char* method : {"1-jumper", "2-jumper", "3-jumper"}) {
        const TBudget read =
            ParseBudget(std::string(R"({"reference_method": ")") + method + R"("})", "m.json");
        ASSERT_TRUE(read.ReferenceMethod);
        EXPECT_EQ(ReferenceMethodName(*read.ReferenceMethod), std::string(method));
    }
}

TEST(BudgetFile, ThePairRuleReadsAndWritesBackAndStaysAbsentWhenAbsent) {
    const char* const json = R"({
  "loss_sign": "negative",
  "launch": "encircled flux",
  "pair_rule": "average",
  "max_loss_db": {
    "1310": 1.5
  }
}
)";
    const TBudget budget = ParseBudget(json, "pairs.json");
    EXPECT_EQ(budget.PairRule, TPairRule::Average);
    EXPECT_EQ(EffectivePairRule(budget), TPairRule::Average);
    EXPECT_EQ(BudgetToJson(budget), json);

    const TBudget worst = ParseBudget(R"({"pair_rule": "worst"})", "w.json");
    EXPECT_EQ(worst.PairRule, TPairRule::Worst);
    EXPECT_EQ(BudgetToJson(worst),
              "{\n  \"loss_sign\": \"negative\",\n  \"pair_rule\": \"worst\"\n}\n");

    const TBudget absent = ParseBudget(R"({"max_loss_db": {"1310": 1.5}})", "a.json");
    EXPECT_FALSE(absent.PairRule);
    EXPECT_EQ(EffectivePairRule(absent), TPairRule::Worst);
    EXPECT_EQ(BudgetToJson(absent).find("pair_rule"), std::string::npos);

    EXPECT_EQ(FindPairRule("worst"), TPairRule::Worst);
    EXPECT_EQ(FindPairRule("average"), TPairRule::Average);
    EXPECT_FALSE(FindPairRule("Worst"));
    EXPECT_FALSE(FindPairRule(""));
}

TEST(BudgetFile, AnEmptyObjectIsABudgetWithDefaults) {
    const TBudget budget = ParseBudget("{}", "empty.json");
    EXPECT_EQ(budget, TBudget{});
    EXPECT_EQ(EffectiveConnectorDb(budget), 0.75);
    EXPECT_EQ(EffectiveSpliceDb(budget), 0.3);
    EXPECT_EQ(EffectiveGainToleranceDb(budget), 0.2);
    EXPECT_EQ(EffectiveReferenceMethod(budget), TReferenceMethod::OneJumper);
    EXPECT_EQ(EffectiveEndConnectorDb(budget), 0.75);
    EXPECT_TRUE(EffectiveAttenuation(budget).empty());
    EXPECT_EQ(BudgetToJson(budget), "{\n  \"loss_sign\": \"negative\"\n}\n");
}

TEST(BudgetFile, PresetsAreOverriddenKeyByKey) {
    TBudget budget;
    budget.Preset = "tia-568-mm";
    budget.AttenuationDbPerKm = {{1300, 1.2}, {1550, 0.4}};
    budget.SpliceDb = 0.1;
    EXPECT_EQ(EffectiveAttenuation(budget),
              (TWavelengthTable{{850, 3.5}, {1300, 1.2}, {1550, 0.4}}));
    EXPECT_EQ(EffectiveConnectorDb(budget), 0.75);
    EXPECT_EQ(EffectiveSpliceDb(budget), 0.1);
    ASSERT_NE(FindBudgetPreset("tia-568-sm-osp"), nullptr);
    EXPECT_EQ(FindBudgetPreset("tia-568-sm-osp")->AttenuationDbPerKm,
              (TWavelengthTable{{1310, 0.5}, {1550, 0.5}}));
    EXPECT_EQ(FindBudgetPreset("tia-568"), nullptr);
}

TEST(BudgetFile, ProblemsNameTheFileTheKeyAndWhat) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"colour": 1})", R"(Budget file "b.json": unknown key "colour")"},
        {R"({"links": [{"cable": "1", "length": 5}]})",
         R"(Budget file "b.json": unknown key "links[0].length")"},
        {R"({"connector_db": "0.75"})",
         R"(Budget file "b.json": "connector_db" must be a number, not a text)"},
        {R"({"name": 5})", R"(Budget file "b.json": "name" must be a text, not a number)"},
        {R"({"links": {}})", R"(Budget file "b.json": "links" must be a list, not an object)"},
        {R"({"links": [{"cable": "2", "length_m": -1}]})",
         R"(Budget file "b.json": "links[0].length_m" must not be negative)"},
        {R"({"links": [{"cable": "2", "splices": 1.5}]})",
         R"(Budget file "b.json": "links[0].splices" must be a whole number from 0 to 10000)"},
        {R"({"links": [{"length_m": 10}]})",
         R"(Budget file "b.json": "links[0].cable" is missing (a cable's text, or "*" for every other cable))"},
        {R"({"links": [{"cable": "1"}, {"cable": "1"}]})",
         R"(Budget file "b.json": "links[1].cable" repeats the cable '1')"},
        {R"({"preset": "tia-999"})",
         R"(Budget file "b.json": "preset" names no preset: 'tia-999' (known: tia-568-mm, tia-568-sm-isp, tia-568-sm-osp, iso-11801-om3, iso-11801-om4, iso-11801-om5, iso-11801-os1a, iso-11801-os2))"},
        {R"({"loss_sign": "minus"})",
         R"(Budget file "b.json": "loss_sign" must be "negative" or "positive", not 'minus')"},
        {R"({"max_loss_db": {"1310nm": 2}})",
         R"(Budget file "b.json": "max_loss_db.1310nm" is no wavelength: a key here is a whole number of nm, such as "1310")"},
        {R"({"max_loss_db": {"1310": 2, "1310": 3}})",
         R"(Budget file "b.json": the key "1310" is given twice in one object)"},
        {R"({"power_dbm": {"1310": {"min": -3, "max": -20}}})",
         R"(Budget file "b.json": "power_dbm.1310" has its min above its max)"},
        {R"({"power_dbm": {"1310": {"low": -3}}})",
         R"(Budget file "b.json": unknown key "power_dbm.1310.low")"},
        {R"({"splice_db": 1e999})",
         R"(Budget file "b.json": not valid JSON: number overflow parsing '1e999')"},
        {R"({"connector_db": 1e305, "links": [{"cable": "1", "connectors": 10000}]})",
         R"(Budget file "b.json": "connector_db" is too large: a limit it gives is no finite number)"},
        {R"({"splice_db": 1e305, "links": [{"cable": "1", "splices": 10000}]})",
         R"(Budget file "b.json": "splice_db" is too large: a limit it gives is no finite number)"},
        {R"({"attenuation_db_per_km": {"1310": 1e300}, "links": [{"cable": "1", "length_m": 1e300}]})",
         R"(Budget file "b.json": "links[0].length_m" is too large: a limit it gives is no finite number)"},
        {R"({"connector_db": 1e308, "splice_db": 1e308, "links": [{"cable": "*", "connectors": 1, "splices": 1}]})",
         R"(Budget file "b.json": "links[0]" is too large: a limit it gives is no finite number)"},
        {R"({"reference_method": "2 jumpers"})",
         R"(Budget file "b.json": "reference_method" must be "1-jumper", "2-jumper" or "3-jumper", not '2 jumpers')"},
        {R"({"end_connector_db": -0.5})",
         R"(Budget file "b.json": "end_connector_db" must not be negative)"},
        {R"({"launch": 1})", R"(Budget file "b.json": "launch" must be a text, not a number)"},
        {R"({"pair_rule": "best"})",
         R"(Budget file "b.json": "pair_rule" must be "worst" or "average", not 'best')"},
        {R"({"pair_rule": ""})",
         R"(Budget file "b.json": "pair_rule" must be "worst" or "average", not '')"},
        {R"({"pair_rule": 1})",
         R"(Budget file "b.json": "pair_rule" must be a text, not a number)"},
        {R"({"pair_rule": "worst", "pair_rule": "average"})",
         R"(Budget file "b.json": the key "pair_rule" is given twice in one object)"},
        {R"({"links": [{"cable": "1", "preset": "om4"}]})",
         R"(Budget file "b.json": "links[0].preset" names no preset: 'om4' (known: tia-568-mm, tia-568-sm-isp, tia-568-sm-osp, iso-11801-om3, iso-11801-om4, iso-11801-om5, iso-11801-os1a, iso-11801-os2))"},
        {R"({"links": [{"cable": "1", "attenuation_db_per_km": {"1310": -1}}]})",
         R"(Budget file "b.json": "links[0].attenuation_db_per_km.1310" must not be negative)"},
        {R"({"end_connector_db": 1e308, "links": [{"cable": "1", "connectors": 2}]})",
         R"(Budget file "b.json": "end_connector_db" is too large: a limit it gives is no finite number)"},
        {R"([])", R"(Budget file "b.json": the file must hold one JSON object, not a list)"},
        {R"({"name": "a",})",
         R"(Budget file "b.json": not valid JSON: parse error at line 1, column 14: syntax error while parsing object key - unexpected '}'; expected string literal)"},
    };
    for (const auto& one : cases) {
        const auto& json = one.first;
        const auto& message = one.second;
        const auto error = ThrownBy<EBudgetError>([&] { ParseBudget(json, "b.json"); });
        if (!error) {
            ADD_FAILURE() << json << " was read";
            continue;
        }
        EXPECT_EQ(error->what(), std::string(message)) << json;
        EXPECT_EQ(error->Path(), "b.json");
    }
}

TEST(BudgetFile, AMissingFileIsAnInOutError) {
    TTempFolder folder;
    EXPECT_THROW(ReadBudgetFile(folder.File("none.json")), EInOutError);
}

}  // namespace

// A huge key, text or number in a file makes a message of a line, not of the file's size.
TEST(BudgetFile, ProblemsQuoteAtMost64Bytes) {
    // A megabyte stands for any text far longer than a message: the sanitizer build reads it
    // in a second, where ten took twenty.
    const std::string huge(1'000'000, '7');
    const std::string first64(64, '7');
    const std::pair<std::string, std::string> cases[] = {
        {"{\"" + huge + "\": 1}", "unknown key \"" + first64 + "...\""},
        {"{\"links\": [{\"cable\": \"1\", \"" + huge + "\": 1}]}",
         "unknown key \"links[0]." + std::string(55, '7') + "...\""},
        {"{\"max_loss_db\": {\"" + huge + "\": 2}}",
         "\"max_loss_db." + std::string(52, '7') +
             "...\" is no wavelength: a key here is a whole number of nm, such as \"1310\""},
        {"{\"loss_sign\": \"" + huge + "\"}",
         "\"loss_sign\" must be \"negative\" or \"positive\", not '" + first64 + "...'"},
        {"{\"splice_db\": " + huge + "e999}",
         "not valid JSON: number overflow parsing '" + first64 + "...'"},
        {"{\"name\": \"" + huge,
         "not valid JSON: parse error at line 1, column 1000011: "
         "syntax error while parsing value - invalid string: missing "
         "closing quote; last read: '\"" +
             std::string(63, '7') + "...'"},
        {"{\"" + huge + "\": 1, \"" + huge + "\": 2}",
         "the key \"" + first64 + "...\" is given twice in one object"},
    };
    for (const auto& [json, message] : cases) {
        try {
            ParseBudget(json, "b.json");
            ADD_FAILURE() << json.substr(0, 80) << " was read";
        } catch (const EBudgetError& error) {
            EXPECT_EQ(error.what(), "Budget file \"b.json\": " + message);
        }
    }
}

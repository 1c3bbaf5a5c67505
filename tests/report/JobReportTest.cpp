// The job's report's text: every section's figures as the fixtures' README works them out.
#include "report/JobReport.h"

#include <gtest/gtest.h>

#include <regex>

#include "report/JobReportFixture.h"

namespace {

using TJobReportText = TJobReportTest;

bool Has(const std::vector<std::string>& lines, const std::string& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

void ExpectLines(const std::vector<std::string>& page, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        EXPECT_TRUE(Has(page, line)) << "missing: " << line;
}

TEST_F(TJobReportText, CoverNamesTheJobItsResultDatesPeopleMetersAndBudget) {
    const auto pages = Pages(Write());
    ASSERT_EQ(pages.size(), 5u);
    ExpectLines(
        pages[0],
        {"Fibre acceptance report", "Job Riser R, building 7", "Customer Northwind Hospital",
         "Site Building 7, risers", "Contractor Lumen Fibre Works", "Printed 2026-12-07 14:05",
         "CHECK", "10 results: 9 PASS, 0 FAIL, 1 CHECK, 0 without a verdict",
         "6 of 8 fibres tested", "Downloads 4", "First download 2026-11-02",
         "Last download 2026-11-05", "Operators Ann Lee, Bo Chan", "OLM-45 SN 0412871 3",
         "OLM-55 SN 0530002 1", "Name Riser R, fixed limits", "Preset none", "Pair rule worst",
         "MERIDAX data exporter 1.1 Fibre acceptance report Page 1 of 5"});
    // The customer's document names no archive: no host, user or home folder of ours.
    for (const auto& page : pages) {
        for (const auto& line : page)
            EXPECT_EQ(line.find("Archive"), std::string::npos) << line;
    }
    // The fixtures' budget gives no method: the cover does not make one up.
    for (const std::string& line : pages[0]) {
        EXPECT_FALSE(line.starts_with("Reference method")) << line;
        EXPECT_FALSE(line.starts_with("Launch")) << line;
    }
}

TEST_F(TJobReportText, CoverGivesTheBudgetsMethodWhereItIsGiven) {
    job_.Budgets.push_back(
        {R"({"name": "Riser R, TIA", "preset": "tia-568-sm-isp", "reference_method": "2-jumper",)"
         R"( "end_connector_db": 0.3, "launch": "encircled flux", "pair_rule": "average",)"
         R"( "links": [{"cable": "*", "length_m": 120, "connectors": 2}]})",
         "2026-11-06T08:00:00.000000Z"});
    job_.Notes = "Risers re-spliced on floor 3";
    const auto pages = Pages(Write());
    ASSERT_FALSE(pages.empty());
    ExpectLines(pages[0], {"Name Riser R, TIA", "Pair rule average", "Reference method 2-jumper",
                           "End connection 0.30 dB each measured", "Launch encircled flux",
                           "Notes Risers re-spliced on floor 3",
                           "Cable Length (m) Connectors Splices", "* (every other cable) 120 2 0"});
    bool preset = false;
    for (const std::string& line : pages[0])
        preset = preset || line.starts_with("Preset tia-568-sm-isp (");
    EXPECT_TRUE(preset);
}

TEST_F(TJobReportText, SummaryCountsEachWavelengthTheFibresAndTheReadings) {
    const auto pages = Pages(Write());
    ASSERT_EQ(pages.size(), 5u);
    // A pair's loss is its worse direction's (pair rule worst). 1310 nm: losses 0.48, 0.61,
    // 0.50 (pairs), 0.30, 0.70, 0.52 (one direction), mean 0.52; 1550 nm: 0.35, 0.65, 0.44,
    // mean 0.48. The absolute reading counts but has no loss.
    ExpectLines(
        pages[1],
        {"Wavelength (nm) Results Readings PASS FAIL CHECK Min loss (dB) Max loss (dB) "
         "Mean loss (dB)",
         "1310 7 10 6 0 1 0.30 0.70 0.52", "1550 3 6 3 0 0 0.35 0.65 0.48",
         "A pair's loss is its worse direction's (pair rule worst).", "6 fibres: 5 pass, 1 check",
         "R 3 CHECK", "6 of 8 fibres tested", "R 6 of 8 6, 8", "Pairs (A→B and B→A) 6",
         "One-direction readings 3", "Readings without a direction 0", "Absolute readings 1",
         "Current readings 16", "Replaced by a re-test 2", "Repeats (no change) 9", "Downloads 4",
         "Void downloads 0"});
}

TEST_F(TJobReportText, ResultsShowBothDirectionsTheirAverageAndTheVerdict) {
    const auto pages = Pages(Write());
    ASSERT_EQ(pages.size(), 5u);
    ExpectLines(
        pages[2],
        {"A pair's limit, margin and verdict are its worse direction's (pair rule worst).",
         "Cable Fiber WaveLength A→B B→A Average Limit Margin Verdict Note",
         "R 1 1310 0.42 0.48 0.45 1.00 0.52 PASS", "R 1 1310 -3.10 0.10 PASS absolute (dBm)",
         "R 1 1550 0.35 0.31 0.33 0.80 0.45 PASS", "R 2 1310 0.61 0.57 0.59 1.00 0.39 PASS",
         "R 2 1550 0.55 0.65 0.60 0.80 0.15 PASS re-tested",
         "R 3 1310 0.50 -0.30 0.10 1.00 0.50 CHECK", "R 3 1550 0.40 0.44 0.42 0.80 0.36 PASS",
         "R 4 1310 0.30 1.00 0.70 PASS one direction", "R 5 1310 0.70 1.00 0.30 PASS one direction",
         "R 07 1310 0.52 1.00 0.48 PASS one direction"});
    // The charts follow on their own page, a bar per fibre and wavelength.
    ExpectLines(pages[3], {"Loss per fiber", "A pair's bar is the loss of its worse direction.",
                           "Fiber 1 2 3 4 5 07", "Fiber 1 2 3"});
}

TEST_F(TJobReportText, RetestsListEachEarlierValueWithItsDownload) {
    const auto pages = Pages(Write());
    ASSERT_EQ(pages.size(), 5u);
    ExpectLines(
        pages[4],
        {"Re-tests", "Cable Fiber WaveLength Direction Earlier From download Now From download",
         "R 2 1550 A→B 0.95 1 (2026-11-02, Ann Lee) 0.55 3 (2026-11-04, Bo Chan)",
         "R 2 1550 A→B 0.58 3 (2026-11-04, Bo Chan) 0.55 3 (2026-11-04, Bo Chan)", "Sign-off",
         "Tested by: ______________________________ Date: ________________",
         "Approved by: ______________________________ Date: ________________"});
}

// Without the re-test fibre 2 at 1550 nm is 0.95 and 0.65: FAIL by the worse direction, PASS
// on its limit by the average; a void download takes no part but is listed with its reason.
struct TResultCase {
    const char* Name;
    bool VoidRetest;
    const char* PairRule;
    std::vector<std::string> Cover;
    std::vector<std::string> Summary;
};

class JobReportResult : public TJobReportTest, public testing::WithParamInterface<TResultCase> {};

TEST_P(JobReportResult, OverallResultAndCountsFollowTheJob) {
    const TResultCase& one = GetParam();
    if (one.VoidRetest) {
        downloads_[2].Void = true;
        downloads_[2].VoidReason = "wrong cable";
    }
    job_.Budgets.push_back({std::string(R"({"max_loss_db": {"1310": 1, "1550": 0.8},)") +
                                R"( "loss_sign": "negative", "pair_rule": ")" + one.PairRule +
                                R"(", "power_dbm": {"1310": {"min": -20, "max": -3}}})",
                            "2026-11-06T08:00:00.000000Z"});
    const auto pages = Pages(Write());
    ASSERT_EQ(pages.size(), 5u);
    ExpectLines(pages[0], one.Cover);
    ExpectLines(pages[1], one.Summary);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobReportResult,
    testing::Values(
        TResultCase{
            "RetestedWorst",
            false,
            "worst",
            {"CHECK", "10 results: 9 PASS, 0 FAIL, 1 CHECK, 0 without a verdict", "Downloads 4"},
            {"Void downloads 0", "Replaced by a re-test 2"}},
        TResultCase{
            "VoidRetestWorst",
            true,
            "worst",
            {"FAIL", "10 results: 8 PASS, 1 FAIL, 1 CHECK, 0 without a verdict",
             "Downloads 3 (and 1 void)", "Operators Ann Lee, Bo Chan", "OLM-45 SN 0412871 3"},
            {"1550 3 6 2 1 0 0.35 0.95 0.58", "Void downloads 1", "3 wrong cable",
             "Replaced by a re-test 0", "R 2 FAIL"}},
        TResultCase{"VoidRetestAverage",
                    true,
                    "average",
                    {"CHECK", "10 results: 9 PASS, 0 FAIL, 1 CHECK, 0 without a verdict"},
                    {"1550 3 6 3 0 0 0.33 0.80 0.52", "Void downloads 1"}}),
    [](const testing::TestParamInfo<TResultCase>& one) { return std::string(one.param.Name); });

// Cables and fibres with long names over several pages: every name whole, in columns as wide
// as the longest, under the header on every page of the results; a name wider than the page
// can give its column wraps onto the next line rather than being cut.
TEST_F(TJobReportText, LongIdentifiersPrintWholeUnderTheHeaderOnEveryPage) {
    const std::string longCable = "BLDG-07-RISER-0042-SEG-B";
    const std::string longFiber = "F0123-BLUE-T03";
    const std::string widerThanPage =
        "CAMPUS-NORTH-BUILDING-SEVEN-BASEMENT-TO-ROOF-RISER-CABLE-NUMBER-0042-SEGMENT-B";
    TDownload there;
    TDownload back;
    there.Number = 1;
    there.TestDate = "2026-11-02";
    there.Direction = TDirection::AToB;
    back.Number = 2;
    back.TestDate = "2026-11-03";
    back.Direction = TDirection::BToA;
    std::set<std::string> expected;
    for (int i = 0; i < 121; ++i) {
        const std::string cable = i == 120 ? widerThanPage
                                  : i < 60 ? "C" + std::to_string(i / 12)
                                           : longCable;
        const std::string fiber = i == 119 ? longFiber : std::to_string(i % 60 + 1);
        there.Readings.push_back({{cable, fiber, 1310, -0.25, -10, true}, TDirection::AToB});
        back.Readings.push_back({{cable, fiber, 1310, -0.35, -10, true}, TDirection::BToA});
        if (i < 120)
            expected.insert(cable + " " + fiber + " 1310 0.25 0.35 0.30 1.00 0.65 PASS");
    }
    downloads_ = {there, back};
    job_.ExpectedFibres.clear();
    const auto pages = Pages(Write());
    const std::string header = "Cable Fiber WaveLength A→B B→A Average Limit Margin Verdict Note";
    std::set<std::string> found;
    std::size_t resultPages = 0;
    bool wrapped = false;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        bool rows = false;
        for (std::size_t l = 0; l < pages[p].size(); ++l) {
            const std::string& line = pages[p][l];
            if (expected.contains(line)) {
                EXPECT_TRUE(found.insert(line).second) << line;
                rows = true;
            }
            // The wide name's first line beside the row's figures, the rest in lines under it.
            if (line.ends_with(" 1 1310 0.25 0.35 0.30 1.00 0.65 PASS")) {
                std::string name = line.substr(0, line.find(' '));
                for (std::size_t next = l + 1;
                     next < pages[p].size() && widerThanPage.starts_with(name + pages[p][next]);
                     ++next)
                    name += pages[p][next];
                wrapped = wrapped || name == widerThanPage;
            }
        }
        resultPages += rows ? 1 : 0;
        EXPECT_EQ(rows, Has(pages[p], header)) << "page " << p + 1;
        EXPECT_TRUE(pages[p].back().ends_with("Page " + std::to_string(p + 1) + " of " +
                                              std::to_string(pages.size())))
            << pages[p].back();
    }
    for (const std::string& line : expected)
        EXPECT_TRUE(found.contains(line)) << "missing: " << line;
    EXPECT_GE(resultPages, 2u);
    EXPECT_TRUE(wrapped);
}

TEST_F(TJobReportText, InputOfTheWindowAndTheCommandLine) {
    results_ = ComputeJobResults(job_, downloads_);
    const TJobReportInput input = MakeJobReportInput(job_, downloads_, results_, "1.2");
    EXPECT_EQ(input.Job, &job_);
    EXPECT_EQ(input.Downloads, &downloads_);
    EXPECT_EQ(input.Results, &results_);
    EXPECT_EQ(input.Title, "Job test report");
    EXPECT_EQ(input.Version, "1.2");
    // The printed time says its zone: a reader elsewhere knows when it was.
    EXPECT_TRUE(std::regex_match(input.DateTime,
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d UTC([+-]\d\d:\d\d)?)")))
        << input.DateTime;
    EXPECT_EQ(MakeJobReportInput(job_, downloads_, results_, "", "Acceptance").Title, "Acceptance");
}

TEST_F(TJobReportText, FolderThatIsMissingIsNamedAndNothingIsWritten) {
    const std::string pdf = folder_.File("missing/job.pdf");
    const auto error = ThrownBy<EExportError>([&] { WriteJobReport(Input(), pdf); });
    ASSERT_TRUE(error) << "no error";
    EXPECT_EQ(error->Path(), pdf);
    EXPECT_EQ(error->code(), std::errc::no_such_file_or_directory);
    TJobReportInput input = Input();
    input.Results = nullptr;
    EXPECT_THROW(WriteJobReport(input, folder_.File("job.pdf")), std::invalid_argument);
    EXPECT_FALSE(std::filesystem::exists(folder_.File("job.pdf")));
}

}  // namespace

// The archive's behaviour that every back end shares, run once per back end.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>

#include "ArchiveBackends.h"
#include "ArchiveTestData.h"
#include "archive/Archive.h"
#include "jobs/DownloadHash.h"
#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace {

const std::regex TimeForm(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z)");

class ArchiveBackendTest : public testing::TestWithParam<TArchiveBackend> {
protected:
    void SetUp() override {
        if (const auto why = GetParam().WhyUnavailable()) {
            GTEST_SKIP() << *why;
        }
        location_ = GetParam().MakeLocation(folder_.Path());
        archive_ = OpenArchive(location_);
    }

    TArchive& Archive() { return *archive_; }

    // Adds and expects it to be added with this number.
    void Add(const std::string& job, const TDownload& download, std::int64_t number) {
        const TAddOutcome outcome = archive_->AddDownload(job, download);
        EXPECT_TRUE(outcome.Added) << "download " << number;
        EXPECT_EQ(outcome.Number, number);
    }

    TTempFolder folder_;
    std::string location_;
    std::unique_ptr<TArchive> archive_;
};

TEST_P(ArchiveBackendTest, NamesAreDataNotCommands) {
    const std::vector<std::string> names = {"O'Brien \"East\"", "x'); DROP TABLE jobs; --",
                                            "100%_done", "Köln – Süd ✓", "a\\b"};
    for (const std::string& name : names) {
        Archive().CreateJob(SampleJob(name));
    }
    for (const std::string& name : names) {
        const std::optional<TJob> found = Archive().FindJob(name);
        ASSERT_TRUE(found) << name;
        TJob expected = SampleJob(name);
        expected.CreatedAt = found->CreatedAt;
        EXPECT_EQ(*found, expected);
        EXPECT_TRUE(std::regex_match(found->CreatedAt, TimeForm)) << found->CreatedAt;
    }
    // No pattern matching: '%' and '_' are themselves.
    EXPECT_FALSE(Archive().FindJob("100%"));
    EXPECT_FALSE(Archive().FindJob("100%_DONE"));
    EXPECT_FALSE(Archive().FindJob("%"));
    EXPECT_EQ(Archive().ListJobs().size(), names.size());
}

// The archive sets the times: of making, of each budget (kept oldest first, the last in
// force).
TEST_P(ArchiveBackendTest, KeepsBudgetsOldestFirstWithTheTimesTheyWereSet) {
    TJob job = SampleJob("J");
    job.CreatedAt = "2026-01-02T03:04:05.000006Z";
    job.Budgets = {{R"({"first": 1})", "2026-01-02T03:04:05.000007Z"}, {R"({"second": 2})", ""}};
    job.ExpectedFibres = {{"K1", 144}, {"K\xC3\xA4", 12}};
    Archive().CreateJob(job);
    const std::optional<TJob> found = Archive().FindJob("J");
    ASSERT_TRUE(found);
    ASSERT_EQ(found->Budgets.size(), 2u);
    EXPECT_EQ(found->Budgets[0].Json, R"({"first": 1})");
    EXPECT_EQ(found->Budgets[1].Json, R"({"second": 2})");
    for (const std::string& time : {found->CreatedAt, found->Budgets[1].SetAt})
        EXPECT_TRUE(std::regex_match(time, TimeForm)) << time;
    job.CreatedAt = found->CreatedAt;
    job.Budgets = found->Budgets;
    EXPECT_EQ(*found, job);
}

TEST_P(ArchiveBackendTest, SecondJobOfTheSameNameIsRefused) {
    Archive().CreateJob(SampleJob("J"));
    TJob other = SampleJob("J");
    other.Customer = "someone else";
    EXPECT_SYSTEM_ERROR(Archive().CreateJob(other), EArchiveError, TArchiveErrc::JobExists,
                        "the archive " + Archive().Location() + " already holds a job J");
    EXPECT_EQ(Archive().FindJob("J")->Customer, SampleJob("J").Customer);
    EXPECT_EQ(Archive().ListJobs().size(), 1u);
}

TEST_P(ArchiveBackendTest, RefusesANamelessJobALogoOverOneMegabyteOrNotOfItsType) {
    EXPECT_SYSTEM_ERROR(Archive().CreateJob(SampleJob("")), EArchiveError, TArchiveErrc::BadInput,
                        "a job needs a name");
    TJob job = SampleJob("J");
    Archive().CreateJob(SampleJob("K"));
    // A file named .png may hold anything; so may a document's logo.
    const std::string notPng = " is no PNG image: its first bytes are not the PNG signature";
    const std::string notSvg = " is no SVG image: it holds no <svg";
    for (const auto& [type, bytes, why] :
         {std::tuple<std::string, std::string, std::string>{"png", "GIF89a", notPng},
          {"png", "\x89PNG\r\n", notPng},
          {"svg", "\x89PNG\r\n\x1a\n", notSvg}}) {
        job.Logo = bytes;
        job.LogoType = type;
        EXPECT_SYSTEM_ERROR(Archive().CreateJob(job), EArchiveError, TArchiveErrc::BadInput,
                            "the logo of job J" + why);
        TJobChanges changes;
        changes.Logo = bytes;
        changes.LogoType = type;
        EXPECT_SYSTEM_ERROR(Archive().ChangeJob("K", changes), EArchiveError,
                            TArchiveErrc::BadInput, "the logo of job K" + why);
    }
    job.Logo = "\x89PNG\r\n\x1a\n" + std::string(1024 * 1024 + 1 - 8, 'x');
    job.LogoType = "png";
    EXPECT_SYSTEM_ERROR(Archive().CreateJob(job), EArchiveError, TArchiveErrc::BadInput,
                        "the logo of job J is larger than 1 MB (1048577 bytes)");
    job.Logo.pop_back();
    Archive().CreateJob(job);
    EXPECT_EQ(Archive().FindJob("J")->Logo.size(), 1024u * 1024u);
}

// One set of limits on every back end, kept before anything is written: a zero byte that
// PostgreSQL would cut a name at, a name longer than its index takes, a fibre count no report
// could list, a date that is none; each refusal names the field.
TEST_P(ArchiveBackendTest, ValuesBeyondTheLimitsAreRefusedBeforeAnyWrite) {
    Archive().CreateJob(SampleJob("TARGETJOB"));
    const std::int64_t mark = Archive().ChangeMark();
    TJob manyFibres = SampleJob("K");
    manyFibres.ExpectedFibres = {{"C", 2147483647}};
    TJobChanges moreFibres;
    moreFibres.ExpectedFibres = {{"C", 1000001}};
    TJobChanges zeroInNotes;
    zeroInNotes.Notes = std::string("a\0b", 3);
    TDownload noDay = SampleDownload("D");
    noDay.TestDate = "2026-99-99";
    TDownload zeroInOperator = SampleDownload("E");
    zeroInOperator.Operator = std::string("A\0B", 3);
    const std::string zeroByte = ": holds a zero byte (\\u0000), which no text may hold";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { Archive().CreateJob(SampleJob(std::string("TARGETJOB\0-other", 16))); },
         "name" + zeroByte},
        {[&] { Archive().CreateJob(SampleJob(std::string(3000, 'x'))); },
         "name: longer than 500 characters (3000)"},
        {[&] { Archive().CreateJob(manyFibres); },
         "expected_fibres/C: 2147483647 is not from 0 to 1000000 fibres"},
        {[&] { Archive().ChangeJob("TARGETJOB", moreFibres); },
         "expected_fibres/C: 1000001 is not from 0 to 1000000 fibres"},
        {[&] { Archive().ChangeJob("TARGETJOB", zeroInNotes); }, "notes" + zeroByte},
        {[&] { Archive().AddDownload("TARGETJOB", noDay); },
         "test_date: '2026-99-99' is not a date such as 2026-12-07"},
        {[&] { Archive().AddDownload("TARGETJOB", zeroInOperator); }, "operator" + zeroByte},
    };
    for (const auto& entry : cases) {
        EXPECT_SYSTEM_ERROR(entry.first(), EArchiveError, TArchiveErrc::BadInput, entry.second);
    }
    EXPECT_EQ(Archive().ChangeMark(), mark);
    EXPECT_EQ(Archive().ListJobs().size(), 1u);
    EXPECT_EQ(Archive().FindJob("TARGETJOB")->Notes, SampleJob("TARGETJOB").Notes);
    EXPECT_TRUE(Archive().Downloads("TARGETJOB").empty());
}

TEST_P(ArchiveBackendTest, ChangesOnlyWhatIsGiven) {
    Archive().CreateJob(SampleJob("J"));
    TJobChanges changes;
    changes.Customer = "New 'customer'";
    changes.Notes = "";
    changes.BudgetJson = R"({"v": 1})";
    Archive().ChangeJob("J", changes);
    TJobChanges second;
    second.BudgetJson = R"({"v": 2})";
    Archive().ChangeJob("J", second);

    TJob expected = SampleJob("J");
    expected.Customer = "New 'customer'";
    expected.Notes = "";
    const std::optional<TJob> found = Archive().FindJob("J");
    ASSERT_TRUE(found);
    ASSERT_EQ(found->Budgets.size(), 2u);
    EXPECT_EQ(found->Budgets[0].Json, R"({"v": 1})");
    EXPECT_GE(found->Budgets[1].SetAt, found->Budgets[0].SetAt);
    EXPECT_EQ(found->Budgets[1].Json, R"({"v": 2})");
    EXPECT_GE(found->Budgets[1].SetAt, found->CreatedAt);
    expected.CreatedAt = found->CreatedAt;
    expected.Budgets = found->Budgets;
    EXPECT_EQ(*found, expected);
}

TEST_P(ArchiveBackendTest, KeepsTheLogoByteForByteAndRemovesIt) {
    Archive().CreateJob(SampleJob("J"));
    std::string logo = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 512; ++i) {
        logo += static_cast<char>(i % 256);
    }
    TJobChanges changes;
    changes.Logo = logo;
    changes.LogoType = "png";
    Archive().ChangeJob("J", changes);
    EXPECT_EQ(Archive().FindJob("J")->Logo, logo);
    EXPECT_EQ(Archive().FindJob("J")->LogoType, "png");

    changes.Logo = "";
    changes.LogoType.reset();
    Archive().ChangeJob("J", changes);
    EXPECT_EQ(Archive().FindJob("J")->Logo, "");
    EXPECT_EQ(Archive().FindJob("J")->LogoType, "");
}

TEST_P(ArchiveBackendTest, SetsReplacesAndRemovesExpectedFibres) {
    TJob job = SampleJob("J");
    job.ExpectedFibres = {{"K1", 24}, {"K2", 48}};
    Archive().CreateJob(job);
    TJobChanges changes;
    changes.ExpectedFibres = {{"K1", 0}, {"K2", 96}, {"K3", 12}};
    Archive().ChangeJob("J", changes);
    EXPECT_EQ(Archive().FindJob("J")->ExpectedFibres,
              (std::map<std::string, int>{{"K2", 96}, {"K3", 12}}));
}

TEST_P(ArchiveBackendTest, MissingJobsAndDownloadsAreNamed) {
    const std::string where = " in the archive " + Archive().Location();
    EXPECT_FALSE(Archive().FindJob("J"));
    EXPECT_SYSTEM_ERROR(Archive().ChangeJob("J", {}), EArchiveError, TArchiveErrc::NoSuchJob,
                        "there is no job J" + where);
    EXPECT_SYSTEM_ERROR(Archive().AddDownload("J", SampleDownload("K")), EArchiveError,
                        TArchiveErrc::NoSuchJob, "there is no job J" + where);
    EXPECT_SYSTEM_ERROR(Archive().Downloads("J"), EArchiveError, TArchiveErrc::NoSuchJob,
                        "there is no job J" + where);
    EXPECT_SYSTEM_ERROR(Archive().SetVoid("J", 1, true, "x"), EArchiveError,
                        TArchiveErrc::NoSuchJob, "there is no job J" + where);
    Archive().CreateJob(SampleJob("J"));
    EXPECT_SYSTEM_ERROR(Archive().SetVoid("J", 1, true, "x"), EArchiveError,
                        TArchiveErrc::NoSuchDownload, "job J has no download 1");
}

TEST_P(ArchiveBackendTest, NumbersDownloadsInTheOrderOfAdding) {
    Archive().CreateJob(SampleJob("J"));
    std::vector<TDownload> expected = {SampleDownload("A"), SampleDownload("B", 5),
                                       SampleDownload("C", 1, TDirection::BToA)};
    expected[2].TestDate = "2026-12-01";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Add("J", expected[i], static_cast<std::int64_t>(i + 1));
    }
    const std::vector<TDownload> downloads = Archive().Downloads("J");
    ASSERT_EQ(downloads.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        TDownload& want = expected[i];
        want.Number = static_cast<std::int64_t>(i + 1);
        want.AddedAt = downloads[i].AddedAt;
        TMeraniaArray records;
        for (const TStoredReading& reading : want.Readings) {
            records.push_back(reading.Record);
        }
        want.Sha256 = DownloadSha256(records);
        want.RecordsSha256 = RecordsSha256(OwnDirections(want));
        EXPECT_TRUE(SameDownload(want, downloads[i]));
        EXPECT_TRUE(std::regex_match(downloads[i].AddedAt, TimeForm)) << downloads[i].AddedAt;
    }
    EXPECT_LE(downloads[0].AddedAt, downloads[1].AddedAt);
    EXPECT_LE(downloads[1].AddedAt, downloads[2].AddedAt);
}

TEST_P(ArchiveBackendTest, TheSameRecordsAgainAddNothingToTheJob) {
    Archive().CreateJob(SampleJob("J"));
    Archive().CreateJob(SampleJob("Other"));
    Add("J", SampleDownload("A"), 1);
    Add("J", SampleDownload("B"), 2);
    // Read again by someone else on another day: the records decide.
    TDownload again = SampleDownload("A");
    again.Operator = "Petr";
    again.Meter = "another meter";
    again.TestDate = "2026-12-24";
    const std::int64_t mark = Archive().ChangeMark();
    const TAddOutcome outcome = Archive().AddDownload("J", again);
    EXPECT_FALSE(outcome.Added);
    EXPECT_EQ(outcome.Number, 1);
    EXPECT_EQ(Archive().ChangeMark(), mark);
    ASSERT_EQ(Archive().Downloads("J").size(), 2u);
    EXPECT_EQ(Archive().Downloads("J")[0].Operator, "Jana");
    // Uniqueness is per job.
    Add("Other", again, 1);
    Add("J", SampleDownload("C"), 3);
}

// A fix changes what was said of a download, and its readings' directions with it; the
// records and their hash stay.
TEST_P(ArchiveBackendTest, AFixCorrectsDirectionDateAndOperator) {
    Archive().CreateJob(SampleJob("J"));
    Add("J", SampleDownload("A"), 1);
    const std::string hash = Archive().Downloads("J").at(0).RecordsSha256;
    Archive().FixDownload("J", hash.substr(0, 6), {TDirection::BToA, "2026-11-30", "Petr"});
    const TDownload fixed = Archive().Downloads("J").at(0);
    EXPECT_EQ(fixed.RecordsSha256, hash);
    EXPECT_EQ(fixed.Direction, TDirection::BToA);
    EXPECT_EQ(fixed.Readings.at(2).Direction, TDirection::BToA);
    EXPECT_EQ(fixed.TestDate, "2026-11-30");
    EXPECT_EQ(fixed.Operator, "Petr");
    EXPECT_SYSTEM_ERROR(Archive().FixDownload("J", "abc", {}), EArchiveError,
                        TArchiveErrc::NoSuchDownload,
                        "job J has no download abc: a download is named by its number or by at "
                        "least 6 of the first hex digits of its hash");
}

TEST_P(ArchiveBackendTest, RecordsWithoutAMeasurementFileFormAreRefused) {
    Archive().CreateJob(SampleJob("J"));
    TDownload download = SampleDownload("A", 2);
    download.Readings[1].Record.Cable = "a\tb";
    const std::int64_t mark = Archive().ChangeMark();
    EXPECT_SYSTEM_ERROR(Archive().AddDownload("J", download), EArchiveError, TArchiveErrc::BadInput,
                        "job J cannot take these records: The cable of row 2 holds a tab, which "
                        "a measurement file cannot keep");
    EXPECT_EQ(Archive().ChangeMark(), mark);
    EXPECT_TRUE(Archive().Downloads("J").empty());
}

TEST_P(ArchiveBackendTest, KeepsNumbersBitForBit) {
    Archive().CreateJob(SampleJob("J"));
    const std::vector<double> numbers = {-0.0,
                                         0.0,
                                         0.1,
                                         1e-300,
                                         5e-324,
                                         -2.2250738585072014e-308,
                                         1.7976931348623157e308,
                                         -1e308,
                                         1310.0000000000002,
                                         1550,
                                         -3.5,
                                         123456789012345678.0};
    TDownload download = SampleDownload("A", 0);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const double next = numbers[(i + 1) % numbers.size()];
        const double last = numbers[(i + 2) % numbers.size()];
        download.Readings.push_back(
            {{"K", std::to_string(i), numbers[i], next, last, i % 2 == 0}, TDirection::AToB});
    }
    Add("J", download, 1);
    const TDownload stored = Archive().Downloads("J").at(0);
    download.Number = 1;
    download.AddedAt = stored.AddedAt;
    download.Sha256 = stored.Sha256;
    download.RecordsSha256 = RecordsSha256(OwnDirections(download));
    EXPECT_TRUE(SameDownload(download, stored));
}

TEST_P(ArchiveBackendTest, Latin1CableAndFibreNamesComeBackAsTheyWere) {
    Archive().CreateJob(SampleJob("J"));
    std::string upper;
    for (int byte = 0xA0; byte <= 0xFF; ++byte) {
        upper += static_cast<char>(byte);
    }
    TDownload download = SampleDownload("A", 0);
    download.Readings.push_back({{upper, "Faser-\xE4\xF6\xFC", 1310, -0.5, 0, false}, {}});
    download.Readings.push_back({{"K\xB0 1", upper, 1550, -0.75, -0.1, true}, {}});
    download.Readings.push_back({{"\x80\x9F", "plain", 850, 1, 2, true}, {}});
    Add("J", download, 1);
    const TDownload stored = Archive().Downloads("J").at(0);
    download.Number = 1;
    download.AddedAt = stored.AddedAt;
    download.Sha256 = DownloadSha256(
        {download.Readings[0].Record, download.Readings[1].Record, download.Readings[2].Record});
    download.RecordsSha256 = RecordsSha256(OwnDirections(download));
    for (TStoredReading& reading : download.Readings)
        reading.Direction = download.Direction;  // none of their own: the download's
    EXPECT_TRUE(SameDownload(download, stored));
}

// A reading keeps a direction of its own where it has one; the others take the download's.
TEST_P(ArchiveBackendTest, KeepsEachReadingsDirection) {
    Archive().CreateJob(SampleJob("J"));
    TDownload download = SampleDownload("A", 3, TDirection::BToA);
    download.Readings[0].Direction = TDirection::None;
    download.Readings[1].Direction = TDirection::AToB;
    Add("J", download, 1);
    const TDownload stored = Archive().Downloads("J").at(0);
    EXPECT_EQ(stored.Direction, TDirection::BToA);
    ASSERT_EQ(stored.Readings.size(), 3u);
    EXPECT_EQ(stored.Readings[0].Direction, TDirection::BToA);
    EXPECT_EQ(stored.Readings[1].Direction, TDirection::AToB);
    EXPECT_EQ(stored.Readings[2].Direction, TDirection::BToA);
}

TEST_P(ArchiveBackendTest, VoidsAndRestoresADownload) {
    Archive().CreateJob(SampleJob("J"));
    Add("J", SampleDownload("A"), 1);
    Add("J", SampleDownload("B"), 2);
    Archive().SetVoid("J", 2, true, "added to the wrong job; 'B' side");
    std::vector<TDownload> downloads = Archive().Downloads("J");
    EXPECT_FALSE(downloads[0].Void);
    EXPECT_TRUE(downloads[1].Void);
    EXPECT_EQ(downloads[1].VoidReason, "added to the wrong job; 'B' side");
    EXPECT_EQ(downloads[1].Readings.size(), 3u);
    Archive().SetVoid("J", 2, false, "");
    downloads = Archive().Downloads("J");
    EXPECT_FALSE(downloads[1].Void);
    EXPECT_EQ(downloads[1].VoidReason, "");
}

TEST_P(ArchiveBackendTest, ChangeMarkMovesWithEveryChangeSeenByAnotherReader) {
    const std::unique_ptr<TArchive> watcher = OpenArchive(location_);
    std::int64_t mark = watcher->ChangeMark();
    const auto moved = [&] {
        const std::int64_t now = watcher->ChangeMark();
        const bool changed = now != mark;
        mark = now;
        return changed;
    };
    Archive().CreateJob(SampleJob("J"));
    EXPECT_TRUE(moved());
    TJobChanges changes;
    changes.Site = "elsewhere";
    Archive().ChangeJob("J", changes);
    EXPECT_TRUE(moved());
    Archive().AddDownload("J", SampleDownload("A"));
    EXPECT_TRUE(moved());
    Archive().AddDownload("J", SampleDownload("A"));
    EXPECT_FALSE(moved());
    Archive().SetVoid("J", 1, true, "x");
    EXPECT_TRUE(moved());
    Archive().Downloads("J");
    Archive().ListJobs();
    Archive().FindJob("J");
    EXPECT_FALSE(moved());
    EXPECT_THROW(Archive().CreateJob(SampleJob("J")), EArchiveError);
    EXPECT_FALSE(moved());
}

TEST_P(ArchiveBackendTest, ListsJobsNewestFirstWithTheirDownloads) {
    for (const std::string name : {"January", "March", "February"})
        Archive().CreateJob(SampleJob(name));
    Add("February", SampleDownload("A"), 1);
    Add("February", SampleDownload("B"), 2);
    const std::vector<TJobEntry> jobs = Archive().ListJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].Name, "February");
    EXPECT_EQ(jobs[0].Customer, SampleJob("x").Customer);
    EXPECT_EQ(jobs[0].Site, SampleJob("x").Site);
    EXPECT_EQ(jobs[0].CreatedAt, Archive().FindJob("February")->CreatedAt);
    EXPECT_EQ(jobs[0].Downloads, 2);
    EXPECT_EQ(jobs[0].LastAddedAt, Archive().Downloads("February").at(1).AddedAt);
    EXPECT_EQ(jobs[1].Name, "March");
    EXPECT_EQ(jobs[1].Downloads, 0);
    EXPECT_EQ(jobs[1].LastAddedAt, "");
    EXPECT_EQ(jobs[2].Name, "January");
}

INSTANTIATE_TEST_SUITE_P(Backends, ArchiveBackendTest, testing::ValuesIn(ArchiveBackends()),
                         ArchiveBackendName);

}  // namespace

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include "ArchiveBackends.h"
#include "MemoryArchive.h"
#include "SampleJob.h"
#include "archive/EventArchive.h"
#include "archive/JobImport.h"
#include "jobs/DownloadHash.h"
#include "jobs/JobWork.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace {

const std::string Name = SampleJob().Job.Name;

// An archive the tests run against: one held in memory, then each back end.
struct TArchiveKind {
    std::string Name;
    std::function<std::unique_ptr<TArchive>(const std::string& folder)> Open;
    std::function<std::optional<std::string>()> WhyUnavailable;
};

std::vector<TArchiveKind> ArchiveKinds() {
    std::vector<TArchiveKind> kinds = {{"memory",
                                        [](const std::string&) { return MakeMemoryArchive(); },
                                        [] { return std::optional<std::string>(); }}};
    for (const TArchiveBackend& backend : ArchiveBackends()) {
        kinds.push_back({backend.Name,
                         [backend](const std::string& folder) {
                             return OpenArchive(backend.MakeLocation(folder));
                         },
                         backend.WhyUnavailable});
    }
    return kinds;
}

void PrintTo(const TArchiveKind& kind, std::ostream* out) {
    *out << kind.Name;
}

// A fresh archive of the kind for each test, in the test's own folder.
class TArchiveUnderTest {
public:
    explicit TArchiveUnderTest(const TArchiveKind& kind) {
        if (const std::optional<std::string> why = kind.WhyUnavailable()) {
            skipped_ = *why;
            archive_ = MakeMemoryArchive();
        } else {
            archive_ = kind.Open(folder_.Path());
        }
    }
    TArchive& Archive() { return *archive_; }
    const std::optional<std::string>& Skipped() const { return skipped_; }

private:
    TTempFolder folder_;
    std::unique_ptr<TArchive> archive_;
    std::optional<std::string> skipped_;
};

class JobImport : public testing::TestWithParam<TArchiveKind> {
protected:
    void SetUp() override {
        if (under_.Skipped()) {
            GTEST_SKIP() << *under_.Skipped();
        }
    }

    TArchiveUnderTest under_{GetParam()};
    TArchive& archive_ = under_.Archive();
};

// The sample as a second-version document: imported into memory and exported.
std::string ExportedSample() {
    const std::unique_ptr<TArchive> archive = MakeMemoryArchive();
    ImportJob(*archive, SampleJob());
    return ExportJob(*archive, Name);
}

TJobDocument Read(const std::string& text) {
    return ReadJobDocument(text, "job.json");
}

}  // namespace

// A first-version document comes in whole (its void download stays void), and the second
// version's round trip gives the same bytes; the same document again changes nothing.
TEST_P(JobImport, ADocumentComesInWholeOnceAndExportsAsItCame) {
    const std::string text = ExportedSample();
    const TImportOutcome outcome = ImportJob(archive_, Read(text));
    EXPECT_TRUE(outcome.Created);
    EXPECT_EQ(outcome.DownloadsAdded, 2);
    EXPECT_EQ(ExportJob(archive_, Name), text);
    const std::vector<TDownload> downloads = archive_.Downloads(Name);
    ASSERT_EQ(downloads.size(), 2u);
    EXPECT_EQ(downloads[1].VoidReason, "wrong job");
    EXPECT_EQ(*archive_.FindJob(Name), SampleJob().Job);

    const std::int64_t mark = archive_.ChangeMark();
    const TImportOutcome again = ImportJob(archive_, Read(text));
    EXPECT_EQ(again.DownloadsPresent, 2);
    EXPECT_EQ(again.EventsAdded, 0);
    EXPECT_EQ(archive_.ChangeMark(), mark);
}

// Decisions made in another archive travel with its document, also for downloads the
// archive holds already: a void, a fix, a new budget.
TEST_P(JobImport, DecisionsMadeElsewhereComeInForDownloadsAlreadyThere) {
    ImportJob(archive_, SampleJob());
    const std::unique_ptr<TArchive> laptop = MakeMemoryArchive("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
    ImportJob(*laptop, SampleJob());
    laptop->SetVoid(Name, 1, true, "dirty connector");
    laptop->FixDownload(Name, "2", {TDirection::AToB, "2026-12-05", std::nullopt});
    TJobChanges budget;
    budget.BudgetJson = "{}";
    laptop->ChangeJob(Name, budget);
    const TImportOutcome outcome = ImportJob(archive_, Read(ExportJob(*laptop, Name)));
    EXPECT_EQ(outcome.DownloadsPresent, 2);
    EXPECT_EQ(outcome.EventsAdded, 4);
    EXPECT_EQ(ExportJob(archive_, Name), ExportJob(*laptop, Name));
    const std::vector<TDownload> downloads = archive_.Downloads(Name);
    EXPECT_EQ(downloads[0].VoidReason, "dirty connector");
    EXPECT_EQ(downloads[1].Direction, TDirection::AToB);
    EXPECT_EQ(downloads[1].Readings[0].Direction, TDirection::AToB);
    EXPECT_EQ(downloads[1].TestDate, "2026-12-05");
}

// Readings of every kind of double and every byte a meter's text may hold come back as they
// were, and records that differ only in -0 and 0, or in the 17th digit, stay two downloads.
TEST_P(JobImport, ExtremeNumbersAndLatin1TextsComeBackAndNearTwinsStayTwo) {
    std::string cable;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != '\t' && byte != '\n')
            cable += static_cast<char>(byte);
    }
    const double values[] = {-0.0,
                             0.0,
                             0.1,
                             1e-300,
                             5e-324,
                             2.2250738585072014e-308,
                             1.7976931348623157e308,
                             -1.7976931348623157e308,
                             1.0 / 3,
                             123456789012345678.0,
                             -21.5,
                             1310};
    TMeraniaArray records;
    for (const double value : values) {
        for (const double other : values)
            records.push_back({cable, "\xb5", value, other, -value, value < other});
    }
    TJobDocument document = SampleJob();
    document.Downloads.push_back(
        DocumentDownload(3, records, TDirection::None, "2026-12-03T10:00:00.000000Z"));
    document.Downloads.push_back(DocumentDownload(4, {{"C", "1", 1310, 0.0, 0, true}},
                                                  TDirection::None, "2026-12-04T10:00:00Z"));
    const std::unique_ptr<TArchive> other = MakeMemoryArchive();
    ImportJob(*other, document);
    document.Downloads.back() = DocumentDownload(4, {{"C", "1", 1310, -0.0, 0, true}},
                                                 TDirection::None, "2026-12-04T10:00:00Z");
    ImportJob(archive_, document);
    ImportJob(*other, Read(ExportJob(archive_, Name)));
    ImportJob(archive_, Read(ExportJob(*other, Name)));
    EXPECT_EQ(archive_.Downloads(Name).size(), 5u);
    EXPECT_EQ(ExportJob(archive_, Name), ExportJob(*other, Name));
}

namespace {

// A store that fails its second write of records, as when the disk fills or the server goes
// away in the middle of an import.
class TFailingStore final : public TJobStore {
public:
    // failAt: the write of records that fails (2: the second); 0 for none.
    TFailingStore(TJobStore& store, int failAt) : store_(store), failAt_(failAt) {}
    std::string Location() const override { return store_.Location(); }
    bool IsReadOnly() const override { return false; }
    std::vector<TJobListing> ListJobs() override { return store_.ListJobs(); }
    std::optional<TJobView> ReadJob(const std::string& name) override {
        return store_.ReadJob(name);
    }
    std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
    ReadJobWithReadings(const std::string& name) override {
        return store_.ReadJobWithReadings(name);
    }
    std::vector<TStoredReading> ReadRecords(const std::string& name, std::int64_t number) override {
        return store_.ReadRecords(name, number);
    }
    TWriteOutcome WriteJob(const std::string& name, TJobPresence presence,
                           const std::function<TJobWrite(const TJobView&)>& decide) override {
        return store_.WriteJob(name, presence, [&](const TJobView& view) {
            TJobWrite write = decide(view);
            if (write.Records && ++writes_ == failAt_)
                throw EArchiveError(TArchiveErrc::DatabaseFailed, "disk full");
            return write;
        });
    }
    std::int64_t ChangeMark() override { return store_.ChangeMark(); }

private:
    TJobStore& store_;
    int failAt_ = 0;
    int writes_ = 0;
};

}  // namespace

TEST(JobImportCutShort, ImportingAgainCompletesIt) {
    const std::string text = ExportedSample();
    TMemoryStore store;
    TEventArchive failing(std::make_unique<TFailingStore>(store, 2));
    EXPECT_THROW(ImportJob(failing, Read(text)), EArchiveError);
    TEventArchive archive(std::make_unique<TFailingStore>(store, 0));
    EXPECT_EQ(archive.Downloads(Name).size(), 1u);
    const TImportOutcome outcome = ImportJob(archive, Read(text));
    EXPECT_EQ(outcome.DownloadsPresent, 1);
    EXPECT_EQ(outcome.DownloadsAdded, 1);
    EXPECT_EQ(ExportJob(archive, Name), text);
}

// Export from one archive, import into another, export: the same bytes, whichever two.
TEST(JobImportAcross, EveryPairOfArchivesGivesTheSameBytes) {
    const std::string text = ExportedSample();
    for (const TArchiveKind& from : ArchiveKinds()) {
        for (const TArchiveKind& to : ArchiveKinds()) {
            TArchiveUnderTest source(from);
            TArchiveUnderTest target(to);
            if (source.Skipped() || target.Skipped())
                continue;
            ImportJob(source.Archive(), Read(text));
            ImportJob(target.Archive(), Read(ExportJob(source.Archive(), Name)));
            EXPECT_EQ(ExportJob(target.Archive(), Name), text) << from.Name << " to " << to.Name;
        }
    }
}

TEST_P(JobImport, ExportOfAMissingJobNamesIt) {
    EXPECT_SYSTEM_ERROR(ExportJob(archive_, "Nivy"), EArchiveError, TArchiveErrc::NoSuchJob,
                        "there is no job Nivy in the archive " + archive_.Location());
}

INSTANTIATE_TEST_SUITE_P(Archives, JobImport, testing::ValuesIn(ArchiveKinds()),
                         [](const testing::TestParamInfo<TArchiveKind>& entry) {
                             return entry.param.Name;
                         });

// A download is named by its number here or by the start of its hash; a start that more than
// one begins with lists them.
TEST(FindDownloadRow, ANumberOrAPrefixOfTheHashNamesOneDownload) {
    const std::vector<TDownloadRow> rows = {{1, "3f2a9c1e" + std::string(56, '0'), "", 2},
                                            {2, "3f2a9c77" + std::string(56, '1'), "", 5}};
    EXPECT_EQ(FindDownloadRow(rows, "J", "2").Number, 2);
    EXPECT_EQ(FindDownloadRow(rows, "J", "3f2a9c1").Number, 1);
    EXPECT_SYSTEM_ERROR(FindDownloadRow(rows, "J", "3f2a9c"), EArchiveError,
                        TArchiveErrc::AmbiguousDownload,
                        "more than one download of job J begins with 3f2a9c:\n  1  " +
                            rows[0].RecordsSha256 + "\n  2  " + rows[1].RecordsSha256);
    EXPECT_SYSTEM_ERROR(FindDownloadRow(rows, "J", "3"), EArchiveError,
                        TArchiveErrc::NoSuchDownload, "job J has no download 3");
}

// An event from a clock a day or more ahead is taken in, and its archive and author named.
TEST(JobImportClock, EventsFarAheadAreTakenInAndNamed) {
    const std::unique_ptr<TArchive> archive = MakeMemoryArchive();
    const std::unique_ptr<TArchive> ahead = MakeMemoryArchive(std::string(32, 'b'));
    ahead->SetAuthor("Ben");
    static_cast<TEventArchive&>(*ahead).Store().WriteJob(
        "J", TJobPresence::MakeIfMissing, [](const TJobView&) { return TJobWrite{}; });
    dynamic_cast<TMemoryStore&>(static_cast<TEventArchive&>(*ahead).Store())
        .SetClock(1893456000 + 3 * 24 * 3600);
    TJobChanges changes;
    changes.Site = "Hall 2";
    ahead->ChangeJob("J", changes);
    const TImportOutcome outcome = ImportJob(*archive, Read(ExportJob(*ahead, "J")));
    EXPECT_EQ(archive->FindJob("J")->Site, "Hall 2");
    EXPECT_EQ(FarAheadWarning(outcome.FarAhead),
              "1 event made by Ben on archive bbbbbbbb carries a clock more than a day ahead of "
              "this computer's (up to 2030-01-04T00:00:00.000000Z): taken in; changes made here "
              "from now on sort after them");
}

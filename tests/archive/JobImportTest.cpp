#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include "ArchiveBackends.h"
#include "MemoryArchive.h"
#include "SampleJob.h"
#include "archive/JobImport.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace {
std::string ImportSampleText() {
    const TJobDocument sample = SampleJob();
    return JobDocumentText(sample.Job, sample.Downloads);
}

// The sample with its first download only, as an earlier export of the same job would be.
TJobDocument EarlierSample() {
    TJobDocument earlier = SampleJob();
    earlier.Downloads.resize(1);
    earlier.Job.Budgets.resize(1);
    return earlier;
}

// An archive the tests run against: one held in memory, then each back end.
struct TArchiveKind {
    std::string Name;
    std::function<std::unique_ptr<TArchive>(const std::string& folder)> Open;
    std::function<std::optional<std::string>()> WhyUnavailable;
};

std::vector<TArchiveKind> ArchiveKinds() {
    std::vector<TArchiveKind> kinds = {{"memory",
                                        [](const std::string&) -> std::unique_ptr<TArchive> {
                                            return std::make_unique<TMemoryArchive>();
                                        },
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

std::string KindName(const testing::TestParamInfo<TArchiveKind>& entry) {
    return entry.param.Name;
}

// A fresh archive of the kind for each test, in the test's own folder.
class TArchiveUnderTest {
public:
    explicit TArchiveUnderTest(const TArchiveKind& kind) {
        if (const std::optional<std::string> why = kind.WhyUnavailable()) {
            skipped_ = *why;
            archive_ = std::make_unique<TMemoryArchive>();
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
}  // namespace

// The round trip that matters: export, import into an empty archive, export again.
TEST_P(JobImport, IntoAnEmptyArchiveThenExportGivesTheSameBytes) {
    const std::string text = ImportSampleText();
    const TImportOutcome outcome = ImportJob(archive_, ReadJobDocument(text, "job.json"), false);
    EXPECT_TRUE(outcome.Created);
    EXPECT_FALSE(outcome.Replaced);
    EXPECT_EQ(outcome.DownloadsAdded, 2);
    EXPECT_EQ(outcome.DownloadsPresent, 0);
    EXPECT_EQ(outcome.BudgetsAdded, 2);
    EXPECT_EQ(ExportJob(archive_, SampleJob().Job.Name), text);
}

TEST_P(JobImport, TheSameDocumentTwiceChangesNothing) {
    const TJobDocument sample = SampleJob();
    ImportJob(archive_, sample, false);
    const std::int64_t mark = archive_.ChangeMark();
    const TImportOutcome again = ImportJob(archive_, sample, false);
    EXPECT_FALSE(again.Created);
    EXPECT_EQ(again.DownloadsAdded, 0);
    EXPECT_EQ(again.DownloadsPresent, 2);
    EXPECT_EQ(again.BudgetsAdded, 0);
    EXPECT_EQ(archive_.ChangeMark(), mark);
    EXPECT_EQ(ExportJob(archive_, sample.Job.Name), ImportSampleText());
}

// Downloads are merged by their hash and keep their times of adding; a budget is new unless
// one with the same time and text is there.
TEST_P(JobImport, IntoTheJobAddsWhatItLacks) {
    ImportJob(archive_, EarlierSample(), false);
    const TImportOutcome outcome = ImportJob(archive_, SampleJob(), false);
    EXPECT_FALSE(outcome.Created);
    EXPECT_EQ(outcome.DownloadsAdded, 1);
    EXPECT_EQ(outcome.DownloadsPresent, 1);
    EXPECT_EQ(outcome.BudgetsAdded, 1);
    EXPECT_EQ(ExportJob(archive_, SampleJob().Job.Name), ImportSampleText());
}

TEST_P(JobImport, ABudgetOfTheSameTextSetAtAnotherTimeIsAdded) {
    const TJobDocument sample = SampleJob();
    ImportJob(archive_, sample, false);
    TJobDocument later = sample;
    later.Job.Budgets.push_back({sample.Job.Budgets[0].Json, "2026-12-03T00:00:00.000000Z"});
    later.Job.Budgets.push_back({"{}", sample.Job.Budgets[0].SetAt});
    EXPECT_EQ(ImportJob(archive_, later, false).BudgetsAdded, 2);
    // Added oldest first.
    const std::vector<TJobBudget> expected = {sample.Job.Budgets[0], sample.Job.Budgets[1],
                                              later.Job.Budgets[3], later.Job.Budgets[2]};
    EXPECT_EQ(archive_.FindJob(sample.Job.Name)->Budgets, expected);
}

// Two archives that each set a budget: whichever imports the other's, the newest budget is in
// force, the older one joins the history, and importing again changes nothing.
TEST_P(JobImport, TheNewestBudgetStaysInForce) {
    const TJobDocument sample = SampleJob();
    const TJobBudget older{"{\"pair_rule\": \"worst\"}", "2026-12-02T09:00:00.000000Z"};
    TJobDocument exported = sample;
    exported.Job.Budgets.insert(exported.Job.Budgets.begin() + 1, older);
    ImportJob(archive_, sample, false);
    EXPECT_EQ(ImportJob(archive_, exported, false).BudgetsAdded, 1);
    const std::vector<TJobBudget> budgets = archive_.FindJob(sample.Job.Name)->Budgets;
    EXPECT_EQ(budgets.back(), sample.Job.Budgets.back());
    EXPECT_NE(std::find(budgets.begin(), budgets.end(), older), budgets.end());
    const std::int64_t mark = archive_.ChangeMark();
    EXPECT_EQ(ImportJob(archive_, exported, false).BudgetsAdded, 0);
    EXPECT_EQ(archive_.ChangeMark(), mark);
}

// A download already in the job stays as the archive has it (its number, its void flag).
TEST_P(JobImport, ADownloadAlreadyThereKeepsItsOwnState) {
    const TJobDocument sample = SampleJob();
    ImportJob(archive_, sample, false);
    archive_.SetVoid(sample.Job.Name, 1, true, "dirty connector");
    TJobDocument other = sample;
    other.Downloads[1].Void = false;
    EXPECT_EQ(ImportJob(archive_, other, false).DownloadsPresent, 2);
    const std::vector<TDownload> downloads = archive_.Downloads(sample.Job.Name);
    EXPECT_TRUE(downloads.at(0).Void);
    EXPECT_EQ(downloads.at(0).VoidReason, "dirty connector");
    EXPECT_TRUE(downloads.at(1).Void);
}

struct TIdentityChange {
    const char* Name;
    void (*Change)(TJob&);
    const char* Fields;
};

const TIdentityChange IdentityChanges[] = {
    {"Customer", [](TJob& job) { job.Customer = "Orange"; }, "customer"},
    {"Site", [](TJob& job) { job.Site += " "; }, "site"},
    {"Contractor", [](TJob& job) { job.Contractor.clear(); }, "contractor"},
    {"Notes", [](TJob& job) { job.Notes = "one day"; }, "notes"},
    {"LogoBytes", [](TJob& job) { job.Logo += "x"; }, "logo"},
    {"LogoType", [](TJob& job) { job.Logo = "<svg/>", job.LogoType = "svg"; }, "logo"},
    {"LogoRemoved", [](TJob& job) { job.Logo.clear(), job.LogoType.clear(); }, "logo"},
    {"FibreCount", [](TJob& job) { job.ExpectedFibres["K2"] = 96; }, "expected_fibres"},
    {"FibreCable", [](TJob& job) { job.ExpectedFibres.erase("K2"); }, "expected_fibres"},
    {"Several",
     [](TJob& job) {
         job.Notes.clear();
         job.Customer.clear();
         job.ExpectedFibres["K3"] = 1;
     },
     "customer, notes, expected_fibres"},
};

void PrintTo(const TIdentityChange& change, std::ostream* out) {
    *out << change.Name;
}

class JobImportIdentity : public testing::TestWithParam<std::tuple<TArchiveKind, TIdentityChange>> {
protected:
    void SetUp() override {
        if (under_.Skipped()) {
            GTEST_SKIP() << *under_.Skipped();
        }
    }
    const TIdentityChange& Change() const { return std::get<1>(GetParam()); }

    TArchiveUnderTest under_{std::get<0>(GetParam())};
    TArchive& archive_ = under_.Archive();
};

TEST_P(JobImportIdentity, DifferingFieldsAreRefusedAndNothingChanges) {
    const TJobDocument sample = SampleJob();
    ImportJob(archive_, EarlierSample(), false);
    const std::string before = ExportJob(archive_, sample.Job.Name);
    TJobDocument changed = sample;
    Change().Change(changed.Job);
    EXPECT_SYSTEM_ERROR(ImportJob(archive_, changed, false), EArchiveError,
                        TArchiveErrc::IdentityDiffers,
                        "job Bratislava \"Nivy\" in the archive " + archive_.Location() +
                            " differs from the document in: " + Change().Fields);
    EXPECT_EQ(ExportJob(archive_, sample.Job.Name), before);
}

// With replace the job takes the document's identity, a cable the document lacks included.
TEST_P(JobImportIdentity, ReplaceTakesTheDocumentsFields) {
    TJobDocument stored = SampleJob();
    Change().Change(stored.Job);
    ImportJob(archive_, stored, false);
    const TImportOutcome outcome = ImportJob(archive_, SampleJob(), true);
    EXPECT_TRUE(outcome.Replaced);
    EXPECT_EQ(ExportJob(archive_, stored.Job.Name), ImportSampleText());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, JobImportIdentity,
    testing::Combine(testing::ValuesIn(ArchiveKinds()), testing::ValuesIn(IdentityChanges)),
    [](const testing::TestParamInfo<std::tuple<TArchiveKind, TIdentityChange>>& entry) {
        return std::get<0>(entry.param).Name + "_" + std::get<1>(entry.param).Name;
    });

TEST_P(JobImport, ReplaceWithTheSameIdentityReplacesNothing) {
    ImportJob(archive_, SampleJob(), false);
    EXPECT_FALSE(ImportJob(archive_, SampleJob(), true).Replaced);
}

// Readings of every kind of double and every byte a meter's text may hold come back as they
// were: the second export's bytes are the first's.
TEST_P(JobImport, ExtremeNumbersAndLatin1TextsComeBack) {
    std::string cable;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != '\t' && byte != '\n') {
            cable += static_cast<char>(byte);
        }
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
        for (const double other : values) {
            records.push_back({cable, "\xb5", value, other, -value, value < other});
        }
    }
    TJobDocument document = SampleJob();
    document.Downloads.push_back(
        DocumentDownload(3, records, TDirection::None, "2026-12-03T10:00:00.000000Z"));
    const std::string text = JobDocumentText(document.Job, document.Downloads);
    ImportJob(archive_, ReadJobDocument(text, "extreme.json"), false);
    EXPECT_EQ(ExportJob(archive_, document.Job.Name), text);
}

// An archive that fails the second download added, as when the disk fills or the server
// goes away in the middle of an import.
class TFailingArchive final : public TArchive {
public:
    explicit TFailingArchive(TArchive& archive) : archive_(archive) {}
    std::string Location() const override { return archive_.Location(); }
    bool IsReadOnly() const override { return false; }
    std::vector<TJobEntry> ListJobs() override { return archive_.ListJobs(); }
    void CreateJob(const TJob& job) override { archive_.CreateJob(job); }
    std::optional<TJob> FindJob(const std::string& name) override { return archive_.FindJob(name); }
    void ChangeJob(const std::string& name, const TJobChanges& changes) override {
        archive_.ChangeJob(name, changes);
    }
    TAddOutcome AddDownload(const std::string& jobName, const TDownload& download) override {
        if (++adds_ == 2) {
            throw EArchiveError(TArchiveErrc::DatabaseFailed, "disk full");
        }
        return archive_.AddDownload(jobName, download);
    }
    std::vector<TDownload> Downloads(const std::string& jobName) override {
        return archive_.Downloads(jobName);
    }
    void SetVoid(const std::string& jobName, std::int64_t number, bool isVoid,
                 const std::string& reason) override {
        archive_.SetVoid(jobName, number, isVoid, reason);
    }
    std::int64_t ChangeMark() override { return archive_.ChangeMark(); }

private:
    TArchive& archive_;
    int adds_ = 0;
};

TEST_P(JobImport, ImportingAgainCompletesAnImportCutShort) {
    const std::string text = ImportSampleText();
    TFailingArchive failing(archive_);
    EXPECT_THROW(ImportJob(failing, ReadJobDocument(text, "job.json"), false), EArchiveError);
    EXPECT_EQ(archive_.Downloads(SampleJob().Job.Name).size(), 1u);
    const TImportOutcome outcome = ImportJob(archive_, ReadJobDocument(text, "job.json"), false);
    EXPECT_EQ(outcome.DownloadsPresent, 1);
    EXPECT_EQ(outcome.DownloadsAdded, 1);
    EXPECT_EQ(ExportJob(archive_, SampleJob().Job.Name), text);
}

// Export from one archive, import into another, export: the same bytes, whichever two.
TEST(JobImportAcross, EveryPairOfArchivesGivesTheSameBytes) {
    const std::string text = ImportSampleText();
    for (const TArchiveKind& from : ArchiveKinds()) {
        for (const TArchiveKind& to : ArchiveKinds()) {
            TArchiveUnderTest source(from);
            TArchiveUnderTest target(to);
            if (source.Skipped() || target.Skipped()) {
                continue;
            }
            ImportJob(source.Archive(), ReadJobDocument(text, "job.json"), false);
            const std::string exported = ExportJob(source.Archive(), SampleJob().Job.Name);
            ImportJob(target.Archive(), ReadJobDocument(exported, "exported.json"), false);
            EXPECT_EQ(ExportJob(target.Archive(), SampleJob().Job.Name), text)
                << from.Name << " to " << to.Name;
        }
    }
}

TEST_P(JobImport, ExportOfAMissingJobNamesIt) {
    EXPECT_SYSTEM_ERROR(ExportJob(archive_, "Nivy"), EArchiveError, TArchiveErrc::NoSuchJob,
                        "there is no job Nivy in the archive " + archive_.Location());
}

INSTANTIATE_TEST_SUITE_P(Archives, JobImport, testing::ValuesIn(ArchiveKinds()), KindName);

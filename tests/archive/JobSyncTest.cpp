// Two archives exchanging a job without a document: what comes and goes, a sync killed inside
// or between its transactions and run again, two syncs into the server at once, the refusals.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "ArchiveTestData.h"
#include "PostgresServer.h"
#include "archive/AddDownloadPause.h"
#include "archive/JobImport.h"
#include "archive/JobSync.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace {

using namespace std::chrono_literals;

// A laptop's job of four downloads, one of them void and one fixed.
void FillLaptop(TArchive& archive, const std::string& prefix) {
    if (!archive.FindJob("J"))
        archive.CreateJob(SampleJob("J"));
    for (int at = 1; at <= 4; ++at)
        archive.AddDownload("J", SampleDownload(prefix + std::to_string(at) + "-", 40 * at));
    const std::vector<TDownloadRow> rows = archive.DownloadRows("J");
    archive.SetVoid("J", rows[rows.size() - 3].RecordsSha256.substr(0, 8), true, "wrong job");
    archive.FixDownload("J", rows.back().RecordsSha256.substr(0, 8),
                        {TDirection::BToA, std::nullopt, "Petr"});
}

// Both archives give the same document, and a sync between them brings nothing.
void ExpectSame(TArchive& a, TArchive& b) {
    EXPECT_EQ(ExportJob(a, "J"), ExportJob(b, "J"));
    const TSyncOutcome again = SyncJob(a, b, "J");
    EXPECT_EQ(again.Here.Downloads + again.Here.Events + again.There.Downloads + again.There.Events,
              0);
}

class JobSyncTest : public testing::Test {
protected:
    std::string File(const std::string& name) const { return folder_.File(name); }

    TTempFolder folder_;
};

}  // namespace

TEST_F(JobSyncTest, EachSideGetsWhatItLacksAndTheOtherSideMakesTheJob) {
    const std::unique_ptr<TArchive> laptop = OpenArchive(File("laptop.sqlite"));
    const std::unique_ptr<TArchive> office = OpenArchive(File("office.sqlite"));
    FillLaptop(*laptop, "L");
    TSyncOutcome outcome = SyncJob(*laptop, *office, "J");
    EXPECT_TRUE(outcome.There.JobMade);
    EXPECT_EQ(outcome.There.Downloads, 4);
    EXPECT_EQ(outcome.Here.Downloads + outcome.Here.Events, 0);
    ExpectSame(*laptop, *office);
    // The office voids, the laptop adds: each side's change reaches the other.
    office->SetVoid("J", "1", true, "dirty connector");
    laptop->AddDownload("J", SampleDownload("N", 5));
    outcome = SyncJob(*laptop, *office, "J");
    EXPECT_EQ(outcome.Here.Events, 1);
    EXPECT_EQ(outcome.There.Downloads, 1);
    EXPECT_EQ(laptop->Downloads("J").at(0).VoidReason, "dirty connector");
    ExpectSame(*laptop, *office);
    EXPECT_SYSTEM_ERROR(SyncJob(*laptop, *laptop, "J"), EArchiveError, TArchiveErrc::BadInput,
                        "a job is synced between two archives, not with the same one (" +
                            File("laptop.sqlite") + ")");
    EXPECT_SYSTEM_ERROR(
        SyncJob(*laptop, *office, "K"), EArchiveError, TArchiveErrc::NoSuchJob,
        "there is no job K in " + File("laptop.sqlite") + " or " + File("office.sqlite"));
}

// A sync killed inside the transaction of a download, or between two, loses nothing and the
// next one completes it.
TEST_F(JobSyncTest, ASyncKilledAnywhereIsCompletedByTheNext) {
    for (int killAt = 1; killAt <= 6; ++killAt) {
        SCOPED_TRACE("kill at point " + std::to_string(killAt));
        const std::string laptop = File("laptop" + std::to_string(killAt) + ".sqlite");
        const std::string office = File("office" + std::to_string(killAt) + ".sqlite");
        FillLaptop(*OpenArchive(laptop), "L");
        FillLaptop(*OpenArchive(office), "O");
        const bool inside = killAt % 2 == 1;
        const int download = (killAt + 1) / 2;
        TSubprocess child(
            [=] {
                int seen = 0;
                const auto stop = [&] {
                    if (++seen < download)
                        return;
                    std::fputs("stopped\n", stdout);
                    std::fflush(stdout);
                    for (;;)
                        ::pause();
                };
                if (inside)
                    SetAddDownloadPause(stop);
                const std::unique_ptr<TArchive> a = OpenArchive(laptop);
                const std::unique_ptr<TArchive> b = OpenArchive(office);
                SyncJob(*a, *b, "J", [&](std::int64_t, std::int64_t) {
                    if (!inside)
                        stop();
                });
                return 0;
            },
            TSubprocessOptions{});
        ASSERT_EQ(child.ReadLine(120s), "stopped");
        child.Signal(SIGKILL);
        EXPECT_EQ(child.Wait(60s), 128 + SIGKILL);
        const std::unique_ptr<TArchive> a = OpenArchive(laptop);
        const std::unique_ptr<TArchive> b = OpenArchive(office);
        SyncJob(*a, *b, "J");
        EXPECT_EQ(a->Downloads("J").size(), 8u);
        ExpectSame(*a, *b);
    }
}

// The team's server and two laptops: two syncs into it at once, then each laptop again; a
// void made on a laptop reaches the server and the other laptop.
TEST_F(JobSyncTest, TwoLaptopsAndTheTeamsServerEndWithTheSameJob) {
    std::string server;
    MERIDAX_REQUIRE_POSTGRES(server);
    const TPostgresDatabase database(server);
    FillLaptop(*OpenArchive(File("ann.sqlite")), "A");
    FillLaptop(*OpenArchive(File("ben.sqlite")), "B");
    std::vector<std::unique_ptr<TSubprocess>> syncs;
    for (const std::string laptop : {"ann.sqlite", "ben.sqlite"}) {
        const std::string path = File(laptop);
        syncs.push_back(std::make_unique<TSubprocess>(
            [path, uri = database.Uri()] {
                SyncJob(*OpenArchive(path), *OpenArchive(uri), "J");
                return 0;
            },
            TSubprocessOptions{}));
    }
    for (const auto& sync : syncs)
        EXPECT_EQ(sync->Wait(300s), 0);
    const std::unique_ptr<TArchive> team = OpenArchive(database.Uri());
    const std::unique_ptr<TArchive> ann = OpenArchive(File("ann.sqlite"));
    const std::unique_ptr<TArchive> ben = OpenArchive(File("ben.sqlite"));
    EXPECT_EQ(team->Downloads("J").size(), 8u);
    ann->SetVoid("J", "1", true, "wrong fibre");
    SyncJob(*ann, *team, "J");
    SyncJob(*ben, *team, "J");
    SyncJob(*ann, *team, "J");
    ExpectSame(*ann, *team);
    ExpectSame(*ben, *team);
    // Two "created" events made without seeing each other: a conflict every archive lists.
    EXPECT_EQ(team->State("J").Conflicts.size(), ann->State("J").Conflicts.size());
}

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "archive/AddDownloadPause.h"
#include "archive/PostgresArchive.h"
#include "archive/PostgresServer.h"
#include "archive/PostgresTestData.h"
#include "support/Patience.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {
void Print(const std::string& text) {
    const std::string line = text + "\n";
    (void)!::write(STDOUT_FILENO, line.data(), line.size());
}

// In a child process: adds the download, prints "added N", "kept N" or "error CODE MESSAGE".
int AddInChild(const std::string& uri, const std::string& job, const TDownload& download) {
    try {
        const TAddOutcome outcome = OpenPostgresArchive(uri)->AddDownload(job, download);
        Print((outcome.Added ? "added " : "kept ") + std::to_string(outcome.Number));
        return 0;
    } catch (const EArchiveError& error) {
        Print("error " + std::to_string(error.code().value()) + " " + error.what());
        return 1;
    }
}

// The same, stopping inside the transaction at the pause point until pauseFile goes.
int AddPausedInChild(const std::string& uri, const std::string& job, const TDownload& download,
                     const std::string& pauseFile) {
    SetAddDownloadPause([pauseFile] {
        std::ofstream(pauseFile).put('\n');
        while (fs::exists(pauseFile)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    return AddInChild(uri, job, download);
}

template <class F>
bool WaitFor(F&& condition) {
    const auto deadline = std::chrono::steady_clock::now() + PatientWait;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Whether a session of the database waits for a lock another one holds.
bool SomeoneWaitsForALock(const TPostgresDatabase& database) {
    return QuerySql(database.Uri(), "SELECT count(*) FROM pg_stat_activity WHERE datname = '" +
                                        database.Name() + "' AND wait_event_type = 'Lock'") != "0";
}

class PostgresFaultTest : public testing::Test {
protected:
    void SetUp() override {
        MERIDAX_REQUIRE_POSTGRES(serverUri_);
        database_.emplace(serverUri_);
    }

    std::unique_ptr<TArchive> Open() { return OpenPostgresArchive(database_->Uri()); }

    // first stops inside its add; second starts its own and waits for first's lock; then
    // first goes on. Gives what each printed.
    std::pair<std::string, std::string> AddMeanwhile(const TDownload& first,
                                                     const TDownload& second) {
        TTempFolder folder;
        const std::string pause = folder.File("pause");
        const std::string uri = database_->Uri();
        TSubprocess paused([&] { return AddPausedInChild(uri, "Job", first, pause); }, {});
        EXPECT_TRUE(WaitFor([&] { return fs::exists(pause); }));
        TSubprocess waiting([&] { return AddInChild(uri, "Job", second); }, {});
        EXPECT_TRUE(WaitFor([&] { return SomeoneWaitsForALock(*database_); }));
        fs::remove(pause);
        std::pair<std::string, std::string> printed{paused.ReadAll(PatientWait),
                                                    waiting.ReadAll(PatientWait)};
        EXPECT_EQ(paused.Wait(PatientWait), 0);
        EXPECT_EQ(waiting.Wait(PatientWait), 0);
        return printed;
    }

    std::string serverUri_;
    std::optional<TPostgresDatabase> database_;
};

TEST_F(PostgresFaultTest, EightWritersAtOnceLoseAndRepeatNothing) {
    constexpr int writers = 8;
    constexpr int perWriter = 25;
    Open()->CreateJob(MakeJob("Team"));
    TTempFolder folder;
    const std::string go = folder.File("go");
    const std::string uri = database_->Uri();
    const TDownload shared = MakeDownload(100000, 5);
    std::vector<std::unique_ptr<TSubprocess>> children;
    for (int writer = 0; writer < writers; ++writer) {
        children.push_back(std::make_unique<TSubprocess>(
            [&, writer] {
                auto archive = OpenPostgresArchive(uri);
                WaitFor([&] { return fs::exists(go); });
                bool addedShared = false;
                for (int i = 0; i < perWriter; ++i) {
                    // Every writer adds the shared download at the same point.
                    if (i == perWriter / 2) {
                        addedShared = archive->AddDownload("Team", shared).Added;
                    }
                    if (!archive->AddDownload("Team", MakeDownload(writer * 100 + i, 20)).Added) {
                        return 2;
                    }
                }
                return addedShared ? 11 : 10;
            },
            TSubprocessOptions{}));
    }
    std::ofstream(go).put('\n');
    int sharedAdders = 0;
    for (auto& child : children) {
        const std::optional<int> code = child->Wait(4 * PatientWait);
        ASSERT_TRUE(code.has_value());
        ASSERT_TRUE(*code == 10 || *code == 11) << "exit code " << *code;
        sharedAdders += *code == 11 ? 1 : 0;
    }
    EXPECT_EQ(sharedAdders, 1);
    const std::vector<TDownload> downloads = Open()->Downloads("Team");
    ASSERT_EQ(downloads.size(), static_cast<std::size_t>(writers * perWriter + 1));
    std::set<std::string> hashes;
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        EXPECT_EQ(downloads[i].Number, static_cast<std::int64_t>(i + 1));
        hashes.insert(downloads[i].Sha256);
        EXPECT_EQ(downloads[i].Readings.size(), downloads[i].Sha256 == shared.Sha256 ? 5U : 20U);
    }
    EXPECT_EQ(hashes.size(), downloads.size());
    EXPECT_EQ(Open()->ChangeMark(), 1 + writers * perWriter + 1);
}

TEST_F(PostgresFaultTest, TheSameDownloadFromTwoWritersIsStoredOnce) {
    Open()->CreateJob(MakeJob("Job"));
    const TDownload download = MakeDownload(1, 50);
    const auto [first, second] = AddMeanwhile(download, download);
    EXPECT_EQ(first, "added 1\n");
    EXPECT_EQ(second, "kept 1\n");
    EXPECT_EQ(Open()->Downloads("Job").size(), 1U);
    EXPECT_EQ(QuerySql(database_->Uri(), "SELECT count(*) FROM readings"), "50");
}

TEST_F(PostgresFaultTest, AWriterEndedByASerializationFailureTriesAgain) {
    // A server set to serializable ends the second writer's transaction when the first
    // commits; the archive runs it again.
    ExecuteSql(serverUri_, "ALTER DATABASE " + database_->Name() +
                               " SET default_transaction_isolation TO 'serializable'");
    Open()->CreateJob(MakeJob("Job"));
    const auto [first, second] = AddMeanwhile(MakeDownload(1, 10), MakeDownload(2, 10));
    EXPECT_EQ(first, "added 1\n");
    EXPECT_EQ(second, "added 2\n");
    EXPECT_EQ(Open()->Downloads("Job").size(), 2U);
}

TEST(PostgresServerFaultTest, AServerStoppedInsideAnAddLeavesNothingHalfWritten) {
    TPrivateServer server;
    if (server.Uri().empty()) {
        if (RunByCi()) {
            FAIL() << "no PostgreSQL server: " << server.WhyNot();
        }
        GTEST_SKIP() << "no PostgreSQL server: " << server.WhyNot();
    }
    TPostgresDatabase database(server.Uri());
    auto archive = OpenPostgresArchive(database.Uri());
    archive->CreateJob(MakeJob("Job"));
    archive->AddDownload("Job", MakeDownload(1, 10));

    TTempFolder folder;
    const std::string pause = folder.File("pause");
    TSubprocess child(
        [&] { return AddPausedInChild(database.Uri(), "Job", MakeDownload(2, 500), pause); }, {});
    ASSERT_TRUE(WaitFor([&] { return fs::exists(pause); }));
    ASSERT_TRUE(server.Halt());
    fs::remove(pause);
    const std::string printed = child.ReadAll(PatientWait);
    EXPECT_EQ(child.Wait(PatientWait), 1);
    const std::string unavailable =
        "error " + std::to_string(static_cast<int>(TArchiveErrc::ServerUnavailable)) + " ";
    EXPECT_EQ(printed.rfind(unavailable, 0), 0U) << printed;
    EXPECT_NE(printed.find(database.Name()), std::string::npos) << printed;
    const auto gone = ThrownBy<EArchiveError>([&] { archive->ChangeMark(); });
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->code(), make_error_code(TArchiveErrc::ServerUnavailable)) << gone->what();

    ASSERT_TRUE(server.Resume());
    auto reopened = OpenPostgresArchive(database.Uri());
    const std::vector<TDownload> downloads = reopened->Downloads("Job");
    ASSERT_EQ(downloads.size(), 1U);
    EXPECT_EQ(downloads[0].Readings.size(), 10U);
    EXPECT_EQ(QuerySql(database.Uri(), "SELECT count(*) FROM readings"), "10");
    EXPECT_EQ(reopened->ChangeMark(), 2);
    // The archive that saw the server go finds it again once it is back.
    EXPECT_EQ(archive->ChangeMark(), 2);
}
}  // namespace

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include <stdlib.h>

#include "archive/PostgresArchive.h"
#include "archive/PostgresServer.h"
#include "archive/PostgresTestData.h"

namespace {
class PostgresArchiveTest : public testing::Test {
protected:
    void SetUp() override {
        MERIDAX_REQUIRE_POSTGRES(serverUri_);
        database_.emplace(serverUri_);
    }

    std::unique_ptr<TArchive> Open() { return OpenPostgresArchive(database_->Uri()); }
    std::string Query(const std::string& sql) { return QuerySql(database_->Uri(), sql); }

    std::string serverUri_;
    std::optional<TPostgresDatabase> database_;
};

TEST_F(PostgresArchiveTest, MakesTheSchemaOnceAndCountsEveryWrite) {
    auto archive = Open();
    EXPECT_EQ(Query("SELECT version FROM schema_version"), "2");
    EXPECT_EQ(archive->ChangeMark(), 0);
    archive->CreateJob(MakeJob("Site 1"));
    EXPECT_EQ(archive->ChangeMark(), 1);
    const TDownload download = MakeDownload(1, 3);
    const TAddOutcome first = archive->AddDownload("Site 1", download);
    EXPECT_TRUE(first.Added);
    EXPECT_EQ(first.Number, 1);
    EXPECT_EQ(archive->ChangeMark(), 2);
    // The same records again add nothing and change nothing.
    const TAddOutcome again = archive->AddDownload("Site 1", download);
    EXPECT_FALSE(again.Added);
    EXPECT_EQ(again.Number, 1);
    EXPECT_EQ(archive->ChangeMark(), 2);
    archive->SetVoid("Site 1", 1, true, "wrong job");
    TJobChanges changes;
    changes.Site = "Hall B";
    archive->ChangeJob("Site 1", changes);
    EXPECT_EQ(archive->ChangeMark(), 4);
    // A second opener finds the tables made and keeps them.
    auto second = Open();
    EXPECT_EQ(second->ChangeMark(), 4);
    EXPECT_EQ(Query("SELECT count(*) FROM schema_version"), "1");
    const std::vector<TDownload> downloads = second->Downloads("Site 1");
    ASSERT_EQ(downloads.size(), 1U);
    EXPECT_TRUE(downloads[0].Void);
    EXPECT_EQ(downloads[0].VoidReason, "wrong job");
    EXPECT_EQ(second->FindJob("Site 1")->Site, "Hall B");
}

TEST_F(PostgresArchiveTest, KeepsEveryBitOfTheNumbers) {
    const std::vector<double> values = {-0.0,
                                        0.1,
                                        1e-300,
                                        5e-324,
                                        std::numeric_limits<double>::max(),
                                        -123456.78901234567,
                                        0.30000000000000004,
                                        std::numeric_limits<double>::infinity(),
                                        -std::numeric_limits<double>::infinity()};
    TDownload download = MakeDownload(7, values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        download.Readings[i].Record.Value = values[i];
        download.Readings[i].Record.Reference = -values[i];
        download.Readings[i].Record.WaveLength = 1310.0000000000002;
    }
    auto archive = Open();
    archive->CreateJob(MakeJob("Numbers"));
    archive->AddDownload("Numbers", download);
    const std::vector<TDownload> back = Open()->Downloads("Numbers");
    ASSERT_EQ(back.size(), 1U);
    ASSERT_EQ(back[0].Readings.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const TMeranie& record = back[0].Readings[i].Record;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(record.Value),
                  std::bit_cast<std::uint64_t>(values[i]))
            << "value " << i;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(record.Reference),
                  std::bit_cast<std::uint64_t>(-values[i]))
            << "reference " << i;
        EXPECT_EQ(record.WaveLength, 1310.0000000000002);
    }
    // Stored as the server's doubles, not as text that only this program reads back.
    EXPECT_EQ(Query("SELECT value::text FROM readings WHERE seq = 1"), "-0");
    EXPECT_EQ(Query("SELECT count(*) FROM readings WHERE value = 0.1::float8 AND seq = 2"), "1");
    EXPECT_EQ(Query("SELECT pg_typeof(value)::text FROM readings LIMIT 1"), "double precision");
}

TEST_F(PostgresArchiveTest, NotANumberComesBackAsNotANumber) {
    TDownload download = MakeDownload(8, 1);
    download.Readings[0].Record.Value = std::numeric_limits<double>::quiet_NaN();
    auto archive = Open();
    archive->CreateJob(MakeJob("NaN"));
    archive->AddDownload("NaN", download);
    EXPECT_TRUE(std::isnan(archive->Downloads("NaN")[0].Readings[0].Record.Value));
}

TEST_F(PostgresArchiveTest, KeepsLatin1TextsAsUtf8) {
    TDownload download = MakeDownload(9, 2);
    download.Readings[0].Record.Cable = "Kabel \xE9\xFC\xB0\xFF";
    download.Readings[0].Record.Fiber = "F\xE4";
    // What COPY's text format escapes: a tab, a line break, a backslash.
    download.Readings[1].Record.Cable = "A\tB\nC\\N";
    download.Readings[1].Record.Fiber = "\\";
    auto archive = Open();
    archive->CreateJob(MakeJob("Latin"));
    archive->AddDownload("Latin", download);
    EXPECT_EQ(Query("SELECT cable FROM readings WHERE seq = 1"),
              "Kabel \xC3\xA9\xC3\xBC\xC2\xB0\xC3\xBF");
    const std::vector<TStoredReading> back = archive->Downloads("Latin")[0].Readings;
    ASSERT_EQ(back.size(), 2U);
    EXPECT_EQ(back[0].Record.Cable, download.Readings[0].Record.Cable);
    EXPECT_EQ(back[0].Record.Fiber, "F\xE4");
    EXPECT_EQ(back[1].Record.Cable, "A\tB\nC\\N");
    EXPECT_EQ(back[1].Record.Fiber, "\\");
}

TEST_F(PostgresArchiveTest, KeepsAJobsFactsAndBinaryLogo) {
    TJob job = MakeJob("Logo");
    job.Logo = std::string("\x89PNG\r\n\x1a\n\0\xFF\0", 11);
    job.LogoType = "png";
    job.Budgets = {{"{\"a\":1}", "2026-01-02T03:04:05.000006Z"}, {"{\"b\":2}", ""}};
    job.ExpectedFibres = {{"K1", 144}, {"K2", 12}};
    auto archive = Open();
    archive->CreateJob(job);
    std::optional<TJob> back = archive->FindJob("Logo");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Logo, job.Logo);
    ASSERT_EQ(back->Budgets.size(), 2U);
    EXPECT_EQ(back->Budgets[0].Json, job.Budgets[0].Json);
    // Times are the server's, in the archive's fixed-width form.
    EXPECT_TRUE(IsArchiveTime(back->Budgets[1].SetAt)) << back->Budgets[1].SetAt;
    EXPECT_TRUE(IsArchiveTime(back->CreatedAt)) << back->CreatedAt;
    EXPECT_EQ(back->ExpectedFibres, job.ExpectedFibres);

    TJobChanges changes;
    changes.Logo = "";
    changes.BudgetJson = "{\"c\":3}";
    changes.ExpectedFibres = {{"K1", 0}, {"K3", 48}};
    archive->ChangeJob("Logo", changes);
    back = archive->FindJob("Logo");
    EXPECT_EQ(back->Logo, "");
    EXPECT_EQ(back->LogoType, "");
    ASSERT_EQ(back->Budgets.size(), 3U);
    EXPECT_EQ(back->Budgets[2].Json, "{\"c\":3}");
    EXPECT_EQ(back->ExpectedFibres, (std::map<std::string, int>{{"K2", 12}, {"K3", 48}}));
}

TEST_F(PostgresArchiveTest, QuotesAndSemicolonsInNamesAreData) {
    const std::string name = "O'Brien\"; DROP TABLE jobs; -- 100% _";
    auto archive = Open();
    archive->CreateJob(MakeJob(name));
    archive->CreateJob(MakeJob("O'Brien"));
    EXPECT_TRUE(archive->AddDownload(name, MakeDownload(1, 1)).Added);
    EXPECT_EQ(archive->FindJob(name)->Name, name);
    EXPECT_EQ(archive->Downloads(name).size(), 1U);
    EXPECT_EQ(archive->Downloads("O'Brien").size(), 0U);
    EXPECT_EQ(archive->ListJobs().size(), 2U);
}

TEST_F(PostgresArchiveTest, RefusesADatabaseThatIsNotAnArchive) {
    ExecuteSql(database_->Uri(), "CREATE TABLE customers(id INTEGER)");
    const auto error = ThrownBy<EArchiveError>([&] { Open(); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), make_error_code(TArchiveErrc::NotAnArchive));
    EXPECT_NE(std::string(error->what()).find(database_->Name()), std::string::npos)
        << error->what();
    // Nothing of the archive was made in it.
    EXPECT_EQ(Query("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "1");
}

TEST_F(PostgresArchiveTest, RefusesANewerSchemaNamingBothVersions) {
    Open()->CreateJob(MakeJob("Kept"));
    ExecuteSql(database_->Uri(), "UPDATE schema_version SET version = 3");
    const auto error = ThrownBy<EArchiveError>([&] { Open(); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), make_error_code(TArchiveErrc::NewerSchema));
    const std::string message = error->what();
    EXPECT_NE(message.find("archive version 3"), std::string::npos) << message;
    EXPECT_NE(message.find("this program reads 2)"), std::string::npos) << message;
    EXPECT_EQ(Query("SELECT version FROM schema_version"), "3");
}

TEST_F(PostgresArchiveTest, ShowsNoPasswordOfTheUri) {
    // Trust authentication lets the password through unused.
    const std::string withPassword = DatabaseUri(
        "postgresql://postgres:S3cret%21pw@" + serverUri_.substr(serverUri_.find('@') + 1),
        database_->Name());
    auto archive = OpenPostgresArchive(withPassword);
    EXPECT_EQ(archive->Location().find("S3cret"), std::string::npos) << archive->Location();
    EXPECT_NE(archive->Location().find("***"), std::string::npos) << archive->Location();

    ExecuteSql(database_->Uri(), "UPDATE schema_version SET version = 5");
    const std::string newer = MessageOf<EArchiveError>([&] { OpenPostgresArchive(withPassword); });
    EXPECT_NE(newer.find("version 5"), std::string::npos) << newer;
    EXPECT_EQ(newer.find("S3cret"), std::string::npos) << newer;

    const auto unreachable = ThrownBy<EArchiveError>([] {
        OpenPostgresArchive(
            "postgresql://postgres:S3cret%21pw@/x?host=/nonexistent-meridax-folder");
    });
    ASSERT_TRUE(unreachable);
    EXPECT_EQ(unreachable->code(), make_error_code(TArchiveErrc::ServerUnavailable));
    const std::string message = unreachable->what();
    EXPECT_EQ(message.find("S3cret"), std::string::npos) << message;
    // libpq's own reason, on one line.
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;

    const std::string inQuery = MessageOf<EArchiveError>([] {
        OpenPostgresArchive("postgresql:///x?host=/nonexistent-meridax-folder&password=Qu3ry%2A");
    });
    EXPECT_NE(inQuery.find("No such file or directory"), std::string::npos) << inQuery;
    EXPECT_EQ(inQuery.find("Qu3ry"), std::string::npos) << inQuery;
}

TEST_F(PostgresArchiveTest, AUserWhoMayOnlyReadGetsAnArchiveForReading) {
    Open()->CreateJob(MakeJob("Shared"));
    // Roles belong to the whole server: the name is the database's own.
    const std::string reader = database_->Name() + "_reader";
    ExecuteSql(serverUri_, "CREATE ROLE " + reader + " LOGIN");
    ExecuteSql(database_->Uri(), "GRANT SELECT ON ALL TABLES IN SCHEMA public TO " + reader);
    {
        const std::string uri = database_->Uri();
        auto archive =
            OpenPostgresArchive("postgresql://" + reader + uri.substr(uri.find("postgres@") + 8));
        EXPECT_TRUE(archive->IsReadOnly());
        EXPECT_EQ(archive->ListJobs().size(), 1U);
        EXPECT_EQ(archive->Downloads("Shared").size(), 0U);
        const auto refused =
            ThrownBy<EArchiveError>([&] { archive->AddDownload("Shared", MakeDownload(1, 1)); });
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->code(), make_error_code(TArchiveErrc::ReadOnly)) << refused->what();
    }
    EXPECT_FALSE(Open()->IsReadOnly());
    database_.reset();
    ExecuteSql(serverUri_, "DROP ROLE " + reader);
}

TEST_F(PostgresArchiveTest, TakesLibpqsOwnSettings) {
    const std::string host = serverUri_.substr(serverUri_.find("host=") + 5);
    const std::string database = database_->Name();
    const int code = RunInChild([&] {
        ::setenv("PGHOST", host.c_str(), 1);
        ::setenv("PGUSER", "postgres", 1);
        ::setenv("PGDATABASE", database.c_str(), 1);
        try {
            OpenPostgresArchive("postgresql://")->CreateJob(MakeJob("From PGHOST"));
            return 0;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(Open()->FindJob("From PGHOST"));
}
}  // namespace

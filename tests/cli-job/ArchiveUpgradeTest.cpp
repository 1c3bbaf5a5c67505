// Archives of the first version, made by the program of that version (tests/archive/fixtures/
// version1), upgraded by this one: every job reads as it did, the laptop's file and the
// office's database, which exchanged documents and then went on apart, sync to one job, and a
// first-version document imports as the archive it came from.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "archive/PostgresServer.h"
#include "cli/CliTest.h"
#include "support/Subprocess.h"

namespace {

namespace fs = std::filesystem;

const std::string VersionOne = MERIDAX_VERSION_ONE_FIXTURES;

std::string FixtureText(const std::string& name) {
    return ReadFileBytes(VersionOne + "/" + name);
}

// job show as the first version printed it: without the column of the downloads' hashes.
std::string WithoutHashColumn(const std::string& show) {
    static const std::regex column(R"(^(N|\d+)  (Download|[0-9a-f]{8})  )", std::regex::multiline);
    return std::regex_replace(show, column, "$1  ");
}

class ArchiveUpgradeTest : public CliTest {
protected:
    TRun Cli(std::vector<std::string> words, const std::string& archive) {
        words.insert(words.end(), {"--archive", archive});
        return Run(words);
    }

    // job show and job report of each job print what the first version printed.
    void ExpectAsBefore(const std::string& archive, const std::string& side,
                        const std::vector<std::string>& jobs) {
        for (const std::string& job : jobs) {
            SCOPED_TRACE(side + " " + job);
            const TRun show = Cli({"job", "show", job}, archive);
            EXPECT_EQ(show.exitCode, 0) << show.err;
            EXPECT_EQ(WithoutHashColumn(show.out), FixtureText(side + "-" + job + "-show.txt"));
            const TRun report = Cli({"job", "report", job, "--to", "-"}, archive);
            EXPECT_EQ(report.out, FixtureText(side + "-" + job + "-report.txt"));
        }
    }

    // The office's database restored from its dump into a database of the test's own.
    std::string RestoreOffice(const TPostgresDatabase& database) {
        const TRunResult restored = RunToEnd({"psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d",
                                              database.Uri(), "-f", VersionOne + "/office.sql"},
                                             TSubprocessOptions{});
        EXPECT_EQ(restored.ExitCode, 0) << restored.Err;
        return database.Uri();
    }
};

}  // namespace

TEST_F(ArchiveUpgradeTest, TheLaptopsFileUpgradesOnFirstOpenKeepingACopy) {
    const std::string laptop = Path("laptop.sqlite");
    fs::copy_file(VersionOne + "/laptop.sqlite", laptop);
    const TRun list = Cli({"job", "list"}, laptop);
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.err, "meridax-cli: upgraded the archive " + laptop +
                            " to version 2; its copy from before is " + laptop + ".version-1\n");
    EXPECT_EQ(ReadFileBytes(laptop + ".version-1").substr(0, 16),
              std::string("SQLite format 3\0", 16));
    ExpectAsBefore(laptop, "laptop", {"Riser", "Lobby"});
    // The first version's document of a job imports as the upgraded archive holds it.
    const std::string imported = Path("imported.sqlite");
    EXPECT_EQ(Cli({"job", "import", VersionOne + "/laptop-Riser.json"}, imported).exitCode, 0);
    EXPECT_EQ(Cli({"job", "export", "Riser", "--to", "-"}, imported).out,
              Cli({"job", "export", "Riser", "--to", "-"}, laptop).out);
}

// The office's database says what to do until its command upgrades it; then the laptop and
// the office, each with a void of its own, end with one job holding both, and list the fibre
// count both changed without seeing each other as a conflict.
TEST_F(ArchiveUpgradeTest, TheOfficesDatabaseUpgradesByItsCommandAndSyncsWithTheLaptop) {
    std::string server;
    MERIDAX_REQUIRE_POSTGRES(server);
    const TPostgresDatabase database(server);
    const std::string office = RestoreOffice(database);
    TRun run = Cli({"job", "show", "Riser"}, office);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("is of version 1 and this program reads version 2: its team upgrades "
                           "it once, after a pg_dump of it, with meridax-cli archive upgrade "
                           "--archive URI"),
              std::string::npos)
        << run.err;
    // Nor does a sync with it go on, before anything is written anywhere.
    const std::string laptop = Path("laptop.sqlite");
    fs::copy_file(VersionOne + "/laptop.sqlite", laptop);
    run = Cli({"job", "sync", "Riser", "--with", office}, laptop);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("meridax-cli archive upgrade --archive URI"), std::string::npos)
        << run.err;
    run = Cli({"archive", "upgrade"}, office);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("is up to date"), std::string::npos) << run.out;
    ExpectAsBefore(office, "office", {"Riser"});

    run = Cli({"job", "sync", "Riser", "--with", office}, laptop);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string show = Cli({"job", "show", "Riser"}, laptop).out;
    EXPECT_EQ(show, Cli({"job", "show", "Riser"}, office).out);
    EXPECT_NE(show.find("void: wrong launch cord"), std::string::npos) << show;
    EXPECT_NE(show.find("void: meter out of calibration"), std::string::npos) << show;
    EXPECT_NE(show.find("\nconflicts:\ncable R, fibers: kept "), std::string::npos) << show;
    EXPECT_EQ(Cli({"job", "export", "Riser", "--to", "-"}, laptop).out,
              Cli({"job", "export", "Riser", "--to", "-"}, office).out);
}

// meridax-cli and the safety of the archive itself: what no command may do to an archive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "archive/SqliteDb.h"
#include "cli/CliTest.h"
#include "support/Patience.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const std::string JobFixtures = MERIDAX_JOB_FIXTURES;

class ArchiveSafetyTest : public CliTest {
protected:
    TRun Job(Args words, const std::string& archive = "") {
        words.insert(words.begin(), "job");
        words.insert(words.end(), {"--archive", archive.empty() ? Archive() : archive});
        return Run(words);
    }
    std::string Archive() const { return Path("jobs.sqlite"); }

    // Job R with the fixtures' first download.
    void MakeJob(const std::string& archive = "") {
        const TRun made = Job({"new", "R", "--budget", JobFixtures + "/budget.json"}, archive);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const TRun added =
            Job({"add", "R", JobFixtures + "/meter1-a-b.dump", "--direction", "a-b"}, archive);
        ASSERT_EQ(added.exitCode, 0) << added.err;
    }
};

// No command writes its output over an archive of jobs: not the one in use, by its name, a
// link or a second name of the same file, and no other archive; each stays byte for byte.
TEST_F(ArchiveSafetyTest, NoOutputReplacesAnArchive) {
    MakeJob();
    const std::string bytes = Read(Archive());
    ASSERT_EQ(::symlink(Archive().c_str(), Path("link.json").c_str()), 0);
    ASSERT_EQ(::link(Archive().c_str(), Path("same.pdf").c_str()), 0);
    for (const char* other : {"other.csv", "other.xlsx", "other.xls", "other.pdf"})
        Put(Path(other), bytes);
    const std::string dump = JobFixtures + "/meter1-a-b.dump";
    const std::string budget = JobFixtures + "/budget.json";
    const struct {
        Args words;
        const char* reason;
    } cases[] = {
        {{"job", "export", "R", "--to", Archive()}, "the archive of jobs in use"},
        {{"job", "export", "R", "--to", Path("link.json")}, "the archive of jobs in use"},
        {{"job", "report", "R", "--to", Path("same.pdf")}, "the archive of jobs in use"},
        {{"job", "report", "R", "--to", Path("other.csv")}, "an archive of jobs"},
        {{"job", "report", "R", "--to", Path("other.xlsx")}, "an archive of jobs"},
        {{"convert", dump, "--to", Path("other.xls")}, "an archive of jobs"},
        {{"report", dump, "--budget", budget, "--to", Path("other.pdf")}, "an archive of jobs"},
    };
    for (const auto& [words, reason] : cases) {
        Args all = words;
        if (words[0] == "job")
            all.insert(all.end(), {"--archive", Archive()});
        const TRun run = Run(all);
        EXPECT_EQ(run.exitCode, 1) << words.back() << ": " << run.err;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("which no output may replace"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(Read(Archive()) == bytes);
    for (const char* other : {"other.csv", "other.xlsx", "other.xls", "other.pdf"})
        EXPECT_TRUE(Read(Path(other)) == bytes) << other;
    EXPECT_EQ(Job({"show", "R"}).exitCode, 0);
}

// An empty file is no archive (only new and import make one there); a damaged archive is told
// as damaged, with the ways out, and left as it is.
TEST_F(ArchiveSafetyTest, AnEmptyFileIsNoArchiveAndADamagedOneIsTold) {
    const std::string empty = Path("empty.sqlite");
    Put(empty, "");
    const TRun listed = Job({"list"}, empty);
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_EQ(listed.err,
              "meridax-cli job list: there is no archive " + empty + ": the file is empty\n");
    EXPECT_EQ(Read(empty), "");
    EXPECT_EQ(Job({"new", "R"}, empty).exitCode, 0);

    MakeJob();
    // The file cut short, alone: no log from before beside it to read the pages from.
    const std::string cut = Read(Archive()).substr(0, Read(Archive()).size() / 2);
    Put(Archive(), cut);
    fs::remove(Archive() + "-wal");
    fs::remove(Archive() + "-shm");
    for (const Args& words :
         {Args{"show", "R"}, Args{"add", "R", JobFixtures + "/meter1-b-a.dump"}}) {
        const TRun run = Job(words);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("the archive " + Archive() +
                               " is damaged (database disk image is "
                               "malformed)"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(".recover"), std::string::npos) << run.err;
    }
    EXPECT_NE(Job({"add", "R", JobFixtures + "/meter1-b-a.dump"})
                  .err.find("; nothing was added, and trying again will not help until that is "
                            "mended\n"),
              std::string::npos);
    EXPECT_TRUE(Read(Archive()) == cut);
}

// archive backup copies the whole archive into a file that is an archive of its own, and
// never over an archive.
TEST_F(ArchiveSafetyTest, BackupWritesACopyThatIsAnArchive) {
    MakeJob();
    ASSERT_EQ(Job({"void", "R", "1", "--reason", "wrong cable"}).exitCode, 0);
    const std::string copy = Path("copy.sqlite");
    const TRun backup = Run({"archive", "backup", "--to", copy, "--archive", Archive()});
    EXPECT_EQ(backup.exitCode, 0) << backup.err;
    EXPECT_EQ(backup.out, "copied the archive " + Archive() + " to " + copy + "\n");
    const TRun original = Job({"show", "R"});
    const TRun copied = Job({"show", "R"}, copy);
    EXPECT_EQ(copied.exitCode, 0) << copied.err;
    EXPECT_EQ(copied.out, original.out);
    EXPECT_NE(copied.out.find("wrong cable"), std::string::npos) << copied.out;
    const TRun again = Run({"archive", "backup", "--to", copy, "--archive", Archive()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("which no output may replace"), std::string::npos) << again.err;
}

// An add waits for another program writing the archive, says so on standard error after a
// second, and ends on Ctrl+C having added nothing; once the other program is done it goes in.
TEST_F(ArchiveSafetyTest, AnAddWaitsForAnotherProgramAndStopsOnCtrlC) {
    MakeJob();
    TSqliteConnection other("file:" + Archive(), SQLITE_OPEN_READWRITE);
    other.Execute("BEGIN IMMEDIATE");
    const auto startAdd = [&](const char* errorFile) {
        TSubprocessOptions options;
        options.OutputPath = Path("add.out");
        options.ErrorPath = Path(errorFile);
        return std::make_unique<TSubprocess>(
            std::vector<std::string>{MERIDAX_CLI_PATH, "job", "add", "R",
                                     JobFixtures + "/meter1-b-a.dump", "--archive", Archive()},
            options);
    };
    const auto waitsAndSays = [&](const char* errorFile) {
        const auto until = std::chrono::steady_clock::now() + PatientWait;
        while (Read(Path(errorFile))
                   .find("waiting for another program writing the archive " + Archive() +
                         " (1 s; Ctrl+C stops)\n") == std::string::npos) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    };
    const std::unique_ptr<TSubprocess> stopped = startAdd("stopped.err");
    ASSERT_TRUE(waitsAndSays("stopped.err")) << Read(Path("stopped.err"));
    stopped->Signal(SIGINT);
    EXPECT_EQ(stopped->Wait(PatientWait), 128 + SIGINT);
    EXPECT_NE(Read(Path("stopped.err"))
                  .find("interrupted: a download not reported as added was not added"),
              std::string::npos);

    const std::unique_ptr<TSubprocess> waiting = startAdd("waiting.err");
    ASSERT_TRUE(waitsAndSays("waiting.err")) << Read(Path("waiting.err"));
    other.Execute("COMMIT");
    EXPECT_EQ(waiting->Wait(PatientWait), 0) << Read(Path("waiting.err"));
    EXPECT_EQ(Read(Path("add.out")), "meter1-b-a.dump: download 2 of job R, 7 readings\n");
}

}  // namespace

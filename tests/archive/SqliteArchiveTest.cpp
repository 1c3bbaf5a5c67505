// What only the SQLite file does: its layout on disk, processes killed or writing at once,
// folders the user may not write, files that are no archive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "ArchiveTestData.h"
#include "archive/AddDownloadPause.h"
#include "archive/Archive.h"
#include "archive/SqliteDb.h"
#include "data/Latin1Utf8.h"
#include "support/FileBytes.h"
#include "support/Nobody.h"
#include "support/Subprocess.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The first column of every row a query gives, as text.
std::vector<std::string> Column(const std::string& path, const std::string& sql) {
    TSqliteConnection connection("file:" + path, SQLITE_OPEN_READWRITE);
    TSqliteStatement query(connection, sql);
    std::vector<std::string> values;
    while (query.Step()) {
        values.push_back(query.Text(0));
    }
    return values;
}

void Execute(const std::string& path, const char* sql) {
    TSqliteConnection connection("file:" + path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    connection.Execute(sql);
}

std::uintmax_t SizeOf(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

class SqliteArchiveTest : public testing::Test {
protected:
    std::string Path() const { return folder_.File("jobs.sqlite"); }

    // An archive with job J and its download 1.
    void MakeArchive(const std::string& path) {
        const std::unique_ptr<TArchive> archive = OpenArchive(path);
        archive->CreateJob(SampleJob("J"));
        archive->AddDownload("J", SampleDownload("A"));
    }

    TTempFolder folder_;
};

TEST_F(SqliteArchiveTest, ANewFileIsAWriteAheadLoggedArchiveOfVersionTwo) {
    MakeArchive(Path());
    EXPECT_EQ(Column(Path(), "PRAGMA journal_mode"), std::vector<std::string>{"wal"});
    EXPECT_EQ(Column(Path(), "SELECT version FROM schema_version"), std::vector<std::string>{"2"});
    EXPECT_EQ(Column(Path(), "SELECT change_count FROM archive_state"),
              std::vector<std::string>{"2"});
    EXPECT_EQ(Column(Path(), "SELECT length(origin) FROM archive_state"),
              std::vector<std::string>{"32"});
    EXPECT_EQ(Column(Path(), "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
              (std::vector<std::string>{"archive_state", "downloads", "events", "jobs", "readings",
                                        "schema_version"}));
    EXPECT_EQ(Column(Path(), "SELECT name FROM pragma_table_info('readings') ORDER BY cid"),
              (std::vector<std::string>{"download_id", "seq", "cable", "fiber", "wavelength",
                                        "value", "reference", "is_relative", "direction"}));
    const TDownload stored = OpenArchive(Path())->Downloads("J").at(0);
    EXPECT_EQ(Column(Path(), "SELECT records_sha256 || ' ' || text_sha256 FROM downloads"),
              std::vector<std::string>{stored.RecordsSha256 + " " + stored.Sha256});
    EXPECT_EQ(Column(Path(), "SELECT DISTINCT direction FROM readings"),
              std::vector<std::string>{""});
}

TEST_F(SqliteArchiveTest, PathsHoldingWhatAUriMeansAreFilesAsNamed) {
    // A "file:" URI would read these as a query, a fragment or an escape.
    const std::string folder = folder_.File("a?mode=ro#x%41 b \xC3\xBC");
    const std::string path = folder + "/j?s.sqlite";
    MakeArchive(path);
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_.Path()), fs::directory_iterator()), 1);
    EXPECT_EQ(OpenArchive(path)->Downloads("J").size(), 1u);
}

TEST_F(SqliteArchiveTest, ProcessesOpeningANewFileAtOnceMakeOneArchive) {
    const std::string path = folder_.File("new/jobs.sqlite");
    std::vector<std::unique_ptr<TSubprocess>> children;
    for (int process = 0; process < 4; ++process) {
        children.push_back(std::make_unique<TSubprocess>(
            [path, process] {
                OpenArchive(path)->CreateJob(SampleJob("J" + std::to_string(process)));
                return 0;
            },
            TSubprocessOptions{}));
    }
    for (const auto& child : children) {
        EXPECT_EQ(child->Wait(120s), 0);
    }
    EXPECT_EQ(OpenArchive(path)->ListJobs().size(), 4u);
    EXPECT_EQ(Column(path, "SELECT count(*) FROM schema_version"), std::vector<std::string>{"1"});
    EXPECT_EQ(Column(path, "SELECT change_count FROM archive_state"),
              std::vector<std::string>{"4"});
}

TEST_F(SqliteArchiveTest, KeepsCableAndFibreAsUtf8) {
    const std::unique_ptr<TArchive> archive = OpenArchive(Path());
    archive->CreateJob(SampleJob("J"));
    TDownload download = SampleDownload("A", 0);
    download.Readings.push_back({{"K\xF6ln \xB0", "F\xE4", 1310, -0.5, 0, false}, {}});
    archive->AddDownload("J", download);
    EXPECT_EQ(Column(Path(), "SELECT cable || '|' || fiber FROM readings"),
              std::vector<std::string>{"K\xC3\xB6ln \xC2\xB0|F\xC3\xA4"});
}

// Rows go in by statements of several rows each: every row, in order, whatever the count
// (full statements and a shorter last one), each name and number as it came.
TEST_F(SqliteArchiveTest, EveryRowOfALargeAddIsStoredAsItCame) {
    const std::unique_ptr<TArchive> archive = OpenArchive(Path());
    archive->CreateJob(SampleJob("J"));
    for (const int count : {1, 63, 64, 65, 133, 200}) {
        TDownload download = SampleDownload("A", 0);
        download.Source = "rows " + std::to_string(count);
        std::vector<std::string> expected;
        for (int i = 1; i <= count; ++i) {
            const bool latin1 = i % 7 == 3;
            const bool relative = i % 3 == 0;
            const double value = i % 11 == 5 ? -0.0 : -0.125 * i;
            const TDirection direction = i % 5 == 4 ? TDirection::BToA : TDirection::AToB;
            download.Readings.push_back(
                {{latin1 ? "K\xF6ln " + std::to_string(i) : "C" + std::to_string(i),
                  latin1 ? "F\xE4" : std::to_string(i % 12), 1310.5, value, relative ? -1.5 : 0.0,
                  relative},
                 direction});
            expected.push_back(std::to_string(i) + "|" +
                               (latin1 ? "K\xC3\xB6ln " + std::to_string(i) + "|F\xC3\xA4"
                                       : "C" + std::to_string(i) + "|" + std::to_string(i % 12)) +
                               "|real 1310.500000|real " + std::to_string(value) + "|real " +
                               std::to_string(relative ? -1.5 : 0.0) + (relative ? "|1" : "|0") +
                               (direction == TDirection::BToA ? "|b-a" : "|"));
        }
        archive->AddDownload("J", download);
        TSqliteConnection connection("file:" + Path(), SQLITE_OPEN_READWRITE);
        TSqliteStatement query(
            connection,
            "SELECT r.seq, r.cable, r.fiber, typeof(r.wavelength), r.wavelength, "
            "typeof(r.value), r.value, typeof(r.reference), r.reference, "
            "r.is_relative, r.direction FROM readings r JOIN downloads d "
            "ON d.id = r.download_id WHERE d.readings = ? ORDER BY r.seq");
        query.Bind(1, static_cast<std::int64_t>(count));
        std::vector<std::string> rows;
        while (query.Step()) {
            // std::to_string keeps the sign of -0.0, which a stored integer 0 would lose.
            const auto number = [&](int column) {
                return query.Text(column) + " " + std::to_string(query.Real(column + 1));
            };
            rows.push_back(std::to_string(query.Int(0)) + "|" + query.Text(1) + "|" +
                           query.Text(2) + "|" + number(3) + "|" + number(5) + "|" + number(7) +
                           "|" + std::to_string(query.Int(9)) + "|" + query.Text(10));
        }
        EXPECT_EQ(rows, expected) << count << " rows";
    }
}

TEST_F(SqliteArchiveTest, AFailureInsideAddingLeavesNothingBehind) {
    MakeArchive(Path());
    const std::unique_ptr<TArchive> archive = OpenArchive(Path());
    const std::int64_t mark = archive->ChangeMark();
    SetAddDownloadPause([] { throw std::runtime_error("stopped"); });
    EXPECT_THROW(archive->AddDownload("J", SampleDownload("B")), std::runtime_error);
    SetAddDownloadPause({});
    EXPECT_EQ(archive->ChangeMark(), mark);
    EXPECT_EQ(archive->Downloads("J").size(), 1u);
    EXPECT_EQ(Column(Path(), "SELECT count(*) FROM readings"), std::vector<std::string>{"3"});
    // The connection is usable again: the transaction was rolled back, not left open.
    EXPECT_EQ(archive->AddDownload("J", SampleDownload("B")).Number, 2);
}

TEST_F(SqliteArchiveTest, AProcessKilledInsideAddingLeavesTheArchiveAsBefore) {
    MakeArchive(Path());
    const std::int64_t mark = OpenArchive(Path())->ChangeMark();
    const std::uintmax_t logBefore = SizeOf(Path() + "-wal");
    const std::string path = Path();
    // Enough rows that they no longer fit SQLite's page cache and reach the log uncommitted.
    TSubprocess child(
        [path] {
            SetAddDownloadPause([] {
                std::fputs("inside\n", stdout);
                std::fflush(stdout);
                for (;;) {
                    ::pause();
                }
            });
            OpenArchive(path)->AddDownload("J", SampleDownload("B", 200000));
            return 0;
        },
        TSubprocessOptions{});
    ASSERT_EQ(child.ReadLine(120s), "inside");
    EXPECT_GT(SizeOf(Path() + "-wal"), logBefore) << "nothing was written before the kill";
    child.Signal(SIGKILL);
    EXPECT_EQ(child.Wait(60s), 128 + SIGKILL);

    EXPECT_EQ(Column(Path(), "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    const std::unique_ptr<TArchive> archive = OpenArchive(Path());
    EXPECT_EQ(archive->ChangeMark(), mark);
    ASSERT_EQ(archive->Downloads("J").size(), 1u);
    EXPECT_EQ(Column(Path(), "SELECT count(*) FROM readings"), std::vector<std::string>{"3"});
    const TAddOutcome outcome = archive->AddDownload("J", SampleDownload("B", 2));
    EXPECT_TRUE(outcome.Added);
    EXPECT_EQ(outcome.Number, 2);
}

// Adds the downloads name0 .. name<count-1> of 20 readings; the exit code is how many were
// new.
int AddInChild(const std::string& path, const std::string& name, int count) {
    const std::unique_ptr<TArchive> archive = OpenArchive(path);
    int added = 0;
    for (int i = 0; i < count; ++i) {
        const TDownload download = SampleDownload(name + std::to_string(i) + "-", 20);
        added += archive->AddDownload("J", download).Added ? 1 : 0;
    }
    return added;
}

TEST_F(SqliteArchiveTest, FourProcessesAddingAtOnceLoseNoDownload) {
    OpenArchive(Path())->CreateJob(SampleJob("J"));
    const std::string path = Path();
    std::vector<std::unique_ptr<TSubprocess>> children;
    for (int process = 0; process < 4; ++process) {
        const std::string name = "P" + std::to_string(process) + "-";
        children.push_back(std::make_unique<TSubprocess>(
            [path, name] { return AddInChild(path, name, 25); }, TSubprocessOptions{}));
    }
    for (const auto& child : children) {
        EXPECT_EQ(child->Wait(300s), 25);
    }
    const std::vector<TDownload> downloads = OpenArchive(Path())->Downloads("J");
    ASSERT_EQ(downloads.size(), 100u);
    std::set<std::string> hashes;
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        EXPECT_EQ(downloads[i].Number, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(downloads[i].Readings.size(), 20u);
        hashes.insert(downloads[i].Sha256);
    }
    EXPECT_EQ(hashes.size(), 100u);
    EXPECT_EQ(Column(Path(), "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

TEST_F(SqliteArchiveTest, TwoProcessesAddingTheSameDownloadsKeepEachOnce) {
    OpenArchive(Path())->CreateJob(SampleJob("J"));
    const std::string path = Path();
    TSubprocess first([path] { return AddInChild(path, "S", 30); }, TSubprocessOptions{});
    TSubprocess second([path] { return AddInChild(path, "S", 30); }, TSubprocessOptions{});
    const std::optional<int> firstAdded = first.Wait(300s);
    const std::optional<int> secondAdded = second.Wait(300s);
    ASSERT_TRUE(firstAdded && secondAdded);
    EXPECT_EQ(*firstAdded + *secondAdded, 30);
    EXPECT_EQ(OpenArchive(Path())->Downloads("J").size(), 30u);
    EXPECT_EQ(Column(Path(), "SELECT count(DISTINCT records_sha256) FROM downloads"),
              std::vector<std::string>{"30"});
}

TEST_F(SqliteArchiveTest, AnArchiveOfANewerVersionIsRefusedNamingBothVersions) {
    MakeArchive(Path());
    Execute(Path(), "UPDATE schema_version SET version = 7");
    EXPECT_SYSTEM_ERROR(OpenArchive(Path()), EArchiveError, TArchiveErrc::NewerSchema,
                        Path() +
                            " was made by a newer version of meridax (archive version 7, "
                            "this program reads 2)");
}

TEST_F(SqliteArchiveTest, AFileThatIsNoArchiveIsRefusedUntouched) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"other.db", "CREATE TABLE notes(text TEXT)"},
        {"jobs-only.db", "CREATE TABLE jobs(name TEXT)"},
        {"no-version.db",
         "CREATE TABLE schema_version(version INTEGER);"
         "CREATE TABLE archive_state(change_count BIGINT)"},
        {"two-versions.db",
         "CREATE TABLE schema_version(version INTEGER);"
         "CREATE TABLE archive_state(change_count BIGINT);"
         "INSERT INTO schema_version VALUES (1), (1)"},
        {"text-version.db",
         "CREATE TABLE schema_version(version INTEGER);"
         "CREATE TABLE archive_state(change_count BIGINT);"
         "INSERT INTO schema_version VALUES ('1abc')"},
    };
    for (const auto& [name, sql] : files) {
        Execute(folder_.File(name), sql.c_str());
    }
    WriteFileBytes(folder_.File("text.txt"), "job list\nJ 2026-12-07\n");
    for (const char* name : {"other.db", "jobs-only.db", "no-version.db", "two-versions.db",
                             "text-version.db", "text.txt"}) {
        const std::string path = folder_.File(name);
        const std::string before = ReadFileBytes(path);
        EXPECT_SYSTEM_ERROR(OpenArchive(path), EArchiveError, TArchiveErrc::NotAnArchive,
                            path + " is not an archive of meridax jobs");
        EXPECT_EQ(ReadFileBytes(path), before) << name;
    }
}

// A file cut short, one with pages overwritten and one with a database's first bytes alone are
// told as damaged, in SQLite's words with the ways out, and never written; an empty file is
// no archive yet.
TEST_F(SqliteArchiveTest, ADamagedArchiveIsToldAsSuchAndNeverWritten) {
    {
        const std::unique_ptr<TArchive> archive = OpenArchive(Path());
        archive->CreateJob(SampleJob("J"));
        archive->AddDownload("J", SampleDownload("A", 5000));
    }
    const std::string bytes = ReadFileBytes(Path());
    ASSERT_GT(bytes.size(), 40000u);
    std::string pages = bytes;
    std::fill(pages.end() - 16384, pages.end(), '\x55');
    const struct {
        const char* name;
        std::string content;
        const char* sqliteSays;
    } files[] = {
        {"cut.sqlite", bytes.substr(0, bytes.size() / 2), "database disk image is malformed"},
        {"pages.sqlite", pages, "*** in database main *** Page "},
        {"header.sqlite", std::string("SQLite format 3\0", 16) + std::string(4080, '\x5A'),
         "file is not a database"},
    };
    for (const auto& [name, content, sqliteSays] : files) {
        const std::string path = folder_.File(name);
        WriteFileBytes(path, content);
        const std::string message = MessageOf<EArchiveError>([&] {
            OpenArchive(path, TArchiveCreation::MustExist)->AddDownload("J", SampleDownload("B"));
        });
        EXPECT_TRUE(message.starts_with("the archive " + path + " is damaged (")) << message;
        EXPECT_NE(message.find(std::string(" is damaged (") + sqliteSays), std::string::npos)
            << message;
        EXPECT_NE(message.find("nothing is written into it"), std::string::npos) << message;
        EXPECT_NE(message.find("sqlite3 " + path + " .recover"), std::string::npos) << message;
        EXPECT_TRUE(ReadFileBytes(path) == content) << name;
    }
    WriteFileBytes(Path(), "");
    EXPECT_SYSTEM_ERROR(OpenArchive(Path(), TArchiveCreation::MustExist), EArchiveError,
                        TArchiveErrc::NoArchive,
                        "there is no archive " + Path() + ": the file is empty");
    EXPECT_EQ(SizeOf(Path()), 0u);
}

// The file alone is the archive: a large add leaves the log empty at once, and the copy holds
// every change, those still in the log included, while the archive stays open.
TEST_F(SqliteArchiveTest, TheLogIsCutBackAndTheCopyIsWhole) {
    const std::unique_ptr<TArchive> archive = OpenArchive(Path());
    archive->CreateJob(SampleJob("J"));
    archive->AddDownload("J", SampleDownload("A", 20000));
    EXPECT_EQ(SizeOf(Path() + "-wal"), 0u);
    archive->AddDownload("J", SampleDownload("B"));
    archive->SetVoid("J", 1, true, "wrong fibre");
    const std::string copyPath = folder_.File("copy.sqlite");
    archive->SaveCopy(copyPath);
    const std::vector<TDownload> kept = archive->Downloads("J");
    const std::vector<TDownload> copied =
        OpenArchive(copyPath, TArchiveCreation::MustExist)->Downloads("J");
    ASSERT_EQ(copied.size(), 2u);
    for (std::size_t at = 0; at < copied.size(); ++at) {
        EXPECT_TRUE(SameDownload(kept[at], copied[at]));
        EXPECT_EQ(copied[at].Void, kept[at].Void);
    }
    EXPECT_TRUE(copied[0].Void);
    // A copy never takes an archive's place, its own least of all.
    for (const std::string& target : {Path(), copyPath}) {
        const std::string before = ReadFileBytes(target);
        EXPECT_NE(MessageOf<EArchiveError>([&] {
                      archive->SaveCopy(target);
                  }).find("which no output may replace"),
                  std::string::npos);
        EXPECT_EQ(ReadFileBytes(target), before);
    }
}

// A disk that fills up inside an add (a file size limit stands in for it) fails the add
// cleanly and leaves no grown log behind.
TEST_F(SqliteArchiveTest, AFullDiskFailsTheAddAndLeavesNoGrownLog) {
    MakeArchive(Path());
    const rlim_t limit = SizeOf(Path()) + (256 << 10);
    TSubprocess child(
        [this, limit] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit fileSize{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
            const std::unique_ptr<TArchive> archive = OpenArchive(Path());
            try {
                archive->AddDownload("J", SampleDownload("B", 50000));
            } catch (const EArchiveError& error) {
                return error.code() == TArchiveErrc::DatabaseFailed ? 0 : 2;
            }
            return 1;
        },
        TSubprocessOptions{});
    EXPECT_EQ(child.Wait(120s), 0);
    EXPECT_EQ(SizeOf(Path() + "-wal"), 0u);
    EXPECT_EQ(OpenArchive(Path())->Downloads("J").size(), 1u);
}

// A write waits for another program's as long as it takes (SQLite's ten seconds' timeout
// gave up), telling its watch how long from the first second on; a watch that stops the wait
// fails the write, which then changed nothing.
TEST_F(SqliteArchiveTest, AWriteWaitsForAnotherProgramUntilItsWatchStopsIt) {
    MakeArchive(Path());
    TSqliteConnection other("file:" + Path(), SQLITE_OPEN_READWRITE);
    other.Execute("BEGIN IMMEDIATE");
    const std::unique_ptr<TArchive> archive = OpenArchive(Path());
    std::vector<std::chrono::milliseconds> told;
    archive->WatchWaiting([&told](std::chrono::milliseconds waited) {
        told.push_back(waited);
        return false;
    });
    EXPECT_SYSTEM_ERROR(
        archive->AddDownload("J", SampleDownload("B")), EArchiveError, TArchiveErrc::Busy,
        "another program is writing the archive " + Path() + ", and the wait for it was stopped");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_GE(told[0], 1s);
    archive->WatchWaiting([&other](std::chrono::milliseconds waited) {
        if (waited > 11s)
            other.Execute("COMMIT");
        return true;
    });
    EXPECT_EQ(archive->AddDownload("J", SampleDownload("B")).Number, 2);
    EXPECT_EQ(archive->Downloads("J").size(), 2u);
}

TEST_F(SqliteArchiveTest, AFolderThatCannotBeMadeIsNamed) {
    WriteFileBytes(folder_.File("plain"), "x");
    const std::string path = folder_.File("plain/sub/jobs.sqlite");
    const std::optional<EArchiveError> error = ThrownBy<EArchiveError>([&] { OpenArchive(path); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TArchiveErrc::DatabaseFailed);
    EXPECT_EQ(std::string(error->what()), "cannot make the folder " + folder_.File("plain/sub") +
                                              " for the archive " + path + ": Not a directory");
}

// What a user who may not write the archive does with it, as nobody when the tests run as
// root: exit code 0 when it reads everything and every write is refused.
int ReadOnlyChecks(const std::string& path) {
    const std::unique_ptr<TArchive> archive = OpenArchive(path);
    if (!archive->IsReadOnly()) {
        return 2;
    }
    const std::vector<TDownload> downloads = archive->Downloads("J");
    if (!archive->FindJob("J") || downloads.size() != 1 || downloads[0].Readings.size() != 3 ||
        archive->ListJobs().size() != 1 || archive->ChangeMark() != 2) {
        return 3;
    }
    const std::string refusal = "the archive " + path +
                                " is open for reading only: this user may not write its file or "
                                "folder";
    const std::optional<EArchiveError> add =
        ThrownBy<EArchiveError>([&] { archive->AddDownload("J", SampleDownload("B")); });
    const std::optional<EArchiveError> create =
        ThrownBy<EArchiveError>([&] { archive->CreateJob(SampleJob("K")); });
    const std::optional<EArchiveError> change =
        ThrownBy<EArchiveError>([&] { archive->SetVoid("J", 1, true, "x"); });
    for (const auto& error : {add, create, change}) {
        if (!error || error->code() != TArchiveErrc::ReadOnly || error->what() != refusal) {
            return 4;
        }
    }
    return 0;
}

struct TReadOnlyCase {
    const char* name;
    bool keepLogFiles;  // the write-ahead log and its index beside the file
    mode_t folderMode;
    mode_t fileMode;
};

class SqliteReadOnlyTest : public testing::TestWithParam<TReadOnlyCase> {};

TEST_P(SqliteReadOnlyTest, OpensForReadingAndRefusesWrites) {
    const TReadOnlyCase& c = GetParam();
    const TTempFolder top;
    const std::string folder = top.File("archive");
    const std::string path = folder + "/jobs.sqlite";
    ::mkdir(folder.c_str(), 0700);
    {
        const std::unique_ptr<TArchive> archive = OpenArchive(path);
        archive->CreateJob(SampleJob("J"));
        archive->AddDownload("J", SampleDownload("A"));
    }
    // The last writer leaves the log and its index: a reader who may not make them needs them.
    ASSERT_TRUE(fs::exists(path + "-wal") && fs::exists(path + "-shm"));
    for (const char* suffix : {"", "-wal", "-shm"}) {
        if (!c.keepLogFiles && *suffix != '\0') {
            fs::remove(path + suffix);
        } else {
            ::chmod((path + suffix).c_str(), c.fileMode);
        }
    }
    ::chmod(top.Path().c_str(), 0755);
    ::chmod(folder.c_str(), c.folderMode);
    if (const auto why = WhyNobodyCannotUse(path, R_OK)) {
        GTEST_SKIP() << *why;
    }
    TSubprocessOptions options;
    options.AsNobody = true;
    EXPECT_EQ(RunInChild(
                  [&path] {
                      try {
                          return ReadOnlyChecks(path);
                      } catch (const std::exception& error) {
                          std::fprintf(stderr, "%s\n", error.what());
                          return 5;
                      }
                  },
                  options),
              0);
    // Nothing was made or changed beside the archive.
    EXPECT_EQ(fs::exists(path + "-wal"), c.keepLogFiles);
}

const TReadOnlyCase ReadOnlyCases[] = {
    {"FolderWithLog", true, 0555, 0644},
    {"FolderWithoutLog", false, 0555, 0644},
    {"ReadOnlyFile", true, 0777, 0444},
};

INSTANTIATE_TEST_SUITE_P(Cases, SqliteReadOnlyTest, testing::ValuesIn(ReadOnlyCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace

#include "archive/SqliteArchive.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>

#include "archive/AddDownloadPause.h"
#include "archive/ArchiveLimits.h"
#include "archive/ArchiveTime.h"
#include "archive/EventArchive.h"
#include "archive/JobLogo.h"
#include "archive/SqliteEvents.h"
#include "archive/SqliteSchema.h"
#include "data/Latin1Utf8.h"
#include "data/MeasurementText.h"
#include "jobs/DownloadHash.h"
#include "sys/FileReplacement.h"
#include "sys/ProtectedFiles.h"
#include "sys/SystemText.h"

namespace fs = std::filesystem;

namespace {

// How long a new file waits for another process to let it switch to the write-ahead log.
constexpr int LogSwitchTimeoutMs = 10000;
// The log is cut back to this size whenever it starts over, and to nothing at the last close;
// an add of at least LargeAdd readings checkpoints it at once.
constexpr std::int64_t LogSizeLimit = 4 << 20;
constexpr std::size_t LargeAdd = 10000;
// Another program's write is waited for as long as it takes, unless the watch stops it.
constexpr auto FirstWaitReport = std::chrono::seconds(1);

// The path as a "file:" URI path: characters a URI gives meaning to are escaped.
std::string UriPath(const std::string& path) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string uri;
    for (const char c : fs::absolute(path).string()) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += Digits[byte >> 4];
            uri += Digits[byte & 0x0F];
        }
    }
    return uri;
}

// Makes the missing folders on the way to folder, each open to its owner only.
void MakeFolders(const fs::path& folder, const std::string& archive) {
    std::error_code ignored;
    if (folder.empty() || fs::exists(folder, ignored)) {
        return;
    }
    MakeFolders(folder.parent_path(), archive);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw EArchiveError(TArchiveErrc::DatabaseFailed,
                            "cannot make the folder " + folder.string() + " for the archive " +
                                archive + ": " + SystemErrorText(ErrnoCode()));
    }
}

bool Writable(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

// The check's findings on one line: the first few, which say enough.
std::string CheckFindings(std::string text) {
    constexpr std::size_t Shown = 200;
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text.size() > Shown ? text.substr(0, Shown) + "..." : text;
}

// SQLite's own words for the damage, and the two ways out: the jobs' last exports, or what
// SQLite can still read of the file.
EArchiveError DamagedError(const std::string& path, const std::string& sqliteText) {
    return EArchiveError(TArchiveErrc::Damaged,
                         "the archive " + path + " is damaged (" + sqliteText +
                             "); nothing is written into it. Import the jobs' last exports into "
                             "a new archive (meridax-cli job import FILE --archive NEW), or "
                             "recover what the file still holds: sqlite3 " +
                             path + " .recover | sqlite3 NEW");
}

EArchiveError Translated(const ESqliteError& error, const std::string& path) {
    switch (error.PrimaryCode()) {
        case SQLITE_READONLY:
            return EArchiveError(TArchiveErrc::ReadOnly,
                                 "the archive " + path + " may not be changed: " + error.what());
        case SQLITE_CORRUPT:
            return DamagedError(path, error.what());
        case SQLITE_BUSY:
            return EArchiveError(TArchiveErrc::Busy, "another program is writing the archive " +
                                                         path +
                                                         ", and the wait for it was stopped");
        case SQLITE_NOTADB:
            // A database's own first bytes with the rest unreadable: a damaged file.
            if (HasDatabaseHeader(path))
                return DamagedError(path, error.what());
            return EArchiveError(TArchiveErrc::NotAnArchive,
                                 path + " is not an archive of meridax jobs");
        default:
            return EArchiveError(TArchiveErrc::DatabaseFailed,
                                 "the archive " + path + " failed: " + error.what());
    }
}

}  // namespace

// BEGIN IMMEDIATE: the write lock is taken at once (waiting for it), so that the transaction
// never has to upgrade a read, which in WAL mode fails at once instead of waiting. Rolled
// back unless committed.
class TSqliteArchive::TWriteTransaction {
public:
    explicit TWriteTransaction(TSqliteConnection& connection) : connection_(connection) {
        connection_.Execute("BEGIN IMMEDIATE");
    }
    ~TWriteTransaction() noexcept {
        if (!done_) {
            sqlite3_exec(connection_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    TWriteTransaction(const TWriteTransaction&) = delete;
    TWriteTransaction& operator=(const TWriteTransaction&) = delete;

    // Every change counts up the mark that other processes poll.
    void Commit() {
        connection_.Execute("UPDATE archive_state SET change_count = change_count + 1");
        connection_.Execute("COMMIT");
        done_ = true;
    }

private:
    TSqliteConnection& connection_;
    bool done_ = false;
};

// Foreign keys unchecked for the lifetime of the object, then checked again.
class TSqliteArchive::TForeignKeysOff {
public:
    explicit TForeignKeysOff(TSqliteConnection& connection) : connection_(connection) {
        connection_.Execute("PRAGMA foreign_keys = OFF");
    }
    ~TForeignKeysOff() noexcept {
        sqlite3_exec(connection_.Handle(), "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    }
    TForeignKeysOff(const TForeignKeysOff&) = delete;
    TForeignKeysOff& operator=(const TForeignKeysOff&) = delete;

private:
    TSqliteConnection& connection_;
};

// A deferred transaction for reads that must see one state of the archive.
class TSqliteArchive::TReadTransaction {
public:
    explicit TReadTransaction(TSqliteConnection& connection) : connection_(connection) {
        connection_.Execute("BEGIN");
    }
    ~TReadTransaction() noexcept {
        sqlite3_exec(connection_.Handle(), "COMMIT", nullptr, nullptr, nullptr);
    }
    TReadTransaction(const TReadTransaction&) = delete;
    TReadTransaction& operator=(const TReadTransaction&) = delete;

private:
    TSqliteConnection& connection_;
};

TSqliteArchive::TSqliteArchive(const std::string& path) : path_(path) {
    if (path.empty()) {
        throw EArchiveError(TArchiveErrc::BadInput, "no archive file given");
    }
    protectedFile_.emplace(fs::absolute(path).string());
    Guarded([this] { Open(); });
}

void TSqliteArchive::Open() {
    const fs::path file(path_);
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    MakeFolders(file.parent_path(), path_);
    const bool exists = ::access(path_.c_str(), F_OK) == 0;
    readOnly_ = exists && (!Writable(path_) || !Writable(folder.string()));
    const std::string uri = "file:" + UriPath(path_);
    connection_ = std::make_unique<TSqliteConnection>(
        uri + (readOnly_ ? "?mode=ro" : "?mode=rwc"),
        readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_busy_handler(connection_->Handle(), &TSqliteArchive::WaitWhileBusy, this);
    connection_->Execute("PRAGMA foreign_keys = ON");
    if (readOnly_) {
        OpenForReading(uri);
        return;
    }
    // The log and its index stay when the last writer closes, so that a user who may not
    // write the folder can still read the archive; with a size limit the log is emptied then,
    // so that the file alone holds every change.
    int persist = 1;
    sqlite3_file_control(connection_->Handle(), "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    connection_->Execute(("PRAGMA journal_size_limit = " + std::to_string(LogSizeLimit)).c_str());
    const int version = ArchiveSchemaVersion(*connection_, path_);
    if (version < NewestArchiveVersion()) {
        if (version > 0)
            BackUpBeforeUpgrade(version);
        MigrateArchive(*connection_, path_, std::chrono::milliseconds(LogSwitchTimeoutMs));
    }
}

void TSqliteArchive::BackUpBeforeUpgrade(int version) {
    // A copy of the file as this version left it, beside it, under a name no other file has.
    // Another program opening the archive at the same moment may take a name first.
    const std::string base = path_ + ".version-" + std::to_string(version);
    std::string copy = base;
    for (int other = 2;; ++other) {
        if (::access(copy.c_str(), F_OK) != 0) {
            try {
                TSqliteStatement vacuum(*connection_, "VACUUM INTO ?");
                vacuum.Bind(1, copy).Run();
                break;
            } catch (const ESqliteError&) {
                if (::access(copy.c_str(), F_OK) != 0 || other > 20)
                    throw;
            }
        }
        copy = base + "-" + std::to_string(other);
    }
    openNotice_ = "upgraded the archive " + path_ + " to version " +
                  std::to_string(NewestArchiveVersion()) + "; its copy from before is " + copy;
}

int TSqliteArchive::WaitWhileBusy(void* archive, int count) noexcept {
    auto& self = *static_cast<TSqliteArchive*>(archive);
    if (self.trimming_)
        return 0;
    const auto now = std::chrono::steady_clock::now();
    if (count == 0)
        self.waitStart_ = now;
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - self.waitStart_);
    if (waited >= FirstWaitReport && self.waitWatch_) {
        try {
            if (!self.waitWatch_(waited))
                return 0;
        } catch (...) {
            return 0;
        }
    }
    // Short sleeps at first, as SQLite's own timeout takes them, then a tenth of a second.
    sqlite3_sleep(count < 10 ? 1 << (count / 2) : 100);
    return 1;
}

void TSqliteArchive::TrimLog() noexcept {
    // A checkpoint that gives way to any other reader or writer at once: the write is done,
    // and what stays in the log is cut back the next time it starts over.
    trimming_ = true;
    sqlite3_wal_checkpoint_v2(connection_->Handle(), "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                              nullptr);
    trimming_ = false;
}

void TSqliteArchive::OpenForReading(const std::string& uri) {
    int version = 0;
    try {
        version = ArchiveSchemaVersion(*connection_, path_);
    } catch (const ESqliteError& error) {
        // A reader that may not make the log's index beside a file whose log is gone (the
        // last writer removed it, or the file was copied) can only read the file as it is,
        // which then holds every committed change.
        const bool cannotIndex =
            error.PrimaryCode() == SQLITE_CANTOPEN || error.PrimaryCode() == SQLITE_READONLY;
        if (!cannotIndex || ::access((path_ + "-wal").c_str(), F_OK) == 0) {
            throw;
        }
        connection_ =
            std::make_unique<TSqliteConnection>(uri + "?mode=ro&immutable=1", SQLITE_OPEN_READONLY);
        version = ArchiveSchemaVersion(*connection_, path_);
    }
    if (version == 0) {
        throw EArchiveError(TArchiveErrc::NotAnArchive,
                            path_ + " is not an archive of meridax jobs");
    }
    if (version < NewestArchiveVersion()) {
        throw EArchiveError(
            TArchiveErrc::ReadOnly,
            "the archive " + path_ +
                " needs to be brought up to date, which needs the right to write it");
    }
}

template <class F>
auto TSqliteArchive::Guarded(F&& action) -> decltype(action()) {
    try {
        return action();
    } catch (const ESqliteError& error) {
        EArchiveError translated = Translated(error, path_);
        if (translated.code() == TArchiveErrc::Damaged)
            damage_ = translated.what();
        throw translated;
    }
}

void TSqliteArchive::RequireWritable() {
    if (readOnly_) {
        throw EArchiveError(TArchiveErrc::ReadOnly,
                            "the archive " + path_ +
                                " is open for reading only: this user may not write its file "
                                "or folder");
    }
    // A write into a file with damaged pages would spread the damage: the file is checked
    // before the first write, outside the write lock, and never written once it failed.
    if (!checked_ && damage_.empty()) {
        try {
            Guarded([this] {
                TSqliteStatement check(*connection_, "PRAGMA quick_check");
                if (check.Step() && check.TextView(0) != "ok")
                    throw ESqliteError(SQLITE_CORRUPT, CheckFindings(check.Text(0)));
            });
        } catch (const EArchiveError& error) {
            if (error.code() != TArchiveErrc::Damaged)
                throw;
        }
        checked_ = damage_.empty();
    }
    if (!damage_.empty())
        throw EArchiveError(TArchiveErrc::Damaged, damage_);
}

std::optional<std::int64_t> TSqliteArchive::FindJobId(const std::string& name) {
    TSqliteStatement query(*connection_, "SELECT id FROM jobs WHERE name = ?");
    if (!query.Bind(1, name).Step())
        return std::nullopt;
    return query.Int(0);
}

TJobView TSqliteArchive::ReadView(std::int64_t jobId) {
    TJobView view;
    view.Events = ReadSqliteEvents(*connection_, jobId, nullptr);
    TSqliteStatement rows(*connection_,
                          "SELECT number, records_sha256, text_sha256, readings FROM downloads "
                          "WHERE job_id = ? ORDER BY number");
    rows.Bind(1, jobId);
    while (rows.Step()) {
        view.Downloads.push_back({rows.Int(0), rows.Text(1), rows.Text(2), rows.Int(3)});
    }
    TSqliteStatement origin(*connection_, "SELECT origin FROM archive_state");
    origin.Step();
    view.Origin = origin.Text(0);
    view.Now = ArchiveTimeNow();
    return view;
}

std::vector<TJobListing> TSqliteArchive::ListJobs() {
    return Guarded([this] {
        TReadTransaction transaction(*connection_);
        TSqliteStatement query(*connection_,
                               "SELECT j.id, j.name, (SELECT count(*) FROM downloads d WHERE "
                               "d.job_id = j.id), (SELECT coalesce(max(wall_time), '') FROM "
                               "events e WHERE e.job_id = j.id AND e.field = 'added') FROM jobs j "
                               "ORDER BY j.id");
        std::vector<TJobListing> jobs;
        while (query.Step()) {
            jobs.push_back({query.Text(1), ReadSqliteEvents(*connection_, query.Int(0), JobTarget),
                            query.Int(2), query.Text(3)});
        }
        return jobs;
    });
}

std::optional<TJobView> TSqliteArchive::ReadJob(const std::string& name) {
    return Guarded([&]() -> std::optional<TJobView> {
        TReadTransaction transaction(*connection_);
        const std::optional<std::int64_t> jobId = FindJobId(name);
        if (!jobId)
            return std::nullopt;
        return ReadView(*jobId);
    });
}

std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
TSqliteArchive::ReadJobWithReadings(const std::string& name) {
    return Guarded(
        [&]() -> std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>> {
            // One read transaction, so that the downloads and their readings agree.
            TReadTransaction transaction(*connection_);
            const std::optional<std::int64_t> jobId = FindJobId(name);
            if (!jobId)
                return std::nullopt;
            TJobView view = ReadView(*jobId);
            std::vector<std::vector<TStoredReading>> readings;
            for (const TDownloadRow& row : view.Downloads)
                readings.push_back(ReadReadings(*jobId, row.Number));
            return std::pair(std::move(view), std::move(readings));
        });
}

std::vector<TStoredReading> TSqliteArchive::ReadRecords(const std::string& name,
                                                        std::int64_t number) {
    return Guarded([&]() -> std::vector<TStoredReading> {
        TReadTransaction transaction(*connection_);
        const std::optional<std::int64_t> jobId = FindJobId(name);
        return jobId ? ReadReadings(*jobId, number) : std::vector<TStoredReading>{};
    });
}

std::int64_t TSqliteArchive::InsertRecords(std::int64_t jobId, const TNewRecords& records) {
    TSqliteStatement insert(*connection_,
                            "INSERT INTO downloads(job_id, number, records_sha256, text_sha256, "
                            "readings) SELECT ?1, coalesce(max(number), 0) + 1, ?2, ?3, ?4 "
                            "FROM downloads WHERE job_id = ?1 RETURNING id, number");
    insert.Bind(1, jobId).Bind(2, records.RecordsSha256).Bind(3, records.TextSha256);
    insert.Bind(4, static_cast<std::int64_t>(records.Readings->size()));
    insert.Step();
    const std::int64_t downloadId = insert.Int(0);
    const std::int64_t number = insert.Int(1);
    insert.Run();
    InsertReadings(downloadId, *records.Readings);
    return number;
}

TWriteOutcome TSqliteArchive::WriteJob(const std::string& name, TJobPresence presence,
                                       const std::function<TJobWrite(const TJobView&)>& decide) {
    RequireWritable();
    // A large add, or one that failed (a full disk), leaves no grown log behind.
    struct TLogTrim {
        TSqliteArchive& archive;
        bool large = false;
        bool done = false;
        ~TLogTrim() {
            if (large || !done)
                archive.TrimLog();
        }
    } trim{*this};
    TWriteOutcome outcome = Guarded([&] {
        // The keys to the job and to the download hold by construction: both are read or made
        // in the write's own transaction. SQLite's check of each reading's key took a tenth of
        // a large add; it can only be switched outside a transaction.
        const TForeignKeysOff keysOff(*connection_);
        TWriteTransaction transaction(*connection_);
        std::optional<std::int64_t> jobId = FindJobId(name);
        if (jobId && presence == TJobPresence::MustBeNew) {
            throw EArchiveError(TArchiveErrc::JobExists,
                                "the archive " + path_ + " already holds a job " + name);
        }
        if (!jobId && presence == TJobPresence::MustExist) {
            throw EArchiveError(TArchiveErrc::NoSuchJob,
                                "there is no job " + name + " in the archive " + path_);
        }
        const bool made = !jobId;
        if (made) {
            TSqliteStatement insert(*connection_, "INSERT INTO jobs(name) VALUES (?)");
            insert.Bind(1, name).Run();
            jobId = connection_->LastRowId();
        }
        const TJobView view = ReadView(*jobId);
        const TJobWrite write = decide(view);
        TWriteOutcome result;
        result.EventsAdded = InsertSqliteEvents(*connection_, *jobId, write.Events);
        if (write.Records) {
            for (const TDownloadRow& row : view.Downloads) {
                if (row.RecordsSha256 == write.Records->RecordsSha256)
                    result.Number = row.Number;
            }
            if (result.Number == 0) {
                trim.large = write.Records->Readings->size() >= LargeAdd;
                result.Number = InsertRecords(*jobId, *write.Records);
                result.RecordsAdded = true;
                PauseInsideAddDownload();
            }
        }
        if (made || result.RecordsAdded || result.EventsAdded > 0)
            transaction.Commit();
        return result;
    });
    trim.done = true;
    return outcome;
}

namespace {

// Rows of readings one insert statement takes: SQLite runs a statement's rows with the table
// open, so the next key is appended to the leaf it is on instead of sought from the root, and
// the calls per row are fewer.
constexpr std::size_t ReadingsPerInsert = 64;
constexpr int ReadingColumns = 9;

std::string ReadingsInsertSql(std::size_t rows) {
    std::string sql =
        "INSERT INTO readings(download_id, seq, cable, fiber, wavelength, value, "
        "reference, is_relative, direction) VALUES ";
    for (std::size_t row = 0; row < rows; ++row)
        sql += row == 0 ? "(?,?,?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?,?,?)";
    return sql;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The UTF-8 form of a Latin-1 name, bound without a copy: ASCII (nearly every name) is its
// own UTF-8, anything else is converted into store, which must outlive the step.
std::string_view Utf8View(const std::string& latin1, std::string& store) {
    if (IsAscii(latin1))
        return latin1;
    store = Latin1ToUtf8(latin1);
    return store;
}

}  // namespace

void TSqliteArchive::InsertReadings(std::int64_t downloadId,
                                    const std::vector<TStoredReading>& readings) {
    TSqliteStatement full(*connection_, ReadingsInsertSql(ReadingsPerInsert));
    std::vector<std::string> names(2 * ReadingsPerInsert);
    std::int64_t seq = 0;
    for (std::size_t first = 0; first < readings.size(); first += ReadingsPerInsert) {
        const std::size_t rows = std::min(ReadingsPerInsert, readings.size() - first);
        std::optional<TSqliteStatement> rest;
        if (rows < ReadingsPerInsert)
            rest.emplace(*connection_, ReadingsInsertSql(rows));
        TSqliteStatement& insert = rest ? *rest : full;
        for (std::size_t row = 0; row < rows; ++row) {
            const TStoredReading& reading = readings[first + row];
            const TMeranie& record = reading.Record;
            const int at = static_cast<int>(row) * ReadingColumns;
            insert.Bind(at + 1, downloadId).Bind(at + 2, ++seq);
            insert.BindTextStatic(at + 3, Utf8View(record.Cable, names[2 * row]));
            insert.BindTextStatic(at + 4, Utf8View(record.Fiber, names[2 * row + 1]));
            insert.Bind(at + 5, record.WaveLength).Bind(at + 6, record.Value);
            insert.Bind(at + 7, record.Reference);
            insert.Bind(at + 8, std::int64_t{record.IsRelative ? 1 : 0});
            insert.BindTextStatic(at + 9, DirectionName(reading.Direction));
        }
        insert.Run();
    }
}
std::vector<TStoredReading> TSqliteArchive::ReadReadings(std::int64_t jobId, std::int64_t number) {
    TSqliteStatement query(*connection_,
                           "SELECT r.cable, r.fiber, r.wavelength, r.value, r.reference, "
                           "r.is_relative, r.direction FROM readings r JOIN downloads d ON "
                           "d.id = r.download_id WHERE d.job_id = ? AND d.number = ? "
                           "ORDER BY r.seq");
    query.Bind(1, jobId).Bind(2, number);
    std::vector<TStoredReading> readings;
    while (query.Step()) {
        std::optional<std::string> cable = Utf8ToLatin1(query.TextView(0));
        std::optional<std::string> fiber = Utf8ToLatin1(query.TextView(1));
        if (!cable || !fiber) {
            throw EArchiveError(
                TArchiveErrc::DatabaseFailed,
                "the archive " + path_ + " holds a cable or fibre name in download " +
                    std::to_string(number) + " that the meter's character set cannot hold");
        }
        TStoredReading& reading = readings.emplace_back();
        reading.Record = {std::move(*cable), std::move(*fiber), query.Real(2),
                          query.Real(3),     query.Real(4),     query.Int(5) != 0};
        reading.Direction = FindDirection(query.TextView(6)).value_or(TDirection::None);
    }
    return readings;
}

std::int64_t TSqliteArchive::ChangeMark() {
    return Guarded([this] {
        TSqliteStatement query(*connection_, "SELECT change_count FROM archive_state");
        query.Step();
        return query.Int(0);
    });
}

void TSqliteArchive::WriteCopy(const std::string& writePath) {
    TSqliteConnection copy("file:" + UriPath(writePath) + "?mode=rw", SQLITE_OPEN_READWRITE);
    const std::unique_ptr<sqlite3_backup, int (*)(sqlite3_backup*)> backup(
        sqlite3_backup_init(copy.Handle(), "main", connection_->Handle(), "main"),
        &sqlite3_backup_finish);
    if (!backup)
        copy.Fail(sqlite3_extended_errcode(copy.Handle()));
    // In one step: the copy is of one moment, the source read in one read transaction.
    const int code = sqlite3_backup_step(backup.get(), -1);
    if (code != SQLITE_DONE)
        throw ESqliteError(code, sqlite3_errstr(code));
}

void TSqliteArchive::SaveCopy(const std::string& path) {
    TReplaceHooks hooks;
    hooks.fail = [this](const std::error_code& code, TReplaceFailure, const std::string& target) {
        throw EArchiveError(TArchiveErrc::BadInput, "cannot write the copy of the archive " +
                                                        path_ + " to " + target + ": " +
                                                        SystemErrorText(code));
    };
    hooks.syncBeforeRename = true;
    ReplaceFileSafely(
        path,
        [this](const std::string& writePath, const std::string& target) {
            if (writePath == target) {
                throw EArchiveError(TArchiveErrc::BadInput,
                                    "the copy of the archive " + path_ +
                                        " goes to a file of its own, not to " + target);
            }
            Guarded([&] { WriteCopy(writePath); });
        },
        hooks);
}

std::unique_ptr<TArchive> OpenSqliteArchive(const std::string& path) {
    return std::make_unique<TEventArchive>(std::make_unique<TSqliteArchive>(path));
}

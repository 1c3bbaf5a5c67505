#include "archive/SqliteSchema.h"

#include <sqlite3.h>

#include <chrono>
#include <iterator>
#include <thread>

#include "archive/JobStore.h"
#include "archive/SqliteUpgrade.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/JobEvent.h"
#include "sys/ProtectedFiles.h"

namespace {

// Each version's changes, in order; an archive of version N gets those after N. The numbers
// of a reading have no declared type: a REAL column stores -0.0 as the integer 0, and the
// archive keeps every number bit for bit.
const TSqliteMigration SqliteMigrations[] = {
    {1, R"sql(
CREATE TABLE schema_version(version INTEGER NOT NULL);
CREATE TABLE archive_state(change_count BIGINT NOT NULL);
INSERT INTO archive_state(change_count) VALUES (0);
CREATE TABLE jobs(
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE,
    customer TEXT NOT NULL,
    site TEXT NOT NULL,
    contractor TEXT NOT NULL,
    notes TEXT NOT NULL,
    created_at TEXT NOT NULL,
    logo BLOB NULL,
    logo_type TEXT NOT NULL DEFAULT '');
CREATE TABLE job_budgets(
    job_id INTEGER NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
    seq INTEGER NOT NULL,
    json TEXT NOT NULL,
    set_at TEXT NOT NULL,
    PRIMARY KEY(job_id, seq));
CREATE TABLE expected_fibres(
    job_id INTEGER NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
    cable TEXT NOT NULL,
    fibres INTEGER NOT NULL,
    PRIMARY KEY(job_id, cable));
CREATE TABLE downloads(
    id INTEGER PRIMARY KEY,
    job_id INTEGER NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
    number INTEGER NOT NULL,
    meter TEXT NOT NULL,
    source TEXT NOT NULL,
    operator TEXT NOT NULL,
    test_date TEXT NOT NULL,
    direction TEXT NOT NULL DEFAULT '',
    added_at TEXT NOT NULL,
    void INTEGER NOT NULL DEFAULT 0,
    void_reason TEXT NOT NULL DEFAULT '',
    sha256 TEXT NOT NULL,
    UNIQUE(job_id, number),
    UNIQUE(job_id, sha256));
CREATE TABLE readings(
    download_id INTEGER NOT NULL REFERENCES downloads(id) ON DELETE CASCADE,
    seq INTEGER NOT NULL,
    cable TEXT NOT NULL,
    fiber TEXT NOT NULL,
    wavelength,
    value,
    reference,
    is_relative INTEGER NOT NULL,
    direction TEXT NOT NULL DEFAULT '',
    PRIMARY KEY(download_id, seq)) WITHOUT ROWID;
)sql"},
    // Downloads known by their records, decisions kept as events: UpgradeSqliteArchive.
    {2, nullptr},
};

[[noreturn]] void ThrowNotAnArchive(const std::string& path) {
    throw EArchiveError(TArchiveErrc::NotAnArchive, path + " is not an archive of meridax jobs");
}

bool HasTable(TSqliteConnection& connection, const char* name) {
    TSqliteStatement query(connection,
                           "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    query.Bind(1, std::string_view(name));
    return query.Step();
}

}  // namespace

int NewestArchiveVersion() {
    return std::prev(std::end(SqliteMigrations))->Version;
}

int ArchiveSchemaVersion(TSqliteConnection& connection, const std::string& path) {
    try {
        TSqliteStatement tables(connection, "SELECT count(*) FROM sqlite_master");
        tables.Step();
        if (tables.Int(0) == 0) {
            return 0;
        }
        if (!HasTable(connection, "schema_version") || !HasTable(connection, "archive_state")) {
            ThrowNotAnArchive(path);
        }
        // Read strictly: a version stored as a text ('1abc') or a fraction is no version.
        TSqliteStatement version(connection,
                                 "SELECT max(version), count(*), typeof(max(version)) "
                                 "FROM schema_version");
        if (!version.Step() || version.IsNull(0) || version.Int(1) != 1 ||
            version.TextView(2) != "integer" || version.Int(0) < 1) {
            ThrowNotAnArchive(path);
        }
        const std::int64_t found = version.Int(0);
        if (found > NewestArchiveVersion()) {
            throw EArchiveError(TArchiveErrc::NewerSchema,
                                path + " was made by a newer version of meridax (archive version " +
                                    std::to_string(found) + ", this program reads " +
                                    std::to_string(NewestArchiveVersion()) + ")");
        }
        return static_cast<int>(found);
    } catch (const ESqliteError& error) {
        // A file that begins as a database does but cannot be read is a damaged one, which
        // the caller tells as such.
        if (error.PrimaryCode() == SQLITE_NOTADB && !HasDatabaseHeader(path)) {
            ThrowNotAnArchive(path);
        }
        throw;
    }
}

namespace {

// Switching a file to the write-ahead log needs the file to itself, and SQLite answers "database
// is locked" at once, without its busy handler, while another connection reads it (another
// process opening the same new archive): tried again until busyTimeout has passed.
void SwitchToWriteAheadLog(TSqliteConnection& connection, std::chrono::milliseconds busyTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + busyTimeout;
    for (;;) {
        try {
            connection.Execute("PRAGMA journal_mode = WAL");
            return;
        } catch (const ESqliteError& error) {
            if (error.PrimaryCode() != SQLITE_BUSY ||
                std::chrono::steady_clock::now() >= deadline) {
                throw;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

void MigrateArchive(TSqliteConnection& connection, const std::string& path,
                    std::chrono::milliseconds busyTimeout) {
    if (ArchiveSchemaVersion(connection, path) == 0) {
        // Kept in the file: every later connection uses the write-ahead log.
        SwitchToWriteAheadLog(connection, busyTimeout);
    }
    // Tables are dropped and made anew: their keys are checked by the upgrade's own reading
    // back, not by a cascade of each drop (switched only outside a transaction).
    connection.Execute("PRAGMA foreign_keys = OFF");
    connection.Execute("BEGIN IMMEDIATE");
    try {
        const int from = ArchiveSchemaVersion(connection, path);
        for (const TSqliteMigration& migration : SqliteMigrations) {
            if (migration.Version > from && migration.Sql != nullptr) {
                connection.Execute(migration.Sql);
            } else if (migration.Version > from) {
                UpgradeSqliteArchive(connection, path, NewArchiveOrigin());
            }
        }
        if (from < NewestArchiveVersion()) {
            connection.Execute("DELETE FROM schema_version");
            TSqliteStatement version(connection, "INSERT INTO schema_version(version) VALUES (?)");
            version.Bind(1, static_cast<std::int64_t>(NewestArchiveVersion())).Run();
        }
        connection.Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(connection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_exec(connection.Handle(), "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        throw;
    }
    connection.Execute("PRAGMA foreign_keys = ON");
}

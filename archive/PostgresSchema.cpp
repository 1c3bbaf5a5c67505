#include "archive/PostgresSchema.h"

#include <pqxx/transaction>

#include <vector>

#include "archive/JobStore.h"
#include "archive/PostgresUpgrade.h"
#include "jobs/ArchiveErrors.h"

namespace {
// Migration i brings an archive of version i to version i + 1; the first makes the tables.
const std::vector<std::vector<const char*>>& PostgresMigrations() {
    static const std::vector<std::vector<const char*>> migrations = {{
        "CREATE TABLE schema_version(version INTEGER NOT NULL)",
        "CREATE TABLE archive_state(change_count BIGINT NOT NULL)",
        "INSERT INTO archive_state(change_count) VALUES (0)",
        "CREATE TABLE jobs(id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
        " name TEXT NOT NULL UNIQUE, customer TEXT NOT NULL, site TEXT NOT NULL,"
        " contractor TEXT NOT NULL, notes TEXT NOT NULL, created_at TEXT NOT NULL,"
        " logo BYTEA NULL, logo_type TEXT NOT NULL DEFAULT '')",
        "CREATE TABLE job_budgets(job_id BIGINT NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,"
        " seq INTEGER NOT NULL, json TEXT NOT NULL, set_at TEXT NOT NULL,"
        " PRIMARY KEY(job_id, seq))",
        "CREATE TABLE expected_fibres(job_id BIGINT NOT NULL REFERENCES jobs(id)"
        " ON DELETE CASCADE, cable TEXT NOT NULL, fibres INTEGER NOT NULL,"
        " PRIMARY KEY(job_id, cable))",
        "CREATE TABLE downloads(id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
        " job_id BIGINT NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,"
        " number INTEGER NOT NULL, meter TEXT NOT NULL, source TEXT NOT NULL,"
        " operator TEXT NOT NULL, test_date TEXT NOT NULL, direction TEXT NOT NULL DEFAULT '',"
        " added_at TEXT NOT NULL, void BOOLEAN NOT NULL DEFAULT false,"
        " void_reason TEXT NOT NULL DEFAULT '', sha256 TEXT NOT NULL,"
        " UNIQUE(job_id, number), UNIQUE(job_id, sha256))",
        "CREATE TABLE readings(download_id BIGINT NOT NULL REFERENCES downloads(id)"
        " ON DELETE CASCADE, seq INTEGER NOT NULL, cable TEXT NOT NULL, fiber TEXT NOT NULL,"
        " wavelength DOUBLE PRECISION NOT NULL, value DOUBLE PRECISION NOT NULL,"
        " reference DOUBLE PRECISION NOT NULL, is_relative BOOLEAN NOT NULL,"
        " direction TEXT NOT NULL DEFAULT '', PRIMARY KEY(download_id, seq))",
        "INSERT INTO schema_version(version) VALUES (0)",
    }};
    // The second version (downloads known by their records, decisions as events) is made by
    // UpgradePostgresArchive.
    return migrations;
}

// The archive's version; 0 for an empty database. Throws NotAnArchive.
int StoredVersion(pqxx::work& tx, const std::string& shown) {
    const pqxx::result tables = tx.exec_params(
        "SELECT count(*), count(*) FILTER (WHERE tablename = 'schema_version')"
        " FROM pg_catalog.pg_tables WHERE schemaname = current_schema()");
    const auto tableCount = tables[0][0].as<std::int64_t>();
    if (tables[0][1].as<std::int64_t>() == 0) {
        if (tableCount != 0) {
            throw EArchiveError(TArchiveErrc::NotAnArchive,
                                shown +
                                    " is not an archive of jobs: the database holds other "
                                    "tables and no schema_version");
        }
        return 0;
    }
    const pqxx::result version = tx.exec_params("SELECT max(version) FROM schema_version");
    if (version[0][0].is_null()) {
        throw EArchiveError(TArchiveErrc::NotAnArchive,
                            shown + " is not an archive of jobs: its schema_version is empty");
    }
    return version[0][0].as<int>();
}
}  // namespace

void PreparePostgresSchema(pqxx::connection_base& connection, const std::string& shown,
                           bool upgrade,
                           const std::function<void(std::size_t, std::size_t)>& progress) {
    pqxx::work tx(connection);
    // Two programs opening an empty database at once must not both make the tables.
    tx.exec_params("SELECT pg_advisory_xact_lock(7308041296)");
    const int version = StoredVersion(tx, shown);
    if (version > PostgresSchemaVersion) {
        throw EArchiveError(TArchiveErrc::NewerSchema,
                            shown + " was made by a newer version of meridax (archive version " +
                                std::to_string(version) + ", this program reads " +
                                std::to_string(PostgresSchemaVersion) + ")");
    }
    if (version > 0 && version < PostgresSchemaVersion && !upgrade) {
        throw EArchiveError(TArchiveErrc::NeedsUpgrade,
                            "the archive " + shown + " is of version " + std::to_string(version) +
                                " and this program reads version " +
                                std::to_string(PostgresSchemaVersion) +
                                ": its team upgrades it once, after a pg_dump of it, with "
                                "meridax-cli archive upgrade --archive URI");
    }
    const auto& migrations = PostgresMigrations();
    for (int step = version; step < 1; ++step) {
        for (const char* statement : migrations[static_cast<std::size_t>(step)]) {
            tx.exec(statement);
        }
        tx.exec_params("UPDATE schema_version SET version = $1", step + 1);
    }
    if (version < PostgresSchemaVersion) {
        UpgradePostgresArchive(tx, shown, NewArchiveOrigin(), progress);
        tx.exec_params("UPDATE schema_version SET version = $1", PostgresSchemaVersion);
    }
    tx.commit();
}

#include "archive/PostgresUpgrade.h"

#include <pqxx/binarystring>
#include <pqxx/result>

#include "archive/PostgresEvents.h"
#include "archive/PostgresReadings.h"
#include "archive/UpgradeCheck.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/JobState.h"
#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"

namespace {

std::string FieldBytes(const pqxx::field& field) {
    return field.is_null() ? std::string() : pqxx::binarystring(field).str();
}

TJob FirstVersionJob(pqxx::transaction_base& tx, std::int64_t jobId) {
    const pqxx::row row = tx.exec_params1(
        "SELECT name, customer, site, contractor, notes, created_at, logo, logo_type FROM jobs"
        " WHERE id = $1",
        jobId);
    TJob job{row[0].as<std::string>(),
             row[1].as<std::string>(),
             row[2].as<std::string>(),
             row[3].as<std::string>(),
             row[4].as<std::string>(),
             row[5].as<std::string>(),
             {},
             FieldBytes(row[6]),
             row[7].as<std::string>(),
             {}};
    for (const pqxx::row& budget : tx.exec_params(
             "SELECT json, set_at FROM job_budgets WHERE job_id = $1 ORDER BY seq", jobId))
        job.Budgets.push_back({budget[0].as<std::string>(), budget[1].as<std::string>()});
    for (const pqxx::row& cable :
         tx.exec_params("SELECT cable, fibres FROM expected_fibres WHERE job_id = $1", jobId))
        job.ExpectedFibres[cable[0].as<std::string>()] = cable[1].as<int>();
    return job;
}

// The job's downloads with their readings, each with its id.
std::vector<std::pair<std::int64_t, TDownload>> FirstVersionDownloads(pqxx::transaction_base& tx,
                                                                      std::int64_t jobId) {
    std::vector<std::pair<std::int64_t, TDownload>> downloads;
    for (const pqxx::row& row : tx.exec_params(
             "SELECT id, number, meter, source, operator, test_date, direction, added_at, void,"
             " void_reason, text_sha256 FROM downloads WHERE job_id = $1 ORDER BY number",
             jobId)) {
        TDownload download;
        download.Number = row[1].as<std::int64_t>();
        download.Meter = row[2].as<std::string>();
        download.Source = row[3].as<std::string>();
        download.Operator = row[4].as<std::string>();
        download.TestDate = row[5].as<std::string>();
        download.Direction = FindDirection(row[6].as<std::string>()).value_or(TDirection::None);
        download.AddedAt = row[7].as<std::string>();
        download.Void = row[8].as<bool>();
        download.VoidReason = row[9].as<std::string>();
        download.Sha256 = row[10].as<std::string>();
        download.Readings = ReadReadings(tx, row[0].as<std::int64_t>());
        downloads.emplace_back(row[0].as<std::int64_t>(), std::move(download));
    }
    return downloads;
}

void UpgradeJob(pqxx::transaction_base& tx, const std::string& shown, std::int64_t jobId) {
    const TJob job = FirstVersionJob(tx, jobId);
    std::vector<TDownload> downloads;
    for (auto& [downloadId, download] : FirstVersionDownloads(tx, jobId)) {
        tx.exec_params("UPDATE downloads SET records_sha256 = $2, readings = $3 WHERE id = $1",
                       downloadId, RecordsSha256(OwnDirections(download)),
                       static_cast<std::int64_t>(download.Readings.size()));
        downloads.push_back(std::move(download));
    }
    InsertPostgresEvents(tx, jobId, Version1Events(job, downloads));
    const std::vector<std::string> differences = UpgradeDifferences(
        job, downloads, DeriveJobState(job.Name, ReadPostgresEvents(tx, jobId, false)));
    if (!differences.empty())
        throw EArchiveError(TArchiveErrc::DatabaseFailed,
                            UpgradeRefusal(shown, job.Name, differences));
}

const char* const BeforeJobs[] = {
    "CREATE TABLE events(job_id BIGINT NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,"
    " id TEXT NOT NULL, origin TEXT NOT NULL, author TEXT NOT NULL, wall_time TEXT NOT NULL,"
    " clock BIGINT NOT NULL, target TEXT NOT NULL, field TEXT NOT NULL, value TEXT NOT NULL,"
    " pred TEXT NOT NULL, PRIMARY KEY(job_id, id))",
    "ALTER TABLE downloads RENAME COLUMN sha256 TO text_sha256",
    "ALTER TABLE downloads DROP CONSTRAINT downloads_job_id_sha256_key",
    "ALTER TABLE downloads ADD COLUMN records_sha256 TEXT, ADD COLUMN readings BIGINT",
};

// Readings keep a direction of their own only where it differs from their download's.
const char* const AfterJobs[] = {
    "UPDATE readings r SET direction = '' FROM downloads d"
    " WHERE d.id = r.download_id AND r.direction = d.direction",
    "ALTER TABLE downloads DROP COLUMN meter, DROP COLUMN source, DROP COLUMN operator,"
    " DROP COLUMN test_date, DROP COLUMN direction, DROP COLUMN added_at, DROP COLUMN void,"
    " DROP COLUMN void_reason, ALTER COLUMN records_sha256 SET NOT NULL,"
    " ALTER COLUMN readings SET NOT NULL, ADD UNIQUE(job_id, records_sha256)",
    "CREATE INDEX downloads_text ON downloads(job_id, text_sha256)",
    "DROP TABLE job_budgets",
    "DROP TABLE expected_fibres",
    "ALTER TABLE jobs DROP COLUMN customer, DROP COLUMN site, DROP COLUMN contractor,"
    " DROP COLUMN notes, DROP COLUMN created_at, DROP COLUMN logo, DROP COLUMN logo_type",
    "ALTER TABLE archive_state ADD COLUMN origin TEXT NOT NULL DEFAULT ''",
};

}  // namespace

void UpgradePostgresArchive(pqxx::transaction_base& tx, const std::string& shown,
                            const std::string& origin,
                            const std::function<void(std::size_t, std::size_t)>& progress) {
    for (const char* statement : BeforeJobs)
        tx.exec(statement);
    const pqxx::result jobs = tx.exec("SELECT id FROM jobs ORDER BY id");
    for (std::size_t done = 0; done < jobs.size(); ++done) {
        UpgradeJob(tx, shown,
                   jobs[static_cast<pqxx::result::size_type>(done)][0].as<std::int64_t>());
        if (progress)
            progress(done + 1, jobs.size());
    }
    for (const char* statement : AfterJobs)
        tx.exec(statement);
    tx.exec_params("UPDATE archive_state SET origin = $1", origin);
}

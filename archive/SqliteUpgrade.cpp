#include "archive/SqliteUpgrade.h"

#include <map>

#include "archive/SqliteEvents.h"
#include "archive/UpgradeCheck.h"
#include "data/Latin1Utf8.h"
#include "jobs/JobState.h"
#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"

namespace {

// A job of the first version as its tables hold it.
struct TFirstVersionJob {
    std::int64_t Id = 0;
    TJob Job;
    std::vector<TDownload> Downloads;
    std::vector<std::int64_t> DownloadIds;
};

std::vector<TFirstVersionJob> ReadFirstVersionJobs(TSqliteConnection& connection) {
    std::vector<TFirstVersionJob> jobs;
    TSqliteStatement query(connection,
                           "SELECT id, name, customer, site, contractor, notes, created_at, logo, "
                           "logo_type FROM jobs ORDER BY id");
    while (query.Step()) {
        TFirstVersionJob& job = jobs.emplace_back();
        job.Id = query.Int(0);
        job.Job = {query.Text(1),
                   query.Text(2),
                   query.Text(3),
                   query.Text(4),
                   query.Text(5),
                   query.Text(6),
                   {},
                   query.Blob(7),
                   query.Text(8),
                   {}};
    }
    for (TFirstVersionJob& job : jobs) {
        TSqliteStatement budgets(
            connection, "SELECT json, set_at FROM job_budgets WHERE job_id = ? ORDER BY seq");
        budgets.Bind(1, job.Id);
        while (budgets.Step())
            job.Job.Budgets.push_back({budgets.Text(0), budgets.Text(1)});
        TSqliteStatement fibres(connection,
                                "SELECT cable, fibres FROM expected_fibres WHERE job_id = ?");
        fibres.Bind(1, job.Id);
        while (fibres.Step())
            job.Job.ExpectedFibres[fibres.Text(0)] = static_cast<int>(fibres.Int(1));
    }
    return jobs;
}

void ReadFirstVersionReadings(TSqliteConnection& connection, std::int64_t downloadId,
                              TDownload& download) {
    TSqliteStatement query(connection,
                           "SELECT cable, fiber, wavelength, value, reference, is_relative, "
                           "direction FROM readings WHERE download_id = ? ORDER BY seq");
    query.Bind(1, downloadId);
    while (query.Step()) {
        TStoredReading& reading = download.Readings.emplace_back();
        reading.Record = {Utf8ToLatin1(query.TextView(0)).value_or(query.Text(0)),
                          Utf8ToLatin1(query.TextView(1)).value_or(query.Text(1)),
                          query.Real(2),
                          query.Real(3),
                          query.Real(4),
                          query.Int(5) != 0};
        reading.Direction = FindDirection(query.TextView(6)).value_or(TDirection::None);
    }
}

void ReadFirstVersionDownloads(TSqliteConnection& connection, TFirstVersionJob& job) {
    TSqliteStatement query(connection,
                           "SELECT id, number, meter, source, operator, test_date, direction, "
                           "added_at, void, void_reason, sha256 FROM downloads WHERE job_id = ? "
                           "ORDER BY number");
    query.Bind(1, job.Id);
    while (query.Step()) {
        TDownload& download = job.Downloads.emplace_back();
        download.Number = query.Int(1);
        download.Meter = query.Text(2);
        download.Source = query.Text(3);
        download.Operator = query.Text(4);
        download.TestDate = query.Text(5);
        download.Direction = FindDirection(query.TextView(6)).value_or(TDirection::None);
        download.AddedAt = query.Text(7);
        download.Void = query.Int(8) != 0;
        download.VoidReason = query.Text(9);
        download.Sha256 = query.Text(10);
        job.DownloadIds.push_back(query.Int(0));
        ReadFirstVersionReadings(connection, query.Int(0), download);
    }
}

constexpr const char* SecondVersionTables = R"sql(
CREATE TABLE events(
    job_id INTEGER NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
    id TEXT NOT NULL,
    origin TEXT NOT NULL,
    author TEXT NOT NULL,
    wall_time TEXT NOT NULL,
    clock INTEGER NOT NULL,
    target TEXT NOT NULL,
    field TEXT NOT NULL,
    value TEXT NOT NULL,
    pred TEXT NOT NULL,
    PRIMARY KEY(job_id, id)) WITHOUT ROWID;
CREATE TABLE new_downloads(
    id INTEGER PRIMARY KEY,
    job_id INTEGER NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
    number INTEGER NOT NULL,
    records_sha256 TEXT NOT NULL,
    text_sha256 TEXT NOT NULL,
    readings INTEGER NOT NULL,
    UNIQUE(job_id, number),
    UNIQUE(job_id, records_sha256));
CREATE TABLE new_jobs(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
INSERT INTO new_jobs(id, name) SELECT id, name FROM jobs;
)sql";

// Readings keep a direction of their own only where it differs from their download's.
constexpr const char* SecondVersionSwap = R"sql(
UPDATE readings SET direction = '' WHERE direction =
    (SELECT d.direction FROM downloads d WHERE d.id = readings.download_id);
DROP TABLE downloads;
ALTER TABLE new_downloads RENAME TO downloads;
CREATE INDEX downloads_text ON downloads(job_id, text_sha256);
DROP TABLE job_budgets;
DROP TABLE expected_fibres;
DROP TABLE jobs;
ALTER TABLE new_jobs RENAME TO jobs;
ALTER TABLE archive_state ADD COLUMN origin TEXT NOT NULL DEFAULT '';
)sql";

void WriteSecondVersion(TSqliteConnection& connection, const TFirstVersionJob& job,
                        const std::vector<TJobEvent>& events) {
    TSqliteStatement download(connection,
                              "INSERT INTO new_downloads(id, job_id, number, records_sha256, "
                              "text_sha256, readings) VALUES (?, ?, ?, ?, ?, ?)");
    for (std::size_t index = 0; index < job.Downloads.size(); ++index) {
        const TDownload& stored = job.Downloads[index];
        download.Bind(1, job.DownloadIds[index]).Bind(2, job.Id).Bind(3, stored.Number);
        download.Bind(4, RecordsSha256(OwnDirections(stored))).Bind(5, stored.Sha256);
        download.Bind(6, static_cast<std::int64_t>(stored.Readings.size())).Run();
    }
    InsertSqliteEvents(connection, job.Id, events);
}

}  // namespace

void UpgradeSqliteArchive(TSqliteConnection& connection, const std::string& path,
                          const std::string& origin) {
    std::vector<TFirstVersionJob> jobs = ReadFirstVersionJobs(connection);
    connection.Execute(SecondVersionTables);
    for (TFirstVersionJob& job : jobs) {
        ReadFirstVersionDownloads(connection, job);
        WriteSecondVersion(connection, job, Version1Events(job.Job, job.Downloads));
        const TJobState state =
            DeriveJobState(job.Job.Name, ReadSqliteEvents(connection, job.Id, nullptr));
        const std::vector<std::string> differences =
            UpgradeDifferences(job.Job, job.Downloads, state);
        if (!differences.empty()) {
            throw EArchiveError(TArchiveErrc::DatabaseFailed,
                                UpgradeRefusal(path, job.Job.Name, differences));
        }
        job.Downloads.clear();  // a job's readings only while it is upgraded
    }
    connection.Execute(SecondVersionSwap);
    TSqliteStatement setOrigin(connection, "UPDATE archive_state SET origin = ?");
    setOrigin.Bind(1, origin).Run();
}

#include "archive/PostgresArchive.h"

#include <chrono>
#include <random>
#include <thread>

#include <pqxx/binarystring>
#include <pqxx/connection>
#include <pqxx/errorhandler>
#include <pqxx/result>
#include <pqxx/transaction>

#include "archive/AddDownloadPause.h"
#include "archive/ArchiveLimits.h"
#include "archive/EventArchive.h"
#include "archive/JobLogo.h"
#include "archive/PostgresErrors.h"
#include "archive/PostgresEvents.h"
#include "archive/PostgresLocation.h"
#include "archive/PostgresReadings.h"
#include "archive/PostgresSchema.h"
#include "data/MeasurementText.h"
#include "jobs/DownloadHash.h"

namespace {
// Attempts of a write that concurrent writers keep ending; each waits a little longer.
constexpr int MaxWriteAttempts = 6;

// The server's time as the archive's times are written.
const std::string ServerNow =
    "to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"')";

using TReadTransaction = pqxx::transaction<pqxx::repeatable_read, pqxx::read_only>;

void WaitBeforeAttempt(int attempt) {
    static thread_local std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> spread(1, 10 * attempt);
    std::this_thread::sleep_for(std::chrono::milliseconds(spread(random)));
}

[[noreturn]] void ThrowNoSuchJob(const std::string& name, const std::string& shown) {
    throw EArchiveError(TArchiveErrc::NoSuchJob,
                        "there is no job " + name + " in the archive " + shown);
}

// The job's id, with its row locked against other adders until the transaction ends, so
// that the numbers and the check for the same records see every committed download.
std::int64_t LockJob(pqxx::transaction_base& tx, const std::string& name,
                     const std::string& shown) {
    const pqxx::result row =
        tx.exec_params("SELECT id FROM jobs WHERE name = $1 FOR NO KEY UPDATE", name);
    if (row.empty()) {
        ThrowNoSuchJob(name, shown);
    }
    return row[0][0].as<std::int64_t>();
}

void CountChange(pqxx::transaction_base& tx) {
    tx.exec_params("UPDATE archive_state SET change_count = change_count + 1");
}

}  // namespace

template <class F>
auto TPostgresArchive::Read(F&& body) {
    try {
        TReadTransaction tx(Connection());
        auto result = body(tx);
        tx.commit();
        return result;
    } catch (...) {
        RethrowAsArchiveError(shown_, password_, DropIfLost());
    }
}

template <class F>
auto TPostgresArchive::Write(F&& body) {
    if (!readOnlyReason_.empty()) {
        throw EArchiveError(TArchiveErrc::ReadOnly,
                            shown_ + " is open for reading only: " + readOnlyReason_);
    }
    for (int attempt = 1;; ++attempt) {
        try {
            pqxx::work tx(Connection());
            auto result = body(tx);
            tx.commit();
            return result;
        } catch (const pqxx::failure& failure) {
            if (attempt < MaxWriteAttempts && IsPostgresRetryable(failure)) {
                WaitBeforeAttempt(attempt);
                continue;
            }
            RethrowAsArchiveError(shown_, password_, DropIfLost());
        } catch (...) {
            RethrowAsArchiveError(shown_, password_, DropIfLost());
        }
    }
}

TPostgresArchive::TPostgresArchive(const std::string& uri, bool upgrade,
                                   const std::function<void(std::size_t, std::size_t)>& progress)
    : uri_(uri), shown_(ShownLocation(uri)), password_(SplitPostgresLocation(uri).Password) {
    try {
        PreparePostgresSchema(Connection(), shown_, upgrade, progress);
        readOnlyReason_ = ProbeReadOnly();
    } catch (...) {
        RethrowAsArchiveError(shown_, password_, DropIfLost());
    }
}

struct TPostgresArchive::TSession {
    explicit TSession(const std::string& uri) : Connection(uri), Quiet(Connection) {
        Connection.set_client_encoding("UTF8");
        // Before PostgreSQL 12 only this gives every digit of a double; later it is the
        // default's shortest exact text either way.
        Connection.set_variable("extra_float_digits", "3");
    }

    pqxx::connection Connection;
    // Notices (a table made anew, a deprecation) are the server's chatter, not errors.
    pqxx::quiet_errorhandler Quiet;
};

TPostgresArchive::~TPostgresArchive() noexcept = default;

pqxx::connection_base& TPostgresArchive::Connection() {
    if (!session_) {
        session_ = std::make_unique<TSession>(uri_);
    }
    return session_->Connection;
}

bool TPostgresArchive::DropIfLost() noexcept {
    if (!session_ || session_->Connection.is_open()) {
        return false;
    }
    session_.reset();
    return true;
}

std::string TPostgresArchive::ProbeReadOnly() {
    TReadTransaction tx(Connection());
    const pqxx::row row = tx.exec_params1(
        "SELECT has_table_privilege('downloads', 'INSERT'), pg_is_in_recovery(),"
        " current_setting('default_transaction_read_only') = 'on', current_user");
    tx.commit();
    if (!row[0].as<bool>()) {
        return "the user " + row[3].as<std::string>() +
               " may only read it (the server grants this user no right to add to the "
               "archive's tables)";
    }
    if (row[1].as<bool>()) {
        return "the server is a standby, which only reads";
    }
    if (row[2].as<bool>()) {
        return "the server lets the user " + row[3].as<std::string>() +
               " only read (default_transaction_read_only)";
    }
    return {};
}

namespace {

TJobView ReadView(pqxx::transaction_base& tx, std::int64_t jobId) {
    TJobView view;
    view.Events = ReadPostgresEvents(tx, jobId, false);
    for (const pqxx::row& row : tx.exec_params("SELECT number, records_sha256, text_sha256,"
                                               " readings FROM downloads WHERE job_id = $1"
                                               " ORDER BY number",
                                               jobId)) {
        view.Downloads.push_back({row[0].as<std::int64_t>(), row[1].as<std::string>(),
                                  row[2].as<std::string>(), row[3].as<std::int64_t>()});
    }
    const pqxx::row state = tx.exec_params1("SELECT origin, " + ServerNow + " FROM archive_state");
    view.Origin = state[0].as<std::string>();
    view.Now = state[1].as<std::string>();
    return view;
}

std::optional<std::int64_t> JobIdOf(pqxx::transaction_base& tx, const std::string& name) {
    const pqxx::result row = tx.exec_params("SELECT id FROM jobs WHERE name = $1", name);
    if (row.empty())
        return std::nullopt;
    return row[0][0].as<std::int64_t>();
}

std::int64_t DownloadIdOf(pqxx::transaction_base& tx, std::int64_t jobId, std::int64_t number) {
    const pqxx::result row =
        tx.exec_params("SELECT id FROM downloads WHERE job_id = $1 AND number = $2", jobId, number);
    return row.empty() ? 0 : row[0][0].as<std::int64_t>();
}

std::int64_t InsertRecords(pqxx::transaction_base& tx, std::int64_t jobId,
                           const TNewRecords& records) {
    const pqxx::row added = tx.exec_params1(
        "INSERT INTO downloads(job_id, number, records_sha256, text_sha256, readings)"
        " SELECT $1, COALESCE(max(number), 0) + 1, $2, $3, $4 FROM downloads WHERE job_id = $1"
        " RETURNING id, number",
        jobId, records.RecordsSha256, records.TextSha256,
        static_cast<std::int64_t>(records.Readings->size()));
    CopyReadings(tx, added[0].as<std::int64_t>(), *records.Readings);
    return added[1].as<std::int64_t>();
}

}  // namespace

std::vector<TJobListing> TPostgresArchive::ListJobs() {
    return Read([](pqxx::transaction_base& tx) {
        std::vector<TJobListing> jobs;
        for (const pqxx::row& row : tx.exec_params(
                 "SELECT j.id, j.name, (SELECT count(*) FROM downloads d WHERE d.job_id = j.id),"
                 " (SELECT COALESCE(max(wall_time), '') FROM events e WHERE e.job_id = j.id AND"
                 " e.field = 'added') FROM jobs j ORDER BY j.id")) {
            jobs.push_back({row[1].as<std::string>(),
                            ReadPostgresEvents(tx, row[0].as<std::int64_t>(), true),
                            row[2].as<std::int64_t>(), row[3].as<std::string>()});
        }
        return jobs;
    });
}

std::optional<TJobView> TPostgresArchive::ReadJob(const std::string& name) {
    return Read([&](pqxx::transaction_base& tx) -> std::optional<TJobView> {
        const std::optional<std::int64_t> jobId = JobIdOf(tx, name);
        if (!jobId)
            return std::nullopt;
        return ReadView(tx, *jobId);
    });
}

std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
TPostgresArchive::ReadJobWithReadings(const std::string& name) {
    return Read(
        [&](pqxx::transaction_base& tx)
            -> std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>> {
            const std::optional<std::int64_t> jobId = JobIdOf(tx, name);
            if (!jobId)
                return std::nullopt;
            TJobView view = ReadView(tx, *jobId);
            std::vector<std::vector<TStoredReading>> readings;
            for (const TDownloadRow& row : view.Downloads)
                readings.push_back(ReadReadings(tx, DownloadIdOf(tx, *jobId, row.Number)));
            return std::pair(std::move(view), std::move(readings));
        });
}

std::vector<TStoredReading> TPostgresArchive::ReadRecords(const std::string& name,
                                                          std::int64_t number) {
    return Read([&](pqxx::transaction_base& tx) -> std::vector<TStoredReading> {
        const std::optional<std::int64_t> jobId = JobIdOf(tx, name);
        const std::int64_t downloadId = jobId ? DownloadIdOf(tx, *jobId, number) : 0;
        return downloadId != 0 ? ReadReadings(tx, downloadId) : std::vector<TStoredReading>{};
    });
}

TWriteOutcome TPostgresArchive::WriteJob(const std::string& name, TJobPresence presence,
                                         const std::function<TJobWrite(const TJobView&)>& decide) {
    return Write([&](pqxx::transaction_base& tx) {
        bool jobMade = false;
        if (presence != TJobPresence::MustExist) {
            const pqxx::result made = tx.exec_params(
                "INSERT INTO jobs(name) VALUES ($1) ON CONFLICT (name) DO NOTHING RETURNING id",
                name);
            jobMade = !made.empty();
            if (made.empty() && presence == TJobPresence::MustBeNew)
                throw EArchiveError(TArchiveErrc::JobExists,
                                    "the archive " + shown_ + " already holds a job " + name);
        }
        const std::int64_t jobId = LockJob(tx, name, shown_);
        const TJobView view = ReadView(tx, jobId);
        const TJobWrite write = decide(view);
        TWriteOutcome result;
        result.EventsAdded = InsertPostgresEvents(tx, jobId, write.Events);
        if (write.Records) {
            for (const TDownloadRow& row : view.Downloads) {
                if (row.RecordsSha256 == write.Records->RecordsSha256)
                    result.Number = row.Number;
            }
            if (result.Number == 0) {
                result.Number = InsertRecords(tx, jobId, *write.Records);
                result.RecordsAdded = true;
                PauseInsideAddDownload();
            }
        }
        if (jobMade || result.RecordsAdded || result.EventsAdded > 0)
            CountChange(tx);
        return result;
    });
}

std::int64_t TPostgresArchive::ChangeMark() {
    return Read([](pqxx::transaction_base& tx) {
        return tx.exec_params1("SELECT change_count FROM archive_state")[0].as<std::int64_t>();
    });
}

std::unique_ptr<TArchive> OpenPostgresArchive(const std::string& uri) {
    return std::make_unique<TEventArchive>(std::make_unique<TPostgresArchive>(uri));
}

void UpgradePostgresArchiveAt(const std::string& uri,
                              const std::function<void(std::size_t, std::size_t)>& progress) {
    TPostgresArchive archive(uri, true, progress);
}

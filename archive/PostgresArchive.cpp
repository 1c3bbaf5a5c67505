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
#include "archive/JobLogo.h"
#include "archive/PostgresErrors.h"
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

std::int64_t FindJobId(pqxx::transaction_base& tx, const std::string& name,
                       const std::string& shown) {
    const pqxx::result row = tx.exec_params("SELECT id FROM jobs WHERE name = $1", name);
    if (row.empty()) {
        ThrowNoSuchJob(name, shown);
    }
    return row[0][0].as<std::int64_t>();
}

void CountChange(pqxx::transaction_base& tx) {
    tx.exec_params("UPDATE archive_state SET change_count = change_count + 1");
}

void AddBudget(pqxx::transaction_base& tx, std::int64_t jobId, const std::string& json,
               const std::string& setAt) {
    static const std::string insert =
        "INSERT INTO job_budgets(job_id, seq, json, set_at) SELECT $1, COALESCE(max(seq), 0) + 1,"
        " $2, COALESCE(NULLIF($3, ''), " +
        ServerNow + ") FROM job_budgets WHERE job_id = $1";
    tx.exec_params(insert, jobId, json, setAt);
}

void SetExpectedFibres(pqxx::transaction_base& tx, std::int64_t jobId,
                       const std::map<std::string, int>& fibres) {
    for (const auto& [cable, count] : fibres) {
        if (count < 0) {
            throw EArchiveError(TArchiveErrc::BadInput, "cable " + cable + " cannot expect " +
                                                            std::to_string(count) + " fibres");
        }
        if (count == 0) {
            tx.exec_params("DELETE FROM expected_fibres WHERE job_id = $1 AND cable = $2", jobId,
                           cable);
        } else {
            tx.exec_params(
                "INSERT INTO expected_fibres(job_id, cable, fibres) VALUES ($1, $2, $3)"
                " ON CONFLICT (job_id, cable) DO UPDATE SET fibres = EXCLUDED.fibres",
                jobId, cable, count);
        }
    }
}

std::string BytesOf(const pqxx::field& field) {
    return field.is_null() ? std::string() : pqxx::binarystring(field).str();
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

TPostgresArchive::TPostgresArchive(const std::string& uri)
    : uri_(uri), shown_(ShownLocation(uri)), password_(SplitPostgresLocation(uri).Password) {
    try {
        PreparePostgresSchema(Connection(), shown_);
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

std::vector<TJobEntry> TPostgresArchive::ListJobs() {
    return Read([](pqxx::transaction_base& tx) {
        const pqxx::result rows = tx.exec_params(
            "SELECT j.name, j.customer, j.site, j.created_at, count(d.id),"
            " COALESCE(max(d.added_at), '') FROM jobs j LEFT JOIN downloads d ON d.job_id = j.id"
            " GROUP BY j.id ORDER BY j.created_at DESC, j.id DESC");
        std::vector<TJobEntry> jobs;
        for (const pqxx::row& row : rows) {
            jobs.push_back({row[0].as<std::string>(), row[1].as<std::string>(),
                            row[2].as<std::string>(), row[3].as<std::string>(),
                            row[4].as<std::int64_t>(), row[5].as<std::string>()});
        }
        return jobs;
    });
}

void TPostgresArchive::CreateJob(const TJob& job) {
    if (job.Name.empty()) {
        throw EArchiveError(TArchiveErrc::BadInput, "a job needs a name");
    }
    CheckLogo(job.Name, job.Logo, job.LogoType);
    RequireJobLimits(job);
    static const std::string insert =
        "INSERT INTO jobs(name, customer, site, contractor, notes, created_at, logo, logo_type)"
        " VALUES ($1, $2, $3, $4, $5, COALESCE(NULLIF($6, ''), " +
        ServerNow +
        "),"
        " NULLIF($7::bytea, ''::bytea), $8) ON CONFLICT (name) DO NOTHING RETURNING id";
    Write([&](pqxx::transaction_base& tx) {
        const pqxx::result made =
            tx.exec_params(insert, job.Name, job.Customer, job.Site, job.Contractor, job.Notes,
                           job.CreatedAt, pqxx::binarystring(job.Logo), job.LogoType);
        if (made.empty()) {
            throw EArchiveError(TArchiveErrc::JobExists,
                                "the archive " + shown_ + " already holds a job " + job.Name);
        }
        const auto jobId = made[0][0].as<std::int64_t>();
        for (const TJobBudget& budget : job.Budgets) {
            AddBudget(tx, jobId, budget.Json, budget.SetAt);
        }
        SetExpectedFibres(tx, jobId, job.ExpectedFibres);
        CountChange(tx);
        return 0;
    });
}

std::optional<TJob> TPostgresArchive::FindJob(const std::string& name) {
    return Read([&](pqxx::transaction_base& tx) -> std::optional<TJob> {
        const pqxx::result found = tx.exec_params(
            "SELECT id, customer, site, contractor, notes, created_at, logo, logo_type"
            " FROM jobs WHERE name = $1",
            name);
        if (found.empty()) {
            return std::nullopt;
        }
        const pqxx::row row = found[0];
        TJob job{name,
                 row[1].as<std::string>(),
                 row[2].as<std::string>(),
                 row[3].as<std::string>(),
                 row[4].as<std::string>(),
                 row[5].as<std::string>(),
                 {},
                 BytesOf(row[6]),
                 row[7].as<std::string>(),
                 {}};
        const auto jobId = row[0].as<std::int64_t>();
        for (const pqxx::row& budget : tx.exec_params(
                 "SELECT json, set_at FROM job_budgets WHERE job_id = $1 ORDER BY seq", jobId)) {
            job.Budgets.push_back({budget[0].as<std::string>(), budget[1].as<std::string>()});
        }
        for (const pqxx::row& cable :
             tx.exec_params("SELECT cable, fibres FROM expected_fibres WHERE job_id = $1", jobId)) {
            job.ExpectedFibres[cable[0].as<std::string>()] = cable[1].as<int>();
        }
        return job;
    });
}

namespace {
void ChangeIdentity(pqxx::transaction_base& tx, std::int64_t jobId, const TJobChanges& changes) {
    // The column names are fixed here; only the values come from the caller.
    const std::pair<const char*, const std::optional<std::string>*> fields[] = {
        {"customer", &changes.Customer},
        {"site", &changes.Site},
        {"contractor", &changes.Contractor},
        {"notes", &changes.Notes}};
    for (const auto& [column, value] : fields) {
        if (value->has_value()) {
            tx.exec_params(std::string("UPDATE jobs SET ") + column + " = $2 WHERE id = $1", jobId,
                           **value);
        }
    }
    if (changes.Logo) {
        tx.exec_params(
            "UPDATE jobs SET logo = NULLIF($2::bytea, ''::bytea), logo_type = $3"
            " WHERE id = $1",
            jobId, pqxx::binarystring(*changes.Logo),
            changes.Logo->empty() ? std::string() : changes.LogoType.value_or(""));
    }
}
}  // namespace

void TPostgresArchive::ChangeJob(const std::string& name, const TJobChanges& changes) {
    if (changes.Logo) {
        CheckLogo(name, *changes.Logo, changes.LogoType.value_or(""));
    }
    RequireChangeLimits(changes);
    Write([&](pqxx::transaction_base& tx) {
        const std::int64_t jobId = LockJob(tx, name, shown_);
        ChangeIdentity(tx, jobId, changes);
        if (changes.BudgetJson) {
            AddBudget(tx, jobId, *changes.BudgetJson, changes.BudgetSetAt.value_or(""));
        }
        SetExpectedFibres(tx, jobId, changes.ExpectedFibres);
        CountChange(tx);
        return 0;
    });
}

TAddOutcome TPostgresArchive::AddDownload(const std::string& jobName, const TDownload& download) {
    static const std::string insert =
        "INSERT INTO downloads(job_id, number, meter, source, operator, test_date, direction,"
        " added_at, void, void_reason, sha256) SELECT $1, COALESCE(max(number), 0) + 1, $2, $3,"
        " $4, COALESCE(NULLIF($5, ''), substr($7, 1, 10)), $6, $7, $8, $9, $10"
        " FROM downloads WHERE job_id = $1 RETURNING id, number";
    RequireDownloadLimits(download);
    const std::string sha = DownloadHashFor(jobName, download);
    return Write([&](pqxx::transaction_base& tx) {
        const std::int64_t jobId = LockJob(tx, jobName, shown_);
        const pqxx::result same = tx.exec_params(
            "SELECT number FROM downloads WHERE job_id = $1 AND sha256 = $2", jobId, sha);
        if (!same.empty()) {
            return TAddOutcome{false, same[0][0].as<std::int64_t>()};
        }
        const std::string addedAt =
            download.AddedAt.empty() ? tx.exec_params1("SELECT " + ServerNow)[0].as<std::string>()
                                     : download.AddedAt;
        const pqxx::row added =
            tx.exec_params1(insert, jobId, download.Meter, download.Source, download.Operator,
                            download.TestDate, std::string(DirectionName(download.Direction)),
                            addedAt, download.Void, download.VoidReason, sha);
        CopyReadings(tx, added[0].as<std::int64_t>(), download.Readings);
        PauseInsideAddDownload();
        CountChange(tx);
        return TAddOutcome{true, added[1].as<std::int64_t>()};
    });
}

std::vector<TDownload> TPostgresArchive::Downloads(const std::string& jobName) {
    return Read([&](pqxx::transaction_base& tx) {
        const pqxx::result rows = tx.exec_params(
            "SELECT id, number, meter, source, operator, test_date, direction, added_at, void,"
            " void_reason, sha256 FROM downloads WHERE job_id = $1 ORDER BY number",
            FindJobId(tx, jobName, shown_));
        std::vector<TDownload> downloads;
        downloads.reserve(rows.size());
        for (const pqxx::row& row : rows) {
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
            downloads.push_back(std::move(download));
        }
        return downloads;
    });
}

void TPostgresArchive::SetVoid(const std::string& jobName, std::int64_t number, bool isVoid,
                               const std::string& reason) {
    RequireVoidReasonLimits(reason);
    Write([&](pqxx::transaction_base& tx) {
        const std::int64_t jobId = LockJob(tx, jobName, shown_);
        const pqxx::result changed = tx.exec_params(
            "UPDATE downloads SET void = $3, void_reason = $4 WHERE job_id = $1 AND number = $2",
            jobId, number, isVoid, reason);
        if (changed.affected_rows() == 0) {
            throw EArchiveError(TArchiveErrc::NoSuchDownload,
                                "job " + jobName + " has no download " + std::to_string(number));
        }
        CountChange(tx);
        return 0;
    });
}

std::int64_t TPostgresArchive::ChangeMark() {
    return Read([](pqxx::transaction_base& tx) {
        return tx.exec_params1("SELECT change_count FROM archive_state")[0].as<std::int64_t>();
    });
}

std::unique_ptr<TArchive> OpenPostgresArchive(const std::string& uri) {
    return std::make_unique<TPostgresArchive>(uri);
}

#pragma once

#include <functional>
#include <memory>
#include <string>

#include "archive/Archive.h"
#include "archive/JobStore.h"

namespace pqxx {
class connection_base;
}  // namespace pqxx

// The jobs of a team's PostgreSQL database. Every write is one transaction; one that a
// concurrent writer's commit ended (a key taken at the same moment, a serialization failure)
// runs again. Times come from the server's clock, the one clock all its users share.
class TPostgresArchive final : public TJobStore {
public:
    // uri: "postgresql://..." as libpq takes it (PGHOST, ~/.pgpass, sslmode... apply).
    // upgrade: bring an archive of an older version up to date (else NeedsUpgrade).
    explicit TPostgresArchive(const std::string& uri, bool upgrade = false,
                              const std::function<void(std::size_t, std::size_t)>& progress = {});
    ~TPostgresArchive() noexcept override;
    TPostgresArchive(const TPostgresArchive&) = delete;
    TPostgresArchive& operator=(const TPostgresArchive&) = delete;

    std::string Location() const override { return shown_; }
    bool IsReadOnly() const override { return !readOnlyReason_.empty(); }
    std::string ReadOnlyReason() const override { return readOnlyReason_; }
    std::vector<TJobListing> ListJobs() override;
    std::optional<TJobView> ReadJob(const std::string& name) override;
    std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
    ReadJobWithReadings(const std::string& name) override;
    std::vector<TStoredReading> ReadRecords(const std::string& name, std::int64_t number) override;
    TWriteOutcome WriteJob(const std::string& name, TJobPresence presence,
                           const std::function<TJobWrite(const TJobView&)>& decide) override;
    std::int64_t ChangeMark() override;

private:
    template <class F>
    auto Read(F&& body);
    template <class F>
    auto Write(F&& body);
    // Connects when there is no connection (at first, or after the server went away).
    pqxx::connection_base& Connection();
    // Drops a connection that broke, so that the next use connects anew; true when it did.
    bool DropIfLost() noexcept;
    // Why the server lets this user only read the archive; "" when it may write.
    std::string ProbeReadOnly();

    std::string uri_;  // with its password, for connecting again; never shown
    std::string shown_;
    std::string password_;
    struct TSession;  // the connection with what it is set up with
    std::unique_ptr<TSession> session_;
    std::string readOnlyReason_;
};

// The archive at uri. Throws EArchiveError: ServerUnavailable with libpq's reason when the
// server cannot be reached, NotAnArchive, NewerSchema.
std::unique_ptr<TArchive> OpenPostgresArchive(const std::string& uri);

// Upgrades the archive at uri to this program's version (nothing when it is there already),
// telling progress of each job done. Throws as OpenPostgresArchive.
void UpgradePostgresArchiveAt(const std::string& uri,
                              const std::function<void(std::size_t, std::size_t)>& progress);

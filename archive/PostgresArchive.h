#pragma once

#include <memory>
#include <string>

#include "archive/Archive.h"

namespace pqxx {
class connection_base;
}  // namespace pqxx

// A team's archive in a PostgreSQL database. Every write is one transaction; one that a
// concurrent writer's commit ended (a key taken at the same moment, a serialization failure)
// runs again. Times come from the server's clock, the one clock all its users share.
class TPostgresArchive final : public TArchive {
public:
    // uri: "postgresql://..." as libpq takes it (PGHOST, ~/.pgpass, sslmode... apply).
    explicit TPostgresArchive(const std::string& uri);
    ~TPostgresArchive() noexcept override;
    TPostgresArchive(const TPostgresArchive&) = delete;
    TPostgresArchive& operator=(const TPostgresArchive&) = delete;

    std::string Location() const override { return shown_; }
    bool IsReadOnly() const override { return !readOnlyReason_.empty(); }
    std::string ReadOnlyReason() const override { return readOnlyReason_; }
    std::vector<TJobEntry> ListJobs() override;
    void CreateJob(const TJob& job) override;
    std::optional<TJob> FindJob(const std::string& name) override;
    void ChangeJob(const std::string& name, const TJobChanges& changes) override;
    TAddOutcome AddDownload(const std::string& jobName, const TDownload& download) override;
    std::vector<TDownload> Downloads(const std::string& jobName) override;
    void SetVoid(const std::string& jobName, std::int64_t number, bool isVoid,
                 const std::string& reason) override;
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

#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/Archive.h"
#include "archive/SqliteDb.h"
#include "sys/ProtectedFiles.h"

// An archive in one SQLite file: write-ahead log, foreign keys, every write one BEGIN
// IMMEDIATE transaction that also counts archive_state.change_count up.
class TSqliteArchive final : public TArchive {
public:
    // Opens (or makes, with its missing folders 0700) the archive at path. A file or folder
    // the user may not write opens for reading only. Throws EArchiveError.
    explicit TSqliteArchive(const std::string& path);

    std::string Location() const override { return path_; }
    bool IsReadOnly() const override { return readOnly_; }

    std::vector<TJobEntry> ListJobs() override;
    void CreateJob(const TJob& job) override;
    std::optional<TJob> FindJob(const std::string& name) override;
    void ChangeJob(const std::string& name, const TJobChanges& changes) override;
    TAddOutcome AddDownload(const std::string& jobName, const TDownload& download) override;
    std::vector<TDownload> Downloads(const std::string& jobName) override;
    void SetVoid(const std::string& jobName, std::int64_t number, bool isVoid,
                 const std::string& reason) override;
    std::int64_t ChangeMark() override;
    void WatchWaiting(TWaitWatch watch) override { waitWatch_ = std::move(watch); }
    void SaveCopy(const std::string& path) override;

private:
    class TWriteTransaction;
    class TReadTransaction;
    class TForeignKeysOff;

    void Open();
    static int WaitWhileBusy(void* archive, int count) noexcept;
    void TrimLog() noexcept;
    void WriteCopy(const std::string& writePath);
    void OpenForReading(const std::string& uri);
    template <class F>
    auto Guarded(F&& action) -> decltype(action());
    void RequireWritable();
    std::int64_t JobId(const std::string& name);
    void InsertBudget(std::int64_t jobId, const TJobBudget& budget);
    void SetExpectedFibres(std::int64_t jobId, const std::map<std::string, int>& fibres);
    void ChangeIdentity(std::int64_t jobId, const TJobChanges& changes);
    std::optional<std::int64_t> FindDownloadNumber(std::int64_t jobId, const std::string& sha);
    void InsertReadings(std::int64_t downloadId, const std::vector<TStoredReading>& readings);
    void ReadReadings(std::int64_t downloadId, TDownload& download);

    std::string path_;
    // No output of this process may replace the file while it is open.
    std::optional<TProtectedFile> protectedFile_;
    bool readOnly_ = false;
    bool checked_ = false;  // the file passed its check, so writes may go on
    std::string damage_;    // the message of the damage found; writes are refused
    std::unique_ptr<TSqliteConnection> connection_;
    TWaitWatch waitWatch_;
    std::chrono::steady_clock::time_point waitStart_;
    bool trimming_ = false;  // a checkpoint that gives way at once to other programs
};

std::unique_ptr<TArchive> OpenSqliteArchive(const std::string& path);

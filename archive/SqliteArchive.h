#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/Archive.h"
#include "archive/JobStore.h"
#include "archive/SqliteDb.h"
#include "sys/ProtectedFiles.h"

// The jobs of one SQLite file: write-ahead log, foreign keys, every write one BEGIN IMMEDIATE
// transaction that also counts archive_state.change_count up.
class TSqliteArchive final : public TJobStore {
public:
    // Opens (or makes, with its missing folders 0700) the archive at path; an archive of an
    // older version is upgraded, after a copy of it is written beside it. A file or folder the
    // user may not write opens for reading only. Throws EArchiveError.
    explicit TSqliteArchive(const std::string& path);

    std::string Location() const override { return path_; }
    bool IsReadOnly() const override { return readOnly_; }

    std::vector<TJobListing> ListJobs() override;
    std::optional<TJobView> ReadJob(const std::string& name) override;
    std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
    ReadJobWithReadings(const std::string& name) override;
    std::vector<TStoredReading> ReadRecords(const std::string& name, std::int64_t number) override;
    TWriteOutcome WriteJob(const std::string& name, TJobPresence presence,
                           const std::function<TJobWrite(const TJobView&)>& decide) override;
    std::int64_t ChangeMark() override;
    void WatchWaiting(TArchive::TWaitWatch watch) override { waitWatch_ = std::move(watch); }
    void SaveCopy(const std::string& path) override;
    std::string OpenNotice() const override { return openNotice_; }

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
    void BackUpBeforeUpgrade(int version);
    std::optional<std::int64_t> FindJobId(const std::string& name);
    TJobView ReadView(std::int64_t jobId);
    std::int64_t InsertRecords(std::int64_t jobId, const TNewRecords& records);
    void InsertReadings(std::int64_t downloadId, const std::vector<TStoredReading>& readings);
    std::vector<TStoredReading> ReadReadings(std::int64_t jobId, std::int64_t number);

    std::string path_;
    // No output of this process may replace the file while it is open.
    std::optional<TProtectedFile> protectedFile_;
    bool readOnly_ = false;
    bool checked_ = false;  // the file passed its check, so writes may go on
    std::string damage_;    // the message of the damage found; writes are refused
    std::unique_ptr<TSqliteConnection> connection_;
    TArchive::TWaitWatch waitWatch_;
    std::chrono::steady_clock::time_point waitStart_;
    bool trimming_ = false;
    std::string openNotice_;  // a checkpoint that gives way at once to other programs
};

std::unique_ptr<TArchive> OpenSqliteArchive(const std::string& path);

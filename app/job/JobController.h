#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "archive/JobSnapshot.h"
#include "data/uMeranie.h"
#include "jobs/JobWork.h"

class TJobRunner;

// The job the window works on and the archive it is kept in. Every archive operation is
// posted to the archive's own thread; its result comes back on the window's thread as a
// signal. Results of an archive or job given up meanwhile are dropped.
class TJobController : public QObject {
    Q_OBJECT

public:
    explicit TJobController(QObject* parent = nullptr);
    ~TJobController() override;

    // Opens the archive at location (a URI may hold a password; it is never shown) on a new
    // thread, after the old archive's work is done; closes the job. A file that is no archive
    // yet is made only when creation says so, or by the first work that may make it (New
    // job); until then every other work fails with "there is no archive".
    void UseArchive(const std::string& location,
                    TArchiveCreation creation = TArchiveCreation::MustExist);
    bool HasArchive() const noexcept { return !location_.empty(); }
    // The archive as messages show it.
    QString ShownArchive() const;

    const std::string& JobName() const noexcept { return jobName_; }
    bool HasJob() const noexcept { return !jobName_.empty(); }
    // The last snapshot read; null before the first.
    const std::shared_ptr<const TJobSnapshot>& Snapshot() const noexcept { return snapshot_; }

    void ListJobs(std::function<void(std::vector<TJobEntry>)> done);
    // The open job's downloads with their readings, read on the archive's thread.
    void ReadDownloads(std::function<void(std::vector<TDownload>)> done);
    void CreateJob(const TJob& job);
    void OpenJob(const std::string& name);
    // Reads the job again; a refresh already waiting makes another unneeded.
    void Refresh();
    // All the records, as one download; the hash is made on the archive's thread.
    void AddRecords(TMeraniaArray records, std::string meter, std::string source,
                    TAddAnswers answers);
    void SetVoid(std::int64_t number, bool isVoid, const std::string& reason);
    // Corrects the download (named by its records hash, which every archive knows it by).
    void FixDownload(const TDownload& download, const TDownloadFix& fix);
    // Exchanges the open job's downloads and decisions with the archive at location (opened,
    // or made, on the archive's thread); Progress tells how far it got, Status what came and
    // went, and the job is read again.
    void SyncJob(const std::string& location);
    void ChangeJob(const TJobChanges& changes);
    void ExportJob(const std::string& path);
    // The job's PDF report, read and drawn on the archive's thread as meridax-cli draws it.
    void WriteReport(const std::string& path);
    // A copy of the archive, whole as of one moment (SQLite's backup), to the file path.
    void SaveCopy(const std::string& path);
    // Ends the write that waits for another program writing the archive (Waiting told of
    // it); the write then fails, having changed nothing.
    void StopWaiting();

signals:
    // An operation's result, for the status line.
    void Status(const QString& text);
    // An operation that failed: the whole message.
    void Failed(const QString& message);
    // How far a long operation got.
    void Progress(const QString& text);
    // A job is being read (for a large one this takes a while).
    void Loading(const QString& text);
    void SnapshotReady();
    // The job opened or closed.
    void JobChanged();
    // The archive could not be opened (after Failed with the same message).
    void OpenFailed(const QString& message);
    // A write waits for another program writing the archive: how long so far, once a second.
    void Waiting(const QString& text);

private:
    // Runs work on the archive's thread; then runs done here unless the archive or job
    // changed meanwhile. A failure becomes Failed with what before its message.
    void Post(std::function<std::function<void()>(TArchive&)> work, const QString& what,
              TArchiveCreation creation = TArchiveCreation::MustExist);
    // Starts the archive's thread unless the file is no archive yet and must not be made.
    bool StartRunner(TArchiveCreation creation);
    void ReportFailure(std::uint64_t generation, const QString& what, const std::string& message);
    void ArchiveChanged();
    // Has the archive's writes tell how long they wait for another program, and stop on
    // StopWaiting.
    void WatchWaiting();
    // The watch of a write's wait on the archive shown so: told on the status line, ended by
    // StopWaiting.
    TArchive::TWaitWatch WaitWatch(const QString& shown);

    std::unique_ptr<TJobRunner> runner_;
    // Runners of archives given up, finishing what was posted to them (an add is never
    // dropped) while the window goes on; joined once finished, or when this object goes.
    std::vector<std::unique_ptr<TJobRunner>> retiring_;
    std::string location_;
    std::string jobName_;
    std::shared_ptr<const TJobSnapshot> snapshot_;
    std::uint64_t generation_ = 0;
    // Which archive's change notices are current.
    std::uint64_t archiveId_ = 0;
    bool refreshWaiting_ = false;
    // Set by StopWaiting for the archive's thread, which clears it when it stops the wait.
    std::shared_ptr<std::atomic<bool>> stopWaiting_ = std::make_shared<std::atomic<bool>>(false);
};

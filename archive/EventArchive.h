#pragma once

#include <memory>
#include <string>

#include "archive/Archive.h"
#include "archive/JobStore.h"

// The archive every store is used through: each change a person makes becomes events with
// the store's clock and this object's author, and a job is what its events add up to.
class TEventArchive final : public TArchive {
public:
    explicit TEventArchive(std::unique_ptr<TJobStore> store);

    std::string Location() const override { return store_->Location(); }
    bool IsReadOnly() const override { return store_->IsReadOnly(); }
    std::string ReadOnlyReason() const override { return store_->ReadOnlyReason(); }
    std::vector<TJobEntry> ListJobs() override;
    void CreateJob(const TJob& job) override;
    std::optional<TJob> FindJob(const std::string& name) override;
    void ChangeJob(const std::string& name, const TJobChanges& changes) override;
    TAddOutcome AddDownload(const std::string& jobName, const TDownload& download) override;
    std::vector<TDownload> Downloads(const std::string& jobName) override;
    using TArchive::SetVoid;
    void SetVoid(const std::string& jobName, const std::string& download, bool isVoid,
                 const std::string& reason) override;
    void FixDownload(const std::string& jobName, const std::string& download,
                     const TDownloadFix& fix) override;
    std::string FindDownload(const std::string& jobName, const std::string& name) override;
    std::vector<TJobEvent> Events(const std::string& jobName) override;
    TJobState State(const std::string& jobName) override;
    void SetAuthor(const std::string& author) override { author_ = author; }
    TMergeOutcome Merge(const std::string& jobName, const std::vector<TJobEvent>& events,
                        const TDownload* records) override;
    std::vector<TDownloadRow> DownloadRows(const std::string& jobName) override {
        return RequireJob(jobName).Downloads;
    }
    std::vector<TStoredReading> Records(const std::string& jobName,
                                        const std::string& recordsSha256) override;
    std::string OpenNotice() const override { return store_->OpenNotice(); }
    std::int64_t ChangeMark() override { return store_->ChangeMark(); }
    void WatchWaiting(TWaitWatch watch) override { store_->WatchWaiting(std::move(watch)); }
    void SaveCopy(const std::string& path) override { store_->SaveCopy(path); }

    TJobStore& Store() { return *store_; }

private:
    TJobView RequireJob(const std::string& name);
    void WriteEvents(const std::string& jobName,
                     const std::function<void(class TEventMaker&, const TJobView&)>& make);

    std::unique_ptr<TJobStore> store_;
    std::string author_;
};

// The name events are signed with by default: $MERIDAX_AUTHOR, else the user's full name
// from the system's user list, else the login name.
std::string DefaultAuthor();

// The row of a download a name means in a job: its number ("3") or a prefix of at least 6
// hex digits of its records hash. Throws NoSuchDownload or AmbiguousDownload naming jobName.
const TDownloadRow& FindDownloadRow(const std::vector<TDownloadRow>& rows,
                                    const std::string& jobName, const std::string& name);

#pragma once

#include <map>

#include "archive/Archive.h"

// An archive held in memory that keeps the interface's promises (numbers, times given or set,
// the same SHA-256 added once), for the tests of what is built on the interface. Times it sets
// come from a counter, so that they differ and sort in the order they were set.
class TMemoryArchive final : public TArchive {
public:
    std::string Location() const override { return "memory"; }
    bool IsReadOnly() const override { return false; }

    std::vector<TJobEntry> ListJobs() override;
    void CreateJob(const TJob& job) override;
    std::optional<TJob> FindJob(const std::string& name) override;
    void ChangeJob(const std::string& name, const TJobChanges& changes) override;
    TAddOutcome AddDownload(const std::string& jobName, const TDownload& download) override;
    std::vector<TDownload> Downloads(const std::string& jobName) override;
    void SetVoid(const std::string& jobName, std::int64_t number, bool isVoid,
                 const std::string& reason) override;
    std::int64_t ChangeMark() override { return changes_; }

private:
    struct TStoredJob {
        TJob Job;
        std::vector<TDownload> Downloads;
    };
    TStoredJob& Stored(const std::string& name);
    std::string Now();

    std::map<std::string, TStoredJob> jobs_;
    std::int64_t changes_ = 0;
    int clock_ = 0;
};

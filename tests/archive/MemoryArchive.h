#pragma once

#include <map>
#include <memory>

#include "archive/Archive.h"
#include "archive/JobStore.h"

// An archive held in memory that keeps the store's promises (numbers, events and records kept
// once, one write at a time), for the tests of what is built on it. Its clock is its own:
// each write's time is a minute after the last, from a start a test may set, so that archives
// with clocks a year apart or stepping back can be simulated.
class TMemoryStore final : public TJobStore {
public:
    explicit TMemoryStore(std::string origin = "00000000000000000000000000000001");

    std::string Location() const override { return "memory " + origin_; }
    bool IsReadOnly() const override { return false; }
    std::vector<TJobListing> ListJobs() override;
    std::optional<TJobView> ReadJob(const std::string& name) override;
    std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
    ReadJobWithReadings(const std::string& name) override;
    std::vector<TStoredReading> ReadRecords(const std::string& name, std::int64_t number) override;
    TWriteOutcome WriteJob(const std::string& name, TJobPresence presence,
                           const std::function<TJobWrite(const TJobView&)>& decide) override;
    std::int64_t ChangeMark() override { return changes_; }

    // The wall clock from now on: seconds since 1970 (each write adds 60).
    void SetClock(std::int64_t seconds) { seconds_ = seconds; }

private:
    struct TStoredJob {
        std::vector<TJobEvent> Events;
        std::vector<TDownloadRow> Rows;
        std::vector<std::vector<TStoredReading>> Readings;
    };
    TJobView View(const TStoredJob& job) const;

    std::string origin_;
    std::map<std::string, TStoredJob> jobs_;
    std::int64_t changes_ = 0;
    std::int64_t seconds_ = 1893456000;  // 2030-01-01
};

// A whole archive in memory.
std::unique_ptr<TArchive> MakeMemoryArchive(
    std::string origin = "00000000000000000000000000000001");

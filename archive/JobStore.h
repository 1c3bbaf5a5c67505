#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Archive.h"
#include "jobs/JobEvent.h"
#include "jobs/JobTypes.h"

// What an archive keeps of a job, the same in SQLite, PostgreSQL and memory: the records of
// its downloads, known by their hashes, and the events that say what people decided about them
// and the job. What the job is (its state) is worked out from these by the archive above
// (TEventArchive), one way for every store.

// A job as one transaction sees it.
struct TJobView {
    std::vector<TJobEvent> Events;
    std::vector<TDownloadRow> Downloads;  // by number
    std::string Origin;                   // the archive's own id, for the events it makes
    std::string Now;                      // the archive's time (UTC, ArchiveTimeText)
};

// Records to keep: readings with their own directions only (None: the download's).
struct TNewRecords {
    std::string RecordsSha256;
    std::string TextSha256;
    const std::vector<TStoredReading>* Readings = nullptr;
};

// What a write keeps: events not there yet (by id) and records not there yet (by hash).
struct TJobWrite {
    std::vector<TJobEvent> Events;
    std::optional<TNewRecords> Records;
};

// What a write did.
struct TWriteOutcome {
    std::int64_t EventsAdded = 0;
    bool RecordsAdded = false;
    std::int64_t Number = 0;  // the records' number, new or found; 0 without records
};

// Whether a write may, must or must not find its job.
enum class TJobPresence { MustExist, MustBeNew, MakeIfMissing };

// A job as a list shows it.
struct TJobListing {
    std::string Name;
    std::vector<TJobEvent> JobEvents;  // of the target "job" only
    std::int64_t Downloads = 0;
    std::string LastAddedAt;  // the latest wall time of an "added" event; empty with none
};

class TJobStore {
public:
    virtual ~TJobStore() = default;

    virtual std::string Location() const = 0;
    virtual bool IsReadOnly() const = 0;
    // Why it may only be read, for messages; empty when it may be written or none is known.
    virtual std::string ReadOnlyReason() const { return {}; }
    virtual std::vector<TJobListing> ListJobs() = 0;
    // None when there is no such job.
    virtual std::optional<TJobView> ReadJob(const std::string& name) = 0;
    // The job and the readings of every download (by number, own directions), read at once.
    virtual std::optional<std::pair<TJobView, std::vector<std::vector<TStoredReading>>>>
    ReadJobWithReadings(const std::string& name) = 0;
    // One download's readings; empty when the job has no such number.
    virtual std::vector<TStoredReading> ReadRecords(const std::string& name,
                                                    std::int64_t number) = 0;
    // One write transaction: reads the job, asks decide what to write (decide may run more
    // than once, so it must only compute), and keeps its answer. Throws NoSuchJob, JobExists
    // as presence says, and whatever decide throws (then nothing is written).
    virtual TWriteOutcome WriteJob(const std::string& name, TJobPresence presence,
                                   const std::function<TJobWrite(const TJobView&)>& decide) = 0;
    virtual std::int64_t ChangeMark() = 0;
    virtual void WatchWaiting(TArchive::TWaitWatch watch) { static_cast<void>(watch); }
    virtual void SaveCopy(const std::string& path);
    // What the opening did that the user should know (an upgrade and where its copy went);
    // empty when nothing.
    virtual std::string OpenNotice() const { return {}; }
};

// The ids of an event's Pred as a store keeps them: joined by ",", and split again.
std::string JoinEventIds(const std::vector<std::string>& ids);
std::vector<std::string> SplitEventIds(std::string_view joined);

// A new archive's id: 32 random lowercase hex digits.
std::string NewArchiveOrigin();

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/Archive.h"

// What a sync brought into one archive.
struct TSyncSide {
    bool JobMade = false;
    std::int64_t Downloads = 0;
    std::int64_t Events = 0;
};

struct TSyncOutcome {
    TSyncSide Here;                   // what came into the first archive
    TSyncSide There;                  // what went into the other
    bool OneWay = false;              // one of them could only be read: nothing went into it
    std::vector<TJobEvent> FarAhead;  // events taken in that were a day or more ahead
};

// Told of each download copied: how many so far, of how many.
using TSyncProgress = std::function<void(std::int64_t done, std::int64_t of)>;

// Exchanges the job jobName between two archives without a document, so that both then hold
// the same downloads and events: each download with its readings and its events in one
// transaction, the job's other events last, so that a sync stopped anywhere loses nothing and
// the next one goes on. The side without the job gets it. Throws EArchiveError: BadInput for
// the same archive twice, NoSuchJob when neither has the job, ReadOnly when neither may be
// written, and what either archive throws.
TSyncOutcome SyncJob(TArchive& here, TArchive& there, const std::string& jobName,
                     const TSyncProgress& progress = {});

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "jobs/JobDocument.h"

// What ImportJob did.
struct TImportOutcome {
    bool Created = false;  // the archive had no such job
    std::int64_t DownloadsAdded = 0;
    std::int64_t DownloadsPresent = 0;  // already in the job (the same records): left as they are
    std::int64_t EventsAdded = 0;
    std::vector<TJobEvent> FarAhead;  // added events a day or more ahead of the archive's clock
};

// The job document of a job in the archive: its downloads and its events. Throws
// EArchiveError (NoSuchJob and the archive's own failures).
std::string ExportJob(TArchive& archive, const std::string& jobName);

// Puts a document's job into the archive: the union of the downloads and events of both,
// each download with its events in one transaction, the job's events last. A first-version
// document is taken as the events an archive of that version is upgraded to.
TImportOutcome ImportJob(TArchive& archive, const TJobDocument& document);

// "3 events made on archive 5f1c… by Ben are 2 days ahead of this computer's clock" for
// events taken in from a clock a day or more ahead; empty for none.
std::string FarAheadWarning(const std::vector<TJobEvent>& farAhead);

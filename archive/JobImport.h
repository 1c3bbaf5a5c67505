#pragma once

#include <cstdint>
#include <string>

#include "archive/Archive.h"
#include "jobs/JobDocument.h"

// What ImportJob did.
struct TImportOutcome {
    bool Created = false;   // the archive had no such job
    bool Replaced = false;  // the job's differing identity fields were taken from the document
    std::int64_t DownloadsAdded = 0;
    std::int64_t DownloadsPresent = 0;  // already in the job (the same SHA-256): left as they are
    std::int64_t BudgetsAdded = 0;
};

// The job document of a job in the archive. Throws EArchiveError (NoSuchJob and the
// archive's own failures).
std::string ExportJob(TArchive& archive, const std::string& jobName);

// Puts a document's job into the archive. Without that job: creates it, keeping its time of
// creation, its budgets with their times and its downloads, in the order of their numbers,
// with their times of adding and void flags. With it: adds the budgets (by time and text) and
// the downloads (by SHA-256) it lacks, and refuses (EArchiveError IdentityDiffers, naming the
// fields) a document whose customer, site, contractor, notes, logo or expected fibres differ,
// unless replace, which takes the document's.
TImportOutcome ImportJob(TArchive& archive, const TJobDocument& document, bool replace);

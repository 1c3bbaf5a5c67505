#pragma once

#include <string>
#include <vector>

#include "archive/Archive.h"
#include "jobs/JobResults.h"

// What the job window shows of a job, read and judged on the archive's thread.
struct TJobSnapshot {
    TJob Job;
    // Every download without its readings, in the order of their numbers.
    std::vector<TDownload> Downloads;
    TJobResults Results;
    std::string Location;  // as messages show it
    bool ReadOnly = false;
    // Set instead of Results when the job's budget cannot be read.
    std::string BudgetError;
};

// Reads the job and its downloads and works out its results with the job's own budget.
// Throws EArchiveError (NoSuchJob for a job that is not there).
TJobSnapshot ReadJobSnapshot(TArchive& archive, const std::string& jobName);

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "data/uMeranie.h"
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

// What the user said when adding records to a job; kept for the next add.
struct TAddAnswers {
    TDirection Direction = TDirection::None;
    std::string Operator;  // UTF-8
    std::string TestDate;  // YYYY-MM-DD
};

// A download of all the records, with their hash, as AddDownload takes it. meter is the
// window's Latin-1 name line, source UTF-8. Throws EUnsavableText for records a file cannot hold.
TDownload MakeDownload(const TMeraniaArray& records, const std::string& meter,
                       const std::string& source, const TAddAnswers& answers);

// "Added download 3 to job Riser (12 readings, A→B)" or "Already in job Riser (download 2):
// nothing added". UTF-8.
std::string AddOutcomeText(const std::string& jobName, const TAddOutcome& outcome,
                           const TDownload& download);

// "A→B", "B→A", "none".
const char* DirectionCaption(TDirection direction);

// "12 rows: 9 pass, 2 fail, 1 check; 6 pairs, 3 one direction; 2 re-tests; 4 downloads
// (1 void)". UTF-8.
std::string JobCountsText(const TJobCounts& counts);

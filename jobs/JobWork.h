#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "data/uMeranie.h"
#include "jobs/JobResults.h"

// What the person adding records to a job says of them; the window keeps them for the next add.
struct TAddAnswers {
    TDirection Direction = TDirection::None;
    std::string Operator;  // UTF-8
    std::string TestDate;  // YYYY-MM-DD
};

// A download of the records, with their hash, as AddDownload takes it: every record a reading
// with the download's direction. The records are moved in (pass a copy to keep them); meter
// and source are UTF-8. Throws EUnsavableText for records a measurement file cannot hold.
TDownload MakeDownload(TMeraniaArray records, std::string meter, std::string source,
                       const TAddAnswers& answers);

// The same of readings made already (each with the download's direction), moved in: for a
// reader that parses straight into them, so that the records never exist twice.
TDownload MakeDownloadOfReadings(std::vector<TStoredReading> readings, std::string meter,
                                 std::string source, const TAddAnswers& answers);

// "Added download 3 to job Riser (12 readings, A→B)" or "Already in job Riser (download 2):
// nothing added". UTF-8.
std::string AddOutcomeText(const std::string& jobName, const TAddOutcome& outcome,
                           const TDownload& download);

// The message of an add that failed, whatever the reason: message, that nothing was added,
// and whether trying again may help, as code says (a busy archive, a server away or a full
// disk may pass; a missing job or a damaged archive do not).
std::string AddFailureText(const std::string& message, const std::error_code& code);

// "A→B", "B→A", "none".
const char* DirectionCaption(TDirection direction);

// "12 rows: 9 pass, 2 fail, 1 check; 6 pairs, 3 one direction; 2 re-tests; 4 downloads
// (1 void)". UTF-8.
std::string JobCountsText(const TJobCounts& counts);

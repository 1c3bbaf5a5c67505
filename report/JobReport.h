#pragma once

#include <string>
#include <vector>

#include "jobs/JobResults.h"
#include "jobs/JobTypes.h"

// What a job's test report shows: the job, its downloads and the results computed from them
// with the job's budget in force (ComputeJobResults). Job, Downloads and Results must outlive
// the input. Texts are UTF-8 but the results' cable and fiber names (Latin-1, as the records
// hold them).
struct TJobReportInput {
    const TJob* Job = nullptr;
    const std::vector<TDownload>* Downloads = nullptr;  // void ones included, in any order
    const TJobResults* Results = nullptr;
    std::string Title = "Job test report";
    std::string ProgramName = "MERIDAX data exporter";
    std::string Version;
    std::string DateTime;  // as it is to be printed, e.g. "2026-12-07 14:05 UTC+01:00"
};

// The input the window and meridax-cli both make, so that their reports cannot drift apart:
// the report's own title unless title is given, the date and time now as the test report
// prints it, the program's version. The result points at job, downloads and results. The
// report is the customer's document: it names no archive (a host, a user, a home folder).
TJobReportInput MakeJobReportInput(const TJob& job, const std::vector<TDownload>& downloads,
                                   const TJobResults& results, const std::string& version,
                                   const std::string& title = {});

// Writes the job's report as an A4 PDF/A-1b to path through the safe replacement: cover,
// summary, results, charts, re-tests and sign-off. Needs a QGuiApplication (the offscreen
// platform will do). Throws EExportError naming path, EBudgetError when the job's budget in
// force cannot be read.
void WriteJobReport(const TJobReportInput& input, const std::string& path);

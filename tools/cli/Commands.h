#pragma once

#include <string>

#include "tools/cli/ConvertOptions.h"
#include "tools/cli/ImportOptions.h"
#include "tools/cli/JobOptions.h"
#include "tools/cli/ReportOptions.h"

// The subcommands of meridax-cli, run with the options read. Each gives the process's exit
// code; a failure is thrown, for the caller's message and exit code 1.
int RunConvert(TConvertOptions options);
int RunImport(TImportOptions options);
// Gives ReportFailedExitCode when a row of the report is FAIL or CHECK.
int RunReport(const TReportOptions& options);
inline constexpr int ReportFailedExitCode = 3;
// The job commands on the archive options names; job report gives ReportFailedExitCode as
// report does.
int RunJob(const TJobOptions& options);
// The serial ports that can be opened now; with all, every candidate that exists (below
// folder, /dev but for tests) and its state.
int RunPorts(bool all, const std::string& folder);

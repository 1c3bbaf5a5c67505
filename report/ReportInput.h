#pragma once

#include <string>
#include <vector>

#include "report/TestReport.h"

// The report of one page as the window and meridax-cli report both make it, so that the two
// cannot drift apart: the ticked rows of table with one verdict per row (PageVerdicts), the
// budget, the device line (empty for none), the date and time now and the program's version,
// under the report's own title. The result points at table and verdicts, which must outlive it.
TReportInput PageReportInput(const TMeasurementTable& table, const std::vector<TVerdict>& verdicts,
                             const TBudget& budget, const std::string& deviceLine,
                             const std::string& version);

// The local date and time now as a report prints it, e.g. "2026-12-07 14:05".
std::string ReportDateTimeNow();
// The same with the time zone it is in: "2026-12-07 14:05 UTC+01:00" ("... UTC" at UTC).
std::string ReportDateTimeWithZoneNow();

#pragma once

#include <string>

#include "archive/Archive.h"
#include "archive/JobSync.h"

// "direction B→A, date 2026-11-05, operator Ben": what a fix changed, as the status line says it.
std::string FixText(const TDownloadFix& fix);

// What a sync of job jobName between here (the archive in use) and there brought each way,
// whether it could go one way only, and the warning of events far ahead of this clock.
std::string SyncOutcomeText(const std::string& jobName, const TSyncOutcome& outcome,
                            const TArchive& here, const TArchive& there);

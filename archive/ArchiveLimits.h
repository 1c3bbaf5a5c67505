#pragma once

#include <string>

#include "archive/Archive.h"

// The archive's limits (jobs/JobLimits.h) as both back ends keep them, before any write: each
// throws EArchiveError BadInput naming the field and what is wrong with it.
void RequireJobLimits(const TJob& job);
void RequireChangeLimits(const TJobChanges& changes);
void RequireDownloadLimits(const TDownload& download);
void RequireVoidReasonLimits(const std::string& reason);

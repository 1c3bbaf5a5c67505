#pragma once

#include <vector>

#include "jobs/JobEvent.h"
#include "jobs/JobTypes.h"

// Version-1 data (a job's facts and its downloads as whole values) as the events that stand
// for it, one conversion for every archive, so that two archives holding the same version-1
// data make identical events and exchange them as the same.

// The readings as version 2 stores them: a reading's own direction only where it differs from
// the download's (else None, "the download's").
std::vector<TStoredReading> OwnDirections(const TDownload& download);

// The events of a version-1 job and its downloads (in their order), made alike everywhere:
// origin "v1", author "" for the job's and cables' events and the download's Operator
// for a download's, WallTime the stored time and Clock ClockOfTime of it.
// Job: "created" at CreatedAt; customer, site, contractor, notes and logo (only when not empty)
// and each expected fibre count at CreatedAt; each budget at its SetAt, naming the budget before
// it as replaced (the one Pred these events have: budgets were set one after the other).
// Download (target: RecordsSha256(OwnDirections(d))): added, direction, date and operator at
// AddedAt; void one clock step later, only when Void.
// Where two budgets, or two downloads, would get one clock (stored times in one millisecond,
// or out of order), the later one's clock is one step after the earlier's, so that the events
// keep the stored order. A time that is no stored time, or a text that is not UTF-8, is an
// EArchiveError (BadInput) naming the job and the time or saying which.
std::vector<TJobEvent> Version1Events(const TJob& job, const std::vector<TDownload>& downloads);

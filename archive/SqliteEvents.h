#pragma once

#include <cstdint>
#include <vector>

#include "archive/SqliteDb.h"
#include "jobs/JobEvent.h"

// A job's events in the events table, read and written the one way the archive and its upgrade
// share.

// By (clock, id); of onlyTarget alone when it is given.
std::vector<TJobEvent> ReadSqliteEvents(TSqliteConnection& connection, std::int64_t jobId,
                                        const char* onlyTarget);
// Those not there yet (by id); how many were.
std::int64_t InsertSqliteEvents(TSqliteConnection& connection, std::int64_t jobId,
                                const std::vector<TJobEvent>& events);

#pragma once

#include <cstdint>
#include <vector>

#include <pqxx/transaction_base>

#include "jobs/JobEvent.h"

// A job's events in the events table, read and written the one way the archive and its upgrade
// share.

// By (clock, id); of the target "job" alone when jobTargetOnly.
std::vector<TJobEvent> ReadPostgresEvents(pqxx::transaction_base& tx, std::int64_t jobId,
                                          bool jobTargetOnly);
// Those not there yet (by id); how many were.
std::int64_t InsertPostgresEvents(pqxx::transaction_base& tx, std::int64_t jobId,
                                  const std::vector<TJobEvent>& events);

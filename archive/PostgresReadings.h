#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pqxx/transaction_base>

#include "jobs/JobTypes.h"

// A download's readings in the readings table: written through COPY, the fastest way in;
// numbers as the shortest text that reads back to the same double, so that every bit is
// kept (-0, subnormals, infinities and NaN included).

void CopyReadings(pqxx::transaction_base& tx, std::int64_t downloadId,
                  const std::vector<TStoredReading>& readings);

// In their order within the download.
std::vector<TStoredReading> ReadReadings(pqxx::transaction_base& tx, std::int64_t downloadId);

// The shortest text of value that reads back to the same bits, as PostgreSQL takes it.
std::string DoubleText(double value);
// PostgreSQL's text of a double precision value; throws std::invalid_argument for another.
double ParseDoubleText(std::string_view text);

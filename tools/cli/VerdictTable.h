#pragma once

#include <string>
#include <vector>

#include "data/MeasurementTable.h"
#include "verdict/Verdict.h"

// The rows of table and their verdicts (one per row) as a plain-text table for a terminal:
// the columns Cable, Fiber, WaveLength, Value, Reference (the table's texts), Loss, Limit,
// Margin (two decimals, blank where the verdict has none) and Verdict, aligned with blanks,
// the numbers to the right; every line ends in LF.
std::string VerdictTableText(const TMeasurementTable& table, const std::vector<TVerdict>& verdicts);

// The counts below the table: "5 relative: 3 pass, 1 fail, 1 check" for the relative and
// the absolute rows that have a verdict, then "2 without a verdict" when some have none; one
// line each.
std::string VerdictCountsText(const std::vector<TVerdict>& relative,
                              const std::vector<TVerdict>& absolute);

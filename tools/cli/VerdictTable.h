#pragma once

#include <string>
#include <vector>

#include "data/MeasurementTable.h"
#include "verdict/Verdict.h"

// The rows of table and their verdicts (one per row) as a plain-text table for a terminal:
// the columns Cable, Fiber, WaveLength, Value, Reference (the table's texts), Loss, Limit,
// Margin (two decimals, more where a negative margin needs them; blank where the verdict has
// none) and Verdict, aligned with blanks,
// the numbers to the right; every line ends in LF.
std::string VerdictTableText(const TMeasurementTable& table, const std::vector<TVerdict>& verdicts);

// The counts below the table: "5 relative: 3 pass, 1 fail, 1 check" for the relative rows
// that have a verdict, "3 fibres: 2 pass, 1 fail" for the fibres that have a result, the same
// for the absolute rows, then "2 without a verdict" when some rows have none; one line each.
std::string VerdictCountsText(const std::vector<TVerdict>& relative,
                              const std::vector<TVerdict>& absolute,
                              const std::vector<TFibreResult>& fibres);

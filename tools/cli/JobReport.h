#pragma once

#include <string>

#include "export/ExportGrid.h"
#include "jobs/JobResults.h"

// A job's results as the report's table: one row per current reading or pair with the
// columns Cable, Fiber, WaveLength (the key), A→B, B→A, Average, Limit, Margin, Verdict and
// Note. A directed reading's loss (or an absolute reading's power) goes in its direction's
// column; a pair's average in Average, as does the figure of a reading without a direction.
// Figures have two decimals, margins the decimals their sign needs; the workbook keeps the
// doubles. Note says "one direction", "no direction" or "absolute (dBm)", and "re-tested"
// for a row with history.
TExportGrid JobReportGrid(const TJobResults& results);

// The grid as aligned text for a terminal (UTF-8).
std::string JobReportText(const TExportGrid& grid);

// The counts below a job's table, one per line: "12 current readings, 3 history, 5 repeats",
// "4 pairs, 2 one direction", with pairs the pair rule their figures follow, the rows'
// verdicts ("10 rows: 8 pass, 1 fail, 1 check"), the fibres' results, "2 rows without a verdict",
// and "142 of 144 fibres tested" with the untested fibres ("untested: cable 2 fibres 3, 7") when
// the job expects fibre counts.
std::string JobCountsText(const TJobResults& results);

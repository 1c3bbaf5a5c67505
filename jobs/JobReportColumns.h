#pragma once

#include <cstddef>
#include <string>

#include "jobs/JobResults.h"

// What the job reports show of a result row, the same in the PDF and on the command line.

// The reports' note on a row: "one direction", "absolute (dBm)" or "no direction" by its
// shape ("" for a pair), then "re-tested" when it has history ("one direction; re-tested").
std::string RowNote(const TResultRow& row);

// What a current reading of the row shows: its loss, or an absolute reading's power (dBm).
TFigure ShownFigure(const TResultRow& row, const TRowReading& reading);

// The columns of a job report's results, in the reports' order (the PDF's table and the
// command line's): the three directions' figures, then the row's limit, margin, verdict, note.
enum TJobReportColumn : std::size_t {
    CableColumn,
    FiberColumn,
    WaveLengthColumn,
    AToBColumn,
    BToAColumn,
    AverageColumn,
    LimitColumn,
    MarginColumn,
    VerdictColumn,
    NoteColumn,
    JobReportColumnCount
};

// The column that shows a reading of this direction (Average for one without a direction).
std::size_t DirectionColumn(TDirection direction);

// The decimals of a row's figure in a column of figures, the same in every output and the
// window: the limit those it needs (two or three), a loss or average those of its limit and
// more where it is over the limit yet would read as it, the margin at least the limit's and
// more where it is below zero yet would read as zero; a power two (VerdictDecimals).
int ColumnDecimals(const TResultRow& row, std::size_t column);

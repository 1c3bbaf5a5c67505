#pragma once

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"
#include "tools/cli/ConvertOptions.h"

// Reads options.budgetFile, when given, into options.budget. Throws EBudgetError, naming the
// file as the budget file when it cannot be read too.
void ReadOutputBudget(TConvertOptions& options);

// Writes records to options.output: the table of the chosen page with every row counted as
// ticked (.mxe always the All table, as Save writes it; "-" the clipboard text on standard
// output), judged by options.budget when it is set. The records and the table are released as
// soon as the next stage has what it needs, so a million records stay well under 150 bytes each.
void WriteMeraniaOutput(const TConvertOptions& options, TMeraniaArray records);

// The page of the table options.output is made from.
TTablePage OutputPage(const TConvertOptions& options);
// Whether the output needs the records beside the table (the workbook's numbers, a budget's
// verdicts); when not, WriteMeraniaTable writes it from the table alone.
bool OutputNeedsRecords(const TConvertOptions& options);
// Writes what WriteMeraniaOutput writes from the table of OutputPage(options).
void WriteMeraniaTable(const TConvertOptions& options, TMeasurementTable table);

// Throws what WriteMeraniaOutput would throw for an OUTPUT that cannot be made (a missing
// folder, one that forbids new files), leaving OUTPUT untouched: for the checks before a
// long import.
void CheckOutputCanBeMade(const TConvertOptions& options);

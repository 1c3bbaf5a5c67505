#pragma once

#include <utility>
#include <vector>

#include <QString>

#include "report/ReportLayout.h"
#include "report/ReportRows.h"
#include "verdict/Budget.h"
#include "verdict/Verdict.h"

// The fibres of the reported rows, each judged across its wavelengths by its loss readings:
// a count line ("12 fibres: 10 pass, 1 fail, 1 check") and a table of those that did not pass.
// Nothing when no fibre has a result.
std::vector<TReportBlock> FibreSummaryBlocks(const TMeasurementTable& table,
                                             const TReportRows& rows);

// The fibres that did not pass (FAIL or CHECK): a table of cable, fiber and fibre result; no
// rows when every fibre passed.
TTableBlock FailedFibresTable(const std::vector<TFibreResult>& fibres);

// The budget facts that say how limits were computed: the reference method, the figure of
// each measured end connection and the launch when the budget names one.
std::vector<std::pair<QString, QString>> BudgetMethodFacts(const TBudget& budget);

// A chart's title: "1310 nm, loss in dB", "Other wavelengths, loss in dB".
QString GroupTitle(const std::string& group);

// The links that judge with their own preset or attenuations: a table of each one's cable,
// preset and the attenuations in force; nothing when no link has its own.
std::vector<TReportBlock> OwnFibreLinkBlocks(const TBudget& budget);

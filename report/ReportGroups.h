#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/MeasurementTable.h"
#include "report/ReportRows.h"

// The group of a wavelength text among the budget's wavelength keys (ascending): the nearest
// key within 20 nm as text ("1310" for 1290, 1310 and 1330 nm), else "other".
std::string WavelengthGroupName(std::string_view waveLength, const std::vector<int>& keys);

// Counts rows' readings per budget wavelength group rather than per exact wavelength: the
// groups ascend by key, "other" last.
void GroupByBudgetWavelengths(TReportRows& rows, const TMeasurementTable& table,
                              const std::vector<int>& keys);

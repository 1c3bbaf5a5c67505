#pragma once

#include <vector>

#include "report/ReportLayout.h"
#include "report/ReportRows.h"
#include "report/TestReport.h"

// The report's content in reading order: the head (title, device, date), the summary, the
// budget, the table of the reported rows and a chart per wavelength, measured in style's fonts.
// The blocks point into rows' table and into series, which must outlive them.
std::vector<TReportBlock> ReportBlocks(const TReportInput& input, const TReportRows& rows,
                                       const std::vector<TChartSeries>& series,
                                       const TReportStyle& style);

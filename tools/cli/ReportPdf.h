#pragma once

#include <string>

#include "report/TestReport.h"

// Writes the test report to path as a PDF without a display. Throws EExportError naming path.
void WriteReportPdf(const TReportInput& input, const std::string& path);

#pragma once

#include <string>

#include "report/TestReport.h"

// Writes the test report to path as a PDF, with what the report needs to draw around it.
// Throws EExportError naming path, or std::runtime_error when this build has no reports.
void WriteReportPdf(const TReportInput& input, const std::string& path);

#pragma once

#include <string>
#include <vector>

#include "data/MeasurementTable.h"
#include "verdict/Budget.h"
#include "verdict/Verdict.h"

// What a test report shows. Table texts and the device line are 8-bit (Latin-1) as the core
// keeps them; the other texts are UTF-8.
struct TReportInput {
    std::string Title = "Fiber test report";
    std::string DeviceLine;  // the device's fields, TAB-separated; empty when none is known
    std::string DateTime;    // as it is to be printed, e.g. "2026-12-07 14:05"
    TBudget Budget;
    // The rows of one page and one verdict per row (PageVerdicts); only the ticked rows are
    // reported when OnlyChecked.
    const TMeasurementTable* Table = nullptr;
    const std::vector<TVerdict>* Verdicts = nullptr;
    bool OnlyChecked = true;
    std::string ProgramName = "MERIDAX data exporter";
    std::string Version;
};

// Writes the report as an A4 PDF to path through the safe replacement. Needs a
// QGuiApplication (the offscreen platform will do). Throws EExportError naming path.
void WriteTestReport(const TReportInput& input, const std::string& path);

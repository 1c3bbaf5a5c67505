#pragma once

#include <string>

#include "data/MeasurementTable.h"

namespace CLI {
class App;
}

enum class TReportOutput { Pdf, Xlsx, Csv, Text };

struct TReportOptions {
    std::string input;  // "-" for standard input
    std::string budgetFile;
    std::string output;
    TReportOutput outputKind = TReportOutput::Text;
    TTablePage page = TTablePage::All;
    bool device = false;
    std::string deviceLabel;        // as the device label shows it: blanks for tabs
    std::string title;              // empty: the report's own
    std::string format;             // --format: "text" or "csv" for standard output
    bool toStandardOutput = false;  // OUTPUT "-" or "-.csv"
    std::string separator = ".";    // the CSV's decimal separator
};

extern const char* const ReportUsage;
extern const char* const ReportHelp;

// Adds the report subcommand to app, read into options.
CLI::App& AddReportCommand(CLI::App& app, TReportOptions& options);

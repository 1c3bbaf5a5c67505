#pragma once

#include <optional>
#include <string>

#include "data/MeasurementTable.h"
#include "verdict/Budget.h"

namespace CLI {
class App;
}

enum class TOutputKind { Xls, Xlsx, Csv, Mxe, Text };

struct TConvertOptions {
    std::string input;  // "-" for standard input
    std::string output;
    TOutputKind outputKind = TOutputKind::Text;
    TTablePage page = TTablePage::All;
    bool header = false;
    bool device = false;
    std::string deviceLabel;  // as the device label shows it: blanks for tabs
    std::string separator = ".";
    std::string budgetFile;         // empty: no verdict columns
    std::optional<TBudget> budget;  // read from budgetFile before the input
};

extern const char* const ConvertUsage;
extern const char* const ConvertHelp;

// True when path ends in ext (".mxe", ".xls", ".xlsx", ".csv"), whatever the letters' case.
bool HasExtension(const std::string& path, const std::string& ext);

// Adds the options that choose what is written (--to, --page, --header, --separator,
// --budget) to command, read into options.
void AddOutputOptions(CLI::App& command, TConvertOptions& options);

// Once command is parsed: the output kind from OUTPUT's name. Options that would do nothing
// for it are refused (CLI::ValidationError).
void FinishOutputOptions(const CLI::App& command, TConvertOptions& options);

// Adds the convert subcommand to app: INPUT, the output options and --device.
CLI::App& AddConvertCommand(CLI::App& app, TConvertOptions& options);

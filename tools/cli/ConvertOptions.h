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

// Refuses (CLI::ValidationError) an OUTPUT such as "-.xlsx": it reads as standard output but
// would make a file named so. "./-.xlsx" still names that file.
void RefuseDashOutput(const std::string& output);

// Adds the options that choose what is written (--to, --page, --header, --separator,
// --budget) to command, read into options.
void AddOutputOptions(CLI::App& command, TConvertOptions& options);

// Once command is parsed: the output kind from OUTPUT's name. Options that would do nothing
// for it are refused (CLI::ValidationError).
void FinishOutputOptions(const CLI::App& command, TConvertOptions& options);

// A --device TEXT as the outputs hold it: 8-bit, as the meter's own texts. The terminal's
// UTF-8 is converted; a text that is not UTF-8 is taken as 8-bit already; a character beyond
// Latin-1 is a usage error (CLI::ValidationError), since no output could hold it.
std::string DeviceLabelOption(const std::string& text);

// Adds the convert subcommand to app: INPUT, the output options and --device.
CLI::App& AddConvertCommand(CLI::App& app, TConvertOptions& options);

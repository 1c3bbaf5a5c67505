#pragma once

#include <string>
#include <vector>

#include "data/Errors.h"
#include "verdict/Verdict.h"

// What the workbook and CSV exports write besides the rows, as the export settings say.
// Texts are 8-bit (Latin-1) as the core keeps them; the writers convert them to UTF-8.
struct TExportOptions {
    // Only ticked rows, as the window exports; all rows when false.
    bool OnlyChecked = true;
    // A row of the table's column captions.
    bool ExportHeader = false;
    // The device line (TAB-separated fields) for the first row; empty for none.
    std::string DeviceDetails;
    // The meter's name for the workbook's properties; empty when no meter is known.
    std::string DeviceName;
    // "." or ","; the CSV's numbers use it and a "," makes ";" the delimiter.
    std::string DecimalSeparator = ".";
    // With a budget set: one verdict per row of the table (PageVerdicts). The workbook and the
    // CSV then add the columns "Loss (dB)", "Limit (dB)", "Margin (dB)" and "Verdict" after
    // the five data columns, the figures with two decimals (a margin
    // with more where its sign needs them). nullptr for no such columns.
    const std::vector<TVerdict>* Verdicts = nullptr;
    // With verdicts: the budget's reference method and end-connection figure
    // (BudgetMethodText, UTF-8) for the workbook's comments property; empty for none.
    std::string BudgetDescription;
};

// An export that was refused or failed; nothing is reported as written. code() tells why
// (the system's error, file_too_large for a table the format cannot hold, or the workbook
// library's own error).
class EExportError : public EFileError {
public:
    using EFileError::EFileError;
};

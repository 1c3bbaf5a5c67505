#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/Latin1Utf8.h"
#include "data/MeasurementTable.h"
#include "export/ExportOptions.h"

// Latin1ToUtf8 and AppendLatin1AsUtf8, which the exports use throughout.

// The device line's fields: the pieces before each TAB, an empty one included; a TAB at the
// very end adds none (as the .xls export cuts it).
std::vector<std::string_view> DeviceFields(std::string_view deviceDetails);

// The rows an export writes: the ticked ones, or all when onlyChecked is false.
inline bool RowExported(const TMeasurementTable& table, std::size_t row, bool onlyChecked) {
    return !onlyChecked || table.Checked(row);
}
std::size_t ExportedRowCount(const TMeasurementTable& table, bool onlyChecked);

// Whether the workbook and the CSV begin their rows with the caption row: when asked for, and
// always with the verdict columns, whose figures cannot be told apart without their captions.
inline bool CaptionRowWritten(const TExportOptions& options) {
    return options.ExportHeader || options.Verdicts != nullptr;
}

// The captions of the workbook's and the CSV's columns: the table's five, then with
// verdicts "Loss (dB)", "Limit (dB)", "Margin (dB)" and "Verdict".
std::vector<std::string_view> Captions(const TMeasurementTable& table, bool withVerdicts);

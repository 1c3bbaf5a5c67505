#pragma once

#include <string>

#include "data/MeasurementTable.h"
#include "export/ExportGrid.h"
#include "export/ExportOptions.h"

// Writes the table's exported rows to path as CSV (RFC 4180), through a temporary file
// renamed over path at the end: a UTF-8 BOM, the optional device line and caption line,
// then one line of five fields per row, every line ended by CR LF. Texts are converted from
// Latin-1 to UTF-8; a field is quoted only when it holds the delimiter, a quote or a line
// break; a text beginning with "=", "+", "-", "@", TAB or CR that is not a number begins with
// an apostrophe, so that a spreadsheet shows it instead of evaluating it. With the decimal
// separator "," the delimiter is ";" and the numbers' "." become
// ","; otherwise the delimiter is "," and the numbers are the table's texts. With
// options.Verdicts four more fields follow: loss, limit and margin with two decimals (empty
// where the verdict has none) and the verdict's text, and the caption line is always
// written. Throws EExportError naming path; std::invalid_argument when the verdicts do not
// match the table.
void ExportToCsv(const TMeasurementTable& table, const TExportOptions& options,
                 const std::string& path);

// Writes the same CSV to the open descriptor fd (standard output, say) as it goes; name is
// for the messages. Throws EExportError "Cannot create file "<name>". <reason>" on a failed
// write; std::invalid_argument when the verdicts do not match the table.
void WriteCsv(const TMeasurementTable& table, const TExportOptions& options, int fd,
              const std::string& name);

// A grid as CSV to fd: the UTF-8 BOM, the caption line, then one line per row, "," between
// fields, CR LF; texts quoted as above, numbers as their figures. Throws as WriteCsv.
void WriteGridCsv(const TExportGrid& grid, int fd, const std::string& name);
// The same through a temporary file renamed over path at the end. Throws as ExportToCsv.
void ExportGridToCsv(const TExportGrid& grid, const std::string& path);

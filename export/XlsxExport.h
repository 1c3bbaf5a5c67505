#pragma once

#include <cstddef>
#include <string>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"
#include "export/ExportGrid.h"
#include "export/ExportOptions.h"

// Rows 0 to 1048575: what one worksheet holds, device and caption rows included.
inline constexpr std::size_t XlsxMaxRows = 1048576;

// Writes the table's exported rows to path as an .xlsx workbook with one worksheet named
// after the table's page ("All", "Absolute", "Relative"), through a temporary file renamed
// over path at the end. Cable and fiber are text cells; wavelength, value and reference are
// number cells holding the records' own doubles (not the rounded texts), the reference of
// an absolute row left blank. The optional device row comes first, one text cell per
// field; the optional caption row is bold, frozen and carries an autofilter over the rows.
// With options.Verdicts four more columns follow: loss, limit and margin as number cells
// shown with two decimals (blank where the verdict has none) and the verdict's text, and the
// caption row is always written. Texts are escaped as XlsxCellText says, numbers given as
// XlsxWritableNumber says. A pipe or device as path gets the workbook made in the system's
// temporary folder and then copied to it: the zip is written with seeks.
// records is the measurement set the table was filled from (FillMeasurementTable): its
// records of the table's page give the rows' numbers, in order.
// Throws EExportError naming path: a table beyond XlsxMaxRows rows is refused before the
// file is touched; std::invalid_argument when records or verdicts do not match the table.
void ExportToXlsx(const TMeasurementTable& table, const TMeraniaArray& records,
                  const TExportOptions& options, const std::string& path);

// The worksheet's name for a page.
const char* XlsxSheetName(TTablePage page);

// A grid as a workbook of one worksheet named grid.SheetName: the bold, frozen caption row
// with an autofilter, then the rows; number cells hold their doubles (shown with their
// decimals), the others UTF-8 text cells, empty cells left blank. Written as ExportToXlsx
// writes; throws as it does.
void ExportGridToXlsx(const TExportGrid& grid, const std::string& path);

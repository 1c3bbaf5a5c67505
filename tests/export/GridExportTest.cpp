// Tables of any columns (a job's rows) to CSV and the workbook: UTF-8 texts, numbers as
// number cells with their decimals, empty cells left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "ExportTestFiles.h"
#include "ReadBack.h"
#include "export/CsvExport.h"
#include "export/XlsxExport.h"
#include "export/XlsxText.h"

namespace {

using GridExportTest = ExportFolderTest;

// A caption outside Latin-1, a text needing quotes, one that looks like a workbook escape,
// a whole number, a figure with two decimals, a margin with three, and empty cells.
TExportGrid Grid() {
    TExportGrid grid;
    grid.SheetName = "Job";
    grid.Captions = {"Cable", "WaveLength", "A→B", "Margin", "Note"};
    grid.Rows.push_back({GridText("Ä, \"1\""), GridNumber("1310", 1310, 0),
                         GridNumber("0.45", 0.45, 2), GridNumber("-0.004", -0.004, 3),
                         GridText("")});
    grid.Rows.push_back({GridText("_x0041_"), GridNumber("1550", 1550, 0), TGridCell{}, TGridCell{},
                         GridText("one direction")});
    return grid;
}

std::string GridCell(int row, int column, const std::string& text) {
    return "cell " + std::to_string(row) + " " + std::to_string(column) + " s " + Utf8Hex(text);
}
std::string GridCell(int row, int column, double value) {
    return "cell " + std::to_string(row) + " " + std::to_string(column) + " n " + DoubleHex(value);
}
std::string Format(int row, int column, const std::string& format) {
    return "format " + std::to_string(row) + " " + std::to_string(column) + " " + format;
}

TEST_F(GridExportTest, CsvHoldsTheFiguresAndQuotesWhatNeedsIt) {
    ExportGridToCsv(Grid(), Path("g.csv"));
    EXPECT_EQ(ReadFileBytes(Path("g.csv")),
              "\xEF\xBB\xBF"
              "Cable,WaveLength,A→B,Margin,Note\r\n"
              "\"Ä, \"\"1\"\"\",1310,0.45,-0.004,\r\n"
              "_x0041_,1550,,,one direction\r\n");
}

TEST_F(GridExportTest, WorkbookKeepsTheDoublesWithTheirDecimals) {
    ExportGridToXlsx(Grid(), Path("g.xlsx"));
    std::vector<std::string> lines = ReadBack({"xlsx", Path("g.xlsx"), "formats"});
    // The properties before the sheet's name are the workbook's usual ones.
    const auto sheets = std::find(lines.begin(), lines.end(), "sheets Job");
    ASSERT_NE(sheets, lines.end());
    lines.erase(lines.begin(), sheets);
    const std::vector<std::string> expected = {
        "sheets Job",
        "freeze A2",
        "filter A1:E3",
        GridCell(0, 0, "Cable"),
        "bold 0 0",
        GridCell(0, 1, "WaveLength"),
        "bold 0 1",
        GridCell(0, 2, "A→B"),
        "bold 0 2",
        GridCell(0, 3, "Margin"),
        "bold 0 3",
        GridCell(0, 4, "Note"),
        "bold 0 4",
        GridCell(1, 0, "Ä, \"1\""),
        GridCell(1, 1, 1310.0),
        Format(1, 1, "0"),
        GridCell(1, 2, 0.45),
        Format(1, 2, "0.00"),
        GridCell(1, 3, -0.004),
        Format(1, 3, "0.000"),
        // Escaped as the measurement exports escape it; the reader shows the escape.
        GridCell(2, 0, "_x005F_x0041_"),
        GridCell(2, 1, 1550.0),
        Format(2, 1, "0"),
        GridCell(2, 4, "one direction"),
    };
    EXPECT_EQ(lines, expected);
}

// UTF-8 passes as it is; only the lookalikes and the controls change.
TEST(XlsxUtf8CellTextTest, EscapesLookalikesAndControlsOnly) {
    std::string out;
    AppendXlsxUtf8CellText("A→B _x0041_\x01 \xC3\x84", out);
    EXPECT_EQ(out, "A→B _x005F_x0041__x0001_ \xC3\x84");
}

TEST_F(GridExportTest, RowsOfTheWrongWidthAreRefusedBeforeAnythingIsWritten) {
    TExportGrid grid = Grid();
    grid.Rows[1].pop_back();
    EXPECT_THROW(ExportGridToXlsx(grid, Path("w.xlsx")), std::invalid_argument);
    EXPECT_THROW(ExportGridToCsv(grid, Path("w.csv")), std::invalid_argument);
    EXPECT_FALSE(std::filesystem::exists(Path("w.xlsx")));
    EXPECT_FALSE(std::filesystem::exists(Path("w.csv")));
}

}  // namespace

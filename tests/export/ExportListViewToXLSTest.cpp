#include <gtest/gtest.h>

#include <algorithm>

#include "ExportTestFiles.h"
#include "export/uNativeXLSExport.h"
#include "support/Throws.h"

namespace {

using ExportTest = ExportFolderTest;

std::vector<std::uint8_t> Label(std::uint16_t row, std::uint16_t column, const std::string& text) {
    std::vector<std::uint8_t> bytes = {0x04,
                                       0x00,
                                       static_cast<std::uint8_t>(text.size() + 8),
                                       0x00,
                                       static_cast<std::uint8_t>(row & 0xFF),
                                       static_cast<std::uint8_t>(row >> 8),
                                       static_cast<std::uint8_t>(column),
                                       0x00,
                                       0x00,
                                       0x00,
                                       0x00,
                                       static_cast<std::uint8_t>(text.size())};
    // Appended byte by byte: GCC 12 takes a range insert here for an overflow (-Warray-bounds).
    for (const char c : text)
        bytes.push_back(static_cast<std::uint8_t>(c));
    return bytes;
}

using TCells = std::vector<std::vector<std::string>>;

// BOF, DIMENSIONS, the cells row by row, EOF.
std::vector<std::uint8_t> File(const TCells& rows) {
    std::vector<std::uint8_t> bytes =
        Hex("09 08 06 00 00 00 10 00 00 00 00 00 08 00 00 00 FF FF 00 00 64 00");
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < rows[row].size(); ++column) {
            const auto label = Label(static_cast<std::uint16_t>(row),
                                     static_cast<std::uint16_t>(column), rows[row][column]);
            bytes.insert(bytes.end(), label.begin(), label.end());
        }
    }
    bytes.insert(bytes.end(), {0x0A, 0x00, 0x00, 0x00});
    return bytes;
}

TEST_F(ExportTest, WorkedExampleWithDeviceAndHeaderIs302Bytes) {
    ExportListViewToXLS(WorkedExampleTable(), true, true, "DEVICE-1\t0042", ",", Path("a.xls"));
    const auto bytes = Bytes(Path("a.xls"));
    EXPECT_EQ(bytes.size(), 302u);
    EXPECT_EQ(bytes, File({{"DEVICE-1", "0042"},
                           {"Cable", "Fiber", "WaveLength", "dB", "Reference"},
                           {"1", "1", "1310", "0,25", "-10,5"},
                           {"1", "2", "1550", "0,3", "-10,4"}}));
    const auto head = Hex(WorkedExampleXlsHead);
    ASSERT_GE(bytes.size(), head.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
}

TEST_F(ExportTest, WorkedExampleFirstRowOnlyIs101Bytes) {
    TMeasurementTable table = WorkedExampleTable();
    table.SetChecked(2, false);
    ExportListViewToXLS(table, true, false, "", ",", Path("a.xls"));
    EXPECT_EQ(Bytes(Path("a.xls")), Hex(WorkedExampleFirstRowXls));
}

struct TExportCase {
    const char* name;
    TTablePage page;
    std::vector<bool> ticks;
    bool onlyChecked;
    bool header;
    std::string device;
    std::string separator;
    TCells cells;
};

class ExportWrites : public ExportTest, public testing::WithParamInterface<TExportCase> {};

TEST_P(ExportWrites, TheCells) {
    TMeasurementTable table(GetParam().page);
    table.AddRow("A.1", "f", "1310", "-3.71", "");
    table.AddRow("2", "1", "1550", "0.3", "-10.4");
    table.AddRow("x@y^z", "1", "850", "1E-6", "");
    for (std::size_t row = 0; row < GetParam().ticks.size(); ++row) {
        table.SetChecked(row, GetParam().ticks[row]);
    }
    ExportListViewToXLS(table, GetParam().onlyChecked, GetParam().header, GetParam().device,
                        GetParam().separator, Path("e.xls"));
    EXPECT_EQ(Bytes(Path("e.xls")), File(GetParam().cells));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportWrites,
    testing::Values(
        TExportCase{
            "NothingTicked", TTablePage::All, {false, false, false}, true, false, "", ",", {}},
        TExportCase{
            "NothingTickedBothLines",
            TTablePage::All,
            {},
            true,
            true,
            "No connected device",
            ",",
            {{"No connected device"}, {"Cable", "Fiber", "WaveLength", "dB/dBm", "Reference"}}},
        TExportCase{"GapsClose",
                    TTablePage::All,
                    {true, false, true},
                    true,
                    false,
                    "",
                    ".",
                    {{"A.1", "f", "1310", "-3.71", ""}, {"x@y^z", "1", "850", "1E-6", ""}}},
        TExportCase{"CommaEverywhereInData",
                    TTablePage::All,
                    {true, true},
                    true,
                    false,
                    "",
                    ",",
                    {{"A,1", "f", "1310", "-3,71", ""}, {"2", "1", "1550", "0,3", "-10,4"}}},
        TExportCase{"AbsoluteHeader",
                    TTablePage::Absolute,
                    {false, false, false},
                    true,
                    true,
                    "",
                    ",",
                    {{"Cable", "Fiber", "WaveLength", "dBm", ""}}},
        TExportCase{"EightBlanksGiveAnEmptyCell",
                    TTablePage::All,
                    {},
                    true,
                    false,
                    "A\t\tB\t",
                    ",",
                    {{"A", "", "B"}}},
        TExportCase{"LeadingTab", TTablePage::All, {}, true, false, "\tB", ",", {{"", "B"}}},
        TExportCase{"AllRowsWhenNotOnlyChecked",
                    TTablePage::All,
                    {},
                    false,
                    false,
                    "",
                    "..",
                    {{"A..1", "f", "1310", "-3..71", ""},
                     {"2", "1", "1550", "0..3", "-10..4"},
                     {"x@y^z", "1", "850", "1E-6", ""}}}),
    [](const testing::TestParamInfo<TExportCase>& caseInfo) { return caseInfo.param.name; });

TEST_F(ExportTest, ReplacesTheWholeOldFile) {
    Put(Path("e.xls"), std::string(5000, 'z'));
    ExportListViewToXLS(TMeasurementTable(), true, false, "", ",", Path("e.xls"));
    EXPECT_EQ(Bytes(Path("e.xls")).size(), 26u);
}

struct TRefusal {
    const char* name;
    std::string device;
    std::string cable;
    std::string separator;
    std::size_t extraRows;
    std::string reason;
};

// n device cells: "d\td\t...".
std::string DeviceCells(std::size_t n) {
    std::string details;
    for (std::size_t i = 0; i < n; ++i)
        details += i == 0 ? "d" : "\td";
    return details;
}

class ExportRefuses : public ExportTest, public testing::WithParamInterface<TRefusal> {};

TEST_P(ExportRefuses, BeforeTouchingTheFile) {
    Put(Path("keep.xls"), "old");
    TMeasurementTable table;
    table.AddRow(GetParam().cable, "1", "1310", "-3.52", "");
    for (std::size_t i = 0; i < GetParam().extraRows; ++i)
        table.AddRow("1", "1", "1", "1", "");
    table.SetAllChecked(true);
    EXPECT_THROW_MESSAGE(ExportListViewToXLS(table, true, true, GetParam().device,
                                             GetParam().separator, Path("keep.xls")),
                         EXLSWriteError,
                         "Cannot export to \"" + Path("keep.xls") + "\": " + GetParam().reason);
    const auto bytes = Bytes(Path("keep.xls"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ExportRefuses,
    testing::Values(
        TRefusal{"LongCell", "", std::string(256, 'c'), ".", 0,
                 "the text in row 1, column Cable is 256 characters long; a cell holds at most "
                 "255"},
        TRefusal{"SeparatorMakesItLong", "", std::string(128, '.'), ",,", 0,
                 "the text in row 1, column Cable is 256 characters long; a cell holds at most "
                 "255"},
        TRefusal{"LongDeviceDetail", std::string(256, 'd'), "1", ".", 0,
                 "a device detail is 256 characters long; a cell holds at most 255"},
        // DIMENSIONS declares columns 0 to 99.
        TRefusal{"DeviceCellsPastColumn99", DeviceCells(101), "1", ".", 0,
                 "the device details have too many cells"},
        // device + header + 65534 rows = 65536 rows: the last would be row 65535, one past
        // the rows 0 to 65534 that DIMENSIONS declares.
        TRefusal{"TooManyRows", "DEV", "1", ".", 65533,
                 "65536 rows do not fit; the file holds at most 65535 rows"}),
    [](const testing::TestParamInfo<TRefusal>& caseInfo) { return caseInfo.param.name; });

// The declared bounds are reached exactly: row 65534 and, in the device row, column 99.
TEST_F(ExportTest, TheLastDeclaredRowAndColumnFit) {
    TMeasurementTable table;
    for (int i = 0; i < 65533; ++i)
        table.AddRow("1", "1", "1", "1", "");
    table.AddRow("last", "1", "1", "1", "");
    table.SetAllChecked(true);
    ExportListViewToXLS(table, true, false, DeviceCells(100), ".", Path("big.xls"));
    const auto bytes = Bytes(Path("big.xls"));
    // The device row's last cell is at column 99 (0x63).
    const auto lastDeviceCell = Label(0, 99, "d");
    EXPECT_TRUE(
        std::equal(lastDeviceCell.begin(), lastDeviceCell.end(), bytes.begin() + 22 + 99 * 13));
    // The last LABEL is the empty reference at row 65534, column 4, right before EOF.
    const std::vector<std::uint8_t> tail = Hex("04 00 08 00 FE FF 04 00 00 00 00 00 0A 00 00 00");
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size())));
    // 100 device cells, 65533 rows of four one-character cells and an empty one, then "last",
    // 1, 1, 1, "".
    EXPECT_EQ(bytes.size(),
              22u + 100u * 13u + 65533u * (4u * 13u + 12u) + (16u + 3u * 13u + 12u) + 4u);
}

}  // namespace

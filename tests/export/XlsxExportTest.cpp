#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "ExportTestFiles.h"
#include "ReadBack.h"
#include "export/CsvExport.h"
#include "export/XlsxExport.h"
#include "support/Nobody.h"
#include "support/Subprocess.h"
#include "support/Throws.h"

namespace {

using XlsxExportTest = ExportFolderTest;

TMeranie Record(std::string cable, std::string fiber, double waveLength, double value,
                double reference, bool relative) {
    return {std::move(cable), std::move(fiber), waveLength, value, reference, relative};
}

// Values of 16 significant digits, which the tables show rounded to 15.
TMeraniaArray Records() {
    return {Record("1", "1", 1310, 0.1234567890123456, -10.5, true),
            Record("\xC4\xE9 \"q\", x;y", "1", 1550, -3.71, 0, false),
            Record("007", "2", 1550, -2.000000000000001E-7, -1e-7, true)};
}

std::string Cell(int row, int column, const std::string& text) {
    return "cell " + std::to_string(row) + " " + std::to_string(column) + " s " + Utf8Hex(text);
}
std::string Cell(int row, int column, double value) {
    return "cell " + std::to_string(row) + " " + std::to_string(column) + " n " + DoubleHex(value);
}
std::string Bold(int row, int column) {
    return "bold " + std::to_string(row) + " " + std::to_string(column);
}

// Page Relative with both rows ticked, the device and caption rows: every number is the
// record's double, the identifiers stay texts, the captions bold and frozen.
TEST_F(XlsxExportTest, OpenpyxlReadsNumbersAsTheRecordsDoubles) {
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::Relative);
    FillMeasurementTable(records, table);
    ASSERT_EQ(table.SubItem(0, 3), "0.123456789012346") << "the text is not the number";
    table.SetAllChecked(true);
    TExportOptions options;
    options.ExportHeader = true;
    options.DeviceDetails = "DEVICE-1\t\t0042\xB5";
    options.DeviceName = "DEVICE-1    0042\xB5";
    options.DecimalSeparator = ",";  // numbers have no separator in a workbook
    ExportToXlsx(table, records, options, Path("m.xlsx"));

    const std::vector<std::string> expected = {"title " + Utf8Hex("MERIDAX measurements"),
                                               "subject " + Utf8Hex("DEVICE-1    0042\u00B5"),
                                               "created yes",
                                               "sheets Relative",
                                               "freeze A3",
                                               "filter A2:E4",
                                               Cell(0, 0, "DEVICE-1"),
                                               Cell(0, 2, "0042\u00B5"),
                                               Cell(1, 0, "Cable"),
                                               Bold(1, 0),
                                               Cell(1, 1, "Fiber"),
                                               Bold(1, 1),
                                               Cell(1, 2, "WaveLength"),
                                               Bold(1, 2),
                                               Cell(1, 3, "dB"),
                                               Bold(1, 3),
                                               Cell(1, 4, "Reference"),
                                               Bold(1, 4),
                                               Cell(2, 0, "1"),
                                               Cell(2, 1, "1"),
                                               Cell(2, 2, 1310.0),
                                               Cell(2, 3, 0.1234567890123456),
                                               Cell(2, 4, -10.5),
                                               Cell(3, 0, "007"),
                                               Cell(3, 1, "2"),
                                               Cell(3, 2, 1550.0),
                                               Cell(3, 3, -2.000000000000001E-7),
                                               Cell(3, 4, -1e-7)};
    EXPECT_EQ(ReadBack({"xlsx", Path("m.xlsx")}), expected);
}

// Page All, only the absolute row ticked, no extra rows: its reference is no cell at all,
// its Latin-1 cable text arrives as UTF-8, and nothing is frozen or filtered.
TEST_F(XlsxExportTest, AbsoluteRowLeavesTheReferenceEmpty) {
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(records, table);
    table.SetChecked(1, true);
    ExportToXlsx(table, records, {}, Path("a.xlsx"));
    const std::vector<std::string> expected = {"title " + Utf8Hex("MERIDAX measurements"),
                                               "subject -",
                                               "created yes",
                                               "sheets All",
                                               "freeze -",
                                               "filter -",
                                               Cell(0, 0, "\u00C4\u00E9 \"q\", x;y"),
                                               Cell(0, 1, "1"),
                                               Cell(0, 2, 1550.0),
                                               Cell(0, 3, -3.71)};
    EXPECT_EQ(ReadBack({"xlsx", Path("a.xlsx")}), expected);
}

TEST_F(XlsxExportTest, LongCableNameAndEmptyPageAbsolute) {
    const std::string cable(300, 'c');
    const TMeraniaArray records = {Record(cable, "f", 850, -1.5, 0, false)};
    TMeasurementTable table(TTablePage::Absolute);
    FillMeasurementTable(records, table);
    table.SetChecked(0, true);
    TExportOptions options;
    options.ExportHeader = true;
    ExportToXlsx(table, records, options, Path("l.xlsx"));
    const std::vector<std::string> expected = {
        "title " + Utf8Hex("MERIDAX measurements"),
        "subject -",
        "created yes",
        "sheets Absolute",
        "freeze A2",
        "filter A1:E2",
        Cell(0, 0, "Cable"),
        Bold(0, 0),
        Cell(0, 1, "Fiber"),
        Bold(0, 1),
        Cell(0, 2, "WaveLength"),
        Bold(0, 2),
        Cell(0, 3, "dBm"),
        Bold(0, 3),
        Bold(0, 4),  // no caption, still a bold cell of the filtered row
        Cell(1, 0, cable),
        Cell(1, 1, "f"),
        Cell(1, 2, 850.0),
        Cell(1, 3, -1.5)};
    EXPECT_EQ(ReadBack({"xlsx", Path("l.xlsx")}), expected);
}

std::string Format(int row, int column) {
    return "format " + std::to_string(row) + " " + std::to_string(column) + " 0.00";
}

// The verdict columns after the five data columns: bold captions under the autofilter,
// figures as number cells shown with two decimals, blank where a verdict has no figure.
TEST_F(XlsxExportTest, VerdictColumnsFollowTheDataColumns) {
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(records, table);
    table.SetChecked(0, true);
    table.SetChecked(1, true);
    table.SetChecked(2, true);
    const std::vector<TVerdict> verdicts = {{TVerdictKind::Pass, 1.95, 2.3, 0.35},
                                            {TVerdictKind::Fail, std::nullopt, std::nullopt, -1.5},
                                            {}};
    TExportOptions options;
    options.ExportHeader = true;
    options.Verdicts = &verdicts;
    ExportToXlsx(table, records, options, Path("v.xlsx"));

    const std::vector<std::string> expected = {"filter A1:I4",    Cell(0, 5, "Loss (dB)"),
                                               Bold(0, 5),        Cell(0, 6, "Limit (dB)"),
                                               Bold(0, 6),        Cell(0, 7, "Margin (dB)"),
                                               Bold(0, 7),        Cell(0, 8, "Verdict"),
                                               Bold(0, 8),        Cell(1, 5, 1.95),
                                               Format(1, 5),      Cell(1, 6, 2.3),
                                               Format(1, 6),      Cell(1, 7, 0.35),
                                               Format(1, 7),      Cell(1, 8, "PASS"),
                                               Cell(2, 7, -1.5),  Format(2, 7),
                                               Cell(2, 8, "FAIL")};
    std::vector<std::string> verdictLines;
    for (const std::string& line : ReadBack({"xlsx", Path("v.xlsx"), "formats"})) {
        int row = 0, column = 0;
        char kind[8] = {};
        const bool isCell = std::sscanf(line.c_str(), "%7s %d %d", kind, &row, &column) == 3;
        if (line.rfind("filter", 0) == 0 || (isCell && column >= 5))
            verdictLines.push_back(line);
    }
    EXPECT_EQ(verdictLines, expected);
    const std::vector<TVerdict> one(1);
    options.Verdicts = &one;
    EXPECT_THROW(ExportToXlsx(table, records, options, Path("w.xlsx")), std::invalid_argument);
    EXPECT_FALSE(std::filesystem::exists(Path("w.xlsx")));
}

// Without their captions nobody could tell the loss, limit and margin apart: the verdict
// columns bring the caption row even when it is not asked for.
TEST_F(XlsxExportTest, VerdictColumnsBringTheCaptionRow) {
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::Absolute);
    FillMeasurementTable(records, table);
    table.SetAllChecked(true);
    const std::vector<TVerdict> verdicts = {{TVerdictKind::Pass, std::nullopt, std::nullopt, 1.5}};
    TExportOptions options;
    options.Verdicts = &verdicts;
    ExportToXlsx(table, records, options, Path("c.xlsx"));
    const std::vector<std::string> lines = ReadBack({"xlsx", Path("c.xlsx")});
    for (const std::string& line :
         {std::string("freeze A2"), std::string("filter A1:I2"), Cell(0, 0, "Cable"), Bold(0, 0),
          Cell(0, 5, "Loss (dB)"), Cell(0, 7, "Margin (dB)"), Cell(1, 7, 1.5)})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
}

TEST_F(XlsxExportTest, TooManyRowsAreRefusedBeforeTheFileIsTouched) {
    Put(Path("big.xlsx"), "old");
    TMeasurementTable table(TTablePage::All);
    table.Reserve(XlsxMaxRows, XlsxMaxRows * 8);
    for (std::size_t row = 0; row < XlsxMaxRows; ++row)
        table.AddRow("1", "1", "1", "1", "");
    table.SetAllChecked(true);
    TExportOptions options;
    options.ExportHeader = true;
    // Beyond the limit only by the caption row; the records are not even looked at.
    EXPECT_SYSTEM_ERROR(ExportToXlsx(table, {}, options, Path("big.xlsx")), EExportError,
                        std::errc::file_too_large,
                        "Cannot export to \"" + Path("big.xlsx") +
                            "\": 1048577 rows do not fit; a worksheet holds at most 1048576 rows");
    EXPECT_EQ(ReadFileBytes(Path("big.xlsx")), "old");
}

TEST_F(XlsxExportTest, RecordsThatDoNotMatchTheTableAreAProgrammingError) {
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::Relative);
    FillMeasurementTable(records, table);
    EXPECT_THROW(ExportToXlsx(table, {records[0]}, {}, Path("x.xlsx")), std::invalid_argument);
    EXPECT_FALSE(std::filesystem::exists(Path("x.xlsx")));
}

struct TFailureCase {
    const char* path;
    std::errc code;
};

class XlsxExportFails : public XlsxExportTest, public testing::WithParamInterface<TFailureCase> {};

TEST_P(XlsxExportFails, NamesTheFileAndTheSystemsReason) {
    const std::string path = GetParam().path[0] == '/' ? GetParam().path : Path(GetParam().path);
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(records, table);
    table.SetAllChecked(true);
    EXPECT_SYSTEM_ERROR(
        ExportToXlsx(table, records, {}, path), EExportError, GetParam().code,
        "Cannot create file \"" + path + "\". " + std::make_error_code(GetParam().code).message());
}

INSTANTIATE_TEST_SUITE_P(Cases, XlsxExportFails,
                         testing::Values(TFailureCase{"/dev/full", std::errc::no_space_on_device},
                                         TFailureCase{"missing/m.xlsx",
                                                      std::errc::no_such_file_or_directory}));

// Rows that never reach the library's temporary file must fail the export, not shorten
// the sheet: a file size limit stops them there, while the compressed output would fit.
TEST_F(XlsxExportTest, ALostRowFileFailsTheExport) {
    TMeraniaArray records(20000, Record("cable", "fiber", 1310, -3.52, -10, true));
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(records, table);
    table.SetAllChecked(true);
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = 256 * 1024;
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                std::_Exit(3);
            try {
                ExportToXlsx(table, records, {}, Path("lost.xlsx"));
            } catch (const EExportError& error) {
                std::_Exit(error.code() == std::errc::file_too_large ? 0 : 2);
            }
            std::_Exit(1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_FALSE(std::filesystem::exists(Path("lost.xlsx")));
}

TEST_F(XlsxExportTest, AReadOnlyFolderKeepsItsFile) {
    std::filesystem::create_directories(Path("ro"));
    Put(Path("ro/m.xlsx"), "old");
    ::chmod(Path("ro").c_str(), 0555);
    ::chmod(folder_.Path().c_str(), 0755);
    if (const auto why = WhyNobodyCannotUse(Path("ro"), R_OK | X_OK))
        GTEST_SKIP() << *why;
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(records, table);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && !BecomeNobody())
                std::_Exit(3);
            try {
                ExportToXlsx(table, records, {}, Path("ro/m.xlsx"));
            } catch (const EExportError& error) {
                std::_Exit(error.code() == std::errc::permission_denied ? 0 : 2);
            }
            std::_Exit(1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFileBytes(Path("ro/m.xlsx")), "old");
}

std::string LibreOffice() {
    for (const char* path :
         {"/usr/bin/soffice", "/usr/bin/libreoffice", "/usr/local/bin/soffice"}) {
        if (::access(path, X_OK) == 0)
            return path;
    }
    return {};
}

// LibreOffice reads the workbook with the identifiers as texts, and the CSV under either
// separator (as its import dialog is set for UTF-8 and the separator) with the same columns.
TEST_F(XlsxExportTest, LibreOfficeReadsTheWorkbookAndTheCsv) {
    const std::string soffice = LibreOffice();
    // LibreOffice is a large install that the test command leaves out; openpyxl and Python's
    // csv module read the same files back in the other export tests, which still run.
    if (soffice.empty())
        GTEST_SKIP()
            << "LibreOffice is not installed: `sudo apt-get install --no-install-recommends "
               "libreoffice-calc-nogui` (Debian 12) adds it; openpyxl still reads the "
               "workbooks back in the other export tests";
    const TMeraniaArray records = Records();
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(records, table);
    table.SetChecked(1, true);
    table.SetChecked(2, true);
    TExportOptions options;
    options.ExportHeader = true;
    const auto convert = [&](const std::string& name, const std::string& to,
                             const std::string& filter) {
        std::vector<std::string> argv{soffice, "-env:UserInstallation=file://" + Path("profile"),
                                      "--headless"};
        if (!filter.empty())
            argv.push_back("--infilter=" + filter);
        argv.insert(argv.end(), {"--convert-to", to, "--outdir", Path("lo"), Path(name)});
        const TRunResult run = RunToEnd(argv);
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
    };

    ExportToXlsx(table, records, options, Path("book.xlsx"));
    convert("book.xlsx", "csv:Text - txt - csv (StarCalc):44,34,76", "");
    std::string text = ReadFileBytes(Path("lo/book.csv"));
    std::erase(text, '\r');
    EXPECT_EQ(text.rfind("Cable,Fiber,WaveLength,dB/dBm,Reference\n"
                         "\"\u00C4\u00E9 \"\"q\"\", x;y\",1,1550,-3.71,\n007,2,1550,",
                         0),
              0u)
        << text;

    // A CSV has no types: "007" becomes the number 7; the numbers are the table's texts.
    const std::vector<std::string> cells = {
        Cell(0, 0, "Cable"),  Cell(0, 1, "Fiber"),     Cell(0, 2, "WaveLength"),
        Cell(0, 3, "dB/dBm"), Cell(0, 4, "Reference"), Cell(1, 0, "\u00C4\u00E9 \"q\", x;y"),
        Cell(1, 1, 1.0),      Cell(1, 2, 1550.0),      Cell(1, 3, -3.71),
        Cell(2, 0, 7.0),      Cell(2, 1, 2.0),         Cell(2, 2, 1550.0),
        Cell(2, 3, -2E-7),    Cell(2, 4, -1E-7)};
    for (const char* separator : {".", ","}) {
        SCOPED_TRACE(separator);
        const bool comma = separator[0] == ',';
        options.DecimalSeparator = separator;
        ExportToCsv(table, options, Path("text.csv"));
        // UTF-8, the delimiter, and a language whose decimal separator is the file's.
        convert("text.csv", "xlsx", comma ? "CSV:59,34,76,1,,1031" : "CSV:44,34,76,1,,1033");
        std::vector<std::string> lines = ReadBack({"xlsx", Path("lo/text.xlsx")});
        ASSERT_GE(lines.size(), 6u);
        lines.erase(lines.begin(), lines.begin() + 6);
        EXPECT_EQ(lines, cells);
    }
}

}  // namespace

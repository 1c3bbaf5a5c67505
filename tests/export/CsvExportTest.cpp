#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ExportTestFiles.h"
#include "ReadBack.h"
#include "export/CsvExport.h"
#include "export/ExportGrid.h"
#include "support/Nobody.h"
#include "support/Throws.h"

namespace {

using CsvExportTest = ExportFolderTest;

constexpr const char* Bom = "\xEF\xBB\xBF";

// One per row of the worked example's table; row 1 is not ticked.
const std::vector<TVerdict> Verdicts = {{TVerdictKind::Pass, 0.25, 2.3, 2.05},
                                        {TVerdictKind::Fail, 9.0, 1.0, -8.0},
                                        {TVerdictKind::Fail, 0.3, 0.1, -0.2}};
// The same rows without a limit, and an absolute row's margin alone.
const std::vector<TVerdict> SparseVerdicts = {
    {}, {}, {TVerdictKind::Pass, std::nullopt, std::nullopt, 1.5}};

TExportOptions Options(bool device, bool header, const char* separator,
                       const std::vector<TVerdict>* verdicts = nullptr) {
    TExportOptions options;
    options.ExportHeader = header;
    options.DeviceDetails = device ? "DEVICE-1\t0042" : "";
    options.DecimalSeparator = separator;
    options.Verdicts = verdicts;
    return options;
}

struct TCsvCase {
    const char* name;
    TExportOptions options;
    std::string bytes;
};

class CsvExportWrites : public CsvExportTest, public testing::WithParamInterface<TCsvCase> {};

// The worked example's Relative page (rows 1 and 3 ticked).
TEST_P(CsvExportWrites, TheBytes) {
    ExportToCsv(WorkedExampleTable(), GetParam().options, Path("m.csv"));
    EXPECT_EQ(ReadFileBytes(Path("m.csv")), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvExportWrites,
    testing::Values(
        TCsvCase{"DecimalPoint", Options(true, true, "."),
                 std::string(Bom) + "DEVICE-1,0042\r\n"
                                    "Cable,Fiber,WaveLength,dB,Reference\r\n"
                                    "1,1,1310,0.25,-10.5\r\n"
                                    "1,2,1550,0.3,-10.4\r\n"},
        TCsvCase{"DecimalComma", Options(true, true, ","),
                 std::string(Bom) + "DEVICE-1;0042\r\n"
                                    "Cable;Fiber;WaveLength;dB;Reference\r\n"
                                    "1;1;1310;0,25;-10,5\r\n"
                                    "1;2;1550;0,3;-10,4\r\n"},
        TCsvCase{"RowsOnly", Options(false, false, ","),
                 std::string(Bom) + "1;1;1310;0,25;-10,5\r\n1;2;1550;0,3;-10,4\r\n"},
        TCsvCase{"VerdictsDecimalPoint", Options(false, true, ".", &Verdicts),
                 std::string(Bom) + "Cable,Fiber,WaveLength,dB,Reference,Loss (dB),Limit (dB),"
                                    "Margin (dB),Verdict\r\n"
                                    "1,1,1310,0.25,-10.5,0.25,2.30,2.05,PASS\r\n"
                                    "1,2,1550,0.3,-10.4,0.30,0.10,-0.20,FAIL\r\n"},
        TCsvCase{"VerdictsDecimalComma", Options(true, false, ",", &Verdicts),
                 std::string(Bom) + "DEVICE-1;0042\r\n"
                                    "Cable;Fiber;WaveLength;dB;Reference;Loss (dB);"
                                    "Limit (dB);Margin (dB);Verdict\r\n"
                                    "1;1;1310;0,25;-10,5;0,25;2,30;2,05;PASS\r\n"
                                    "1;2;1550;0,3;-10,4;0,30;0,10;-0,20;FAIL\r\n"},
        TCsvCase{"VerdictsWithoutFigures", Options(false, false, ".", &SparseVerdicts),
                 std::string(Bom) + "Cable,Fiber,WaveLength,dB,Reference,Loss (dB),Limit (dB),"
                                    "Margin (dB),Verdict\r\n"
                                    "1,1,1310,0.25,-10.5,,,,\r\n"
                                    "1,2,1550,0.3,-10.4,,,1.50,PASS\r\n"}),
    [](const testing::TestParamInfo<TCsvCase>& item) { return std::string(item.param.name); });

// Texts holding the delimiter, quotes, line breaks and high Latin-1 bytes, read back by
// Python's csv module with either delimiter: every field arrives as it was, in UTF-8.
TEST_F(CsvExportTest, PythonsCsvModuleReadsTheFieldsBack) {
    TMeasurementTable table(TTablePage::All);
    const std::string longCable = std::string(300, '\xE9') + "\"";
    table.AddRow("a,b;c", "say \"hi\"", "1310", "-3.52", "");
    table.AddRow("line\r\nbreak", "\xC4\xD6\xDC\xDF", "1550", "5E-5", "-10.25");
    table.AddRow(longCable, "1.5", "850", "0", "0.001");
    table.SetAllChecked(true);
    std::string longUtf8;
    for (int i = 0; i < 300; ++i)
        longUtf8 += "\u00E9";
    const std::vector<std::vector<std::string>> fields = {
        {"Cable", "Fiber", "WaveLength", "dB/dBm", "Reference"},
        {"a,b;c", "say \"hi\"", "1310", "-3.52", ""},
        {"line\r\nbreak", "\u00C4\u00D6\u00DC\u00DF", "1550", "5E-5", "-10.25"},
        {longUtf8 + "\"", "1.5", "850", "0", "0.001"}};
    for (const char* separator : {".", ","}) {
        SCOPED_TRACE(separator);
        const bool comma = separator[0] == ',';
        ExportToCsv(table, Options(false, true, separator), Path("m.csv"));
        std::vector<std::string> expected;
        for (const std::vector<std::string>& record : fields) {
            std::string line;
            for (std::size_t i = 0; i < record.size(); ++i) {
                std::string field = record[i];
                if (comma && i >= 2)
                    std::replace(field.begin(), field.end(), '.', ',');
                line += (i == 0 ? "" : " ") + Utf8Hex(field);
            }
            expected.push_back(line);
        }
        EXPECT_EQ(ReadBack({"csv", Path("m.csv"), comma ? ";" : ","}), expected);
    }
    // Quoted only where needed, quotes doubled; the fiber "1.5" is no number.
    const std::string bytes = ReadFileBytes(Path("m.csv"));
    EXPECT_NE(bytes.find("\r\n\"a,b;c\";\"say \"\"hi\"\"\";1310;-3,52;\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\";1.5;850;0;0,001\r\n"), std::string::npos);
}

// Texts a spreadsheet would evaluate as formulas keep a leading apostrophe, in the tables'
// CSV (cables, fibres, the device line) and in a grid's; numbers keep their sign.
TEST_F(CsvExportTest, TextsThatLookLikeFormulasStayTexts) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+A1", "'+A1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tcmd", "'\tcmd"},
        {"\rx", "\"'\rx\""},
        {"-", "'-"},
        {"-1+2", "'-1+2"},
        {"-3.5", "-3.5"},
        {"+7", "+7"},
        {"7=", "7="}};
    for (const auto& [text, field] : cases) {
        SCOPED_TRACE(text);
        TMeasurementTable table(TTablePage::All);
        table.AddRow(text, text, "1310", "-3.52", "");
        table.SetAllChecked(true);
        // The device line's fields are split at TABs.
        const bool tab = text.find('\t') != std::string::npos;
        TExportOptions options = Options(false, false, ".");
        options.DeviceDetails = tab ? "" : text;
        ExportToCsv(table, options, Path("m.csv"));
        EXPECT_EQ(ReadFileBytes(Path("m.csv")), std::string(Bom) + (tab ? "" : field + "\r\n") +
                                                    field + "," + field + ",1310,-3.52,\r\n");
        TExportGrid grid;
        grid.Captions = {"Cable"};
        grid.Rows = {{TGridCell{text, std::nullopt}}};
        ExportGridToCsv(grid, Path("g.csv"));
        EXPECT_EQ(ReadFileBytes(Path("g.csv")), std::string(Bom) + "Cable\r\n" + field + "\r\n");
    }
}

struct TCsvFailureCase {
    const char* path;
    std::errc code;
};

class CsvExportFails : public CsvExportTest, public testing::WithParamInterface<TCsvFailureCase> {};

TEST_P(CsvExportFails, NamesTheFileAndTheSystemsReason) {
    const std::string path = GetParam().path[0] == '/' ? GetParam().path : Path(GetParam().path);
    EXPECT_SYSTEM_ERROR(
        ExportToCsv(WorkedExampleTable(), Options(true, true, "."), path), EExportError,
        GetParam().code,
        "Cannot create file \"" + path + "\". " + std::make_error_code(GetParam().code).message());
}

TEST_F(CsvExportTest, VerdictsThatDoNotMatchTheRowsAreAProgrammingError) {
    const std::vector<TVerdict> one(1);
    EXPECT_THROW(ExportToCsv(WorkedExampleTable(), Options(false, false, ".", &one), Path("x.csv")),
                 std::invalid_argument);
    EXPECT_FALSE(std::filesystem::exists(Path("x.csv")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvExportFails,
    testing::Values(TCsvFailureCase{"/dev/full", std::errc::no_space_on_device},
                    TCsvFailureCase{"missing/m.csv", std::errc::no_such_file_or_directory}));

TEST_F(CsvExportTest, AReadOnlyFileOrFolderKeepsItsContent) {
    std::filesystem::create_directories(Path("ro"));
    std::filesystem::create_directories(Path("rw"));
    Put(Path("ro/m.csv"), "old");
    Put(Path("rw/m.csv"), "old");
    ::chmod(Path("rw/m.csv").c_str(), 0444);
    ::chmod(Path("ro").c_str(), 0555);
    ::chmod(folder_.Path().c_str(), 0755);
    if (const auto why = WhyNobodyCannotUse(Path("ro"), R_OK | X_OK))
        GTEST_SKIP() << *why;
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && !BecomeNobody())
                std::_Exit(3);
            int refused = 0;
            for (const char* name : {"ro/m.csv", "rw/m.csv"}) {
                try {
                    ExportToCsv(WorkedExampleTable(), {}, Path(name));
                } catch (const EExportError& error) {
                    refused += error.code() == std::errc::permission_denied ? 1 : 0;
                }
            }
            std::_Exit(refused == 2 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFileBytes(Path("ro/m.csv")), "old");
    EXPECT_EQ(ReadFileBytes(Path("rw/m.csv")), "old");
}

}  // namespace

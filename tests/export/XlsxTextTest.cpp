// What reaches a workbook's parts: texts a reader could mistake for escapes or that XML cannot
// hold, numbers at the edge of the double range, and a target that cannot seek.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <thread>

#include "ExportTestFiles.h"
#include "ReadBack.h"
#include "export/XlsxExport.h"
#include "export/XlsxText.h"

namespace {

using XlsxTextTest = ExportFolderTest;

struct TTextCase {
    const char* name;
    std::string latin1;
    std::string cell;
};

class XlsxCellTexts : public testing::TestWithParam<TTextCase> {};

TEST_P(XlsxCellTexts, EscapeLookalikesAndControls) {
    EXPECT_EQ(XlsxCellText(GetParam().latin1), GetParam().cell);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsxCellTexts,
    testing::Values(TTextCase{"Plain", "Cable 7", "Cable 7"},
                    TTextCase{"Latin1", "0042\xB5", "0042\xC2\xB5"},
                    TTextCase{"Lookalike", "_x0041_", "_x005F_x0041_"},
                    TTextCase{"LookalikeLowerCase", "a_x00ff_b", "a_x005F_x00ff_b"},
                    TTextCase{"TwoLookalikes", "_x0041__x0042_", "_x005F_x0041__x005F_x0042_"},
                    TTextCase{"NotALookalike", "my_xray _x12_ _x004G_", "my_xray _x12_ _x004G_"},
                    TTextCase{"Control",
                              "a\x0B"
                              "b",
                              "a_x000B_b"},
                    TTextCase{"CarriageReturn", "a\rb", "a_x000D_b"},
                    TTextCase{"TabAndLineFeedStay", "a\tb\nc", "a\tb\nc"},
                    TTextCase{"Zero", std::string("a\0b", 3), "a_x0000_b"},
                    TTextCase{"ControlAfterLookalike", "_x0041_\x01", "_x005F_x0041__x0001_"}),
    [](const testing::TestParamInfo<TTextCase>& item) { return std::string(item.param.name); });

TEST(XlsxPropertyText, ReplacesOnlyTheControls) {
    // No reader unescapes a property: a control byte and a literal "_x000B_" must differ.
    EXPECT_EQ(XlsxPropertyText("OLM\x01 45 _x0041_ \x0b_x000B_ \xB5"),
              "OLM\uFFFD 45 _x0041_ \uFFFD_x000B_ \xC2\xB5");
}

// What the library writes for a double, read back as a reader does.
double ReadBackOf(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.16G", value);
    return std::strtod(text, nullptr);
}

TEST(XlsxWritableNumber, StaysFiniteWithinOnePartInTenToTheFifteen) {
    for (const double value :
         {DBL_MAX, -DBL_MAX, std::nextafter(DBL_MAX, 0.0), 1.7976931348623155E308,
          1.797693134862315E308, 1.0, -0.0, DBL_MIN, DBL_TRUE_MIN, 0.1234567890123456}) {
        SCOPED_TRACE(value);
        const double back = ReadBackOf(XlsxWritableNumber(value));
        ASSERT_TRUE(std::isfinite(back));
        EXPECT_LE(std::fabs(back - value), std::fabs(value) * 1e-15);
    }
    // Values whose text is fine are left as they are.
    EXPECT_EQ(XlsxWritableNumber(1.797693134862315E308), 1.797693134862315E308);
    EXPECT_EQ(XlsxWritableNumber(-3.71), -3.71);
}

TMeasurementTable CheckedTable(const TMeraniaArray& records) {
    TMeasurementTable table(TTablePage::All);
    FillMeasurementTable(records, table);
    table.SetAllChecked(true);
    return table;
}

std::string TextCell(int row, int column, const std::string& text) {
    return "cell " + std::to_string(row) + " " + std::to_string(column) + " s " + Utf8Hex(text);
}

// Texts that look like escapes or hold controls stay apart. openpyxl hands an inline string
// over as stored, so it shows the stored escapes, which Excel and LibreOffice decode.
TEST_F(XlsxTextTest, OpenpyxlReadsLookalikesAndControlsApart) {
    const TMeraniaArray records = {{"_x0041_",
                                    "a\x0B"
                                    "b",
                                    1310, -1, 0, false},
                                   {"a_x000B_b", "a\rb", 1310, -1, 0, false}};
    ExportToXlsx(CheckedTable(records), records, {}, Path("t.xlsx"));
    const std::vector<std::string> lines = ReadBack({"xlsx", Path("t.xlsx")});
    for (const std::string& cell : {TextCell(0, 0, "_x005F_x0041_"), TextCell(0, 1, "a_x000B_b"),
                                    TextCell(1, 0, "a_x005F_x000B_b"), TextCell(1, 1, "a_x000D_b")})
        EXPECT_NE(std::find(lines.begin(), lines.end(), cell), lines.end()) << cell;
}

// A control byte in the meter's name, the device row and a cell leaves every part of the
// workbook well-formed XML.
TEST_F(XlsxTextTest, EveryPartIsWellFormedXml) {
    const TMeraniaArray records = {{"c\x01", "f\x1F", 1310, -1, 0, false}};
    TExportOptions options;
    options.DeviceName = "OLM\x01 45";
    options.DeviceDetails = "OLM\x02\t45\x7F";
    options.ExportHeader = true;
    ExportToXlsx(CheckedTable(records), records, options, Path("c.xlsx"));
    const std::vector<std::string> parts = ReadBack({"parts", Path("c.xlsx")});
    ASSERT_GE(parts.size(), 8u);
    bool core = false;
    for (const std::string& part : parts) {
        if (part.rfind("part ", 0) != 0)
            continue;
        EXPECT_EQ(part.substr(part.size() - 3), " ok") << part;
        core = core || part.rfind("part docProps/core.xml ", 0) == 0;
    }
    EXPECT_TRUE(core);
    const std::vector<std::string> lines = ReadBack({"xlsx", Path("c.xlsx")});
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "subject " + Utf8Hex("OLM\uFFFD 45"));
}

// Deflate's fastest setting: a third of the export's time went into compression.
TEST_F(XlsxTextTest, PartsAreDeflatedAtTheFastestLevel) {
    const TMeraniaArray records = {{"c", "f", 1310, -1, 0, false}};
    ExportToXlsx(CheckedTable(records), records, {}, Path("z.xlsx"));
    std::size_t deflated = 0;
    for (const std::string& line : ReadBack({"parts", Path("z.xlsx")})) {
        if (line.rfind("deflate ", 0) != 0)
            continue;
        EXPECT_EQ(line.substr(line.rfind(' ')), " fastest") << line;
        ++deflated;
    }
    EXPECT_GE(deflated, 8u);
}

// The largest doubles stay finite numbers within one part in 10^15.
TEST_F(XlsxTextTest, NumbersAtTheEdgeOfTheDoubleRangeStayFinite) {
    const double values[] = {DBL_MAX, -DBL_MAX, 1.7976931348623155E308};
    TMeraniaArray records;
    for (const double value : values)
        records.push_back({"c", "f", value, value, value, true});
    ExportToXlsx(CheckedTable(records), records, {}, Path("n.xlsx"));
    std::size_t numbers = 0;
    for (const std::string& line : ReadBack({"xlsx", Path("n.xlsx")})) {
        int row = 0, column = 0;
        char bits[17] = {};
        if (std::sscanf(line.c_str(), "cell %d %d n %16s", &row, &column, bits) != 3)
            continue;
        const std::uint64_t word = std::strtoull(bits, nullptr, 16);
        double back = 0;
        std::memcpy(&back, &word, sizeof back);
        const double value = values[row];
        ASSERT_TRUE(std::isfinite(back)) << line;
        EXPECT_LE(std::fabs(back - value), std::fabs(value) * 1e-15) << line;
        ++numbers;
    }
    EXPECT_EQ(numbers, 9u);
}

// A pipe gets the whole workbook, which openpyxl reads.
TEST_F(XlsxTextTest, APipeGetsTheWholeWorkbook) {
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    std::string bytes;
    std::atomic<bool> finished = false;
    std::thread reader([&] {
        const int fd = ::open(Path("pipe").c_str(), O_RDONLY | O_CLOEXEC);
        char buffer[4096];
        for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(got));
        if (fd >= 0)
            ::close(fd);
        finished = true;
    });
    const TMeraniaArray records = {{"7", "1", 1310, -2.5, 0, false}};
    try {
        ExportToXlsx(CheckedTable(records), records, {}, Path("pipe"));
    } catch (const EExportError& error) {
        ADD_FAILURE() << error.what();
        // A reader still waiting for a writer is let go.
        while (!finished) {
            const int fd = ::open(Path("pipe").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                break;
            }
            std::this_thread::yield();
        }
    }
    reader.join();
    Put(Path("copy.xlsx"), bytes);
    const std::vector<std::string> lines = ReadBack({"xlsx", Path("copy.xlsx")});
    EXPECT_NE(std::find(lines.begin(), lines.end(), TextCell(0, 0, "7")), lines.end());
    EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
}

}  // namespace

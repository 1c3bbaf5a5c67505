#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "ExportTestFiles.h"
#include "export/uNativeXLSExport.h"
#include "support/Throws.h"

namespace {

using XLSWriterTest = ExportFolderTest;

TEST_F(XLSWriterTest, BofDimensionsEofAreTheTwentySixBytes) {
    {
        TXLSWriter writer(Path("a.xls"));
        writer.WriteBOF();
        writer.WriteDimensions();
        writer.WriteEOF();
        writer.Finish();
    }
    EXPECT_EQ(Bytes(Path("a.xls")), Hex(EmptyXls));
}

struct TLabelCase {
    const char* name;
    std::uint16_t row;
    std::uint16_t column;
    std::string text;
    TCellAttributes attributes;
    std::string bytes;
};

class WriteLabelWrites : public XLSWriterTest, public testing::WithParamInterface<TLabelCase> {};

TEST_P(WriteLabelWrites, TheRecord) {
    {
        TXLSWriter writer(Path("l.xls"));
        writer.WriteLabel(GetParam().row, GetParam().column, GetParam().text,
                          GetParam().attributes);
    }  // the destructor alone must bring the record to the file
    EXPECT_EQ(Bytes(Path("l.xls")), Hex(GetParam().bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Labels, WriteLabelWrites,
    testing::Values(
        TLabelCase{
            "Cable", 1, 0, "Cable", {}, "04 00 0D 00 01 00 00 00 00 00 00 05 43 61 62 6C 65"},
        TLabelCase{"Empty", 0, 0, "", {}, "04 00 08 00 00 00 00 00 00 00 00 00"},
        TLabelCase{"LittleEndian",
                   0x1234,
                   0xABCD,
                   "x",
                   {caLocked, caAlignRight},
                   "04 00 09 00 34 12 CD AB 40 00 03 01 78"},
        TLabelCase{"HighBytesAsTheyAre",
                   2,
                   3,
                   "\xe4\x80",
                   {},
                   "04 00 0A 00 02 00 03 00 00 00 00 02 E4 80"}),
    [](const testing::TestParamInfo<TLabelCase>& caseInfo) { return caseInfo.param.name; });

TEST_F(XLSWriterTest, LongestCellAndOneMore) {
    const std::string longest(255, 'a');
    {
        TXLSWriter writer(Path("l.xls"));
        writer.WriteLabel(0, 0, longest);
        EXPECT_THROW(writer.WriteLabel(0, 1, longest + "a"), EXLSWriteError);
        writer.Finish();
    }
    const auto bytes = Bytes(Path("l.xls"));
    ASSERT_EQ(bytes.size(), 12u + 255u) << "the refused cell must write nothing";
    EXPECT_EQ(bytes[2], 0x07);  // 8 + 255 = 0x107
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[11], 0xFF);
}

struct TAttributeCase {
    TCellAttributes attributes;
    std::uint8_t bytes[3];
};

TEST(FillCellAttributes, SetsTheBitsOfTheTable) {
    const TAttributeCase cases[] = {
        {{}, {0, 0, 0}},
        {{caAlignLeft, caAlignRight}, {0, 0, 0x01}},
        {{caShaded, caAlignCenter}, {0, 0, 0x82}},
        {{caHidden, caLocked}, {0xC0, 0, 0}},
        {{caBottomBorder, caTopBorder, caRightBorder, caLeftBorder}, {0, 0, 0x78}},
        {{caAlignFill}, {0, 0, 0x04}},
        {{caAlignRight, caAlignFill}, {0, 0, 0x03}},
        {{caAlignCenter, caAlignRight, caAlignFill}, {0, 0, 0x02}},
        {{caHidden, caLocked, caShaded, caBottomBorder, caTopBorder, caRightBorder, caLeftBorder,
          caAlignLeft, caAlignCenter, caAlignRight, caAlignFill},
         {0xC0, 0, 0xF9}},
    };
    for (const auto& testCase : cases) {
        std::uint8_t bytes[3] = {0xAA, 0xAA, 0xAA};
        FillCellAttributes(testCase.attributes, bytes);
        EXPECT_EQ(bytes[0], testCase.bytes[0]) << testCase.attributes.Bits();
        EXPECT_EQ(bytes[1], testCase.bytes[1]) << testCase.attributes.Bits();
        EXPECT_EQ(bytes[2], testCase.bytes[2]) << testCase.attributes.Bits();
    }
}

TEST_F(XLSWriterTest, MaxColsCountsOnlyBeforeDimensions) {
    {
        TXLSWriter writer(Path("a.xls"));
        writer.MaxCols = 7;
        writer.WriteDimensions();
        writer.MaxCols = 9;
        writer.MaxRows = 3;
    }
    EXPECT_EQ(Bytes(Path("a.xls")), Hex("00 00 08 00 00 00 FF FF 00 00 07 00"));
}

TEST_F(XLSWriterTest, ConstructingAloneEmptiesAnExistingFile) {
    Put(Path("old.xls"), "previous content");
    { TXLSWriter writer(Path("old.xls")); }
    { TXLSWriter writer(Path("new.xls")); }
    EXPECT_TRUE(Bytes(Path("old.xls")).empty());
    EXPECT_TRUE(std::filesystem::exists(Path("new.xls")));
    EXPECT_TRUE(Bytes(Path("new.xls")).empty());
}

TEST_F(XLSWriterTest, DestructorNeverAppendsEof) {
    {
        TXLSWriter writer(Path("a.xls"));
        writer.WriteBOF();
        writer.WriteLabel(0, 0, "x");
    }
    EXPECT_EQ(Bytes(Path("a.xls")),
              Hex("09 08 06 00 00 00 10 00 00 00 04 00 09 00 00 00 00 00 00 00 00 01 78"));
}

// The system's text for an error number, as the messages quote it.
std::string Reason(int errorNumber) {
    return std::generic_category().message(errorNumber);
}

TEST_F(XLSWriterTest, OpenAndCreateFailuresNameTheFullPathAndTheReason) {
    std::filesystem::create_directories(Path("sub"));
    // The message quotes the system's text for the code the failure carries.
    EXPECT_SYSTEM_ERROR(TXLSWriter writer(Path("missing/a.xls")), EXLSWriteError, ENOENT,
                        "Cannot create file \"" + Path("missing/a.xls") + "\". " + Reason(ENOENT));
    EXPECT_SYSTEM_ERROR(TXLSWriter writer(Path("sub")), EXLSWriteError, EISDIR,
                        "Cannot open file \"" + Path("sub") + "\". " + Reason(EISDIR));

    // A relative name is expanded against the current folder.
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    EXPECT_SYSTEM_ERROR(TXLSWriter writer("missing/../missing/b.xls"), EXLSWriteError, ENOENT,
                        "Cannot create file \"" + Path("missing/b.xls") + "\". " + Reason(ENOENT));
    std::filesystem::current_path(saved);
}

TEST_F(XLSWriterTest, ALockedFileIsLeftAsItWas) {
    Put(Path("busy.xls"), "in use");
    const int holder = ::open(Path("busy.xls").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_SYSTEM_ERROR(TXLSWriter writer(Path("busy.xls")), EXLSWriteError, EWOULDBLOCK,
                        "Cannot open file \"" + Path("busy.xls") + "\". " + Reason(EWOULDBLOCK));
    ::close(holder);
    const auto bytes = Bytes(Path("busy.xls"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "in use");
}

TEST_F(XLSWriterTest, AFullDiskIsReportedNotHidden) {
    EXPECT_SYSTEM_ERROR(
        {
            TXLSWriter writer("/dev/full");
            writer.WriteBOF();
            writer.WriteDimensions();
            writer.WriteEOF();
            writer.Finish();
        },
        EXLSWriteError, ENOSPC, "Cannot write file \"/dev/full\". " + Reason(ENOSPC));
}

}  // namespace

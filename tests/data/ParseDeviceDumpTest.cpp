#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "data/Errors.h"
#include "data/uMeranie.h"
#include "support/AddressSpace.h"
#include "support/Throws.h"

using namespace std::string_literals;

namespace {

struct TExpected {
    std::string cable;
    std::string fiber;
    double waveLength;
    double value;
    double reference;
    bool isRelative;
};

void ExpectRecords(const std::vector<TExpected>& expected) {
    ASSERT_EQ(Merania.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_EQ(Merania[i].Cable, expected[i].cable);
        EXPECT_EQ(Merania[i].Fiber, expected[i].fiber);
        EXPECT_EQ(Merania[i].WaveLength, expected[i].waveLength);
        EXPECT_EQ(Merania[i].Value, expected[i].value);
        EXPECT_EQ(Merania[i].Reference, expected[i].reference);
        EXPECT_EQ(Merania[i].IsRelative, expected[i].isRelative);
    }
}

const std::string WorkedExample = "1\t1\t1310\t-3.52\n\r1\t2\t1550\t-0.41\t-10.00\n\r\n\r";

struct TDumpCase {
    const char* name;
    std::string dump;
    std::vector<TExpected> records;
};

class ParseDeviceDumpGives : public testing::TestWithParam<TDumpCase> {};

TEST_P(ParseDeviceDumpGives, TheRecords) {
    Merania.assign(3, TMeranie{"old", "old", 1, 2, 3, true});
    ParseDeviceDump(GetParam().dump);
    ExpectRecords(GetParam().records);
}

const TExpected Absolute1{"1", "1", 1310, -3.52, 0, false};
const TExpected Relative2{"1", "2", 1550, -0.41, -10, true};

INSTANTIATE_TEST_SUITE_P(
    Dumps, ParseDeviceDumpGives,
    testing::Values(
        TDumpCase{"WorkedExample", WorkedExample, {Absolute1, Relative2}},
        TDumpCase{"CrLfLines",
                  "1\t1\t1310\t-3.52\r\n1\t2\t1550\t-0.41\t-10.00\r\n",
                  {Absolute1, Relative2}},
        TDumpCase{"LoneLineEnds",
                  "1\t1\t1310\t-3.52\n1\t2\t1550\t-0.41\t-10.00\r",
                  {Absolute1, Relative2}},
        TDumpCase{"MeasurementText", "1@1@1310@-3.52^1@2@1550@-0.41@-10^", {Absolute1, Relative2}},
        TDumpCase{"EmptyLinesOnly", "\n\r\n\r\n\r", {}}, TDumpCase{"Nothing", "", {}},
        TDumpCase{"ThreeFieldsFallAway", "1\t1\t1310\n\r1\t1\t1310\t-3.52\n\r", {Absolute1}},
        TDumpCase{"SixFieldsAreAbsolute", "1\t1\t1310\t-3.52\t-10\t7\n\r", {Absolute1}},
        TDumpCase{"SpaceCutsTheLine", "1\t1\t1310 nm\t-3.52\n\r", {}},
        TDumpCase{"EmptyFiber", "1@@1310@-3.52", {{"1", "", 1310, -3.52, 0, false}}},
        TDumpCase{
            "AfterZeroByte", "1\t1\t1310\t-3.52\n\r\0001\t2\t1550\t-0.41\t-10\n\r"s, {Absolute1}},
        // The quoted piece ends at its quote; what follows starts the next piece, so
        // "@" opens it with an empty first field.
        TDumpCase{"QuotedLine",
                  "\"A 1\t2\"\t1550\t-0.41\t-10.00\n\r",
                  {{"", "1550", -0.41, -10, 0, false}}},
        TDumpCase{"QuotedField",
                  "\"A 1\"\t2\t1550\t-0.41\t-10.00\n\r",
                  {{"", "2", 1550, -0.41, -10, true}}},
        TDumpCase{"QuotedFieldInLine",
                  "1@\"x@y\"@1550@-0.41@-10\n\r",
                  {{"1", "x@y", 1550, -0.41, -10, true}}},
        TDumpCase{"HighBytesKept",
                  "K\xe4\xbe\t\xfe\t850\t-1\n\r",
                  {{"K\xe4\xbe", "\xfe", 850, -1, 0, false}}}),
    [](const testing::TestParamInfo<TDumpCase>& caseInfo) { return caseInfo.param.name; });

// Control bytes that cut a record's fields leave the record out and are told, instead of
// giving a reading with shifted fields; beside a record or inside a quoted text they change
// nothing.
TEST(ParseDeviceDump, RecordsSplitByControlBytesAreLeftOutAndTold) {
    struct TCase {
        std::string dump;
        std::size_t records;
        std::size_t leftOut;
        std::string text;
    };
    const std::string split =
        "C\x01"
        "A\x0b"
        "B\t1\x02\t1310\t-1.2\t-10";
    const std::vector<TCase> cases = {
        {split + "\n\r" + WorkedExample, 2, 1,
         "1 record left out: control bytes split its fields (first: "
         "\"C\\x01A\\x0bB\\t1\\x02\\t1310\\t-1.2\\t-10\")"},
        {WorkedExample + "1\t\x1b[31m1\t850\t-1\n\r" + split + "^", 2, 2,
         "2 records left out: control bytes split their fields (first: "
         "\"1\\t\\x1b[31m1\\t850\\t-1\")"},
        {"\x11" + WorkedExample + "\x1a\x13", 2, 0, ""},
        {"1\t1\t1310\t-3.52\x1a\n\r\x7f\xe9\x01\n\r", 1, 0, ""},
        // A quoted text keeps its control byte.
        {"\"\"\"C\x01"
         "A\"\"\t1\t1310\t-1.2\"\n\r",
         1, 0, ""}};
    for (const TCase& item : cases) {
        SCOPED_TRACE(item.dump);
        TMeraniaArray records;
        TDumpDamage damage;
        ParseDeviceDump(item.dump, records, &damage);
        EXPECT_EQ(records.size(), item.records);
        EXPECT_EQ(damage.Count, item.leftOut);
        EXPECT_EQ(DumpDamageText(damage), item.text);
        for (const TMeranie& record : records)
            EXPECT_NE(record.Cable, "");
    }
}

// The quotes keep the line piece whole; the field split then cuts at its blank too.
TEST(ParseDeviceDump, QuotedLineIsCutAgainAtFieldLevel) {
    ParseDeviceDump("\"A 1@2@1310@-3.52\"\n\r");
    ExpectRecords({{"A", "1", 2, 1310, -3.52, true}});
}

// The array is reserved for an upper estimate of the records, one per line end; a text of
// mostly empty lines may make that more than memory allows, which must not fail the parse.
TEST(ParseDeviceDump, IntoASetOfItsOwnLeavesMeraniaAlone) {
    Merania.clear();
    Merania.emplace_back().Cable = "shown";
    TMeraniaArray target(3);
    ParseDeviceDump(WorkedExample, target);
    ASSERT_EQ(target.size(), 2u);
    EXPECT_EQ(target[1].Fiber, "2");
    EXPECT_EQ(target[1].Reference, -10.0);
    EXPECT_TRUE(target[1].IsRelative);
    ASSERT_EQ(Merania.size(), 1u);
    EXPECT_EQ(Merania[0].Cable, "shown");
    Merania.clear();
}

TEST(ParseDeviceDump, AnEstimateBeyondMemoryIsNoFailure) {
#if defined(MERIDAX_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
    // 40 MiB of lone LF: an estimate of seven million records, some 670 MB.
    std::string dump(40u << 20, '\n');
    dump += "1\t1\t1310\t-3.52\n\r";
    EXPECT_EXIT(
        {
            if (!CapAddressSpace(256u << 20))
                std::_Exit(3);
            try {
                ParseDeviceDump(dump);
            } catch (...) {
                std::_Exit(2);
            }
            std::_Exit(Merania.size() == 1 && Merania[0].Value == -3.52 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
#endif
}

struct TFailureCase {
    const char* name;
    std::string dump;
    std::string message;
    std::vector<TExpected> left;
};

class ParseDeviceDumpFails : public testing::TestWithParam<TFailureCase> {};

TEST_P(ParseDeviceDumpFails, LeavingThePartialSet) {
    EXPECT_THROW_MESSAGE(ParseDeviceDump(GetParam().dump), EConvertError, GetParam().message);
    ExpectRecords(GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(
    Dumps, ParseDeviceDumpFails,
    testing::Values(TFailureCase{"Comma",
                                 "1\t1\t1310\t-3,52\n\r",
                                 "'-3,52' is not a valid floating point value",
                                 {{"1", "1", 1310, 0, 0, false}}},
                    TFailureCase{"TrailingTab",
                                 "1\t1\t1310\t-3.52\t\n\r",
                                 "'' is not a valid floating point value",
                                 {{"1", "1", 1310, -3.52, 0, true}}},
                    TFailureCase{"BadWaveLengthStopsBeforeValue",
                                 "1\t1\t1310\t-3.52\n\r2\t1\t13x0\tjunk\n\r3\t1\t1310\t-3.52\n\r",
                                 "'13x0' is not a valid floating point value",
                                 {Absolute1, {"2", "1", 0, 0, 0, false}}},
                    TFailureCase{"OutOfRange",
                                 "1\t1\t1E400\t-3.52\n\r",
                                 "'1E400' is not a valid floating point value",
                                 {{"1", "1", 0, 0, 0, false}}}),
    [](const testing::TestParamInfo<TFailureCase>& caseInfo) { return caseInfo.param.name; });

TEST(ParseMeraniaLines, SkipsEmptyAndShortPiecesAndAppends) {
    Merania.clear();
    ParseMeraniaLines({"", "1@1@1310", "1@1@1310@-3.52", "1@2@1550@-0.41@-10.00"});
    ExpectRecords({Absolute1, Relative2});
}

TEST(AddMeranie, BuildsOneRecordFromItsFields) {
    Merania.clear();
    AddMeranie({"c", "f", "850", "-1.5", "-7", "ignored"});
    ExpectRecords({{"c", "f", 850, -1.5, 0, false}});
    EXPECT_THROW(AddMeranie({"c", "f", "850"}), std::invalid_argument);
}

}  // namespace

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/uMeranie.h"
#include "support/Throws.h"

namespace {

std::vector<std::string> Row(const TMeasurementTable& table, std::size_t row) {
    std::vector<std::string> items;
    for (int i = 0; i < TMeasurementTable::SubItemCount; ++i) {
        items.emplace_back(table.SubItem(row, i));
    }
    return items;
}

using TRow = std::vector<std::string>;

TEST(MeasurementTable, CaptionsFollowThePage) {
    const std::vector<std::pair<TTablePage, std::vector<std::string>>> cases = {
        {TTablePage::All, {"", "Cable", "Fiber", "WaveLength", "dB/dBm", "Reference"}},
        {TTablePage::Absolute, {"", "Cable", "Fiber", "WaveLength", "dBm", ""}},
        {TTablePage::Relative, {"", "Cable", "Fiber", "WaveLength", "dB", "Reference"}},
    };
    for (const auto& [page, captions] : cases) {
        TMeasurementTable table(page);
        for (int column = 0; column < TMeasurementTable::ColumnCount; ++column) {
            EXPECT_EQ(table.Caption(column), captions[column]) << column;
        }
    }
}

TEST(MeasurementTable, FillSortsRecordsOntoThePagesInOrder) {
    const TMeraniaArray records = {
        {"1", "2", 1550, -0.41, -10, true},
        {"2", "1", 1310, -3.5, 0, false},
        {"3", "", 850, 0.000001, -23.45, true},
    };
    TMeasurementTable all(TTablePage::All);
    TMeasurementTable absolute(TTablePage::Absolute);
    TMeasurementTable relative(TTablePage::Relative);
    all.AddRow("stale", "", "", "", "");
    FillMeasurementTables(records, all, absolute, relative);

    ASSERT_EQ(all.RowCount(), 3u);
    EXPECT_EQ(Row(all, 0), (TRow{"1", "2", "1550", "-0.41", "-10"}));
    EXPECT_EQ(Row(all, 1), (TRow{"2", "1", "1310", "-3.5", ""}));
    EXPECT_EQ(Row(all, 2), (TRow{"3", "", "850", "1E-6", "-23.45"}));
    ASSERT_EQ(absolute.RowCount(), 1u);
    EXPECT_EQ(Row(absolute, 0), (TRow{"2", "1", "1310", "-3.5", ""}));
    ASSERT_EQ(relative.RowCount(), 2u);
    EXPECT_EQ(Row(relative, 0), Row(all, 0));
    EXPECT_EQ(Row(relative, 1), Row(all, 2));
    for (const TMeasurementTable* table : {&all, &absolute, &relative}) {
        for (std::size_t row = 0; row < table->RowCount(); ++row)
            EXPECT_FALSE(table->Checked(row));
    }
}

TEST(MeasurementTable, ChecksAndBounds) {
    TMeasurementTable table;
    table.AddRow("a", "b", "1", "2", "");
    table.AddRow("c", "d", "3", "4", "5");
    table.SetChecked(1, true);
    EXPECT_FALSE(table.Checked(0));
    EXPECT_TRUE(table.Checked(1));
    table.SetAllChecked(true);
    EXPECT_TRUE(table.Checked(0));
    EXPECT_THROW(table.SubItem(2, 0), std::out_of_range);
    EXPECT_THROW(table.SubItem(0, 5), std::out_of_range);
    EXPECT_THROW(table.Checked(2), std::out_of_range);
    table.Clear();
    EXPECT_EQ(table.RowCount(), 0u);
    table.AddRow("x", "", "", "", "");
    EXPECT_EQ(Row(table, 0), (TRow{"x", "", "", "", ""}));
}

TEST(MeasurementTable, RowsOfAnyLengthKeepTheirItems) {
    // Rows whose first four items with their separators pass 255 bytes are indexed apart;
    // both kinds mix, on either side of the limit.
    const std::vector<TRow> rows = {
        {"1", "1", "1310", "-3.52", ""},
        {std::string(300, 'c'), "f@^", "1550", "-0.41", "-10"},
        {"", "", "", "", ""},
        {std::string(60, 'a'), std::string(60, 'b'), std::string(60, 'w'), std::string(71, 'v'),
         ""},
        {std::string(60, 'a'), std::string(60, 'b'), std::string(60, 'w'), std::string(72, 'v'),
         "r"},
        {"x", std::string(70000, 'y'), "1", "2", std::string(256, 'z')},
        {"2", "", "850", "0.3", ""},
    };
    TMeasurementTable table;
    std::string text;
    for (const TRow& row : rows) {
        table.AddRow(row[0], row[1], row[2], row[3], row[4]);
        text += row[0] + "@" + row[1] + "@" + row[2] + "@" + row[3] +
                (row[4].empty() ? "" : "@" + row[4]) + "^";
    }
    ASSERT_EQ(table.RowCount(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        EXPECT_EQ(Row(table, r), rows[r]) << r;
    EXPECT_EQ(ListViewToText(table, false), text);
    table.Clear();
    table.AddRow("a", "b", "c", "d", "e");
    EXPECT_EQ(Row(table, 0), (TRow{"a", "b", "c", "d", "e"}));
}

struct TTextCase {
    const char* name;
    std::vector<bool> ticks;
    bool onlyChecked;
    std::string text;
};

class ListViewToTextGives : public testing::TestWithParam<TTextCase> {};

TEST_P(ListViewToTextGives, TheMeasurementText) {
    TMeasurementTable table;
    table.AddRow("1", "1", "1310", "-3.52", "");
    table.AddRow("1", "2", "1550", "-0.41", "-10");
    table.AddRow("2", "", "850", "0.3", "");
    for (std::size_t row = 0; row < 3; ++row)
        table.SetChecked(row, GetParam().ticks[row]);
    EXPECT_EQ(ListViewToText(table, GetParam().onlyChecked), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListViewToTextGives,
    testing::Values(TTextCase{"AllRowsWhateverTicked",
                              {false, true, false},
                              false,
                              "1@1@1310@-3.52^1@2@1550@-0.41@-10^2@@850@0.3^"},
                    TTextCase{
                        "CheckedOnly", {true, false, true}, true, "1@1@1310@-3.52^2@@850@0.3^"},
                    TTextCase{"NoneChecked", {false, false, false}, true, ""}),
    [](const testing::TestParamInfo<TTextCase>& caseInfo) { return caseInfo.param.name; });

TEST(ListViewToText, WorkedExampleIsThirtyFourCharacters) {
    ParseDeviceDump("1\t1\t1310\t-3.52\n\r1\t2\t1550\t-0.41\t-10.00\n\r\n\r");
    TMeasurementTable all;
    FillMeasurementTable(Merania, all);
    const std::string text = ListViewToText(all, false);
    EXPECT_EQ(text, "1@1@1310@-3.52^1@2@1550@-0.41@-10^");
    EXPECT_EQ(text.size(), 34u);
}

TEST(ListViewToText, EmptyTableGivesEmptyText) {
    EXPECT_EQ(ListViewToText(TMeasurementTable(), false), "");
}

struct TFileTextCase {
    const char* name;
    std::string cable;
    std::string fiber;
    std::string reference;
    std::string text;  // MeasurementFileText of the one row cable, fiber, 1310, -3.52, reference
};

class MeasurementFileTextQuotes : public testing::TestWithParam<TFileTextCase> {};

// Each text is quoted only as far as the split needs, and opening it gives the texts back.
TEST_P(MeasurementFileTextQuotes, WhatTheSplitWouldCut) {
    const TFileTextCase& c = GetParam();
    TMeasurementTable table;
    table.AddRow(c.cable, c.fiber, "1310", "-3.52", c.reference);
    ASSERT_EQ(MeasurementFileText(table), c.text);
    ParseDeviceDump(c.text);
    ASSERT_EQ(Merania.size(), 1u);
    EXPECT_EQ(Merania[0].Cable, c.cable);
    EXPECT_EQ(Merania[0].Fiber, c.fiber);
    EXPECT_EQ(Merania[0].Value, -3.52);
    EXPECT_EQ(Merania[0].IsRelative, !c.reference.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MeasurementFileTextQuotes,
    testing::Values(
        TFileTextCase{"PlainAsListViewToText", "1", "2", "", "1@2@1310@-3.52^"},
        TFileTextCase{"QuoteInsideStaysBare", "x\"y", "a\"", "", "x\"y@a\"@1310@-3.52^"},
        TFileTextCase{"AtInFiber", "1", "a@b", "", "1@\"a@b\"@1310@-3.52^"},
        TFileTextCase{"AtInFiberRelative", "1", "a@b", "-10", "1@\"a@b\"@1310@-3.52@-10^"},
        TFileTextCase{"LeadingQuoteInFiber", "1", "\"q", "", "1@\"\"\"q\"@1310@-3.52^"},
        // Rows are cut before fields: the whole row goes in quotes too, its quotes doubled.
        TFileTextCase{"CaretInFiber", "1", "a^b", "", "\"1@a^b@1310@-3.52\"^"},
        TFileTextCase{"BlankInFiber", "1", "a b", "", "\"1@\"\"a b\"\"@1310@-3.52\"^"},
        TFileTextCase{"CarriageReturnAfterEmptyCable", "", "\r", "", "\"@\"\"\r\"\"@1310@-3.52\"^"},
        TFileTextCase{"QuotedCableStartsTheRow", "a@b", "1", "", "\"\"\"a@b\"\"@1@1310@-3.52\"^"},
        TFileTextCase{"LoneQuoteCable", "\"", "", "-1", R"("""""""""@@1310@-3.52@-1"^)"}),
    [](const testing::TestParamInfo<TFileTextCase>& caseInfo) { return caseInfo.param.name; });

TEST(MeasurementFileText, TheQuotedDumpFieldReadsBack) {
    ParseDeviceDump("1\t\"a@b\"\t1310\t-3.52\n\r2\t1\t850\t0.3\t-1\n\r\n\r");
    TMeasurementTable all;
    FillMeasurementTable(Merania, all);
    const std::string text = MeasurementFileText(all);
    EXPECT_EQ(text, "1@\"a@b\"@1310@-3.52^2@1@850@0.3@-1^");
    ParseDeviceDump(text);
    ASSERT_EQ(Merania.size(), 2u);
    EXPECT_EQ(Merania[0].Fiber, "a@b");
    EXPECT_EQ(Merania[0].WaveLength, 1310);
    EXPECT_EQ(Merania[1].Reference, -1);
}

TEST(MeasurementFileText, RefusesWhatNoQuotingKeeps) {
    for (const auto& [cable, fiber, message] : std::vector<std::array<std::string, 3>>{
             {"1", "a\nb", "The fiber of row 2 holds a line feed"},
             {std::string("a\0b", 3), "1", "The cable of row 2 holds a zero byte"},
             {"1", "a b\t", "The fiber of row 2 holds a tab"}}) {
        TMeasurementTable table;
        table.AddRow("1", "1", "1", "1", "");
        table.AddRow(cable, fiber, "1", "1", "");
        EXPECT_THROW_MESSAGE(MeasurementFileText(table), EUnsavableText,
                             message + ", which a measurement file cannot keep")
            << testing::PrintToString(fiber);
    }
}

}  // namespace

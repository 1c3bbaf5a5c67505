#include <gtest/gtest.h>

#include "ExportTestFiles.h"
#include "export/ClipboardText.h"

namespace {

TEST(DeviceLineFromLabel, TurnsRunsOfFourBlanksIntoTabs) {
    const std::pair<std::string, std::string> cases[] = {
        {"DEVICE-1    0042", "DEVICE-1\t0042"},
        {"A        B", "A\t\tB"},
        {"A     B", "A\t B"},
        {"A   B", "A   B"},
        {"No connected device", "No connected device"},
        {"", ""},
    };
    for (const auto& [label, line] : cases)
        EXPECT_EQ(DeviceLineFromLabel(label), line) << label;
}

TEST(BuildClipboardText, WorkedExampleGivesFourLines) {
    EXPECT_EQ(BuildClipboardText(WorkedExampleTable(), true, "DEVICE-1\t0042", true),
              WorkedExampleClipboardText);
}

struct TClipboardCase {
    const char* name;
    TTablePage page;
    bool device;
    std::string deviceLine;
    bool header;
    bool tickFirst;
    std::string text;
};

class BuildClipboardTextGives : public testing::TestWithParam<TClipboardCase> {};

TEST_P(BuildClipboardTextGives, TheText) {
    TMeasurementTable table(GetParam().page);
    table.AddRow("2", "1", "1310", "-3.71", "");
    table.AddRow("c@d", "e^f", "1", "2", "");
    table.SetChecked(0, GetParam().tickFirst);
    EXPECT_EQ(
        BuildClipboardText(table, GetParam().device, GetParam().deviceLine, GetParam().header),
        GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildClipboardTextGives,
    testing::Values(
        TClipboardCase{"NothingAtAll", TTablePage::All, false, "ignored", false, false, ""},
        TClipboardCase{"AbsoluteRowHasFourFields", TTablePage::All, false, "", false, true,
                       "2\t1\t1310\t-3.71\r\n"},
        TClipboardCase{"LinesOnly", TTablePage::Absolute, true, "No connected device", true, false,
                       "No connected device\r\nCable\tFiber\tWaveLength\tdBm\t\t\r\n"},
        TClipboardCase{"AtAndCaretEverywhere", TTablePage::All, true, "a@b^c", false, false,
                       "a\tb\r\nc\r\n"}),
    [](const testing::TestParamInfo<TClipboardCase>& caseInfo) { return caseInfo.param.name; });

TEST(BuildClipboardText, AtAndCaretInCellsTurnIntoTabAndLineBreak) {
    TMeasurementTable table;
    table.AddRow("c@d", "e^f", "1", "2", "");
    table.SetAllChecked(true);
    EXPECT_EQ(BuildClipboardText(table, false, "", false), "c\td\te\r\nf\t1\t2\r\n");
}

}  // namespace

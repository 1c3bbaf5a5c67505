#include <sys/stat.h>
#include <unistd.h>

#include <QMenu>

#include "app/WindowFixture.h"
#include "export/ReadBack.h"
#include "session/ApplicationSettings.h"

namespace {

// Page Relative of the worked example, the first and third rows ticked, with numbers the
// table shows rounded (0.1234567890123456 as 0.123456789012346).
class TWorkbookExportTest : public TWindowTest {
protected:
    void SetUpPage() {
        CreateWindow();
        LoadRecords({Relative("1", "1", 1310, 0.1234567890123456, -10.5),
                     Relative("1", "2", 1310, 0.31, -10.5), Absolute("7", "1", 850, -1),
                     Relative("\xE9", "2", 1550, 0.3, -10.4)});
        frm_->SetDeviceLabelText("DEVICE-1    0042");
        ExportDeviceDetails = true;
        ExportTableHeader = true;
        ExportDecimalSeparator = ",";
        ShowPage(TTablePage::Relative);
        Tick(TTablePage::Relative, 0);
        Tick(TTablePage::Relative, 2);
        Tick(TTablePage::All, 1);  // another page's tick is not exported
        errors_.clear();
    }

    void Export(QAction* item, const std::string& name) {
        fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File(name)));
        item->trigger();
    }
};

TEST_F(TWorkbookExportTest, PopupGainsTheWorkbookCsvAndReportItems) {
    CreateWindow();
    const QList<QAction*> items = frm_->PopupMenuExport->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0], frm_->ppExportToExcel);
    EXPECT_EQ(items[1], frm_->ppExportToClipboard);
    EXPECT_EQ(items[2], frm_->ppExportToXlsx);
    EXPECT_EQ(items[3], frm_->ppExportToCsv);
    EXPECT_EQ(items[2]->text(), QStringLiteral("Export to Excel workbook (.xlsx)\u2026"));
    EXPECT_EQ(items[3]->text(), QStringLiteral("Export to CSV\u2026"));
    EXPECT_EQ(items[4], frm_->ppExportToPdf);
    EXPECT_EQ(items[4]->text(), QStringLiteral("Test report (PDF)\u2026"));
}

TEST_F(TWorkbookExportTest, WorkbookHoldsTheTickedRowsOfThePageShownAsNumbers) {
    SetUpPage();
    Export(frm_->ppExportToXlsx, "m.xlsx");
    EXPECT_TRUE(errors_.empty()) << errors_[0];
    ASSERT_EQ(fileDialogs_->Asked.size(), 1u);
    EXPECT_TRUE(fileDialogs_->Asked[0].Save);
    EXPECT_EQ(fileDialogs_->Asked[0].Title, QStringLiteral("Export to Excel workbook"));
    EXPECT_EQ(fileDialogs_->Asked[0].Filter, QStringLiteral("Excel workbook (*.xlsx)"));
    EXPECT_EQ(fileDialogs_->Asked[0].DefaultSuffix, QStringLiteral("xlsx"));

    const auto cell = [](int row, int column, const std::string& type, const std::string& hex) {
        return "cell " + std::to_string(row) + " " + std::to_string(column) + " " + type + " " +
               hex;
    };
    std::vector<std::string> lines = ReadBack({"xlsx", dir_->File("m.xlsx")});
    // The properties, the device row and the captions are the writer's own tests; here the
    // rows the window chose.
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[1], "subject " + Utf8Hex("DEVICE-1    0042"));
    EXPECT_EQ(lines[3], "sheets Relative");
    lines.erase(lines.begin(), lines.end() - 10);
    const std::vector<std::string> rows = {
        cell(2, 0, "s", Utf8Hex("1")),     cell(2, 1, "s", Utf8Hex("1")),
        cell(2, 2, "n", DoubleHex(1310)),  cell(2, 3, "n", DoubleHex(0.1234567890123456)),
        cell(2, 4, "n", DoubleHex(-10.5)), cell(3, 0, "s", Utf8Hex("\u00E9")),
        cell(3, 1, "s", Utf8Hex("2")),     cell(3, 2, "n", DoubleHex(1550)),
        cell(3, 3, "n", DoubleHex(0.3)),   cell(3, 4, "n", DoubleHex(-10.4))};
    EXPECT_EQ(lines, rows);
}

TEST_F(TWorkbookExportTest, CsvHoldsTheTickedRowsWithTheSettingsSeparator) {
    SetUpPage();
    Export(frm_->ppExportToCsv, "m.csv");
    EXPECT_TRUE(errors_.empty()) << errors_[0];
    ASSERT_EQ(fileDialogs_->Asked.size(), 1u);
    EXPECT_EQ(fileDialogs_->Asked[0].Title, QStringLiteral("Export to CSV"));
    EXPECT_EQ(fileDialogs_->Asked[0].Filter, QStringLiteral("CSV (*.csv)"));
    EXPECT_EQ(fileDialogs_->Asked[0].DefaultSuffix, QStringLiteral("csv"));
    EXPECT_EQ(ReadFileBytes(dir_->File("m.csv")),
              "\xEF\xBB\xBF"
              "DEVICE-1;0042\r\n"
              "Cable;Fiber;WaveLength;dB;Reference\r\n"
              "1;1;1310;0,123456789012346;-10,5\r\n"
              "\xC3\xA9;2;1550;0,3;-10,4\r\n");
}

// With a budget set the CSV gains the verdict columns, the figures with the chosen separator:
// a loss of -0.12 is no gain beyond the 0.2 dB tolerance and passes the 2.30 dB link; -0.30
// is one.
TEST_F(TWorkbookExportTest, CsvWithABudgetCarriesTheVerdictColumns) {
    SetUpPage();
    TBudget budget;
    budget.Preset = "tia-568-sm-isp";
    budget.Links = {{"1", 500, 2, 1}};
    frm_->SetBudget(budget);
    Export(frm_->ppExportToCsv, "m.csv");
    EXPECT_TRUE(errors_.empty()) << errors_[0];
    EXPECT_EQ(ReadFileBytes(dir_->File("m.csv")),
              "\xEF\xBB\xBF"
              "DEVICE-1;0042\r\n"
              "Cable;Fiber;WaveLength;dB;Reference;Loss (dB);Limit (dB);Margin (dB);Verdict\r\n"
              "1;1;1310;0,123456789012346;-10,5;-0,12;2,30;2,42;PASS\r\n"
              "\xC3\xA9;2;1550;0,3;-10,4;-0,30;;;CHECK\r\n");
}

// A failed export is shown with the file's name and leaves the file that was there.
TEST_F(TWorkbookExportTest, FailuresAreShownAndKeepTheOldFile) {
    SetUpPage();
    for (QAction* item : {frm_->ppExportToXlsx, frm_->ppExportToCsv}) {
        errors_.clear();
        Export(item, "no/such/m.out");
        ASSERT_EQ(errors_.size(), 1u);
        EXPECT_EQ(errors_[0], "Cannot create file \"" + dir_->File("no/such/m.out") +
                                  "\". No such file or directory");
        EXPECT_NE(frm_->cursor().shape(), Qt::WaitCursor);
    }
    WriteFileBytes(dir_->File("m.xlsx"), "old");
    ::chmod(dir_->File("m.xlsx").c_str(), 0444);
    errors_.clear();
    Export(frm_->ppExportToXlsx, "m.xlsx");
    if (::geteuid() != 0) {
        EXPECT_EQ(errors_.size(), 1u);
        EXPECT_EQ(ReadFileBytes(dir_->File("m.xlsx")), "old");
    }
}

TEST_F(TWorkbookExportTest, CancelWritesNothing) {
    SetUpPage();
    fileDialogs_->Answers.push_back(std::nullopt);
    frm_->ppExportToXlsx->trigger();
    fileDialogs_->Answers.push_back(std::nullopt);
    frm_->ppExportToCsv->trigger();
    EXPECT_EQ(fileDialogs_->Asked.size(), 2u);
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(ReadFileBytes(dir_->File("m.xlsx")), "");
    EXPECT_EQ(ReadFileBytes(dir_->File("m.csv")), "");
}

}  // namespace

namespace {

// A workbook or CSV export keeps an import as Save does: closing then asks nothing.
TEST_F(TWorkbookExportTest, AnExportCountsAsKeepingTheImport) {
    SetUpPage();
    for (QAction* item : {frm_->ppExportToXlsx, frm_->ppExportToCsv}) {
        frm_->RefillViews();  // as an import ends
        ASSERT_TRUE(frm_->UnsavedImport());
        Export(item, "kept.out");
        EXPECT_TRUE(errors_.empty());
        EXPECT_FALSE(frm_->UnsavedImport()) << item->text().toStdString();
    }
}

}  // namespace

// The window's test report: the ticked rows of the page shown with their verdicts, read back
// with pdftotext; refused without a budget; a failure names the file.
#include <QAction>

#include "MeridaxVersion.h"
#include "app/WindowFixture.h"
#include "session/ApplicationSettings.h"

namespace {

class TTestReportExportTest : public TWindowTest {
protected:
    // Page Relative shown: PASS (limit 2.30, margin 0.35), FAIL (the fixed 2.00 at 1550 nm),
    // CHECK (a gain), no link for cable 2 (unticked), no limit at 850 nm; the absolute row is
    // ticked on page All only.
    void SetUpPage() {
        CreateWindow();
        LoadRecords({Relative("1", "1", 1310, -1.95, -10), Absolute("1", "2", 1310, -25),
                     Relative("1", "3", 1550, -2.5, -10), Relative("2", "1", 1310, 0.5, -10),
                     Relative("2", "3", 1310, -1.23, -10), Relative("3", "1", 850, -0.77, -10)});
        TBudget budget;
        budget.Name = "Riser A";
        budget.Preset = "tia-568-sm-isp";
        budget.Links = {{"1", 500, 2, 1}};
        budget.MaxLossDb = {{1550, 2.0}};
        frm_->SetBudget(budget);
        frm_->SetDeviceLabelText("OLM-45    SN 7");
        ExportDeviceDetails = true;
        ShowPage(TTablePage::Relative);
        for (int row : {0, 1, 2, 4}) {
            Tick(TTablePage::Relative, row);
        }
        Tick(TTablePage::All, 1);
        errors_.clear();
    }

    std::string Report(const std::string& name) {
        fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File(name)));
        frm_->ppExportToPdf->trigger();
        return PdfText(dir_->File(name));
    }
};

TEST_F(TTestReportExportTest, TheTickedRowsOfThePageShownWithTheirVerdicts) {
    SetUpPage();
    const std::string text = Report("r.pdf");
    EXPECT_TRUE(errors_.empty()) << errors_[0];
    ASSERT_EQ(fileDialogs_->Asked.size(), 1u);
    EXPECT_TRUE(fileDialogs_->Asked[0].Save);
    EXPECT_EQ(fileDialogs_->Asked[0].Title, QStringLiteral("Test report"));
    EXPECT_EQ(fileDialogs_->Asked[0].Filter, QStringLiteral("PDF (*.pdf)"));
    EXPECT_EQ(fileDialogs_->Asked[0].DefaultSuffix, QStringLiteral("pdf"));
    for (const std::string part :
         {"Fiber test report", "Device: OLM-45 SN 7", "Riser A",
          "4 rows reported: 1 PASS, 1 FAIL, 1 CHECK, 1 without a verdict",
          "1 1 1310 -1.95 -10 1.95 2.30 0.35 PASS\n", "1 3 1550 -2.5 -10 2.50 2.00 -0.50 FAIL\n",
          "2 1 1310 0.5 -10 -0.50 CHECK\n", "3 1 850 -0.77 -10 0.77\n",
          "MERIDAX data exporter " MERIDAX_VERSION, "Page 1 of "}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
    // The unticked row and the other page's tick are not reported.
    EXPECT_EQ(text.find("1.23"), std::string::npos) << text;
    EXPECT_EQ(text.find("-25"), std::string::npos) << text;
    EXPECT_EQ(frm_->StatusText().toStdString(), "Test report written to " + dir_->File("r.pdf") +
                                                    ": 4 rows, 1 pass, 1 fail, 1 check");
    EXPECT_FALSE(frm_->UnsavedImport());

    // Nothing ticked: the report says so, as the other exports write their bare files. No
    // meter known: no device line.
    frm_->SetAllItemsChecked(TTablePage::Relative, false);
    frm_->SetDeviceLabelText("No connected device");
    const std::string none = Report("none.pdf");
    EXPECT_NE(none.find("No rows to report."), std::string::npos) << none;
    EXPECT_EQ(none.find("Device:"), std::string::npos) << none;
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "Test report written to " + dir_->File("none.pdf") + ": 0 rows");
}

TEST_F(TTestReportExportTest, NamesTheMeterWhateverTheDeviceDetailsSetting) {
    SetUpPage();
    ExportDeviceDetails = false;
    const std::string text = Report("r.pdf");
    EXPECT_TRUE(errors_.empty());
    EXPECT_NE(text.find("Device: OLM-45 SN 7\n"), std::string::npos) << text;
}

TEST_F(TTestReportExportTest, RefusedWithoutABudgetAndAFailureNamesTheFile) {
    SetUpPage();
    frm_->SetBudget(std::nullopt);
    frm_->ppExportToPdf->trigger();
    EXPECT_EQ(errors_, std::vector<std::string>{"A test report judges the rows by a loss budget, "
                                                "and none is set: choose one under Options > "
                                                "Loss budget..."});
    EXPECT_TRUE(fileDialogs_->Asked.empty());

    frm_->SetBudget(TBudget{});
    const QString judged = frm_->StatusText();
    errors_.clear();
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("no/such/r.pdf")));
    frm_->ppExportToPdf->trigger();
    EXPECT_EQ(errors_,
              std::vector<std::string>{"Cannot create file \"" + dir_->File("no/such/r.pdf") +
                                       "\". No such file or directory"});
    EXPECT_EQ(frm_->StatusText(), judged);
    EXPECT_NE(frm_->cursor().shape(), Qt::WaitCursor);
}

}  // namespace

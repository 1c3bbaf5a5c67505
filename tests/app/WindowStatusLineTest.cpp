// The status line follows every command and every change of the session; long texts show in
// two lines; texts that quote a meter or a file are never taken for markup; the buttons keep
// their keys whatever their captions say.
#include <fstream>

#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include "app/WindowFixture.h"
#include "app/common/MeridaxApplication.h"
#include "app/main/Questions.h"
#include "session/SessionStatus.h"

namespace {

class TStatusLineTest : public TWindowTest {
protected:
    void Start(TfrmMainOptions options = {}) {
        CreateWindow(std::move(options));
        ShowAndActivate();
        frm_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frm_.get()));
    }

    bool Importing() const {
        return frm_->btnImport->text() == QLatin1String(TDeviceSession::ImportingCaption);
    }

    // The status line's lines as shown.
    QStringList ShownLines() const { return frm_->lblStatus->text().split(QLatin1Char('\n')); }
};

// What a tooltip shows of tip: it takes anything that looks like markup for markup.
QString ToolTipShows(const QString& tip) {
    QTextDocument document;
    if (Qt::mightBeRichText(tip)) {
        document.setHtml(tip);
    } else {
        document.setPlainText(tip);
    }
    return document.toPlainText().replace(QChar(0xA0), QLatin1Char(' '));
}

}  // namespace

TEST_F(TStatusLineTest, CtrlIImportsAgainAfterAnImportAndAfterACancel) {
    Start();
    frm_->SetImportEnabled(true);
    for (const char* step : {"first", "after an import", "after a cancel"}) {
        SCOPED_TRACE(step);
        QTest::keyClick(frm_.get(), Qt::Key_I, Qt::ControlModifier);
        // A button's key clicks it after a moment.
        ASSERT_TRUE(QTest::qWaitFor([&] { return Importing(); }, PatientWaitMs));
        if (std::string(step) == "after a cancel") {
            break;
        }
        if (std::string(step) == "first") {
            // The session puts the caption back when the dump is complete.
            frm_->SetImportCaption(frm_->Session().ImportButtonCaption);
        } else {
            QTest::keyClick(frm_.get(), Qt::Key_Escape);
        }
        ASSERT_FALSE(Importing());
    }
    EXPECT_EQ(frm_->btnImport->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
    frm_->btnCheckUnCheckAll->click();
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Uncheck all"));
    EXPECT_EQ(frm_->btnImport->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
}

TEST_F(TStatusLineTest, RefreshDuringAnImportReplacesItsProgress) {
    Start();
    frm_->SetImportEnabled(true);
    frm_->btnImport->click();
    ASSERT_TRUE(Importing());
    frm_->ShowImportProgress(6023, 292);
    ASSERT_TRUE(frm_->btnCancelImport->isVisibleTo(frm_.get()));
    // The refresh asks first; Yes ends the import.
    questions_->EndImportAnswers = {true};
    QTest::keyClick(frm_.get(), Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Importing(); }, PatientWaitMs));
    EXPECT_EQ(questions_->Asked.size(), 1u);
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "2 serial ports found: choose one to connect; the import was ended and the "
              "previous measurements are kept");
    EXPECT_EQ(frm_->DeviceLabelText(), TDeviceSession::NoDeviceText);
    EXPECT_FALSE(frm_->btnCancelImport->isVisibleTo(frm_.get()));
}

TEST_F(TStatusLineTest, EveryCommandSaysWhatItDid) {
    CreateWindow();
    LoadRecords({Relative("1", "1", 1310, 0.25, -10.5), Absolute("2", "1", 1310, -3.5),
                 Relative("3", "1", 1550, 0.3, -10.4)});
    ShowPage(TTablePage::Relative);
    Tick(TTablePage::Relative, 0);
    Tick(TTablePage::Relative, 1);
    // The first start's missing settings file.
    errors_.clear();
    const auto file = [this](const char* name) { return QString::fromStdString(dir_->File(name)); };
    const struct {
        QAction* action;
        const char* file;
        const char* status;
    } exports[] = {{frm_->ppExportToExcel, "relative.xls", "Exported 2 rows to "},
                   {frm_->ppExportToXlsx, "relative.xlsx", "Exported 2 rows to "},
                   {frm_->ppExportToCsv, "relative.csv", "Exported 2 rows to "}};
    for (const auto& e : exports) {
        fileDialogs_->Answers.push_back(file(e.file));
        e.action->trigger();
        EXPECT_EQ(frm_->StatusText(), QLatin1String(e.status) + file(e.file));
    }
    Tick(TTablePage::Relative, 1, false);
    frm_->ppExportToClipboard->trigger();
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("Copied 1 row to the clipboard"));

    fileDialogs_->Answers.push_back(file("set.mxe"));
    frm_->btnSaveToFile->click();
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("Saved 3 measurements to ") + file("set.mxe"));
    fileDialogs_->Answers.push_back(file("set.mxe"));
    frm_->btnOpen->click();
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("Opened ") + file("set.mxe") +
                                      QStringLiteral(": 3 measurements: 1 absolute, 2 relative"));
    // A record whose fields control bytes split is left out, and the line says so.
    std::ofstream(dir_->File("split.mxe"), std::ios::binary) << "1@1@1310@-3.52^C\x01"
                                                                "A@1\x02@1310@-1.2@-10^\r\n";
    fileDialogs_->Answers.push_back(file("split.mxe"));
    frm_->btnOpen->click();
    EXPECT_EQ(frm_->StatusText().toStdString(),
              (QStringLiteral("Opened ") + file("split.mxe") +
               QStringLiteral(": 1 measurement: 1 absolute, 0 relative; 1 record left out: "
                              "control bytes split its fields (first: "
                              "\"C\\x01A@1\\x02@1310@-1.2@-10\")"))
                  .toStdString());
    EXPECT_TRUE(errors_.empty());
}

TEST_F(TStatusLineTest, ALongHintShowsWholeInTwoLinesAndTheWindowKeepsItsSize) {
    Start();
    const int outerHeight = frm_->frameGeometry().height();
    const int clientHeight = frm_->ClientArea->height();
    const QFontMetrics metrics = frm_->lblStatus->fontMetrics();
    // A port named by its adapter, as udev names it: no hint fits one line.
    const std::string port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    for (const std::string& hint :
         {NoAnswerStatus(port, 19200),
          OpenFailureStatus(port, std::make_error_code(std::errc::permission_denied))}) {
        SCOPED_TRACE(hint);
        frm_->ShowStatus(hint);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return frm_->ClientArea->height() == clientHeight - metrics.lineSpacing(); },
            PatientWaitMs));
        ASSERT_EQ(ShownLines().size(), 2);
        EXPECT_EQ(ShownLines().join(QLatin1Char(' ')).toStdString(), hint);
        for (const QString& line : ShownLines()) {
            EXPECT_LE(metrics.horizontalAdvance(line), frm_->lblStatus->contentsRect().width());
        }
        EXPECT_EQ(frm_->statusBar()->height(), TfrmMain::StatusLineHeight + metrics.lineSpacing());
        EXPECT_EQ(frm_->frameGeometry().height(), outerHeight);
        EXPECT_EQ(ToolTipShows(frm_->lblStatus->toolTip()).toStdString(), hint);
    }
    frm_->ShowStatus("Import cancelled");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return frm_->ClientArea->height() == clientHeight; }, PatientWaitMs));
    EXPECT_EQ(frm_->lblStatus->text(), QStringLiteral("Import cancelled"));
    EXPECT_EQ(frm_->statusBar()->height(), TfrmMain::StatusLineHeight);
}

TEST_F(TStatusLineTest, AnOverlongTextKeepsItsStartAndItsEnd) {
    Start();
    const std::string path = "/home/user/" + std::string(400, 'x') + "/relative.xlsx";
    frm_->ShowStatus("Exported 179 rows to " + path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ShownLines().size() == 2; }, PatientWaitMs));
    EXPECT_EQ(ShownLines()[0], QStringLiteral("Exported 179 rows to"));
    EXPECT_TRUE(ShownLines()[1].endsWith(QStringLiteral("/relative.xlsx")));
    EXPECT_TRUE(ShownLines()[1].contains(QChar(0x2026)));
}

TEST_F(TStatusLineTest, TooltipsShowMeterAndStatusTextsAsTheyAre) {
    CreateWindow();
    const std::string name =
        "<b>PRO</b> &lt;x&gt; OPTICAL LEVEL METER WITH A LONG NAME    SN 0412871";
    frm_->SetDeviceLabelText(name);
    ASSERT_FALSE(frm_->lblConectedDeviceName->toolTip().isEmpty());
    EXPECT_EQ(ToolTipShows(frm_->lblConectedDeviceName->toolTip()).toStdString(), name);
    const std::string status = "Port <b>/dev/ttyS0</b> &lt;busy&gt;";
    frm_->ShowStatus(status);
    EXPECT_EQ(ToolTipShows(frm_->lblStatus->toolTip()).toStdString(), status);
}

TEST_F(TStatusLineTest, MessageBoxesShowFileAndMeterTextsAsTheyAre) {
    auto* application = qobject_cast<TMeridaxApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    // The real box, not the test's recorder.
    application->SetErrorReporter({});
    const QString message = QStringLiteral("Cannot open /tmp/<b>x</b>.mxe &lt;y&gt;");
    const auto expectPlain = [&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->text(), message);
        EXPECT_EQ(box->windowTitle(), QLatin1String(TMeridaxApplication::Title));
        box->reject();
    };
    {
        TModalWatch watch(expectPlain);
        ReportApplicationError(message.toStdString());
        EXPECT_TRUE(watch.Seen());
    }
    TMessageBoxQuestions questions;
    {
        TModalWatch watch(expectPlain);
        EXPECT_FALSE(questions.AskReplaceWithNothing(nullptr, message));
        EXPECT_TRUE(watch.Seen());
    }
    {
        TModalWatch watch(expectPlain);
        EXPECT_EQ(questions.AskUnsavedImport(nullptr, message), IQuestions::TUnsavedAnswer::Cancel);
        EXPECT_TRUE(watch.Seen());
    }
}

// The status line, the cancel of an import, the device label's fitting, the keyboard and the
// questions before measurements are lost.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "app/WindowFixture.h"

namespace {

class TStatusKeysTest : public TWindowTest {
protected:
    void Start() {
        CreateWindow();
        ShowAndActivate();
        frm_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frm_.get()));
    }

    // What the session does after a complete dump.
    void Import(const TMeraniaArray& records) {
        Merania = records;
        frm_->RefillViews();
    }
};

}  // namespace

TEST_F(TStatusKeysTest, StatusLineLiesBelowTheDesignedClientArea) {
    Start();
    QStatusBar* bar = frm_->statusBar();
    EXPECT_EQ(bar->height(), TfrmMain::StatusLineHeight);
    EXPECT_EQ(bar->y(), frm_->ClientArea->geometry().bottom() + 1);
    // The client area is as tall as the window was without the status line.
    EXPECT_EQ(frm_->frameGeometry().height(), TfrmMain::WorkingOuterHeight);
    EXPECT_EQ(frm_->ClientArea->height(),
              frm_->height() - TfrmMain::StatusLineHeight - frm_->menuBar()->height());
    EXPECT_EQ(frm_->grpDevice->geometry().bottom() + 1, frm_->ClientArea->height() - 6);
    // The window system would append a display name to every dialog's title.
    EXPECT_NE(QGuiApplication::applicationDisplayName(),
              QStringLiteral("MERIDAX data exporter 1.1"));
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("meridax"));
}

TEST_F(TStatusKeysTest, StatusLineShowsCountsProgressAndPlainText) {
    CreateWindow();
    LoadRecords({Relative("1", "1", 1310, 0.25, -10.5), Absolute("2", "1", 1310, -3.5),
                 Relative("3", "1", 1550, 0.3, -10.4)});
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("3 measurements: 1 absolute, 2 relative"));
    LoadRecords({Absolute("2", "1", 1310, -3.5)});
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("1 measurement: 1 absolute, 0 relative"));
    frm_->ShowImportProgress(123456, 1234);
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("Importing: 123,456 bytes, 1,234 lines"));
    frm_->ShowStatus("Port <b>/dev/ttyS0</b> &lt;busy&gt;");
    EXPECT_EQ(frm_->lblStatus->textFormat(), Qt::PlainText);
    EXPECT_EQ(frm_->lblStatus->text(), QStringLiteral("Port <b>/dev/ttyS0</b> &lt;busy&gt;"));
}

TEST_F(TStatusKeysTest, EscapeAndCancelEndAnImportUnderWay) {
    Start();
    EXPECT_FALSE(frm_->btnCancelImport->isVisibleTo(frm_.get()));
    for (const bool byEscape : {true, false}) {
        frm_->SetBusyCursor(true);
        frm_->SetImportCaption(TDeviceSession::ImportingCaption);
        ASSERT_TRUE(frm_->btnCancelImport->isVisibleTo(frm_.get()));
        if (byEscape) {
            QTest::keyClick(frm_.get(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(frm_->btnCancelImport, Qt::LeftButton);
        }
        EXPECT_EQ(frm_->btnImport->text(), QStringLiteral("Import from device")) << byEscape;
        EXPECT_NE(frm_->cursor().shape(), Qt::WaitCursor);
        EXPECT_FALSE(frm_->btnCancelImport->isVisibleTo(frm_.get()));
    }
}

TEST_F(TStatusKeysTest, DeviceLabelShowsPlainTextAndFitsLeftOfImport) {
    CreateWindow();
    QLabel* label = frm_->lblConectedDeviceName;
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    const std::string markup = "OLM <b>45</b> &lt;";
    frm_->SetDeviceLabelLeft(130);
    frm_->SetDeviceLabelText(markup);
    EXPECT_EQ(label->text(), QString::fromStdString(markup));
    EXPECT_EQ(label->x(), 130);
    EXPECT_TRUE(label->toolTip().isEmpty());

    const int right = frm_->btnImport->x();
    const int margin = frm_->pgMerania->x();
    for (const std::string& name :
         {std::string("MERIDAX OLM-45    SN 0412871"),
          std::string("MERIDAX OLM-45 OPTICAL LEVEL METER    SN 0412871")}) {
        frm_->SetDeviceLabelText(name);
        const bool cut = label->text() != QString::fromStdString(name);
        EXPECT_LE(label->geometry().right(), right) << name;
        EXPECT_GE(label->x(), margin) << name;
        EXPECT_LT(label->x(), 130) << name;
        EXPECT_EQ(frm_->DeviceLabelText(), name);
        EXPECT_EQ(frm_->DeviceLabelLeft(), 130);
        if (cut) {
            EXPECT_EQ(label->x(), margin) << name;
            EXPECT_TRUE(label->text().contains(QChar(0x2026))) << name;
            EXPECT_TRUE(label->text().startsWith(QStringLiteral("MERIDAX"))) << name;
            EXPECT_TRUE(label->text().endsWith(QStringLiteral("0412871"))) << name;
            EXPECT_EQ(label->toolTip(),
                      Qt::convertFromPlainText(QString::fromStdString(name), Qt::WhiteSpacePre));
        }
    }
    // The long one does not fit even at the margin.
    EXPECT_FALSE(label->toolTip().isEmpty());
}

TEST_F(TStatusKeysTest, ShortcutsRunTheCommandsAndShowInTooltipsAndMenu) {
    int enumerations = 0;
    TfrmMainOptions options;
    options.EnumeratePorts = [&](std::vector<std::string>* list) {
        ++enumerations;
        list->push_back("/dev/ttyS0");
    };
    CreateWindow(std::move(options));
    ShowAndActivate();
    frm_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm_.get()));
    const struct {
        QAbstractButton* button;
        QKeySequence keys;
        const char* caption;
    } buttons[] = {{frm_->btnOpen, QKeySequence(QStringLiteral("Ctrl+O")), "Open"},
                   {frm_->btnSaveToFile, QKeySequence(QStringLiteral("Ctrl+S")), "Save"},
                   {frm_->btnImport, QKeySequence(QStringLiteral("Ctrl+I")), "Import from device"},
                   {frm_->btnRefreshPorts, QKeySequence(QStringLiteral("F5")), "Refresh ports"}};
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->shortcut(), b.keys) << b.caption;
        EXPECT_EQ(b.button->text(), QLatin1String(b.caption));
        EXPECT_TRUE(b.button->toolTip().contains(b.keys.toString(QKeySequence::NativeText)))
            << b.caption;
    }
    EXPECT_EQ(frm_->ppExportToExcel->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
    EXPECT_EQ(frm_->ppExportToClipboard->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    EXPECT_EQ(frm_->ppExportToExcel->text(), QStringLiteral("Export to Excel\u2026"));

    LoadRecords({Absolute("1", "1", 1310, -3.5), Absolute("2", "1", 1310, -3.6)});
    fileDialogs_->Answers = {std::nullopt, std::nullopt, std::nullopt};
    QTest::keyClick(frm_.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(frm_.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(frm_.get(), Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileDialogs_->Asked.size() == 3; }, PatientWaitMs));
    // The buttons click after a moment; the export entry at once.
    QStringList asked;
    for (const auto& a : fileDialogs_->Asked) {
        asked << (a.Save ? QStringLiteral("save ") + a.Filter : QStringLiteral("open"));
    }
    asked.sort();
    EXPECT_EQ(asked.join(QLatin1Char(',')).toStdString(),
              "open,save Excel (*.xls),save MERIDAX measurement (*.mxe)");
    QTest::keyClick(frm_.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(clipboard_.size(), 1u);
    QTest::keyClick(frm_.get(), Qt::Key_F5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return enumerations == 2; }, PatientWaitMs));

    frm_->ListViews[0]->setFocus();
    QTest::keyClick(frm_->ListViews[0], Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(IsTicked(TTablePage::All, 0));
    EXPECT_TRUE(IsTicked(TTablePage::All, 1));
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Uncheck all"));
}

TEST_F(TStatusKeysTest, SpaceTogglesTheTickOnEveryColumn) {
    CreateWindow();
    LoadRecords({Absolute("1", "1", 1310, -3.5), Relative("1", "2", 1550, 0.3, -10)});
    QTableView* view = frm_->ListViews[0];
    bool ticked = false;
    for (int column = 0; column < TMeasurementTable::ColumnCount; ++column) {
        view->setCurrentIndex(view->model()->index(1, column));
        QTest::keyClick(view, Qt::Key_Space);
        ticked = !ticked;
        EXPECT_EQ(IsTicked(TTablePage::All, 1), ticked) << column;
        EXPECT_FALSE(IsTicked(TTablePage::All, 0)) << column;
    }
}

TEST_F(TStatusKeysTest, TabRunsThroughTheControlsInReadingOrder) {
    Start();
    LoadRecords({Absolute("1", "1", 1310, -3.5)});
    frm_->SetImportEnabled(true);
    frm_->btnRefreshPorts->setFocus();
    QStringList seen;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        seen << (focus == frm_->pgMerania->tabBar() ? QStringLiteral("tabs") : focus->objectName());
    }
    EXPECT_EQ(seen.join(QLatin1Char(' ')).toStdString(),
              QStringLiteral("cbPorts btnImport tabs ListViewAll btnCheckUnCheckAll btnExport "
                             "btnOpen btnSaveToFile btnRefreshPorts")
                  .toStdString());
}

TEST_F(TStatusKeysTest, OnlyTheShownTabIsHighlighted) {
    CreateWindow();
    QTabBar* tabs = frm_->pgMerania->tabBar();
    const QColor highlight = frm_->palette().color(QPalette::Highlight);
    for (const TTablePage page : {TTablePage::All, TTablePage::Relative, TTablePage::Absolute}) {
        ShowPage(page);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(tabs->tabTextColor(i) == highlight, i == static_cast<int>(page)) << i;
        }
    }
}

TEST_F(TStatusKeysTest, AnUnsavedImportIsOfferedForSavingBeforeAnOpen) {
    CreateWindow();
    Import({Absolute("1", "1", 1310, -3.5)});
    // A second import replaces the first without a question.
    Import({Absolute("1", "1", 1310, -3.5), Absolute("2", "1", 1310, -3.6)});
    EXPECT_TRUE(questions_->Asked.empty());
    ASSERT_TRUE(frm_->UnsavedImport());

    questions_->UnsavedAnswers = {IQuestions::TUnsavedAnswer::Cancel};
    frm_->btnOpen->click();
    EXPECT_TRUE(fileDialogs_->Asked.empty());
    // Save, but its dialog cancelled: the open waits too.
    questions_->UnsavedAnswers = {IQuestions::TUnsavedAnswer::Save};
    fileDialogs_->Answers = {std::nullopt};
    frm_->btnOpen->click();
    ASSERT_EQ(fileDialogs_->Asked.size(), 1u);
    EXPECT_TRUE(fileDialogs_->Asked[0].Save);
    questions_->UnsavedAnswers = {IQuestions::TUnsavedAnswer::Discard};
    fileDialogs_->Answers = {std::nullopt};
    frm_->btnOpen->click();
    ASSERT_EQ(fileDialogs_->Asked.size(), 2u);
    EXPECT_FALSE(fileDialogs_->Asked[1].Save);
    ASSERT_EQ(questions_->Asked.size(), 3u);
    EXPECT_TRUE(questions_->Asked[0].startsWith(
        QStringLiteral("The 2 measurements imported from the meter have been neither saved")));

    // An export counts as kept.
    frm_->ppExportToClipboard->trigger();
    EXPECT_FALSE(frm_->UnsavedImport());
    frm_->btnOpen->click();
    EXPECT_EQ(questions_->Asked.size(), 3u);
}

TEST_F(TStatusKeysTest, ClosingWithAnUnsavedImportAsksSaveDiscardOrCancel) {
    Start();
    Import({Absolute("1", "1", 1310, -3.5)});
    questions_->UnsavedAnswers = {IQuestions::TUnsavedAnswer::Cancel};
    frm_->close();
    EXPECT_TRUE(frm_->isVisible());
    questions_->UnsavedAnswers = {IQuestions::TUnsavedAnswer::Save};
    fileDialogs_->Answers = {QString::fromStdString(dir_->File("kept.mxe"))};
    frm_->close();
    EXPECT_FALSE(frm_->isVisible());
    EXPECT_EQ(ReadFileBytes(dir_->File("kept.mxe")), "1@1@1310@-3.5^\r\n");
    EXPECT_EQ(questions_->Asked.size(), 2u);
}

TEST(EndImportQuestionTest, CountsWhatIsReadAndAboutHowManyWhenKnown) {
    const struct {
        std::size_t read;
        std::optional<std::size_t> total;
        const char* question;
    } cases[] = {
        {2100, 3000,
         "End the import? 2,100 of about 3,000 records are read; the meter goes on sending for "
         "a while."},
        {1, 1,
         "End the import? 1 of about 1 record is read; the meter goes on sending for a while."},
        {2100, std::nullopt,
         "End the import? 2,100 records are read so far; the meter goes on sending for a while."},
        // More read than the meter held before: no estimate.
        {12, 3,
         "End the import? 12 records are read so far; the meter goes on sending for a while."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EndImportQuestion(c.read, c.total).toStdString(), c.question);
    }
}

TEST_F(TStatusKeysTest, RefreshOrAnotherPortDuringAnImportAsksFirst) {
    // Ports that do not open: a connect tries, waits its 100 ms and fails.
    ports_ = {"/nonexistent/ttyA", "/nonexistent/ttyB"};
    Start();
    // The set shown came from this meter on this port: its size is the estimate.
    frm_->cbPorts->setCurrentIndex(0);
    frm_->ComPort1().Port = ports_[0];
    frm_->SetDeviceLabelText("OLM-45");
    Import({Absolute("1", "1", 1310, -3.5), Absolute("2", "1", 1310, -3.6),
            Absolute("3", "1", 1310, -3.7)});
    frm_->SetImportCaption(TDeviceSession::ImportingCaption);
    const QString status = frm_->StatusText();

    questions_->EndImportAnswers = {false, false};
    QTest::keyClick(frm_.get(), Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return questions_->Asked.size() == 1; }, PatientWaitMs));
    EXPECT_EQ(questions_->Asked[0].toStdString(),
              "End the import? 0 of about 3 records are read; the meter goes on sending for a "
              "while.");
    frm_->cbPorts->setCurrentIndex(1);
    emit frm_->cbPorts->activated(1);
    ASSERT_EQ(questions_->Asked.size(), 2u);
    // Both answered No: the import goes on from its port, the list shows it again.
    EXPECT_TRUE(frm_->Session().ImportUnderWay());
    EXPECT_EQ(frm_->cbPorts->currentIndex(), 0);
    EXPECT_EQ(frm_->cbPorts->count(), 2);
    EXPECT_EQ(frm_->StatusText(), status);
    EXPECT_TRUE(waits_.empty());

    questions_->EndImportAnswers = {true};
    frm_->btnRefreshPorts->click();
    EXPECT_FALSE(frm_->Session().ImportUnderWay());
    EXPECT_TRUE(frm_->StatusText().endsWith(
        QStringLiteral("the import was ended and the previous measurements are kept")));

    // No import: picking the port shown connects afresh without a question.
    frm_->cbPorts->setCurrentIndex(0);
    emit frm_->cbPorts->activated(0);
    EXPECT_EQ(questions_->Asked.size(), 3u);
    EXPECT_EQ(waits_, std::vector<int>{100});
}

TEST_F(TStatusKeysTest, AltLettersAndF10OpenTheMenusWhoseDialogItemsEndInAnEllipsis) {
    Start();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QMenu* menu;
    } opens[] = {{Qt::Key_O, Qt::AltModifier, frm_->Edit1},
                 {Qt::Key_J, Qt::AltModifier, frm_->JobMenu().Menu},
                 {Qt::Key_F10, Qt::NoModifier, frm_->Edit1}};
    for (const auto& entry : opens) {
        QTest::keyClick(frm_.get(), entry.key, entry.modifiers);
        ASSERT_TRUE(QTest::qWaitFor([&] { return entry.menu->isVisible(); }, PatientWaitMs))
            << entry.menu->title().toStdString();
        entry.menu->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !entry.menu->isVisible(); }, PatientWaitMs));
        frm_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frm_.get()));
    }

    QStringList captions;
    for (QMenu* menu : {frm_->Edit1, frm_->PopupMenuExport, frm_->JobMenu().Menu}) {
        for (const QAction* action : menu->actions()) {
            EXPECT_FALSE(action->text().contains(QStringLiteral("...")))
                << action->text().toStdString();
            if (menu != frm_->JobMenu().Menu && !action->isSeparator()) {
                captions << action->text();
            }
        }
    }
    EXPECT_EQ(captions.join(QLatin1Char('|')),
              QStringLiteral("Serial port settings\u2026|Export settings\u2026|Loss budget\u2026|"
                             "Exit|Export to Excel\u2026|Export to Clipboard|Export to Excel "
                             "workbook (.xlsx)\u2026|Export to CSV\u2026|Test report (PDF)\u2026"));
}

TEST_F(TStatusKeysTest, EscapeSpeaksOfKeptMeasurementsOnlyWhenThereAreSome) {
    Start();
    for (const bool filled : {false, true}) {
        if (filled) {
            LoadRecords({Absolute("1", "1", 1310, -3.5)});
        }
        frm_->SetImportCaption(TDeviceSession::ImportingCaption);
        QTest::keyClick(frm_.get(), Qt::Key_Escape);
        EXPECT_FALSE(frm_->Session().ImportUnderWay());
        EXPECT_EQ(
            frm_->StatusText().toStdString(),
            filled ? "Import cancelled; the previous measurements are kept" : "Import cancelled");
    }
}

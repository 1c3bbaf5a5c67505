#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/WindowFixture.h"
#include "app/common/FileDialogs.h"
#include "session/ApplicationSettings.h"
#include "support/Nobody.h"
#include "support/Subprocess.h"
#include "support/WorkedExample.h"

namespace {

const QString MeasurementFilter = QStringLiteral("MERIDAX measurement (*.mxe)");

// The worked example: page Relative with three rows, the first and the third ticked, and the
// meter DEVICE-1 0042 connected.
class TExportTest : public TWindowTest {
protected:
    void SetUpWorkedExample() {
        CreateWindow();
        LoadRecords({Relative("1", "1", 1310, 0.25, -10.5), Relative("1", "2", 1310, 0.31, -10.5),
                     Relative("1", "2", 1550, 0.3, -10.4)});
        frm_->SetDeviceLabelText("DEVICE-1    0042");
        ShowPage(TTablePage::Relative);
        Tick(TTablePage::Relative, 0);
        Tick(TTablePage::Relative, 2);
    }

    std::string ExportToExcel(const std::string& name) {
        fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File(name)));
        frm_->ppExportToExcel->trigger();
        return ReadFileBytes(dir_->File(name));
    }
};

}  // namespace

using TSaveOpenTest = TWindowTest;

TEST_F(TSaveOpenTest, SaveWritesAllRowsOfAllWhateverIsTickedOrShown) {
    CreateWindow();
    LoadRecords({Absolute("1", "1", 1310, -3.52), Relative("1", "2", 1550, -0.41, -10)});
    Tick(TTablePage::All, 1);
    ShowPage(TTablePage::Relative);
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("set.mxe")));
    QTest::mouseClick(frm_->btnSaveToFile, Qt::LeftButton);
    EXPECT_TRUE(errors_.empty() || errors_ == std::vector<std::string>{"File not found"});
    EXPECT_EQ(ReadFileBytes(dir_->File("set.mxe")), TwoRecordsMxe);
    ASSERT_EQ(fileDialogs_->Asked.size(), 1u);
    EXPECT_TRUE(fileDialogs_->Asked[0].Save);
    EXPECT_EQ(fileDialogs_->Asked[0].Filter, MeasurementFilter);
    EXPECT_EQ(fileDialogs_->Asked[0].DefaultSuffix, QStringLiteral("mxe"));
    EXPECT_TRUE(fileDialogs_->Asked[0].Title.isEmpty());
}

TEST_F(TSaveOpenTest, SaveOfEmptyTablesWritesOnlyTheLineEndAndReplacesTheFile) {
    CreateWindow();
    WriteFileBytes(dir_->File("old.mxe"), "something that was there before\r\nand more\r\n");
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("old.mxe")));
    frm_->btnSaveToFile->click();
    EXPECT_EQ(ReadFileBytes(dir_->File("old.mxe")), "\r\n");

    // Opening it empties the set and the tables, once the user agrees.
    LoadRecords({Absolute("1", "1", 1310, -3.52)});
    for (const bool agree : {false, true}) {
        fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("old.mxe")));
        questions_->ReplaceAnswers.push_back(agree);
        frm_->btnOpen->click();
        EXPECT_TRUE(questions_->ReplaceAnswers.empty());
        EXPECT_EQ(Merania.size(), agree ? 0u : 1u);
        EXPECT_EQ(Rows(TTablePage::All), agree ? 0 : 1);
    }
    ASSERT_EQ(questions_->Asked.size(), 2u);
    EXPECT_TRUE(questions_->Asked[0].contains(QStringLiteral("old.mxe holds no measurements")));
    EXPECT_EQ(Rows(TTablePage::All), 0);
    EXPECT_EQ(Rows(TTablePage::Absolute), 0);
}

TEST_F(TSaveOpenTest, CancelledDialogsChangeNothing) {
    CreateWindow();
    LoadRecords({Absolute("1", "1", 1310, -3.52)});
    errors_.clear();
    fileDialogs_->Answers.push_back(std::nullopt);
    frm_->btnSaveToFile->click();
    fileDialogs_->Answers.push_back(std::nullopt);
    frm_->btnOpen->click();
    fileDialogs_->Answers.push_back(std::nullopt);
    frm_->ppExportToExcel->trigger();
    EXPECT_EQ(fileDialogs_->Asked.size(), 3u);
    EXPECT_EQ(Rows(TTablePage::All), 1);
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(QDir(QString::fromStdString(dir_->Path())).entryList(QDir::Files).isEmpty());
}

TEST_F(TSaveOpenTest, OpenReplacesTheSetAndTheTablesAndLeavesTheDevice) {
    CreateWindow();
    frm_->SetDeviceLabelText("METER    7");
    LoadRecords({Absolute("9", "9", 850, -1)});
    Tick(TTablePage::All, 0);
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    WriteFileBytes(dir_->File("in.mxe"), TwoRecordsMxe);
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("in.mxe")));
    QTest::mouseClick(frm_->btnOpen, Qt::LeftButton);
    ASSERT_EQ(Merania.size(), 2u);
    EXPECT_TRUE(Merania[1].IsRelative);
    EXPECT_EQ(Merania[1].Reference, -10);
    ASSERT_EQ(Rows(TTablePage::All), 2);
    EXPECT_EQ(Rows(TTablePage::Absolute), 1);
    EXPECT_EQ(Rows(TTablePage::Relative), 1);
    EXPECT_EQ(Cell(TTablePage::Relative, 0, 5), QStringLiteral("-10"));
    EXPECT_FALSE(IsTicked(TTablePage::All, 0));
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Check all"));
    EXPECT_EQ(frm_->DeviceLabelText(), "METER    7");
    ASSERT_EQ(fileDialogs_->Asked.size(), 1u);
    EXPECT_FALSE(fileDialogs_->Asked[0].Save);
    EXPECT_EQ(fileDialogs_->Asked[0].Filter, MeasurementFilter);
}

TEST_F(TSaveOpenTest, OpenThenSaveGivesAByteIdenticalFile) {
    CreateWindow();
    const std::string content = "A1@F.2@1310@-3.52^A1@F3@1550@-0.41@-10^B@C@850@1E-6@-0.5^\r\n";
    WriteFileBytes(dir_->File("a.mxe"), content);
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("a.mxe")));
    frm_->btnOpen->click();
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("b.mxe")));
    frm_->btnSaveToFile->click();
    EXPECT_EQ(ReadFileBytes(dir_->File("b.mxe")), content);
}

namespace {

struct TFailedOpenCase {
    const char* name;
    const char* file;  // nullptr: the file does not exist
    const char* message;
};

const TFailedOpenCase FailedOpenCases[] = {
    {"CommaNumber", "1@1@1310@-3,52^\r\n", "'-3,52' is not a valid floating point value"},
    {"BadSecondRecord", "1@1@1310@-3.52^2@1@1550@x^\r\n",
     "'x' is not a valid floating point value"},
    {"MissingFile", nullptr, "File not found"},
};

class TFailedOpenTest : public TWindowTest, public testing::WithParamInterface<TFailedOpenCase> {};

}  // namespace

TEST_P(TFailedOpenTest, LeavesTheSetAndTheTablesAsTheyWere) {
    const TFailedOpenCase& c = GetParam();
    CreateWindow();
    LoadRecords({Absolute("7", "1", 1310, -2), Relative("7", "2", 1550, -0.5, -9)});
    Tick(TTablePage::All, 1);
    errors_.clear();
    if (c.file != nullptr) {
        WriteFileBytes(dir_->File("bad.mxe"), c.file);
    }
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("bad.mxe")));
    QTest::mouseClick(frm_->btnOpen, Qt::LeftButton);
    EXPECT_EQ(errors_, std::vector<std::string>{c.message});
    ASSERT_EQ(Merania.size(), 2u);
    EXPECT_EQ(Merania[0].Cable, "7");
    EXPECT_EQ(Merania[1].Reference, -9);
    ASSERT_EQ(Rows(TTablePage::All), 2);
    EXPECT_EQ(Cell(TTablePage::All, 0, 4), QStringLiteral("-2"));
    EXPECT_TRUE(IsTicked(TTablePage::All, 1));
    EXPECT_NE(frm_->cursor().shape(), Qt::WaitCursor);
}

INSTANTIATE_TEST_SUITE_P(Cases, TFailedOpenTest, testing::ValuesIn(FailedOpenCases),
                         [](const auto& testParam) { return std::string(testParam.param.name); });

TEST_F(TSaveOpenTest, SaveIntoAMissingFolderReportsTheReason) {
    CreateWindow();
    errors_.clear();
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("no/such/set.mxe")));
    frm_->btnSaveToFile->click();
    EXPECT_EQ(errors_, std::vector<std::string>{"Invalid filename"});
}

// Root writes into read-only folders, so the saves run in a child that became nobody when
// the tests run as root (as the user otherwise): one into a folder open to everyone, which
// works, and one into a folder open to no one's writing.
TEST_F(TSaveOpenTest, SaveIntoAReadOnlyFolderReportsAccessDenied) {
    CreateWindow();
    errors_.clear();
    const std::string open = dir_->File("open");
    const std::string locked = dir_->File("locked");
    ASSERT_EQ(::mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(dir_->Path().c_str(), 0755), 0);
    if (const auto why = WhyNobodyCannotUse(open, W_OK | X_OK)) {
        GTEST_SKIP() << *why;
    }
    fileDialogs_->Answers.push_back(QString::fromStdString(open + "/set.mxe"));
    fileDialogs_->Answers.push_back(QString::fromStdString(locked + "/set.mxe"));
    // The child says each error message on a line of its standard output.
    TSubprocessOptions asNobody;
    asNobody.AsNobody = true;
    TSubprocess child(
        [this] {
            frm_->btnSaveToFile->click();
            frm_->btnSaveToFile->click();
            std::string said;
            for (const std::string& error : errors_) {
                said += error + "\n";
            }
            return ::write(STDOUT_FILENO, said.data(), said.size()) ==
                           static_cast<ssize_t>(said.size())
                       ? 0
                       : 1;
        },
        asNobody);
    const std::string errors = child.ReadAll(PatientWait);
    ASSERT_EQ(child.Wait(PatientWait), 0) << errors;
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(errors, "File access denied\n");
    EXPECT_EQ(ReadFileBytes(open + "/set.mxe"), "\r\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(locked + "/set.mxe")));
}

TEST(TFileDialogsTest, SaveDialogAppendsTheSuffixAndAsksNothingBeforeReplacing) {
    QFileDialog dialog;
    ConfigureSaveDialog(dialog, QStringLiteral("Export to excel"), QStringLiteral("Excel (*.xls)"),
                        QStringLiteral("xls"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Export to excel"));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("xls"));
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("Excel (*.xls)")});
    EXPECT_EQ(dialog.directory().absolutePath(), QDir::currentPath());
}

// Save has no title of its own: the toolkit's, not an empty one the desktop calls Untitled.
TEST(TFileDialogsTest, SaveDialogWithoutATitleKeepsThePlatformsOwn) {
    QFileDialog dialog;
    ConfigureSaveDialog(dialog, QString(), QStringLiteral("MERIDAX measurement (*.mxe)"),
                        QStringLiteral("mxe"));
    EXPECT_EQ(dialog.windowTitle(), QFileDialog::tr("Save As"));
}

// The home folder when started from the desktop entry (--user-settings).
TEST(TFileDialogsTest, BothDialogsStartInTheFolderGiven) {
    TTempFolder folder("meridax-dialogs");
    const QString path = QString::fromStdString(folder.Path());
    QFileDialog save;
    ConfigureSaveDialog(save, QString(), MeasurementFilter, QStringLiteral("mxe"), path);
    EXPECT_EQ(save.directory().absolutePath(), QDir(path).absolutePath());
    QFileDialog open;
    ConfigureOpenDialog(open, MeasurementFilter, path);
    EXPECT_EQ(open.directory().absolutePath(), QDir(path).absolutePath());
    EXPECT_NE(QDir::currentPath(), QDir(path).absolutePath());
}

TEST(TFileDialogsTest, OpenDialogTakesExistingFilesOnly) {
    QFileDialog dialog;
    ConfigureOpenDialog(dialog, MeasurementFilter);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.nameFilters(), QStringList{MeasurementFilter});
    EXPECT_EQ(dialog.directory().absolutePath(), QDir::currentPath());
}

TEST_F(TExportTest, WorkedExampleWithBothOptionsAndComma) {
    SetUpWorkedExample();
    ExportDeviceDetails = true;
    ExportTableHeader = true;
    ExportDecimalSeparator = ",";
    const std::string file = ExportToExcel("example.xls");
    ASSERT_EQ(file.size(), 302u);
    EXPECT_EQ(HexText(file.substr(0, 34)), WorkedExampleXlsHead);
    EXPECT_EQ(file.substr(34, 8), "DEVICE-1");
    EXPECT_EQ(HexText(file.substr(298)), "0A 00 00 00");
    EXPECT_NE(file.find("0,25"), std::string::npos);
    EXPECT_NE(file.find("-10,4"), std::string::npos);
    EXPECT_EQ(file.find("0,31"), std::string::npos);
    ASSERT_EQ(fileDialogs_->Asked.size(), 1u);
    EXPECT_EQ(fileDialogs_->Asked[0].Title, QStringLiteral("Export to excel"));
    EXPECT_EQ(fileDialogs_->Asked[0].Filter, QStringLiteral("Excel (*.xls)"));
    EXPECT_EQ(fileDialogs_->Asked[0].DefaultSuffix, QStringLiteral("xls"));
    EXPECT_NE(frm_->cursor().shape(), Qt::WaitCursor);

    frm_->ppExportToClipboard->trigger();
    ASSERT_EQ(clipboard_.size(), 1u);
    EXPECT_EQ(clipboard_[0], QString::fromLatin1(WorkedExampleClipboardText));
}

TEST_F(TExportTest, BothOptionsOffOnlyTheFirstRowTicked) {
    SetUpWorkedExample();
    Tick(TTablePage::Relative, 2, false);
    ExportDecimalSeparator = ",";
    const std::string file = ExportToExcel("one.xls");
    EXPECT_EQ(HexText(file), WorkedExampleFirstRowXls);
    frm_->ppExportToClipboard->trigger();
    ASSERT_EQ(clipboard_.size(), 1u);
    EXPECT_EQ(clipboard_[0], QStringLiteral("1\t1\t1310\t0.25\t-10.5\r\n"));
}

TEST_F(TExportTest, NothingTickedGivesTheBareFileAndAnEmptyClipboard) {
    SetUpWorkedExample();
    Tick(TTablePage::Relative, 0, false);
    Tick(TTablePage::Relative, 2, false);
    EXPECT_EQ(ExportToExcel("none.xls").size(), 26u);
    frm_->ppExportToClipboard->trigger();
    ASSERT_EQ(clipboard_.size(), 1u);
    EXPECT_TRUE(clipboard_[0].isEmpty());

    // Both options on: the device and header lines only.
    ExportDeviceDetails = true;
    ExportTableHeader = true;
    frm_->ppExportToClipboard->trigger();
    EXPECT_EQ(clipboard_.back(),
              QStringLiteral("DEVICE-1\t0042\r\nCable\tFiber\tWaveLength\tdB\tReference\t\r\n"));
}

TEST_F(TExportTest, WithoutADeviceTheLabelIsTheDeviceLine) {
    CreateWindow();
    LoadRecords({Absolute("2", "1", 1310, -3.71)});
    Tick(TTablePage::All, 0);
    ExportDeviceDetails = true;
    const std::string file = ExportToExcel("nodevice.xls");
    EXPECT_NE(file.find("No connected device"), std::string::npos);
    frm_->ppExportToClipboard->trigger();
    ASSERT_EQ(clipboard_.size(), 1u);
    // An absolute row: four fields, no tab after the last one.
    EXPECT_EQ(clipboard_[0], QStringLiteral("No connected device\r\n2\t1\t1310\t-3.71\r\n"));
}

TEST_F(TExportTest, AbsolutePageHeaderHasAnEmptyFifthCaption) {
    CreateWindow();
    ExportTableHeader = true;
    ShowPage(TTablePage::Absolute);
    frm_->ppExportToClipboard->trigger();
    ASSERT_EQ(clipboard_.size(), 1u);
    EXPECT_EQ(clipboard_[0], QStringLiteral("Cable\tFiber\tWaveLength\tdBm\t\t\r\n"));
}

TEST_F(TExportTest, TargetInAMissingFolderIsReportedAndTheCursorComesBack) {
    SetUpWorkedExample();
    errors_.clear();
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("no/such/file.xls")));
    frm_->ppExportToExcel->trigger();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(
        errors_[0].rfind("Cannot create file \"" + dir_->File("no/such/file.xls") + "\". ", 0), 0u)
        << errors_[0];
    EXPECT_NE(frm_->cursor().shape(), Qt::WaitCursor);
}

TEST_F(TExportTest, NoClipboardIsReported) {
    SetUpWorkedExample();
    clipboardWorks_ = false;
    errors_.clear();
    frm_->ppExportToClipboard->trigger();
    EXPECT_EQ(errors_, std::vector<std::string>{"Cannot open clipboard"});
}

TEST_F(TExportTest, TheSystemClipboardReceivesTheText) {
    useSystemClipboard_ = true;
    CreateWindow();
    LoadRecords({Absolute("\xE9", "1", 1310, -3.5)});
    Tick(TTablePage::All, 0);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    errors_.clear();
    frm_->ppExportToClipboard->trigger();
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromLatin1("\xE9\t1\t1310\t-3.5\r\n"));
}

TEST_F(TExportTest, ExportButtonPopsTheMenuAtItsTopRightCorner) {
    CreateWindow();
    ShowAndActivate();
    // At the screen's left edge the menu has room on the right; near the right edge the
    // toolkit would move it back onto the screen.
    frm_->move(0, 0);
    QTest::mouseClick(frm_->btnExport, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frm_->PopupMenuExport->isVisible(); }, PatientWaitMs));
    EXPECT_EQ(frm_->PopupMenuExport->pos(),
              frm_->btnExport->mapToGlobal(QPoint(frm_->btnExport->width(), 0)));
    // The workbook, CSV and report items follow (WorkbookExportTest).
    ASSERT_EQ(frm_->PopupMenuExport->actions().size(), 5);
    EXPECT_EQ(frm_->PopupMenuExport->actions()[0]->text(), QStringLiteral("Export to Excel\u2026"));
    EXPECT_EQ(frm_->PopupMenuExport->actions()[1]->text(), QStringLiteral("Export to Clipboard"));
    frm_->PopupMenuExport->close();
}

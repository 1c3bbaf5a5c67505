// The program's road with the meter stand-in: pick its port, import, tick, export; the .xls
// must equal what meridax-cli convert writes for the same dump, and the verdicts of a dump
// with the stand-in's budget must agree everywhere they are shown.
#include <gmock/gmock.h>
#include <signal.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/WindowFixture.h"
#include "app/main/MeasurementModel.h"
#include "export/ReadBack.h"
#include "session/ApplicationSettings.h"
#include "support/Subprocess.h"

namespace {

constexpr const char* MeterName = "MERIDAX OLM-45    SN 0412871";

class TMeterSimRoadTest : public TWindowTest {
protected:
    void TearDown() override {
        TWindowTest::TearDown();
        if (sim_) {
            sim_->Signal(SIGTERM);
            sim_->Wait(std::chrono::seconds(10));
            sim_.reset();  // killed if still running
        }
    }

    // The program and its arguments as a child process takes them.
    static std::vector<std::string> Argv(const char* program, const QStringList& arguments) {
        std::vector<std::string> argv{program};
        for (const QString& argument : arguments)
            argv.push_back(argument.toStdString());
        return argv;
    }

    // Starts the stand-in, reached through a link as the user would pick it.
    void StartSim(const QStringList& extra) {
        const std::string link = dir_->File("ttyV0");
        QStringList arguments{QStringLiteral("--link"), QString::fromStdString(link),
                              QStringLiteral("--seed"), QStringLiteral("7")};
        arguments += extra;
        TSubprocessOptions quiet;
        quiet.OutputPath = "/dev/null";
        quiet.ErrorPath = "/dev/null";
        sim_.emplace(Argv(MERIDAX_METER_SIM, arguments), quiet);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(QString::fromStdString(link)); },
                                    PatientWaitMs));
        ports_ = {link};
    }

    std::string SavedDump(const QStringList& extra) {
        const std::string path = dir_->File("dump.txt");
        QStringList arguments{QStringLiteral("--seed"), QStringLiteral("7"),
                              QStringLiteral("--save-dump"), QString::fromStdString(path)};
        arguments += extra;
        EXPECT_EQ(RunToEnd(Argv(MERIDAX_METER_SIM, arguments)).ExitCode, 0);
        return path;
    }

    // The window exists already.
    void ConnectAndImport() {
        ShowAndActivate();
        ASSERT_EQ(frm_->cbPorts->count(), 1);
        frm_->cbPorts->setCurrentIndex(0);
        emit frm_->cbPorts->activated(0);
        ASSERT_TRUE(QTest::qWaitFor([this] { return frm_->DeviceLabelText() == MeterName; },
                                    PatientWaitMs));
        // The stand-in's name is longer than the room right of Left 130: the label moves
        // left until it ends before the Import button.
        EXPECT_EQ(frm_->DeviceLabelLeft(), 130);
        EXPECT_LT(frm_->lblConectedDeviceName->x(), 130);
        EXPECT_LT(frm_->lblConectedDeviceName->geometry().right(), frm_->btnImport->x());
        EXPECT_EQ(frm_->lblConectedDeviceName->text(), QString::fromStdString(MeterName));
        QTest::mouseClick(frm_->btnImport, Qt::LeftButton);
    }

    // Runs meridax-cli to its end; gives its exit code and standard output.
    static std::pair<int, std::string> RunCli(const QStringList& arguments) {
        const TRunResult cli = RunToEnd(Argv(MERIDAX_CLI, arguments), {}, PatientWait);
        EXPECT_NE(cli.ExitCode, -1) << arguments.join(' ').toStdString();
        return {cli.TermSignal == 0 ? cli.ExitCode : -1, cli.Out};
    }

    bool ImportEnded() {
        return frm_->btnImport->text() == QStringLiteral("Import from device") &&
               frm_->cursor().shape() != Qt::WaitCursor;
    }

    std::optional<TSubprocess> sim_;
};

}  // namespace

TEST_F(TMeterSimRoadTest, ImportTickAndExportEqualsTheCommandLineConversion) {
    const QStringList records{QStringLiteral("--records"), QStringLiteral("40")};
    const std::string dump = SavedDump(records);
    StartSim(records + QStringList{QStringLiteral("--chunk"), QStringLiteral("random")});
    CreateWindow();
    ConnectAndImport();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Rows(TTablePage::All) == 40; }, PatientWaitMs));
    EXPECT_TRUE(ImportEnded());
    EXPECT_EQ(Rows(TTablePage::Absolute) + Rows(TTablePage::Relative), 40);

    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    ExportDeviceDetails = true;
    ExportTableHeader = true;
    ExportDecimalSeparator = ",";
    fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File("window.xls")));
    errors_.clear();
    frm_->ppExportToExcel->trigger();
    EXPECT_TRUE(errors_.empty());

    const TRunResult cli = RunToEnd({MERIDAX_CLI, "convert", dump, "--to", dir_->File("cli.xls"),
                                     "--header", "--device", MeterName, "--separator", ","});
    ASSERT_EQ(cli.ExitCode, 0) << cli.Err;
    const std::string window = ReadFileBytes(dir_->File("window.xls"));
    EXPECT_GT(window.size(), 26u);
    EXPECT_EQ(window, ReadFileBytes(dir_->File("cli.xls")));
}

TEST_F(TMeterSimRoadTest, BadNumberKeepsThePreviousTablesAndEndsTheImport) {
    StartSim({QStringLiteral("--fault"), QStringLiteral("bad-number")});
    CreateWindow();
    LoadRecords({Absolute("A", "1", 1310, -3), Relative("A", "2", 1550, -0.5, -10)});
    Tick(TTablePage::All, 1);
    errors_.clear();
    ConnectAndImport();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !errors_.empty() && ImportEnded(); }, PatientWaitMs));
    ASSERT_EQ(errors_.size(), 1u);
    // The stand-in writes one of its numbers with a comma.
    EXPECT_THAT(errors_[0], testing::MatchesRegex("'-?[0-9]+,[0-9]+' is not a valid floating "
                                                  "point value"));
    ASSERT_EQ(Rows(TTablePage::All), 2);
    EXPECT_EQ(Cell(TTablePage::All, 0, 1), QStringLiteral("A"));
    EXPECT_TRUE(IsTicked(TTablePage::All, 1));
    EXPECT_EQ(frm_->DeviceLabelText(), MeterName);
}

TEST_F(TMeterSimRoadTest, HangUpHalfWayEndsInNoDeviceAndAResponsiveWindow) {
    StartSim({QStringLiteral("--fault"), QStringLiteral("hangup-half"), QStringLiteral("--records"),
              QStringLiteral("30")});
    CreateWindow();
    ConnectAndImport();
    ASSERT_TRUE(QTest::qWaitFor([this] { return frm_->DeviceLabelText() == "No connected device"; },
                                PatientWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([this] { return ImportEnded(); }, PatientWaitMs));
    EXPECT_FALSE(frm_->btnImport->isEnabled());
    EXPECT_EQ(Rows(TTablePage::All), 0);
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Uncheck all"));
    bool handled = false;
    QTimer::singleShot(0, frm_.get(), [&handled] { handled = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return handled; }, PatientWaitMs));
}

namespace {

// The Verdict column of meridax-cli report's plain-text table, one text per row ("" for none).
std::vector<std::string> TextTableVerdicts(const std::string& text) {
    std::vector<std::string> verdicts;
    const QStringList lines = QString::fromStdString(text).split(QLatin1Char('\n'));
    qsizetype line = lines.indexOf(QRegularExpression(QStringLiteral("^Cable .* Verdict$")));
    EXPECT_GE(line, 0) << text;
    while (line >= 0 && ++line < lines.size() && !lines[line].isEmpty()) {
        const QString last = lines[line].split(QLatin1Char(' '), Qt::SkipEmptyParts).last();
        const bool verdict = last == QLatin1String("PASS") || last == QLatin1String("FAIL") ||
                             last == QLatin1String("CHECK");
        verdicts.push_back(verdict ? last.toStdString() : std::string());
    }
    return verdicts;
}

TVerdictKind KindOf(const std::string& verdict) {
    return verdict == "PASS"    ? TVerdictKind::Pass
           : verdict == "FAIL"  ? TVerdictKind::Fail
           : verdict == "CHECK" ? TVerdictKind::Check
                                : TVerdictKind::None;
}

std::string WithoutDate(const std::string& text) {
    return QString::fromStdString(text)
        .remove(QRegularExpression(
            QStringLiteral("Date: [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}")))
        .toStdString();
}

}  // namespace

// The stand-in's records and its demo budget: every row of page All, imported and ticked in
// the window, gets the same verdict in its colour, the window's CSV, workbook and test report,
// and meridax-cli report's table of the same records saved as a dump, which exits 3 for the
// failures.
TEST_F(TMeterSimRoadTest, VerdictsAgreeInTheWindowItsFilesAndTheCommandLine) {
    const std::string budget = dir_->File("budget.json");
    const std::string dump =
        SavedDump({QStringLiteral("--records"), QStringLiteral("40"),
                   QStringLiteral("--budget-demo"), QString::fromStdString(budget)});
    const auto cliReport = [&](const QString& to) {
        return RunCli({QStringLiteral("report"), QString::fromStdString(dump),
                       QStringLiteral("--budget"), QString::fromStdString(budget),
                       QStringLiteral("--to"), to, QStringLiteral("--device"),
                       QString::fromLatin1(MeterName)});
    };
    const auto [exitCode, table] = cliReport(QStringLiteral("-"));
    EXPECT_EQ(exitCode, 3);
    const std::vector<std::string> verdicts = TextTableVerdicts(table);
    ASSERT_EQ(verdicts.size(), 40u) << table;
    for (const char* kind : {"PASS", "FAIL", "CHECK"}) {
        EXPECT_NE(std::find(verdicts.begin(), verdicts.end(), kind), verdicts.end()) << kind;
    }
    for (const char* file : {"cli.csv", "cli.xlsx", "cli.pdf"}) {
        EXPECT_EQ(cliReport(QString::fromStdString(dir_->File(file))).first, 3) << file;
    }

    StartSim({QStringLiteral("--records"), QStringLiteral("40")});
    CreateWindow();
    ConnectAndImport();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Rows(TTablePage::All) == 40; }, PatientWaitMs));
    frm_->SetBudget(ReadBudgetFile(budget));
    ExportDeviceDetails = true;
    ExportTableHeader = true;
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    errors_.clear();
    for (auto [item, file] : {std::pair{frm_->ppExportToCsv, "window.csv"},
                              std::pair{frm_->ppExportToXlsx, "window.xlsx"},
                              std::pair{frm_->ppExportToPdf, "window.pdf"}}) {
        fileDialogs_->Answers.push_back(QString::fromStdString(dir_->File(file)));
        item->trigger();
    }
    EXPECT_TRUE(errors_.empty()) << errors_[0];

    // The colours, and the last column of the CSV after its device and caption lines.
    const TMeasurementModel& model = frm_->Model(TTablePage::All);
    const QStringList csv =
        QString::fromUtf8(ReadFileBytes(dir_->File("window.csv"))).split(QStringLiteral("\r\n"));
    ASSERT_EQ(csv.size(), 2 + 40 + 1);
    // The workbook's Verdict cells, its caption first.
    std::vector<std::string> cells;
    const std::vector<std::string> workbook = ReadBack({"xlsx", dir_->File("window.xlsx")});
    std::copy_if(workbook.begin(), workbook.end(), std::back_inserter(cells),
                 [](const std::string& line) {
                     return QString::fromStdString(line).contains(
                         QRegularExpression(QStringLiteral("^cell [0-9]+ 8 ")));
                 });
    std::vector<std::string> expectedCells{"cell 1 8 s " + Utf8Hex("Verdict")};
    for (std::size_t row = 0; row < verdicts.size(); ++row) {
        SCOPED_TRACE(row);
        const TVerdictKind kind = KindOf(verdicts[row]);
        const TVerdict* verdict = model.RowVerdict(row);
        EXPECT_EQ(verdict == nullptr ? TVerdictKind::None : verdict->Kind, kind);
        EXPECT_EQ(model.index(static_cast<int>(row), 1).data(Qt::BackgroundRole).value<QColor>(),
                  VerdictBackgroundColour(kind));
        EXPECT_EQ(csv[static_cast<qsizetype>(row) + 2].split(QLatin1Char(',')).last().toStdString(),
                  verdicts[row]);
        if (kind != TVerdictKind::None) {
            expectedCells.push_back("cell " + std::to_string(row + 2) + " 8 s " +
                                    Utf8Hex(verdicts[row]));
        }
    }
    EXPECT_EQ(cells, expectedCells);

    // The files are the command line's, the report's date aside.
    EXPECT_EQ(ReadFileBytes(dir_->File("window.csv")), ReadFileBytes(dir_->File("cli.csv")));
    EXPECT_EQ(workbook, ReadBack({"xlsx", dir_->File("cli.xlsx")}));
    const std::string report = PdfText(dir_->File("window.pdf"));
    const auto count = [&](const char* kind) {
        return std::count(verdicts.begin(), verdicts.end(), std::string(kind));
    };
    const std::string summary = "40 rows reported: " + std::to_string(count("PASS")) + " PASS, " +
                                std::to_string(count("FAIL")) + " FAIL, " +
                                std::to_string(count("CHECK")) + " CHECK, " +
                                std::to_string(count("")) + " without a verdict";
    EXPECT_NE(report.find(summary), std::string::npos) << summary << "\n" << report;
    EXPECT_NE(report, WithoutDate(report));
    EXPECT_EQ(WithoutDate(report), WithoutDate(PdfText(dir_->File("cli.pdf"))));
}

// The program's road with the meter stand-in: pick its port, import, tick, export; the .xls
// must equal what meridax-cli convert writes for the same dump.
#include <gmock/gmock.h>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/WindowFixture.h"
#include "app/session/ApplicationSettings.h"

namespace {

constexpr const char* MeterName = "MERIDAX OLM-45    SN 0412871";

class TMeterSimRoadTest : public TWindowTest {
protected:
    void TearDown() override {
        TWindowTest::TearDown();
        if (sim_.state() != QProcess::NotRunning) {
            sim_.terminate();
            if (!sim_.waitForFinished(10000)) {
                sim_.kill();
                sim_.waitForFinished(10000);
            }
        }
    }

    // Starts the stand-in, reached through a link as the user would pick it.
    void StartSim(const QStringList& extra) {
        const std::string link = dir_->File("ttyV0");
        QStringList arguments{QStringLiteral("--link"), QString::fromStdString(link),
                              QStringLiteral("--seed"), QStringLiteral("7")};
        arguments += extra;
        sim_.start(QStringLiteral(MERIDAX_METER_SIM), arguments);
        ASSERT_TRUE(sim_.waitForStarted(10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(QString::fromStdString(link)); },
                                    PatientWaitMs));
        ports_ = {link};
    }

    std::string SavedDump(const QStringList& extra) {
        const std::string path = dir_->File("dump.txt");
        QStringList arguments{QStringLiteral("--seed"), QStringLiteral("7"),
                              QStringLiteral("--save-dump"), QString::fromStdString(path)};
        arguments += extra;
        EXPECT_EQ(QProcess::execute(QStringLiteral(MERIDAX_METER_SIM), arguments), 0);
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

    bool ImportEnded() {
        return frm_->btnImport->text() == QStringLiteral("Import from device") &&
               frm_->cursor().shape() != Qt::WaitCursor;
    }

    QProcess sim_;
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

    const int cli = QProcess::execute(
        QStringLiteral(MERIDAX_CLI),
        {QStringLiteral("convert"), QString::fromStdString(dump), QStringLiteral("--to"),
         QString::fromStdString(dir_->File("cli.xls")), QStringLiteral("--header"),
         QStringLiteral("--device"), QString::fromLatin1(MeterName), QStringLiteral("--separator"),
         QStringLiteral(",")});
    ASSERT_EQ(cli, 0);
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

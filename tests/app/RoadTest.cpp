// The whole road of an import with the real serial component on a pseudo-terminal: pick the
// port, the name reply, Import, the dump, the tables.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "app/WindowFixture.h"
#include "support/PseudoTerminal.h"

namespace {

const std::string Dump =
    "1\t1\t1310\t-3.52\n\r"
    "1\t2\t1550\t-0.41\t-10\n\r"
    "2\t1\t850\t0.25\t-10.5\n\r"
    "\n\r";

class TRoadTest : public TWindowTest {
protected:
    void SetUp() override {
        TWindowTest::SetUp();
        meter_ = std::make_unique<TPseudoTerminal>();
        ports_ = {meter_->SlavePath()};
    }

    void TearDown() override {
        TWindowTest::TearDown();
        meter_.reset();
    }

    // What the window sent to the meter, while the window's events run: "n" and "u" go out
    // on a tick once the line has been quiet.
    std::string ReceiveFromWindow() {
        std::string got;
        (void)QTest::qWaitFor(
            [&] {
                got = meter_->Receive(1, std::chrono::milliseconds(10));
                return !got.empty();
            },
            PatientWaitMs);
        return got;
    }

    void PickThePort() {
        ASSERT_EQ(frm_->cbPorts->count(), 1);
        frm_->cbPorts->setCurrentIndex(0);
        emit frm_->cbPorts->activated(0);
    }

    void ConnectToTheMeter() {
        CreateWindow();
        ShowAndActivate();
        PickThePort();
        ASSERT_EQ(ReceiveFromWindow(), "n");
        // The reply arrives in pieces; only the one ending in LF CR completes it.
        meter_->Send("MX-3\t00");
        meter_->Send("42\n\r");
        ASSERT_TRUE(QTest::qWaitFor([this] { return frm_->DeviceLabelText() == "MX-3    0042"; },
                                    PatientWaitMs));
    }

    void StartImport() {
        QTest::mouseClick(frm_->btnImport, Qt::LeftButton);
        EXPECT_EQ(frm_->btnImport->text(), QStringLiteral("   Importing ..."));
        EXPECT_EQ(frm_->cursor().shape(), Qt::WaitCursor);
        ASSERT_EQ(ReceiveFromWindow(), "u");
    }

    bool ImportEnded() {
        return frm_->btnImport->text() == QStringLiteral("Import from device") &&
               frm_->cursor().shape() != Qt::WaitCursor;
    }

    std::unique_ptr<TPseudoTerminal> meter_;
};

}  // namespace

TEST_F(TRoadTest, PickConnectImportAndTick) {
    ConnectToTheMeter();
    EXPECT_EQ(waits_, (std::vector<int>{100, 1000}));
    EXPECT_EQ(frm_->lblConectedDeviceName->x(), 130);
    EXPECT_EQ(frm_->lblConectedDeviceName->palette().color(QPalette::WindowText),
              QColor(0, 128, 0));
    EXPECT_TRUE(frm_->btnImport->isEnabled());
    EXPECT_TRUE(frm_->cbPorts->isEnabled());
    // The session's time limits are judged on ticks while the port is open.
    EXPECT_TRUE(frm_->Ticking());

    StartImport();
    EXPECT_TRUE(frm_->btnCancelImport->isVisibleTo(frm_.get()));
    // A second click while the caption reads "   Importing ..." sends nothing.
    QTest::mouseClick(frm_->btnImport, Qt::LeftButton);
    EXPECT_EQ(meter_->Receive(1, std::chrono::milliseconds(300)), "");
    meter_->Send(Dump.substr(0, 20));
    meter_->Send(Dump.substr(20));
    ASSERT_TRUE(QTest::qWaitFor([this] { return Rows(TTablePage::All) == 3; }, PatientWaitMs));
    EXPECT_EQ(Rows(TTablePage::Absolute), 1);
    EXPECT_EQ(Rows(TTablePage::Relative), 2);
    EXPECT_EQ(Cell(TTablePage::All, 1, 5), QStringLiteral("-10"));
    EXPECT_TRUE(ImportEnded());
    EXPECT_FALSE(frm_->btnCancelImport->isVisibleTo(frm_.get()));
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("3 measurements: 1 absolute, 2 relative"));
    EXPECT_TRUE(frm_->UnsavedImport());

    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    EXPECT_TRUE(IsTicked(TTablePage::All, 0));
    EXPECT_TRUE(IsTicked(TTablePage::All, 2));
    EXPECT_TRUE(errors_.empty() || errors_ == std::vector<std::string>{"File not found"});
}

TEST_F(TRoadTest, RejectedDumpIsReportedAndKeepsThePreviousTables) {
    ConnectToTheMeter();
    StartImport();
    meter_->Send(Dump);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Rows(TTablePage::All) == 3; }, PatientWaitMs));
    Tick(TTablePage::All, 2);
    errors_.clear();

    StartImport();
    meter_->Send("1\t1\t1310\t-3,52\n\r\n\r");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !errors_.empty(); }, PatientWaitMs));
    EXPECT_EQ(errors_, std::vector<std::string>{"'-3,52' is not a valid floating point value"});
    EXPECT_TRUE(QTest::qWaitFor([this] { return ImportEnded(); }, PatientWaitMs));
    EXPECT_EQ(Rows(TTablePage::All), 3);
    EXPECT_TRUE(IsTicked(TTablePage::All, 2));
    EXPECT_EQ(Merania.size(), 3u);
}

TEST_F(TRoadTest, HangUpHalfWayEndsInNoDeviceAndAResponsiveWindow) {
    ConnectToTheMeter();
    StartImport();
    meter_->Send(Dump.substr(0, Dump.size() / 2));
    meter_->CloseMaster();
    ASSERT_TRUE(QTest::qWaitFor([this] { return frm_->DeviceLabelText() == "No connected device"; },
                                PatientWaitMs));
    EXPECT_EQ(frm_->lblConectedDeviceName->palette().color(QPalette::WindowText),
              QColor(128, 128, 128));
    EXPECT_TRUE(QTest::qWaitFor([this] { return ImportEnded(); }, PatientWaitMs));
    EXPECT_FALSE(frm_->btnImport->isEnabled());
    EXPECT_EQ(Rows(TTablePage::All), 0);

    // The window still handles its events.
    bool handled = false;
    QTimer::singleShot(0, frm_.get(), [&handled] { handled = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return handled; }, PatientWaitMs));
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Uncheck all"));
    EXPECT_TRUE(frm_->cbPorts->isEnabled());
}

TEST_F(TRoadTest, PortThatCannotBeOpenedEndsSilentlyInNoDevice) {
    ports_ = {dir_->File("no-such-port")};
    CreateWindow();
    ShowAndActivate();
    errors_.clear();
    PickThePort();
    EXPECT_EQ(frm_->DeviceLabelText(), "No connected device");
    EXPECT_EQ(frm_->lblConectedDeviceName->x(), 155);
    EXPECT_TRUE(frm_->cbPorts->isEnabled());
    EXPECT_FALSE(frm_->btnImport->isEnabled());
    EXPECT_TRUE(errors_.empty());
}

TEST_F(TRoadTest, ConnectBlocksTheWindowForTheRealWaits) {
    TfrmMainOptions options;
    options.BlockFor = [](int milliseconds) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
    };
    CreateWindow(std::move(options));
    ShowAndActivate();
    QElapsedTimer clock;
    clock.start();
    PickThePort();
    EXPECT_GE(clock.elapsed(), 1100);
    ASSERT_EQ(ReceiveFromWindow(), "n");
    meter_->Send("MX-3\n\r");
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return frm_->DeviceLabelText() == "MX-3"; }, PatientWaitMs));
}

TEST_F(TRoadTest, RefreshPortsClosesThePortAndListsThePortsAgain) {
    ConnectToTheMeter();
    ports_.push_back("/dev/ttyV9");
    EXPECT_TRUE(frm_->Ticking());
    QTest::mouseClick(frm_->btnRefreshPorts, Qt::LeftButton);
    EXPECT_FALSE(frm_->ComPort1().Opened());
    EXPECT_FALSE(frm_->Ticking());
    ASSERT_EQ(frm_->cbPorts->count(), 2);
    EXPECT_EQ(frm_->cbPorts->itemText(1), QStringLiteral("/dev/ttyV9"));
    EXPECT_EQ(frm_->cbPorts->currentIndex(), -1);
    EXPECT_EQ(frm_->DeviceLabelText(), "No connected device");
    EXPECT_EQ(frm_->lblConectedDeviceName->x(), 155);
    EXPECT_FALSE(frm_->btnImport->isEnabled());
    // With nothing picked, the hidden Connect button does nothing.
    frm_->btnConnect->click();
    EXPECT_FALSE(frm_->ComPort1().Opened());
}

TEST_F(TRoadTest, EscapeCancelsAnImportAndTheNextOneWorks) {
    ConnectToTheMeter();
    StartImport();
    meter_->Send(Dump.substr(0, 20));
    ASSERT_TRUE(QTest::qWaitFor([this] { return frm_->Session().ReceivedText.size() == 20; },
                                PatientWaitMs));
    frm_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm_.get()));
    QTest::keyClick(frm_.get(), Qt::Key_Escape);
    EXPECT_TRUE(ImportEnded());
    EXPECT_EQ(Rows(TTablePage::All), 0);
    StartImport();
    meter_->Send(Dump);
    EXPECT_TRUE(QTest::qWaitFor([this] { return Rows(TTablePage::All) == 3; }, PatientWaitMs));
}

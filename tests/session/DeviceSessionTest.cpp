#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "comm/ComPort.h"
#include "comm/Synchronizer.h"
#include "data/uMeranie.h"
#include "session/DeviceSession.h"
#include "session/RecordingView.h"
#include "support/PseudoTerminal.h"
#include "support/PumpUntil.h"
#include "sys/UniqueFd.h"

namespace {

using Calls = std::vector<std::string>;
using std::chrono::milliseconds;
using Statuses = std::vector<std::string>;

const Calls NoDeviceCalls = {"import:off", "label:No connected device", "color:128,128,128",
                             "left:155", "repaint"};

Calls Join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class DeviceSessionTest : public ::testing::Test {
public:  // table-driven cases act on the fixture
    TSynchronizer sync;
    TComPort port{sync};
    TRecordingView view;
    std::vector<std::string> enumerated = {"/dev/ttyS0", "/dev/ttyUSB1"};
    // The session's clock: tests move it instead of sleeping.
    TDeviceSession::TClock::time_point now{std::chrono::hours(1)};
    TDeviceSession session{view, port,
                           [this](std::vector<std::string>* list) {
                               list->insert(list->end(), enumerated.begin(), enumerated.end());
                           },
                           [this] { return now; }};

    void SetUp() override { Merania.clear(); }
    void TearDown() override {
        port.Close();
        Merania.clear();
    }

    void Feed(std::initializer_list<std::string> chunks) {
        for (const auto& chunk : chunks) {
            session.ComPort1ReceiveCallBack(chunk);
        }
    }

    void Advance(milliseconds span) {
        now += span;
        session.Tick(now);
    }

    // Connects to pty, lets the line be quiet and reads the name request the session sends.
    void ConnectTo(TPseudoTerminal& pty) {
        view.Selected = pty.SlavePath();
        session.btnConnectClick();
        ASSERT_TRUE(port.Opened()) << session.LastConnectError;
        Advance(milliseconds(200));
        ASSERT_EQ(pty.Receive(1), "n");
        view.Calls.clear();
        view.Statuses.clear();
    }

    void Identify() {
        session.WaitingForDeviceName = true;
        Feed({"OLP-55\tSN 1234\n\r"});
        view.Calls.clear();
        view.Statuses.clear();
    }

    // Connected, named, and an import of which Merania holds the previous set under way.
    void ImportUnderWayOn(TPseudoTerminal& pty) {
        ConnectTo(pty);
        Identify();
        Merania.clear();
        Merania.resize(2);
        Merania[0].Cable = "previous";
        session.btnImportClick();
        ASSERT_EQ(pty.Receive(1), "u");
        view.Calls.clear();
        view.Statuses.clear();
    }
};

TEST_F(DeviceSessionTest, ConfiguresThePortForTheMeter) {
    EXPECT_EQ(port.Baud, 19200u);
    EXPECT_EQ(port.DataBits, 8);
    EXPECT_EQ(port.Parity, ptNONE);
    EXPECT_EQ(port.StopBits, sbONE);
    EXPECT_EQ(port.WinQSizeIn, 8192u);
    EXPECT_EQ(port.WinQSizeOut, 8192u);
    EXPECT_EQ(port.ReceiveMode, rmRAW);
    EXPECT_EQ(port.GetTerminator(), "#10#13");
    EXPECT_FALSE(session.WaitingForDeviceName);

    ASSERT_TRUE(port.ReceiveCallBack);
    port.ReceiveCallBack("ab");
    port.ReceiveCallBack("c");
    EXPECT_EQ(session.ReceivedText, "abc");

    ASSERT_TRUE(port.OnHangUp);
    port.OnHangUp(port);
    EXPECT_EQ(view.Calls, NoDeviceCalls);
}

TEST_F(DeviceSessionTest, RemembersTheDesignedLabelPlaceAndCaption) {
    view.LabelLeft = 151;
    view.Caption = "Import";
    session.RememberDesign();
    EXPECT_EQ(session.DeviceLabelLeft, 151);
    EXPECT_EQ(session.ImportButtonCaption, "Import");
    session.SetNoConnectedDevice();
    EXPECT_EQ(view.Calls, (Calls{"import:off", "label:No connected device", "color:128,128,128",
                                 "left:151", "repaint"}));
}

TEST_F(DeviceSessionTest, ConnectWithoutASelectedPortDoesNothing) {
    session.ReceivedText = "kept";
    session.btnConnectClick();
    EXPECT_TRUE(view.Calls.empty());
    EXPECT_EQ(session.ReceivedText, "kept");
    EXPECT_FALSE(port.Opened());
}

TEST_F(DeviceSessionTest, ConnectOpensThePortWaitsAndAsksForTheName) {
    TPseudoTerminal pty;
    std::vector<std::string> atBlocks;
    view.OnBlock = [&](int ms) {
        atBlocks.push_back(std::to_string(ms) + (port.Opened() ? " open" : " closed") +
                           (session.WaitingForDeviceName ? " waiting" : ""));
    };
    session.ReceivedText = "old bytes";
    view.Selected = pty.SlavePath();

    session.btnConnectClick();

    EXPECT_EQ(view.Calls,
              Join({NoDeviceCalls,
                    {"block:100", "label:Connecting...", "repaint", "ports:off", "block:1000"},
                    NoDeviceCalls,
                    {"ports:on"}}));
    EXPECT_EQ(atBlocks, (Calls{"100 closed", "1000 open waiting"}));
    EXPECT_EQ(port.Port, pty.SlavePath());
    EXPECT_TRUE(port.Opened());
    EXPECT_TRUE(session.WaitingForDeviceName);
    EXPECT_TRUE(session.ReceivedText.empty());
    EXPECT_EQ(session.LastConnectError, "");
    // Connected only once the meter has told its name.
    EXPECT_EQ(view.Statuses, (Statuses{"Opened " + pty.SlavePath() +
                                       " at 19200 baud; asking the meter for its name..."}));

    // "n" waits for 200 ms of quiet; bytes meanwhile (an old dump's tail) are dropped and
    // start the wait over.
    Advance(milliseconds(199));
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");
    Feed({"C1\tF1\t1310\t-3\n\r"});
    EXPECT_TRUE(session.LineBusy());
    Advance(milliseconds(150));
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");
    Advance(milliseconds(50));
    EXPECT_EQ(pty.Receive(1), "n");
    EXPECT_TRUE(session.ReceivedText.empty());
    // The wait was told with its reason and limit, and its end with the question.
    EXPECT_EQ(
        view.Statuses,
        (Statuses{
            "Opened " + pty.SlavePath() + " at 19200 baud; asking the meter for its name...",
            "Waiting for the busy line on " + pty.SlavePath() +
                " to go quiet: the meter may still be sending a dump asked for "
                "before; up to 30 s",
            "Opened " + pty.SlavePath() + " at 19200 baud; asking the meter for its name..."}));
    // Only the one byte went out: a marker written now is the next byte.
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");
    Feed({"OLP\n\r"});
    EXPECT_EQ(view.LabelText, "OLP");
    EXPECT_EQ(view.Statuses.back(), "Connected to " + pty.SlavePath() + " at 19200 baud");

    // A second connect closes the port before it waits.
    atBlocks.clear();
    session.btnConnectClick();
    EXPECT_EQ(atBlocks, (Calls{"100 closed", "1000 open waiting"}));
    Advance(milliseconds(200));
    EXPECT_EQ(pty.Receive(1), "n");
}

TEST_F(DeviceSessionTest, AFailedConnectEndsSilentlyInNoDevice) {
    view.Selected = "/nonexistent/ttyMERIDAX";
    session.btnConnectClick();

    EXPECT_EQ(view.Calls, Join({NoDeviceCalls,
                                {"block:100", "label:Connecting...", "repaint", "ports:off"},
                                NoDeviceCalls,
                                {"ports:on"}}));
    EXPECT_FALSE(session.WaitingForDeviceName);
    EXPECT_FALSE(port.Opened());
    EXPECT_TRUE(view.Errors.empty());
    EXPECT_EQ(view.LabelColor, (TRgb{128, 128, 128}));
    EXPECT_TRUE(view.PortListEnabled);
    EXPECT_EQ(session.LastConnectError.rfind("TCOMPORT : cannot open /nonexistent/ttyMERIDAX\r", 0),
              0u)
        << session.LastConnectError;
    EXPECT_EQ(session.LastConnectCode, std::errc::no_such_file_or_directory);
    EXPECT_EQ(view.Statuses,
              (Statuses{"/nonexistent/ttyMERIDAX is missing: the adapter may have been unplugged "
                        "(Refresh ports)"}));

    // Held by another program: the status says busy.
    TPseudoTerminal pty;
    TUniqueFd holder(::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);
    view.Selected = pty.SlavePath();
    session.btnConnectClick();
    EXPECT_EQ(view.Statuses.back(), pty.SlavePath() + " is busy: another program has it open");
}

struct TNameCase {
    const char* title;
    std::vector<std::string> chunks;
    // Chunk after which the reply is complete (-1: never), and the label's text then.
    int completesAt;
    std::string label;
};

void PrintTo(const TNameCase& c, std::ostream* os) {
    *os << c.title;
}

class NameReplyTest : public DeviceSessionTest, public ::testing::WithParamInterface<TNameCase> {};

TEST_P(NameReplyTest, CompletesOnlyOnItsTerminator) {
    const TNameCase& c = GetParam();
    session.WaitingForDeviceName = true;
    std::string sent;
    for (int i = 0; i < static_cast<int>(c.chunks.size()); ++i) {
        session.ComPort1ReceiveCallBack(c.chunks[i]);
        sent += c.chunks[i];
        if (i < c.completesAt || c.completesAt < 0) {
            EXPECT_TRUE(view.Calls.empty()) << "chunk " << i;
            EXPECT_TRUE(session.WaitingForDeviceName);
            EXPECT_EQ(session.ReceivedText, sent);
        }
    }
    if (c.completesAt < 0) {
        return;
    }
    EXPECT_EQ(view.Calls, (Calls{"import:on", "left:130", "color:0,128,0", "label:" + c.label}));
    EXPECT_FALSE(session.WaitingForDeviceName);
    EXPECT_EQ(session.ReceivedText, "");
}

INSTANTIATE_TEST_SUITE_P(
    Session, NameReplyTest,
    ::testing::Values(
        TNameCase{"TabBecomesFourBlanks", {"OLP-55\tSN 1234\n\r"}, 0, "OLP-55    SN 1234"},
        TNameCase{"SeveralChunks", {"MERI", "DAX ", "M1\n", "\r"}, 3, "MERIDAX M1"},
        TNameCase{"TerminatorInAChunkOfItsOwn", {"M2\t7", "\n\r"}, 1, "M2    7"},
        TNameCase{"InnerLineEndsRunTogether", {"AB\n\rCD\n\rEF\n\r"}, 0, "ABCDEF"},
        TNameCase{"TerminatorInTheMiddleCompletesNothing", {"AB\n\rCD"}, -1, ""},
        TNameCase{"ExactlyLfCrIsNoName", {"\n\r"}, -1, ""},
        TNameCase{"ExactlyLfCrStaysAndLaterBytesJoin", {"\n\r", "X\n\r"}, 1, "X"},
        TNameCase{"CrLfCompletesNothing", {"METER\r\n"}, -1, ""},
        TNameCase{"EmptyChunksAreTested", {"N\n\r", ""}, 0, "N"},
        TNameCase{"OnePassRemovesPairs", {"A\n\n\r\rB\n\r"}, 0, "A\n\rB"}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

const std::string ThreeRecords =
    "C1\tF1\t1310\t-3.52\n\r"
    "C1\tF2\t1550\t0.25\t-10.5\n\r"
    "C2\tF1\t1310\t-7\n\r"
    "\n\r";

TEST_F(DeviceSessionTest, ImportSendsUOnceAndTheDumpRestoresTheButton) {
    TPseudoTerminal pty;
    ConnectTo(pty);
    Identify();
    session.ReceivedText = "stale";

    session.btnImportClick();
    EXPECT_EQ(view.Calls, (Calls{"cursor:busy", "caption:   Importing ..."}));
    EXPECT_EQ(session.ReceivedText, "");
    EXPECT_EQ(pty.Receive(1), "u");
    EXPECT_TRUE(session.ImportUnderWay());

    view.Calls.clear();
    session.btnImportClick();
    EXPECT_TRUE(view.Calls.empty());
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");

    Feed({ThreeRecords.substr(0, 7), ThreeRecords.substr(7, 30), ThreeRecords.substr(37)});
    EXPECT_EQ(view.Calls, (Calls{"refill", "caption:Import from device", "cursor:normal"}));
    ASSERT_EQ(Merania.size(), 3u);
    EXPECT_EQ(Merania[1].Fiber, "F2");
    EXPECT_TRUE(Merania[1].IsRelative);
    EXPECT_DOUBLE_EQ(Merania[1].Reference, -10.5);
    EXPECT_FALSE(session.ImportUnderWay());
}

TEST_F(DeviceSessionTest, DumpTextStaysAndEveryLaterTerminatedDeliveryRefills) {
    Feed({ThreeRecords});
    EXPECT_EQ(view.Refills, 1);
    EXPECT_EQ(session.ReceivedText, ThreeRecords);

    Feed({""});
    EXPECT_EQ(view.Refills, 2);
    EXPECT_EQ(Merania.size(), 3u);

    // Stray bytes join the kept text; once it ends with the terminator again it is parsed
    // whole again.
    Feed({"C3\tF9\t850\t-1"});
    EXPECT_EQ(view.Refills, 2);
    Feed({"\n\r\n\r"});
    EXPECT_EQ(view.Refills, 3);
    EXPECT_EQ(Merania.size(), 4u);
}

struct TDumpCase {
    const char* title;
    std::vector<std::string> chunks;
    bool complete;
};

void PrintTo(const TDumpCase& c, std::ostream* os) {
    *os << c.title;
}

class DumpEndTest : public DeviceSessionTest, public ::testing::WithParamInterface<TDumpCase> {};

TEST_P(DumpEndTest, CompletesOnlyOnLfCrLfCrAfterMoreThanFourBytes) {
    const TDumpCase& c = GetParam();
    for (const auto& chunk : c.chunks) {
        session.ComPort1ReceiveCallBack(chunk);
    }
    EXPECT_EQ(view.Refills, c.complete ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Session, DumpEndTest,
    ::testing::Values(TDumpCase{"ExactlyTheTerminator", {"\n\r\n\r"}, false},
                      TDumpCase{"OneByteBeforeTheTerminator", {" \n\r\n\r"}, true},
                      TDumpCase{
                          "TerminatorSplitOverChunks", {"C\tF\t1310\t-3\n", "\r\n", "\r"}, true},
                      TDumpCase{"CrLfEndingCompletesNothing", {"C\tF\t1310\t-3\r\n\r\n"}, false},
                      TDumpCase{"TerminatorFollowedByMoreBytes", {"C\tF\t1\t2\n\r\n\rC"}, false},
                      TDumpCase{"SingleLfCrIsNotTheEnd", {"C\tF\t1310\t-3\n\r"}, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

TEST_F(DeviceSessionTest, OnlyTheTestOfTheCurrentModeIsMade) {
    session.WaitingForDeviceName = true;
    Feed({"C\tF\t1310\t-3\n\r\n\r"});
    EXPECT_EQ(view.Refills, 0);
    EXPECT_EQ(view.LabelText, "C    F    1310    -3");
}

TEST_F(DeviceSessionTest, ARejectedDumpIsReportedAndTheViewsKeepThePreviousSet) {
    Feed({ThreeRecords});
    ASSERT_EQ(Merania.size(), 3u);
    view.Calls.clear();
    view.Refills = 0;

    session.btnImportClick();
    Feed({"C1\tF1\t1310\t-1.5\n\rC9\tF9\t1310\t-3,52\n\r\n\r"});

    EXPECT_EQ(view.Calls,
              (Calls{"cursor:busy", "caption:   Importing ...", "caption:Import from device",
                     "cursor:normal", "error:'-3,52' is not a valid floating point value"}));
    EXPECT_EQ(view.Refills, 0);
    ASSERT_EQ(Merania.size(), 3u);
    EXPECT_EQ(Merania[0].Value, -3.52);
    EXPECT_EQ(Merania[2].Cable, "C2");
    EXPECT_FALSE(session.ImportUnderWay());
    // The progress told before is replaced.
    EXPECT_EQ(view.Statuses.back(),
              "The meter's dump did not read ('-3,52' is not a valid "
              "floating point value); the previous measurements are kept");
}

// The command-line tool's session reads into a set of its own, accepted or rejected as the
// window's is; the window's set stays as it is.
TEST_F(DeviceSessionTest, ASessionWithASetOfItsOwnLeavesMeraniaAlone) {
    Merania.resize(1);
    Merania[0].Cable = "window";
    TComPort ownPort{sync};
    TRecordingView ownView;
    TMeraniaArray records;
    TDeviceSession own{ownView, ownPort, records};
    own.ComPort1ReceiveCallBack(ThreeRecords);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2].Cable, "C2");
    // Joined to the kept text, which then no longer reads.
    own.ComPort1ReceiveCallBack("C9\tF9\t1310\t-3,52\n\r\n\r");
    EXPECT_EQ(ownView.Refills, 1);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Value, -3.52);
    ASSERT_EQ(Merania.size(), 1u);
    EXPECT_EQ(Merania[0].Cable, "window");
    EXPECT_EQ(view.Refills, 0);
}

TEST_F(DeviceSessionTest, RefreshClosesThePortAndListsThePortsAgain) {
    TPseudoTerminal pty;
    ConnectTo(pty);
    session.ReceivedText = "partial";
    view.Ports = {"old"};

    session.btnRefreshPortsClick();

    EXPECT_EQ(view.Calls, Join({{"left:120", "label:Detecting avaible ports...", "repaint", "clear",
                                 "add:/dev/ttyS0,/dev/ttyUSB1"},
                                NoDeviceCalls}));
    EXPECT_EQ(view.Ports, enumerated);
    EXPECT_FALSE(port.Opened());
    EXPECT_TRUE(session.WaitingForDeviceName);
    EXPECT_EQ(session.ReceivedText, "partial");
    // What the line said of the port closed now is replaced.
    EXPECT_EQ(view.Statuses, (Statuses{"2 serial ports found: choose one to connect"}));
    enumerated.resize(1);
    session.btnRefreshPortsClick();
    EXPECT_EQ(view.Statuses.back(), "1 serial port found: choose it to connect");
    enumerated.clear();
    session.btnRefreshPortsClick();
    EXPECT_EQ(view.Statuses.back(),
              "No serial port found: plug the meter's cable in, then Refresh ports");
}

TEST_F(DeviceSessionTest, RefreshAfterAMissingPortReplacesItsStatus) {
    view.Selected = "/nonexistent/ttyMERIDAX";
    session.btnConnectClick();
    ASSERT_EQ(view.Statuses.size(), 1u);
    session.btnRefreshPortsClick();
    EXPECT_EQ(view.Statuses.back(), "2 serial ports found: choose one to connect");
}

TEST_F(DeviceSessionTest, RefreshDuringAnImportSaysTheImportEnded) {
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    Feed({ThreeRecords.substr(0, 20)});
    session.btnRefreshPortsClick();
    EXPECT_FALSE(session.ImportUnderWay());
    EXPECT_EQ(view.Statuses, (Statuses{"2 serial ports found: choose one to connect; the import "
                                       "was ended and the previous measurements are kept"}));
}

TEST_F(DeviceSessionTest, ConnectOrRefreshDuringAnImportEndsIt) {
    for (bool refresh : {false, true}) {
        SCOPED_TRACE(refresh ? "refresh" : "connect");
        session.btnImportClick();
        view.Calls.clear();
        view.Selected = "/nonexistent/ttyMERIDAX";
        if (refresh) {
            session.btnRefreshPortsClick();
        } else {
            session.btnConnectClick();
        }
        ASSERT_GE(view.Calls.size(), 2u);
        EXPECT_EQ(view.Calls[0], "caption:Import from device");
        EXPECT_EQ(view.Calls[1], "cursor:normal");
        EXPECT_FALSE(view.Busy);
        EXPECT_FALSE(session.ImportUnderWay());
    }
}

TEST_F(DeviceSessionTest, AHangUpPutsTheSessionInNoDevice) {
    TPseudoTerminal pty;
    ConnectTo(pty);
    Identify();
    session.btnImportClick();
    ASSERT_EQ(pty.Receive(1), "u");
    view.Calls.clear();

    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil(sync, [&] { return !view.Calls.empty(); }));

    EXPECT_EQ(view.Calls, Join({{"caption:Import from device", "cursor:normal"}, NoDeviceCalls}));
    EXPECT_FALSE(view.ImportEnabled);
    EXPECT_EQ(view.Statuses, (Statuses{"The meter on " + pty.SlavePath() +
                                       " hung up during the import; the previous measurements "
                                       "are kept"}));
    EXPECT_EQ(session.LastEnd(), TDeviceSession::TEnd::HangUp);

    // The next connect works as ever.
    TPseudoTerminal other;
    ConnectTo(other);
    EXPECT_TRUE(session.WaitingForDeviceName);
}

TEST_F(DeviceSessionTest, NameAndDumpArriveThroughThePort) {
    TPseudoTerminal pty;
    ConnectTo(pty);
    pty.Send("OLP\t");
    pty.Send("55\n\r");
    ASSERT_TRUE(PumpUntil(sync, [&] { return !session.WaitingForDeviceName; }));
    EXPECT_EQ(view.LabelText, "OLP    55");

    session.btnImportClick();
    ASSERT_EQ(pty.Receive(1), "u");
    pty.Send(ThreeRecords);
    ASSERT_TRUE(PumpUntil(sync, [&] { return view.Refills == 1; }));
    EXPECT_EQ(Merania.size(), 3u);
    EXPECT_EQ(view.Caption, "Import from device");
}

TEST_F(DeviceSessionTest, NoNameReplyIn3SecondsIsToldOnceAndALateReplyStillCounts) {
    TPseudoTerminal pty;
    ConnectTo(pty);
    Advance(milliseconds(2999));
    EXPECT_TRUE(view.Statuses.empty());
    Advance(milliseconds(1));
    Advance(milliseconds(5000));
    EXPECT_EQ(view.Statuses,
              (Statuses{"The meter on " + pty.SlavePath() +
                        " did not answer at 19200 baud: check the cable, the meter's power and the "
                        "baud rate (Options > Serial port settings)"}));
    EXPECT_EQ(view.LabelText, "No connected device");
    EXPECT_TRUE(view.Calls.empty());

    Feed({"LATE\n\r"});
    EXPECT_EQ(view.LabelText, "LATE");
    EXPECT_EQ(view.Statuses.back(), "Connected to " + pty.SlavePath() + " at 19200 baud");
}

TEST_F(DeviceSessionTest, ALineBusyFor30SecondsEndsTheConnect) {
    TPseudoTerminal pty;
    view.Selected = pty.SlavePath();
    session.btnConnectClick();
    for (int step = 0; step < 300; ++step) {
        Feed({"C1\tF1\t1310\t-3\n\r"});
        Advance(milliseconds(100));
    }
    EXPECT_FALSE(session.WaitingForDeviceName);
    EXPECT_EQ(session.LastEnd(), TDeviceSession::TEnd::LineBusy);
    EXPECT_EQ(view.Statuses.back(), "The line on " + pty.SlavePath() +
                                        " stayed busy for 30 s: the meter is still sending; try "
                                        "again when it has finished");
    // Nothing was asked, and what still comes is no name.
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");
    Feed({"X\n\r"});
    EXPECT_EQ(view.LabelText, "No connected device");
}

// Each way an import ends early: caption and cursor back, the previous set kept, the rest of
// that dump never completes, and the next import waits for quiet and then works.
struct TEarlyEndCase {
    const char* title;
    std::function<void(DeviceSessionTest&)> end;
    TDeviceSession::TEnd why;
    std::string status;  // PTY stands for the port's path
    // Why the next import's request waits.
    std::string waitWhy;
};

class EarlyEndTest : public DeviceSessionTest, public ::testing::WithParamInterface<TEarlyEndCase> {
public:
    void TestBody() override {}
};

TEST_P(EarlyEndTest, KeepsThePreviousSetAndTheNextImportWorks) {
    const TEarlyEndCase& c = GetParam();
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    Feed({ThreeRecords.substr(0, 20)});
    c.end(*this);

    EXPECT_EQ(view.Calls, (Calls{"caption:Import from device", "cursor:normal"}));
    EXPECT_EQ(session.LastEnd(), c.why);
    std::string status = c.status;
    if (const auto at = status.find("PTY"); at != std::string::npos) {
        status.replace(at, 3, pty.SlavePath());
    }
    EXPECT_EQ(view.Statuses, (Statuses{status}));
    session.Limits = {};
    EXPECT_TRUE(session.ReceivedText.empty());
    Feed({ThreeRecords.substr(20)});
    Feed({""});
    EXPECT_EQ(view.Refills, 0);
    ASSERT_EQ(Merania.size(), 2u);
    EXPECT_EQ(Merania[0].Cable, "previous");

    // The old dump's tail still trickles: "u" goes out only after 200 ms of quiet.
    session.btnImportClick();
    Advance(milliseconds(150));
    Feed({"C9\tF9\t1310\t-1\n\r"});
    EXPECT_EQ(view.Statuses.back(), "Waiting for the busy line on " + pty.SlavePath() +
                                        " to go quiet: " + c.waitWhy + "; up to 30 s");
    Advance(milliseconds(150));
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");
    Advance(milliseconds(50));
    EXPECT_EQ(pty.Receive(1), "u");
    Feed({ThreeRecords});
    EXPECT_EQ(view.Refills, 1);
    EXPECT_EQ(Merania.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Session, EarlyEndTest,
    ::testing::Values(
        TEarlyEndCase{"Cancel", [](DeviceSessionTest& test) { test.session.CancelImport(); },
                      TDeviceSession::TEnd::Cancelled,
                      "Import cancelled; the previous measurements are kept",
                      "the meter is still sending the cancelled dump"},
        TEarlyEndCase{"TenSecondsOfSilence",
                      [](DeviceSessionTest& test) {
                          test.Advance(milliseconds(9999));
                          EXPECT_TRUE(test.session.ImportUnderWay());
                          test.Advance(milliseconds(1));
                      },
                      TDeviceSession::TEnd::Silence,
                      "No byte from the meter on PTY for 10 s: the import was ended; the "
                      "previous measurements are kept",
                      "the meter is still sending the ended dump"},
        TEarlyEndCase{"DumpCap",
                      [](DeviceSessionTest& test) {
                          test.session.Limits.MaxDumpBytes = 30;
                          test.Feed({std::string(10, 'C')});
                          EXPECT_TRUE(test.session.ImportUnderWay());
                          test.Feed({"C"});
                      },
                      TDeviceSession::TEnd::TooLarge,
                      "The import was ended at 0 MB, more than a meter holds; the previous "
                      "measurements are kept",
                      "the meter is still sending the ended dump"}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

TEST_F(DeviceSessionTest, ProgressAtMostTenTimesASecondByTheClock) {
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    EXPECT_EQ(view.Progress, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 0}}));
    view.Progress.clear();
    Feed({"C1\tF1\t1310\t-3\n", "\rC2\tF1", "\t1310\t-7\n\r"});
    EXPECT_TRUE(view.Progress.empty());
    now += milliseconds(100);
    Feed({"\n"});
    Feed({"C3"});
    Advance(milliseconds(99));
    EXPECT_EQ(view.Progress, (std::vector<std::pair<std::size_t, std::size_t>>{{31, 2}}));
    Advance(milliseconds(1));
    Advance(milliseconds(100));
    EXPECT_EQ(view.Progress, (std::vector<std::pair<std::size_t, std::size_t>>{{31, 2}, {33, 2}}));
    EXPECT_EQ(session.ImportLines(), 2u);
}

TEST_F(DeviceSessionTest, PortsTheUserMayNotOpenAreCountedWithTheFix) {
    TDeviceSession probing(view, port, {}, [this] { return now; });
    std::vector<TPortCandidate> probed = {{"/dev/ttyS0", TPortState::NotSerial, {}, {}},
                                          {"/dev/ttyUSB0", TPortState::PermissionDenied, {}, {}},
                                          {"/dev/ttyUSB1", TPortState::Available, {}, {}},
                                          {"/dev/ttyUSB2", TPortState::Busy, {}, {}},
                                          {"/dev/ttyACM0", TPortState::PermissionDenied, {}, {}}};
    probing.ProbePorts = [&] { return probed; };
    probing.FillPortList();
    EXPECT_EQ(view.Ports, (std::vector<std::string>{"/dev/ttyUSB1"}));
    EXPECT_EQ(view.Statuses,
              (Statuses{"2 serial ports exist that you may not open: add your user to the dialout "
                        "group (sudo usermod -aG dialout $USER), then log in again"}));
    probed.resize(3);
    probing.FillPortList();
    EXPECT_EQ(view.Statuses.back().substr(0, 46), "1 serial port exists that you may not open: ad");
    probed.resize(1);
    probing.FillPortList();
    EXPECT_EQ(view.Statuses.size(), 2u);
}

// A dump handed aside, as the window hands it to its worker: nothing changes until the
// answer comes, and only the answer for the import still under way counts.
class DumpAsideTest : public DeviceSessionTest {
public:
    struct THanded {
        std::string Text;
        std::uint64_t Ticket = 0;
    };
    std::vector<THanded> handed;

    void SetUp() override {
        DeviceSessionTest::SetUp();
        session.ReadDumpAside = [this](std::string text, std::uint64_t ticket) {
            handed.push_back({std::move(text), ticket});
        };
    }

    // Answers as the window's worker does, with the records of text; gives what the session
    // handed back.
    TDeviceSession::TDumpReading Answer(std::uint64_t ticket, const std::string& text) {
        TDeviceSession::TDumpReading reading;
        ParseDeviceDump(text, reading.Records);
        reading.Text = text;
        session.DumpRead(ticket, reading);
        return reading;
    }
};

TEST_F(DumpAsideTest, TheViewsAreRefilledOnlyWhenTheAnswerComes) {
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    Feed({ThreeRecords.substr(0, 30), ThreeRecords.substr(30)});
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].Text, ThreeRecords);
    EXPECT_TRUE(view.Calls.empty());
    EXPECT_TRUE(session.ImportUnderWay());
    EXPECT_TRUE(session.ReadingAside());
    ASSERT_EQ(Merania.size(), 2u);
    // Reading a large dump takes time; the silence limit is for the meter, not for it.
    Advance(milliseconds(20000));
    EXPECT_TRUE(session.ImportUnderWay());

    const TDeviceSession::TDumpReading back = Answer(handed[0].Ticket, handed[0].Text);
    EXPECT_EQ(view.Calls, (Calls{"refill", "caption:Import from device", "cursor:normal"}));
    // The replaced set comes back, to be freed where it costs the window nothing.
    ASSERT_EQ(back.Records.size(), 2u);
    EXPECT_EQ(back.Records[0].Cable, "previous");
    EXPECT_EQ(session.ReceivedText, ThreeRecords);
    ASSERT_EQ(Merania.size(), 3u);
    EXPECT_EQ(Merania[2].Cable, "C2");
    EXPECT_FALSE(session.ReadingAside());
    // The line is clean: the next import asks at once.
    session.btnImportClick();
    EXPECT_EQ(pty.Receive(1), "u");
}

TEST_F(DumpAsideTest, ARejectedDumpIsReportedAndThePreviousSetStays) {
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    Feed({ThreeRecords});
    ASSERT_EQ(handed.size(), 1u);
    TDeviceSession::TDumpReading reading;
    reading.Error = "'-3,52' is not a valid floating point value";
    session.DumpRead(handed[0].Ticket, reading);
    EXPECT_EQ(view.Calls, (Calls{"caption:Import from device", "cursor:normal",
                                 "error:'-3,52' is not a valid floating point value"}));
    ASSERT_EQ(Merania.size(), 2u);
    EXPECT_EQ(Merania[0].Cable, "previous");
}

TEST_F(DumpAsideTest, AnAnswerAfterTheImportEndedIsDropped) {
    const std::vector<std::pair<const char*, std::function<void()>>> ends{
        {"cancel", [this] { session.CancelImport(); }},
        {"refresh", [this] { session.btnRefreshPortsClick(); }},
        {"hang-up", [this] { session.ComPort1HangUp(); }}};
    for (const auto& [title, end] : ends) {
        SCOPED_TRACE(title);
        TPseudoTerminal pty;
        handed.clear();
        ImportUnderWayOn(pty);
        Feed({ThreeRecords});
        ASSERT_EQ(handed.size(), 1u);
        end();
        EXPECT_FALSE(session.ImportUnderWay());
        EXPECT_FALSE(session.ReadingAside());
        view.Calls.clear();
        Answer(handed[0].Ticket, handed[0].Text);
        EXPECT_EQ(view.Refills, 0);
        EXPECT_TRUE(view.Calls.empty());
        ASSERT_EQ(Merania.size(), 2u);
        EXPECT_EQ(Merania[0].Cable, "previous");
        port.Close();
    }
}

TEST_F(DumpAsideTest, ATerminatedDeliveryWhileTheDumpIsReadIsReadWithItAfterwards) {
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    Feed({ThreeRecords});
    ASSERT_EQ(handed.size(), 1u);
    // Handed over, not copied: what stays is only what comes after.
    EXPECT_EQ(session.ReceivedText, "");
    Feed({"C3\tF9\t850\t-1", "\n\r\n\r"});
    EXPECT_EQ(handed.size(), 1u);
    EXPECT_EQ(session.ReceivedText, "C3\tF9\t850\t-1\n\r\n\r");

    Answer(handed[0].Ticket, handed[0].Text);
    EXPECT_EQ(view.Refills, 1);
    EXPECT_EQ(Merania.size(), 3u);
    // As on the direct path the kept text, now terminated again, is read whole again.
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[1].Text, ThreeRecords + "C3\tF9\t850\t-1\n\r\n\r");
    EXPECT_NE(handed[0].Ticket, handed[1].Ticket);
    // The first answer counts once.
    Answer(handed[0].Ticket, handed[0].Text);
    EXPECT_EQ(view.Refills, 1);
    Answer(handed[1].Ticket, handed[1].Text);
    EXPECT_EQ(view.Refills, 2);
    EXPECT_EQ(Merania.size(), 4u);
    EXPECT_EQ(session.ReceivedText, handed[1].Text);
}

TEST_F(DumpAsideTest, TheTextHandedOverCountsAgainstTheDumpsBound) {
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    session.Limits.MaxDumpBytes = ThreeRecords.size() + 10;
    Feed({ThreeRecords});
    ASSERT_EQ(handed.size(), 1u);
    Feed({std::string(11, 'x')});
    EXPECT_EQ(session.LastEnd(), TDeviceSession::TEnd::TooLarge);
    EXPECT_FALSE(session.ReadingAside());
    Answer(handed[0].Ticket, handed[0].Text);
    EXPECT_EQ(view.Refills, 0);
}

TEST_F(DumpAsideTest, BytesAfterTheHandOverLeaveTheLineUnclean) {
    TPseudoTerminal pty;
    ImportUnderWayOn(pty);
    Feed({ThreeRecords});
    Feed({"noise"});
    ASSERT_EQ(handed.size(), 1u);
    Answer(handed[0].Ticket, handed[0].Text);
    EXPECT_EQ(view.Refills, 1);
    // The next "u" waits for the line to go quiet.
    session.btnImportClick();
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");
    Advance(milliseconds(200));
    EXPECT_EQ(pty.Receive(1), "u");
}

}  // namespace

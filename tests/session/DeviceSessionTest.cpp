#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session/DeviceSession.h"
#include "comm/ComPort.h"
#include "comm/Synchronizer.h"
#include "data/uMeranie.h"
#include "session/RecordingView.h"
#include "support/PseudoTerminal.h"
#include "support/PumpUntil.h"

namespace {

using Calls = std::vector<std::string>;

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
protected:
    TSynchronizer sync;
    TComPort port{sync};
    TRecordingView view;
    std::vector<std::string> enumerated = {"/dev/ttyS0", "/dev/ttyUSB1"};
    TDeviceSession session{view, port, [this](std::vector<std::string>* list) {
                               list->insert(list->end(), enumerated.begin(), enumerated.end());
                           }};

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

    // Connects to pty and reads the name request the session sends.
    void ConnectTo(TPseudoTerminal& pty) {
        view.Selected = pty.SlavePath();
        session.btnConnectClick();
        ASSERT_TRUE(port.Opened()) << session.LastConnectError;
        ASSERT_EQ(pty.Receive(1), "n");
        view.Calls.clear();
    }

    void Identify() {
        session.WaitingForDeviceName = true;
        Feed({"OLP-55\tSN 1234\n\r"});
        view.Calls.clear();
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
    EXPECT_EQ(pty.Receive(1), "n");
    // Only the one byte went out: a marker written now is the next byte.
    port.Write("!");
    EXPECT_EQ(pty.Receive(1), "!");

    // A second connect closes the port before it waits; the name is still awaited.
    atBlocks.clear();
    session.btnConnectClick();
    EXPECT_EQ(atBlocks, (Calls{"100 closed waiting", "1000 open waiting"}));
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

}  // namespace

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "comm/ComPort.h"
#include "comm/FakePortBinding.h"
#include "comm/Synchronizer.h"
#include "data/uMeranie.h"
#include "session/DeviceSession.h"
#include "session/RecordingView.h"
#include "session/SessionStatus.h"
#include "support/AddressSpace.h"

namespace {

using std::chrono::milliseconds;
using Statuses = std::vector<std::string>;

// A session on a scripted device: what the device refuses, and what arrives, is up to the
// test; time moves only when the test says.
class SessionFailureTest : public ::testing::Test {
protected:
    SessionFailureTest() {
        Merania.clear();
        view.Selected = "/dev/ttyFAKE0";
    }
    ~SessionFailureTest() override {
        port.Close();
        Merania.clear();
    }

    void Advance(milliseconds span) {
        now += span;
        session.Tick(now);
    }

    // Connected, the line quiet, the name asked for.
    void Connect() {
        session.btnConnectClick();
        ASSERT_TRUE(port.Opened()) << session.LastConnectError;
        Advance(milliseconds(200));
        view.Statuses.clear();
    }

    std::shared_ptr<TFakeDevice> device = std::make_shared<TFakeDevice>();
    TSynchronizer sync;
    TComPort port{sync, FakeBindingFactory(device)};
    TRecordingView view;
    TDeviceSession::TClock::time_point now{std::chrono::hours(1)};
    TDeviceSession session{view, port, [](std::vector<std::string>*) {}, [this] { return now; }};
};

TEST_F(SessionFailureTest, RefusedSpeedIsTheStatusAndNoConnect) {
    device->LineResult = {std::make_error_code(std::errc::invalid_argument), true};
    port.Baud = 250000;
    session.btnConnectClick();
    EXPECT_FALSE(port.Opened());
    EXPECT_FALSE(session.WaitingForDeviceName);
    EXPECT_EQ(session.LastConnectFailure, TComFailure::Speed);
    EXPECT_EQ(session.LastConnectCode, std::errc::invalid_argument);
    EXPECT_EQ(view.Statuses, (Statuses{"Cannot use /dev/ttyFAKE0: the port refused 250000 baud: " +
                                       std::generic_category().message(EINVAL)}));
    EXPECT_EQ(view.LabelText, "No connected device");
}

TEST_F(SessionFailureTest, RefusedLineSettingsAreTheStatus) {
    device->LineResult = {std::make_error_code(std::errc::io_error), false};
    session.btnConnectClick();
    EXPECT_FALSE(port.Opened());
    EXPECT_EQ(session.LastConnectFailure, TComFailure::LineSettings);
    EXPECT_EQ(view.Statuses,
              (Statuses{"Cannot use /dev/ttyFAKE0: the port refused its line settings: " +
                        std::generic_category().message(EIO)}));
}

TEST_F(SessionFailureTest, UnsentNameRequestEndsTheConnect) {
    device->WriteError = std::make_error_code(std::errc::io_error);
    session.btnConnectClick();
    ASSERT_TRUE(port.Opened());
    view.Statuses.clear();
    Advance(milliseconds(200));
    EXPECT_FALSE(session.WaitingForDeviceName);
    EXPECT_EQ(session.LastEnd(), TDeviceSession::TEnd::WriteFailed);
    const std::string status =
        "Cannot send to the meter on /dev/ttyFAKE0: " + std::generic_category().message(EIO);
    EXPECT_EQ(view.Statuses, (Statuses{status}));
    EXPECT_EQ(session.LastEndStatus(), status);
    // No "did not answer" later: the request never went out.
    Advance(milliseconds(5000));
    EXPECT_EQ(view.Statuses.size(), 1u);
}

TEST_F(SessionFailureTest, UnsentDumpRequestEndsTheImport) {
    Connect();
    session.ComPort1ReceiveCallBack("OLP-55\n\r");
    ASSERT_EQ(view.LabelText, "OLP-55");
    device->RefuseWrites(std::make_error_code(std::errc::broken_pipe));
    session.btnImportClick();
    EXPECT_FALSE(session.ImportUnderWay());
    EXPECT_EQ(session.LastEnd(), TDeviceSession::TEnd::WriteFailed);
    EXPECT_EQ(view.Statuses.back(), "Cannot send to the meter on /dev/ttyFAKE0: " +
                                        std::generic_category().message(EPIPE));
}

struct TNoiseCase {
    const char* Name;
    std::vector<std::string> Chunks;
    std::string Shown;  // the escaped bytes in the status, or "" for no answer
};

class NameNoiseTest : public SessionFailureTest,
                      public ::testing::WithParamInterface<TNoiseCase> {};

TEST_P(NameNoiseTest, BytesAfterTheNameAreSaidToBeUnexpected) {
    Connect();
    for (const std::string& chunk : GetParam().Chunks) {
        session.ComPort1ReceiveCallBack(chunk);
    }
    Advance(milliseconds(2999));
    EXPECT_TRUE(view.Statuses.empty());
    Advance(milliseconds(1));
    ASSERT_EQ(view.Statuses.size(), 1u);
    if (GetParam().Shown.empty()) {
        EXPECT_EQ(view.Statuses[0].rfind("The meter on /dev/ttyFAKE0 did not answer", 0), 0u)
            << view.Statuses[0];
        EXPECT_TRUE(session.WaitingForDeviceName);
        return;
    }
    const std::string status =
        "The meter on /dev/ttyFAKE0 answered with unexpected bytes after "
        "its name: \"" +
        GetParam().Shown + "\"; check the cable and the baud rate";
    EXPECT_EQ(view.Statuses[0], status);
    EXPECT_EQ(session.LastEndStatus(), status);
    EXPECT_EQ(session.LastEnd(), TDeviceSession::TEnd::UnexpectedReply);
    EXPECT_FALSE(session.WaitingForDeviceName);
    EXPECT_EQ(view.LabelText, "No connected device");
    // The rest of that noise, with a line end, is no name either.
    session.ComPort1ReceiveCallBack("x\n\r");
    EXPECT_EQ(view.LabelText, "No connected device");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, NameNoiseTest,
    ::testing::Values(TNoiseCase{"Binary",
                                 {"OLP-55 SN 1234\n\r" + std::string("\0\xFFz\"\\", 5)},
                                 "\\x00\\xFFz\\\"\\\\"},
                      TNoiseCase{"SameChunk", {"OLP-55\n\r\r\n\t~"}, "\\r\\n\\t~"},
                      TNoiseCase{"SecondLineUnfinished", {"MERIDAX\n\rOLP-55\n\rSN 12"}, "SN 12"},
                      TNoiseCase{"LongNoiseIsCut",
                                 {"OLP\n\r" + std::string(40, 'z')},
                                 std::string(32, 'z') + "..."},
                      TNoiseCase{"NoLineEndIsNoAnswer", {"OLP-55"}, ""},
                      TNoiseCase{"LineEndAloneIsNoAnswer", {"\n\r"}, ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

// Feeds an endless dump, 3000 bytes at a time, until the session gives up; gives the largest
// buffer the received text had meanwhile.
std::size_t EndlessDump(TDeviceSession& session, std::size_t maxBytes) {
    session.Limits.MaxDumpBytes = maxBytes;
    const std::string chunk(3000, 'C');
    std::size_t largest = 0;
    while (session.ImportUnderWay()) {
        session.ComPort1ReceiveCallBack(chunk);
        largest = std::max(largest, session.ReceivedText.capacity());
    }
    return largest;
}

TEST_F(SessionFailureTest, EndlessDumpNeverHoldsABufferBeyondTheCap) {
    session.btnImportClick();
    Advance(milliseconds(200));
    ASSERT_TRUE(session.ImportUnderWay());
    const std::size_t cap = std::size_t{1} << 20;
    EXPECT_LE(EndlessDump(session, cap), cap);
    EXPECT_EQ(session.LastEnd(), TDeviceSession::TEnd::TooLarge);
}

// Memory peaks below one and a half times the cap: the whole import runs in a process that may
// map no more than that beyond what it has.
TEST_F(SessionFailureTest, EndlessDumpFitsInOneAndAHalfTimesTheCap) {
#if defined(MERIDAX_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
    session.btnImportClick();
    Advance(milliseconds(200));
    ASSERT_TRUE(session.ImportUnderWay());
    const std::size_t cap = std::size_t{16} << 20;
    EXPECT_EXIT(
        {
            if (!CapAddressSpace(cap + cap / 2))
                std::_Exit(3);
            try {
                EndlessDump(session, cap);
            } catch (...) {
                std::_Exit(2);
            }
            std::_Exit(session.LastEnd() == TDeviceSession::TEnd::TooLarge ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
#endif
}

}  // namespace

namespace {

struct THintCase {
    const char* Name;
    TDeviceAccess Access;
    std::string Hint;
};

class PermissionHintTest : public ::testing::TestWithParam<THintCase> {};

TEST_P(PermissionHintTest, NamesTheGroupThatOwnsTheDevice) {
    EXPECT_EQ(PermissionHint(GetParam().Access), GetParam().Hint);
}

const std::string NoGroupHelps =
    "joining a group would not help: only its owner root may open it (root:root, mode 0600); a "
    "udev rule for the adapter can let you in (see the README, Serial port permissions)";

INSTANTIATE_TEST_SUITE_P(
    Devices, PermissionHintTest,
    ::testing::Values(
        THintCase{"Dialout", {true, "root", "dialout", 0660, true}, DialoutHint},
        THintCase{"Uucp",
                  {true, "root", "uucp", 0660, true},
                  "add your user to the uucp group (sudo usermod -aG uucp $USER), then log in "
                  "again"},
        THintCase{"RootOnly", {true, "root", "root", 0600, false}, NoGroupHelps},
        THintCase{"GroupMayOnlyWrite",
                  {true, "ann", "tty", 0620, false},
                  "joining a group would not help: only its owner ann may open it (ann:tty, mode "
                  "0620); a udev rule for the adapter can let you in (see the README, Serial "
                  "port permissions)"},
        THintCase{"Unknown", {}, DialoutHint}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

TEST(DeniedPortsHint, EachWayInOnceInTheOrderOfThePorts) {
    TSynchronizer sync;
    TComPort port(sync);
    TRecordingView view;
    TDeviceSession session(view, port);
    const TDeviceAccess uucp{true, "root", "uucp", 0660, true};
    const TDeviceAccess dialout{true, "root", "dialout", 0660, true};
    const TDeviceAccess rootOnly{true, "root", "root", 0600, false};
    std::vector<TPortCandidate> probed = {
        {"/dev/ttyS0", TPortState::PermissionDenied, {}, uucp},
        {"/dev/ttyUSB0", TPortState::PermissionDenied, {}, dialout},
        {"/dev/ttyUSB1", TPortState::Available, {}, {}},
        {"/dev/ttyUSB2", TPortState::PermissionDenied, {}, uucp},
        {"/dev/ttyACM0", TPortState::PermissionDenied, {}, rootOnly}};
    session.ProbePorts = [&] { return probed; };
    session.FillPortList();
    EXPECT_EQ(view.Statuses,
              (Statuses{"4 serial ports exist that you may not open: add your user to the uucp "
                        "group (sudo usermod -aG uucp $USER), then log in again; or " +
                        std::string(DialoutHint) + "; or " + NoGroupHelps}));
    probed = {{"/dev/ttyS0", TPortState::PermissionDenied, {}, rootOnly}};
    session.FillPortList();
    EXPECT_EQ(view.Statuses.back(), "1 serial port exists that you may not open: " + NoGroupHelps);
}

}  // namespace

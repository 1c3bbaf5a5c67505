#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommTestSupport.h"
#include "FakePortBinding.h"
#include "comm/ComPort.h"
#include "comm/PortBinding.h"
#include "support/Nobody.h"
#include "support/Subprocess.h"
#include "support/Throws.h"

namespace {

// A component on the scripted device, opened, with every delivery recorded.
class ComPortLogicTest : public testing::Test {
protected:
    ComPortLogicTest() : port_(sync_, FakeBindingFactory(device_)) {
        port_.Port = "/dev/ttyFAKE0";
        port_.ReceiveCallBack = [this](const std::string& Data) { messages_.push_back(Data); };
        sync_.SetErrorReport([this](const std::string& text) { reports_.push_back(text); });
        device_->OnWait = [this] { sync_.Notify(); };
    }

    // Plays one wait outcome and serves its hand-off.
    void Deliver(TFakeStep step) {
        const std::size_t before = device_->WaitsServed();
        device_->Push(std::move(step));
        ASSERT_TRUE(PumpUntil(sync_, [&] { return device_->IdleAfter(before); }));
    }
    void DeliverChunk(const std::string& chunk) { Deliver(TFakeStep{chunk}); }

    std::shared_ptr<TFakeDevice> device_ = std::make_shared<TFakeDevice>();
    TSynchronizer sync_;
    TComPort port_;
    std::vector<std::string> messages_;
    std::vector<std::string> reports_;
};

struct TTermCase {
    const char* Name;
    std::string Terminator;
    std::vector<std::string> Chunks;
    std::vector<std::string> Messages;
};

class TermModeTest : public ComPortLogicTest, public testing::WithParamInterface<TTermCase> {};

TEST_P(TermModeTest, DeliversAtMostOneMessagePerChunk) {
    const TTermCase& c = GetParam();
    port_.ReceiveMode = rmTERM;
    port_.SetTerminator(c.Terminator);
    port_.Open();
    for (const std::string& chunk : c.Chunks) {
        DeliverChunk(chunk);
    }
    EXPECT_EQ(messages_, c.Messages);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, TermModeTest,
    testing::Values(
        TTermCase{"SplitTerminatorWaitsForSecondHalf", "#13#10", {"ab\r", "\ncd\r\n"}, {"ab\r\n"}},
        TTermCase{"ThirdChunkReleasesQueuedMessage",
                  "#13#10",
                  {"ab\r", "\ncd\r\n", "e"},
                  {"ab\r\n", "cd\r\n"}},
        TTermCase{
            "EmptyChunkReleasesQueuedMessage", "#13#10", {"x\r\ny\r\n", ""}, {"x\r\n", "y\r\n"}},
        TTermCase{"OneByteAtATime", "#10#13", {"n", "a", "\n", "\r"}, {"na\n\r"}},
        TTermCase{"TerminatorAlone", "#13#10", {"\r\n"}, {"\r\n"}},
        TTermCase{"NoTerminatorNoMessage", "#13#10", {"abc", "\n\r"}, {}},
        TTermCase{"ZeroByteTerminator", "#0", {std::string("a\0b\0", 4)}, {std::string("a\0", 2)}},
        TTermCase{"FirstOccurrenceWins", "#13", {"a\rb\r"}, {"a\r"}}),
    [](const testing::TestParamInfo<TTermCase>& param) { return param.param.Name; });

TEST_F(ComPortLogicTest, TermModeWithoutCallbackDropsBytes) {
    port_.ReceiveMode = rmTERM;
    port_.ReceiveCallBack = nullptr;
    port_.Open();
    DeliverChunk("ab");
    port_.ReceiveCallBack = [this](const std::string& Data) { messages_.push_back(Data); };
    DeliverChunk("\r\n");
    EXPECT_EQ(messages_, (std::vector<std::string>{"\r\n"}));
}

TEST_F(ComPortLogicTest, ReceiveBufferSurvivesCloseAndOpen) {
    port_.ReceiveMode = rmTERM;
    port_.Open();
    DeliverChunk("ab");
    port_.Close();
    port_.Open();
    DeliverChunk("c\r\n");
    EXPECT_EQ(messages_, (std::vector<std::string>{"abc\r\n"}));
}

TEST_F(ComPortLogicTest, RawModeDeliversEveryChunkAsItCameEvenEmpty) {
    port_.ReceiveMode = rmRAW;
    port_.Open();
    const std::vector<std::string> chunks{"n", "", "ame\n\r", std::string("\0\xFF", 2)};
    for (const std::string& chunk : chunks) {
        DeliverChunk(chunk);
    }
    EXPECT_EQ(messages_, chunks);
}

TEST_F(ComPortLogicTest, ThrowingHandlerIsReportedAndReceivingGoesOn) {
    port_.ReceiveMode = rmRAW;
    port_.ReceiveCallBack = [this](const std::string& Data) {
        messages_.push_back(Data);
        if (Data == "bad") {
            throw std::runtime_error("'x' is not a valid floating point value");
        }
    };
    port_.Open();
    DeliverChunk("bad");
    DeliverChunk("good");
    EXPECT_EQ(messages_, (std::vector<std::string>{"bad", "good"}));
    EXPECT_EQ(reports_, (std::vector<std::string>{"'x' is not a valid floating point value"}));
    EXPECT_TRUE(port_.Opened());
}

TEST_F(ComPortLogicTest, FailedOpenRaisesExactMessageAndCodeAndStaysClosed) {
    device_->OpenError = std::make_error_code(std::errc::permission_denied);
    int opens = 0;
    port_.OnPortOpen = [&](TComPort&) { ++opens; };
    EXPECT_SYSTEM_ERROR(
        port_.Open(), EComError, std::errc::permission_denied,
        "TCOMPORT : cannot open /dev/ttyFAKE0\r" + std::generic_category().message(EACCES));
    EXPECT_FALSE(port_.Opened());
    EXPECT_EQ(opens, 0);
    device_->OpenError.clear();
    port_.Open();
    EXPECT_TRUE(port_.Opened());
    EXPECT_EQ(opens, 1);
}

// The receive thread cannot be made (the process may not start threads): Open fails like a
// port that cannot be opened, and the device is released. Run in a child that drops root,
// since the thread limit does not bind root.
TEST(ComPortThreadLimit, OpenWithoutReceiveThreadFailsAndReleasesTheDevice) {
    TSubprocess child(
        [] {
            const rlimit none{1, 1};
            if (!BecomeNobody() || ::setrlimit(RLIMIT_NPROC, &none) != 0)
                return 10;
            auto device = std::make_shared<TFakeDevice>();
            TSynchronizer sync;
            TComPort port(sync, FakeBindingFactory(device));
            port.Port = "/dev/ttyFAKE0";
            try {
                port.Open();
                return 11;
            } catch (const EComError& error) {
                const std::string prefix = "TCOMPORT : cannot open /dev/ttyFAKE0\r";
                if (std::string(error.what()).rfind(prefix, 0) != 0)
                    return 12;
            }
            if (port.Opened() || device->Closes != device->Opens)
                return 13;
            return 0;
        },
        TSubprocessOptions{});
    const auto exitCode = child.Wait(std::chrono::seconds(120));
    ASSERT_TRUE(exitCode && !child.TermSignal());
    if (*exitCode == 10)
        GTEST_SKIP() << "cannot drop root and limit threads here";
    EXPECT_EQ(*exitCode, 0) << "10 setup, 11 opened, 12 message, 13 state";
}

TEST_F(ComPortLogicTest, OpenAppliesLineSettingsAndResetsThePort) {
    port_.Baud = 250000;
    port_.DataBits = 7;
    port_.Parity = ptMARK;
    port_.StopBits = snTWO;
    port_.Open();
    std::lock_guard lock(device_->Mutex);
    ASSERT_EQ(device_->Lines.size(), 1u);
    EXPECT_EQ(device_->Lines[0].Baud, 250000u);
    EXPECT_EQ(device_->Lines[0].DataBits, 7);
    EXPECT_EQ(device_->Lines[0].Parity, ptMARK);
    EXPECT_EQ(device_->Lines[0].StopBits, snTWO);
    EXPECT_EQ(device_->Resets, 1);
    EXPECT_EQ(device_->Devices, (std::vector<std::string>{"/dev/ttyFAKE0"}));
}

struct TLineCase {
    const char* Name;
    TLineResult Result;
    TComFailure Failure;
    std::string Message;
};

class LineRefusedTest : public ComPortLogicTest, public testing::WithParamInterface<TLineCase> {};

TEST_P(LineRefusedTest, OpenFailsWithTheCodeAndReleasesTheDevice) {
    device_->LineResult = GetParam().Result;
    port_.Baud = 250000;
    int opens = 0;
    port_.OnPortOpen = [&](TComPort&) { ++opens; };
    try {
        port_.Open();
        FAIL() << "Open succeeded";
    } catch (const EComError& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().Message);
        EXPECT_EQ(error.code(), GetParam().Result.Error);
        EXPECT_EQ(error.failure(), GetParam().Failure);
    }
    EXPECT_FALSE(port_.Opened());
    EXPECT_EQ(opens, 0);
    std::lock_guard lock(device_->Mutex);
    EXPECT_EQ(device_->Opens, 1);
    EXPECT_EQ(device_->Closes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LineRefusedTest,
    testing::Values(TLineCase{"Speed",
                              {std::make_error_code(std::errc::invalid_argument), true},
                              TComFailure::Speed,
                              "TCOMPORT : /dev/ttyFAKE0 refused 250000 baud\r" +
                                  std::generic_category().message(EINVAL)},
                    TLineCase{"Settings",
                              {std::make_error_code(std::errc::io_error), false},
                              TComFailure::LineSettings,
                              "TCOMPORT : /dev/ttyFAKE0 refused its line settings\r" +
                                  std::generic_category().message(EIO)}),
    [](const testing::TestParamInfo<TLineCase>& param) { return param.param.Name; });

// The failure of a Write, with its code and message; an empty text when none came.
std::string WriteFailure(TComPort& port, std::string_view text, std::error_code* code = nullptr) {
    try {
        port.Write(text);
    } catch (const EComError& error) {
        if (code != nullptr) {
            *code = error.code();
        }
        return error.failure() == TComFailure::Write ? error.what() : "wrong kind";
    }
    return "";
}

TEST_F(ComPortLogicTest, RefusedWriteIsAnErrorWithItsCode) {
    port_.Open();
    device_->RefuseWrites(std::make_error_code(std::errc::io_error));
    std::error_code code;
    EXPECT_EQ(WriteFailure(port_, "n", &code),
              "TCOMPORT : cannot write to /dev/ttyFAKE0\r" + std::generic_category().message(EIO));
    EXPECT_EQ(code, std::errc::io_error);
    EXPECT_TRUE(port_.Opened());
    EXPECT_EQ(device_->Written(), "");
}

TEST_F(ComPortLogicTest, RestTheReceiveThreadCouldNotSendFailsTheNextWriteOnce) {
    {
        std::lock_guard lock(device_->Mutex);
        device_->WriteRoom = 1;
    }
    port_.Open();
    EXPECT_EQ(WriteFailure(port_, "abc"), "");
    ASSERT_TRUE(PumpUntil(sync_, [&] { return device_->Written() == "abc"; }));
    {
        std::lock_guard lock(device_->Mutex);
        device_->WriteRoom = 0;
    }
    EXPECT_EQ(WriteFailure(port_, "def"), "");
    device_->RefuseWrites(std::make_error_code(std::errc::broken_pipe));
    ASSERT_TRUE(PumpUntil(sync_, [&] { return device_->WritesRefused() == 1; }));
    std::error_code code;
    EXPECT_NE(WriteFailure(port_, "g", &code), "");
    EXPECT_EQ(code, std::errc::broken_pipe);
    EXPECT_EQ(device_->Written(), "abc");
    // Told once: the next write meets the port as it is now.
    device_->RefuseWrites({});
    {
        std::lock_guard lock(device_->Mutex);
        device_->WriteRoom = SIZE_MAX;
    }
    EXPECT_EQ(WriteFailure(port_, "h"), "");
    EXPECT_EQ(device_->Written(), "abch");
}

TEST_F(ComPortLogicTest, WriteAfterHangUpIsAnError) {
    int hangUps = 0;
    port_.OnHangUp = [&](TComPort&) { ++hangUps; };
    port_.Open();
    device_->Push(TFakeStep{"", false, 0, true});
    ASSERT_TRUE(PumpUntil(sync_, [&] { return hangUps == 1; }));
    std::error_code code;
    EXPECT_NE(WriteFailure(port_, "n", &code), "");
    EXPECT_EQ(code, std::errc::io_error);
    EXPECT_EQ(device_->Written(), "");
}

TEST_F(ComPortLogicTest, WriteSendsOnlyWhileOpenAndNothingForEmptyText) {
    port_.Write("lost");
    port_.Open();
    port_.Write("");
    port_.Write("n");
    port_.Write(std::string("u\0", 2));
    port_.Close();
    port_.Write("lost too");
    EXPECT_EQ(device_->Written(), std::string("nu\0", 3));
}

TEST_F(ComPortLogicTest, HangUpIsReportedOnceAndTheDeviceIsNoLongerWatched) {
    int hangUps = 0;
    port_.OnHangUp = [&](TComPort& sender) {
        EXPECT_EQ(&sender, &port_);
        ++hangUps;
    };
    port_.ReceiveMode = rmRAW;
    port_.Open();
    device_->Push(TFakeStep{"", false, 0, true});
    ASSERT_TRUE(PumpUntil(sync_, [&] { return hangUps == 1; }));
    // Back in a wait after the hang-up: that wait ignores the device, so it cannot spin on it.
    ASSERT_TRUE(PumpUntil(sync_, [&] {
        std::lock_guard lock(device_->Mutex);
        return device_->InWait && device_->WaitsWatchingPort.size() >= 2;
    }));
    EXPECT_FALSE(device_->LatestWaitWatchesPort());
    device_->PushChunk("after");
    sync_.RunPending();
    EXPECT_EQ(device_->WaitsServed(), 1u);
    EXPECT_TRUE(port_.Opened());
    int closes = 0;
    port_.OnPortClose = [&](TComPort&) { ++closes; };
    port_.Close();
    EXPECT_EQ(hangUps, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(messages_.empty());
}

struct TStatusCase {
    std::uint32_t EventBits;
    std::uint32_t ModemBits;
    std::vector<std::string> Calls;
};

class HandleStatusTest : public testing::TestWithParam<TStatusCase> {};

// Records the handler calls of a component as "CTS=1", "ERR" and so on.
void RecordStatus(TComPort& port, std::vector<std::string>& calls) {
    port.OnCTSChanged = [&](bool Status) {
        calls.push_back(std::string("CTS=") + (Status ? "1" : "0"));
    };
    port.OnDSRChanged = [&](bool Status) {
        calls.push_back(std::string("DSR=") + (Status ? "1" : "0"));
    };
    port.OnRLSDChanged = [&](bool Status) {
        calls.push_back(std::string("RLSD=") + (Status ? "1" : "0"));
    };
    port.OnRingChanged = [&](bool Status) {
        calls.push_back(std::string("RING=") + (Status ? "1" : "0"));
    };
    port.OnError = [&](TComPort& sender) {
        calls.push_back(&sender == &port ? "ERR" : "ERR from elsewhere");
    };
}

TEST_P(HandleStatusTest, CallsHandlersInOrderWithNegatedBits) {
    TSynchronizer sync;
    TComPort port(sync);
    std::vector<std::string> calls;
    RecordStatus(port, calls);
    port.HandleStatus(GetParam().EventBits, GetParam().ModemBits);
    EXPECT_EQ(calls, GetParam().Calls);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, HandleStatusTest,
    testing::Values(TStatusCase{EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR,
                                0,
                                {"CTS=1", "DSR=1", "RLSD=1", "RING=1", "ERR"}},
                    TStatusCase{EV_ERR | EV_RING | EV_RLSD | EV_DSR | EV_CTS,
                                MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON,
                                {"CTS=0", "DSR=0", "RLSD=0", "RING=0", "ERR"}},
                    TStatusCase{EV_RING | EV_CTS, MS_RING_ON, {"CTS=1", "RING=0"}},
                    TStatusCase{EV_RLSD, MS_CTS_ON | MS_DSR_ON | MS_RING_ON, {"RLSD=1"}},
                    TStatusCase{EV_DSR, MS_DSR_ON, {"DSR=0"}}, TStatusCase{EV_RXCHAR, 0xFF, {}},
                    TStatusCase{0, 0, {}}));

TEST(HandleStatusUnset, UnsetHandlersAreSkipped) {
    TSynchronizer sync;
    TComPort port(sync);
    std::vector<bool> rings;
    port.OnRingChanged = [&](bool Status) { rings.push_back(Status); };
    port.HandleStatus(EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR, 0);
    EXPECT_EQ(rings, (std::vector<bool>{true}));
}

// A handler that destroys its port: the later handlers still run, from copies, and nothing
// of the port is read after it has gone. The port's memory is wiped once it is destroyed, so
// that a handler read from it afterwards would be missing.
TEST(HandleStatusDestroyed, HandlerMayDestroyThePort) {
    TSynchronizer sync;
    alignas(TComPort) unsigned char storage[sizeof(TComPort)];
    auto* port = new (storage) TComPort(sync);
    std::vector<std::string> calls;
    port->OnCTSChanged = [&calls, port, &storage](bool) {
        calls.push_back("CTS");
        // The captures go with the port: what is needed afterwards is taken first.
        unsigned char* const memory = storage;
        port->~TComPort();
        std::memset(memory, 0, sizeof(TComPort));
    };
    port->OnRingChanged = [&calls](bool) { calls.push_back("RING"); };
    port->OnError = [&calls](TComPort&) { calls.push_back("ERR"); };
    port->HandleStatus(EV_CTS | EV_RING | EV_ERR, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"CTS", "RING", "ERR"}));
}

TEST_F(ComPortLogicTest, StatusEventsReachHandlersThroughTheReceiveThread) {
    std::vector<std::string> calls;
    RecordStatus(port_, calls);
    device_->Modem = MS_DSR_ON;
    port_.ReceiveMode = rmRAW;
    port_.Open();
    Deliver(TFakeStep{"", false, EV_ERR | EV_DSR | EV_CTS, false});
    ASSERT_TRUE(PumpUntil(sync_, [&] { return calls.size() == 3; }));
    EXPECT_EQ(calls, (std::vector<std::string>{"CTS=1", "DSR=0", "ERR"}));
    // A status event alone is no receive event: nothing is delivered.
    EXPECT_TRUE(messages_.empty());
}

}  // namespace

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <system_error>
#include <thread>

#include "CommTestSupport.h"
#include "comm/ComPort.h"
#include "support/Throws.h"
#include "sys/UniqueFd.h"

namespace {

std::size_t ThreadCount() {
    using std::filesystem::directory_iterator;
    return static_cast<std::size_t>(
        std::distance(directory_iterator("/proc/self/task"), directory_iterator()));
}

// A joined thread leaves the task list a moment after the join returns, so the count is
// waited for rather than read once.
// The count once a thread has been made and joined: ThreadSanitizer's runtime starts a helper
// thread of its own at a process's first pthread_create, which must not count as the port's.
std::size_t SettledThreadCount() {
    std::thread([] {}).join();
    return ThreadCount();
}

bool ThreadCountBecomes(std::size_t expected) {
    const auto deadline = std::chrono::steady_clock::now() + PatientWait;
    while (ThreadCount() != expected) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The component on the slave side of a fresh pseudo-terminal, raw mode, collecting chunks.
class ComPortPtyTest : public testing::Test {
protected:
    ComPortPtyTest() : port_(sync_) {
        port_.Port = pty_.SlavePath();
        port_.Baud = 19200;
        port_.ReceiveMode = rmRAW;
        port_.ReceiveCallBack = [this](const std::string& Data) {
            received_ += Data;
            ++chunks_;
        };
        port_.OnPortOpen = [this](TComPort&) { ++opens_; };
        port_.OnPortClose = [this](TComPort&) { ++closes_; };
        sync_.SetErrorReport([this](const std::string& text) { reports_ += text; });
    }

    // The message of a failed Open, checked against the code it carries; empty when none.
    std::string OpenError() {
        const auto error = ThrownBy<EComError>([&] { port_.Open(); });
        if (!error)
            return {};
        EXPECT_EQ(error->what(), "TCOMPORT : cannot open " + port_.Port + "\r" +
                                     std::generic_category().message(error->code().value()));
        lastCode_ = error->code();
        return error->what();
    }

    std::error_code lastCode_;

    TPseudoTerminal pty_;
    TSynchronizer sync_;
    std::string received_;
    std::size_t chunks_ = 0;
    int opens_ = 0;
    int closes_ = 0;
    std::string reports_;
    // Last, so that it closes (and calls OnPortClose) while the counters still exist.
    TComPort port_;
};

TEST_F(ComPortPtyTest, RawStreamEqualsBytesSentWhateverTheChunks) {
    port_.Open();
    // Every byte value, flow-control and line-end bytes included, in uneven pieces.
    const std::string sent = RandomBytes(300000, 7);
    std::thread writer([&] {
        std::mt19937 random(11);
        std::size_t at = 0;
        while (at < sent.size()) {
            const std::size_t piece = std::min<std::size_t>(1 + random() % 3000, sent.size() - at);
            pty_.Send(sent.substr(at, piece));
            at += piece;
            if (random() % 4 == 0) {
                std::this_thread::yield();
            }
        }
    });
    const bool complete = PumpUntil(sync_, [&] { return received_.size() >= sent.size(); });
    writer.join();
    ASSERT_TRUE(complete) << received_.size() << " of " << sent.size() << " bytes";
    EXPECT_TRUE(received_ == sent);
    EXPECT_GT(chunks_, 1u);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(ComPortPtyTest, LargeWriteReturnsAtOnceAndArrivesWhole) {
    port_.Open();
    // More than the pseudo-terminal buffers while nobody reads: the rest waits in the component.
    const std::string first = RandomBytes(200000, 3);
    const std::string second = RandomBytes(50000, 4);
    port_.Write(first);
    port_.Write(second);
    const std::string arrived = pty_.Receive(first.size() + second.size(), PatientWait);
    EXPECT_TRUE(arrived == first + second) << arrived.size() << " bytes arrived";
}

TEST_F(ComPortPtyTest, OpenTwiceAndCloseTwiceCountOnce) {
    port_.Open();
    port_.Open();
    EXPECT_TRUE(port_.Opened());
    EXPECT_EQ(opens_, 1);
    port_.Close();
    port_.Close();
    EXPECT_FALSE(port_.Opened());
    EXPECT_EQ(closes_, 1);
    port_.Open();
    EXPECT_EQ(opens_, 2);
    port_.Close();
    EXPECT_EQ(closes_, 2);
}

TEST_F(ComPortPtyTest, WritesWhileClosedAndEmptyWritesSendNothing) {
    port_.Write("lost");
    port_.Open();
    port_.Write("");
    port_.Write("n");
    port_.Write("");
    port_.Write("u");
    EXPECT_EQ(pty_.Receive(2, PatientWait), "nu");
    port_.Close();
    port_.Write("after");
    // The master would read the bytes if any had been sent; with the slave closed it sees EIO.
    char byte = 0;
    EXPECT_LE(::read(pty_.Master(), &byte, 1), 0);
}

TEST_F(ComPortPtyTest, MissingDeviceGivesExactMessageAndStaysClosed) {
    port_.Port = "/dev/ttyMISSING-meridax";
    EXPECT_NE(OpenError(), "");
    EXPECT_EQ(lastCode_, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(port_.Opened());
    EXPECT_EQ(opens_, 0);
    port_.Close();
    EXPECT_EQ(closes_, 0);
    port_.Port = pty_.SlavePath();
    EXPECT_EQ(OpenError(), "");
    EXPECT_TRUE(port_.Opened());
}

TEST_F(ComPortPtyTest, DeviceThatIsNoTerminalIsRefused) {
    port_.Port = "/dev/null";
    EXPECT_NE(OpenError(), "");
    EXPECT_EQ(lastCode_, std::errc::inappropriate_io_control_operation);
    EXPECT_FALSE(port_.Opened());
}

TEST_F(ComPortPtyTest, PortHeldByAnotherDescriptorIsBusyThenOpenableLater) {
    TUniqueFd holder(::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(holder.Valid());
    ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_NE(OpenError(), "");
    EXPECT_EQ(lastCode_, std::errc::device_or_resource_busy);
    EXPECT_FALSE(port_.Opened());
    EXPECT_EQ(opens_, 0);
    holder.Reset();
    EXPECT_EQ(OpenError(), "");
    EXPECT_TRUE(port_.Opened());
}

TEST_F(ComPortPtyTest, SecondComponentOnTheSamePortIsBusyUntilTheFirstCloses) {
    port_.Open();
    TComPort other(sync_);
    other.Port = pty_.SlavePath();
    EXPECT_THROW(other.Open(), EComError);
    port_.Close();
    other.Open();
    EXPECT_TRUE(other.Opened());
}

TEST_F(ComPortPtyTest, CloseWhileAHandOffIsPendingDeliversNothing) {
    std::mutex mutex;
    std::condition_variable queued;
    bool handedOver = false;
    sync_.SetWakeUp([&] {
        std::lock_guard lock(mutex);
        handedOver = true;
        queued.notify_all();
    });
    port_.Open();
    pty_.Send("name\n\r");
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(queued.wait_for(lock, PatientWait, [&] { return handedOver; }));
    }
    port_.Close();
    EXPECT_EQ(chunks_, 0u);
    EXPECT_EQ(closes_, 1);
    EXPECT_EQ(sync_.RunPending(), 0u);
}

TEST_F(ComPortPtyTest, CloseRightAfterOpenStopsTheWorkerEveryTime) {
    for (int round = 0; round < 50; ++round) {
        port_.Open();
        port_.Close();
    }
    EXPECT_EQ(opens_, 50);
    EXPECT_EQ(closes_, 50);
    port_.Open();
    pty_.Send("still here");
    EXPECT_TRUE(PumpUntil(sync_, [&] { return received_ == "still here"; })) << received_;
}

TEST_F(ComPortPtyTest, DestructorClosesAnOpenPort) {
    {
        TComPort scoped(sync_);
        scoped.Port = pty_.SlavePath();
        scoped.Open();
    }
    port_.Open();
    EXPECT_TRUE(port_.Opened());
}

TEST_F(ComPortPtyTest, HangUpIsHandledOnceWithoutSpinningAndTheNextOpenWorks) {
    int hangUps = 0;
    port_.OnHangUp = [&](TComPort&) { ++hangUps; };
    port_.Open();
    pty_.Send("abc");
    ASSERT_TRUE(PumpUntil(sync_, [&] { return received_ == "abc"; }));
    pty_.CloseMaster();
    ASSERT_TRUE(PumpUntil(sync_, [&] { return hangUps == 1; }));

    // A worker stuck on the dead device would burn a whole core here.
    const long before = OtherThreadsCpuTicks();
    sync_.WaitUntil([] { return false; }, std::chrono::milliseconds(1000));
    const long used = OtherThreadsCpuTicks() - before;
    EXPECT_LE(used, 10) << "clock ticks used by the worker in one second";
    EXPECT_EQ(hangUps, 1);
    EXPECT_TRUE(port_.Opened());
    EXPECT_EQ(received_, "abc");

    port_.Close();
    EXPECT_EQ(closes_, 1);
    TPseudoTerminal next;
    port_.Port = next.SlavePath();
    port_.Open();
    next.Send("again");
    EXPECT_TRUE(PumpUntil(sync_, [&] { return received_ == "abcagain"; })) << received_;
    EXPECT_EQ(hangUps, 1);
}

TEST_F(ComPortPtyTest, CustomSpeedOpensAndReceives) {
    port_.Baud = 250000;
    port_.DataBits = 7;
    port_.Parity = ptSPACE;
    port_.StopBits = sbONE5;
    port_.Open();
    port_.Close();
    port_.Baud = 115200;
    port_.DataBits = 8;
    port_.Parity = ptNONE;
    port_.StopBits = sbONE;
    port_.Open();
    pty_.Send(std::string("\x11\x13\r\n\0", 5));
    EXPECT_TRUE(PumpUntil(sync_, [&] { return received_.size() == 5; }));
    EXPECT_EQ(received_, std::string("\x11\x13\r\n\0", 5));
}

// The speed reaches the line: a named one as its B constant, any other through BOTHER.
// The master reads the terminal settings of its slave.
TEST_F(ComPortPtyTest, EachSpeedIsSetOnTheLine) {
    const std::pair<std::uint32_t, speed_t> cases[] = {
        {50, B50},           {134, B134},         {9600, B9600},
        {19200, B19200},     {115200, B115200},   {576000, B576000},
        {1152000, B1152000}, {4000000, B4000000}, {250000, CBAUDEX},  // BOTHER
    };
    for (const auto& [baud, constant] : cases) {
        SCOPED_TRACE(baud);
        port_.Baud = baud;
        port_.Open();
        termios line{};
        ASSERT_EQ(::tcgetattr(pty_.Master(), &line), 0);
        EXPECT_EQ(::cfgetospeed(&line), constant);
        EXPECT_EQ(::cfgetispeed(&line), constant);
        port_.Close();
    }
}

TEST_F(ComPortPtyTest, ThrowingCallbackIsReportedAndTheWorkerKeepsRunning) {
    port_.ReceiveCallBack = [this](const std::string& Data) {
        received_ += Data;
        if (received_.find('!') != std::string::npos && reports_.empty()) {
            throw EComError("handler failed");
        }
    };
    port_.Open();
    pty_.Send("!");
    ASSERT_TRUE(PumpUntil(sync_, [&] { return !reports_.empty(); }));
    pty_.Send("more");
    EXPECT_TRUE(PumpUntil(sync_, [&] { return received_ == "!more"; })) << received_;
    EXPECT_EQ(reports_, "handler failed");
}

TEST_F(ComPortPtyTest, CloseAndOpenFromInsideTheReceiveHandler) {
    const std::size_t threads = SettledThreadCount();
    bool reopened = false;
    port_.ReceiveCallBack = [&](const std::string& Data) {
        received_ += Data;
        if (!reopened && received_.find('|') != std::string::npos) {
            reopened = true;
            port_.Close();
            // The device is free again at once, though this handler still runs.
            EXPECT_FALSE(port_.Opened());
            port_.Open();
        }
    };
    port_.Open();
    pty_.Send("first|");
    ASSERT_TRUE(PumpUntil(sync_, [&] { return reopened; }));
    EXPECT_EQ(closes_, 1);
    EXPECT_EQ(opens_, 2);
    // The first worker was joined when the handler returned; the second one runs.
    EXPECT_TRUE(ThreadCountBecomes(threads + 1)) << ThreadCount() - threads;
    pty_.Send("second");
    EXPECT_TRUE(PumpUntil(sync_, [&] { return received_ == "first|second"; })) << received_;
    port_.Close();
    EXPECT_EQ(closes_, 2);
    EXPECT_TRUE(ThreadCountBecomes(threads)) << ThreadCount() - threads;
}

// A port closed or destroyed by its own handler: its worker, which waits for that handler,
// is joined once the handler returns, and no thread is left behind.
TEST_F(ComPortPtyTest, PortClosedOrDestroyedByItsOwnHandlerLeavesNoThread) {
    const std::size_t threads = SettledThreadCount();
    for (const bool destroy : {false, true}) {
        auto scoped = std::make_unique<TComPort>(sync_);
        scoped->Port = pty_.SlavePath();
        scoped->ReceiveMode = rmRAW;
        bool handled = false;
        scoped->ReceiveCallBack = [&](const std::string&) {
            handled = true;
            if (destroy) {
                scoped.reset();
            } else {
                scoped->Close();
            }
        };
        scoped->Open();
        ASSERT_TRUE(ThreadCountBecomes(threads + 1));
        pty_.Send("x");
        ASSERT_TRUE(PumpUntil(sync_, [&] { return handled; })) << destroy;
        EXPECT_EQ(scoped == nullptr, destroy);
        EXPECT_TRUE(ThreadCountBecomes(threads)) << ThreadCount() - threads;
        scoped.reset();
        EXPECT_TRUE(ThreadCountBecomes(threads)) << ThreadCount() - threads;
    }
    // The device was released with the port: it opens again.
    port_.Open();
    EXPECT_TRUE(port_.Opened());
}

TEST_F(ComPortPtyTest, CloseFromInsideTheHangUpHandler) {
    port_.OnHangUp = [&](TComPort& sender) { sender.Close(); };
    port_.Open();
    pty_.CloseMaster();
    ASSERT_TRUE(PumpUntil(sync_, [&] { return closes_ == 1; }));
    EXPECT_FALSE(port_.Opened());
    TPseudoTerminal next;
    port_.Port = next.SlavePath();
    port_.Open();
    next.Send("ok");
    EXPECT_TRUE(PumpUntil(sync_, [&] { return received_ == "ok"; })) << received_;
}

TEST_F(ComPortPtyTest, OpenIdlePortUsesNoCpu) {
    port_.Open();
    pty_.Send("x");
    ASSERT_TRUE(PumpUntil(sync_, [&] { return received_ == "x"; }));
    const long before = OtherThreadsCpuTicks();
    sync_.WaitUntil([] { return false; }, std::chrono::milliseconds(1000));
    EXPECT_LE(OtherThreadsCpuTicks() - before, 10) << "clock ticks used in one idle second";
    EXPECT_EQ(received_, "x");
}

}  // namespace

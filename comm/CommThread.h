#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "comm/PortBinding.h"
#include "comm/Synchronizer.h"

// The receive thread of one opened port. It sleeps in the binding's wait, hands every event
// over to the window thread (DispatchEvents) and blocks until that has run there. The thread
// is made by the constructor but started only by Start; it is never reused. Owners let it go
// through Retire only, so that its worker is always joined.
class TCommThread {
public:
    using TReceiveHook = std::function<void(std::uint32_t Count)>;
    using TStatusHook = std::function<void(std::uint32_t EventBits, std::uint32_t ModemBits)>;
    using THangUpHook = std::function<void()>;

    // Opens Device through binding; IsOpen tells whether that worked, OpenError why not.
    TCommThread(TSynchronizer& mainThread, std::unique_ptr<IPortBinding> binding,
                const std::string& Device);
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    // Window thread: unsets the hooks, tells the worker to end and lets thread go. Outside the
    // thread's own hand-offs the worker is joined here, its hand-offs served meanwhile. From
    // inside one (a handler closing its own port) the worker waits for that very hand-off: the
    // device is released at once, and the worker is joined as soon as the hand-off returns.
    static void Retire(TCommThread* thread) noexcept;

    bool IsOpen() const noexcept { return open_; }
    const std::error_code& OpenError() const noexcept { return openError_; }

    // What the device refused, if anything.
    TLineResult SetParams(std::uint32_t Baud, std::uint8_t DataBits, TParity Parity,
                          TStopBit StopBits);
    void ResetPort();
    void Start();
    // Unsets OnReceive and tells the worker to end. It ends even if Start comes afterwards.
    void Stop();

    // Bytes waiting in the receive queue right now.
    std::uint32_t BytesWaiting();
    // Reads up to Count waiting bytes; gives how many were read.
    std::size_t ReadData(char* Buffer, std::size_t Count);
    // Sends what the port takes at once and leaves the rest to the worker; never blocks.
    // Gives the system's code when the port refuses, now or earlier while the worker sent a
    // rest (that code once); nothing is kept then. After a hang-up every write fails with EIO.
    std::error_code WriteData(const char* Buffer, std::size_t Count);
    // Window thread, one run per completed wait.
    void DispatchEvents();
    void DispatchHangUp();

    // Hooks, set and read on the window thread only.
    TReceiveHook OnReceive;
    TStatusHook OnStatus;
    THangUpHook OnHangUp;
    // Sample line states while set (they cannot wake the wait). Set before Start.
    bool WatchStatus = false;

private:
    static constexpr int StatusSamplePeriodMs = 50;

    // Stops the worker if it still runs (serving its hand-offs meanwhile), joins it and
    // releases the device. Window thread only, never from inside the thread's own hand-off.
    ~TCommThread() noexcept;
    void Shutdown() noexcept;

    void Execute();
    // Worker thread: runs routine on the window thread, marked as this thread's hand-off; a
    // thread retired by it ends right after.
    void HandOff(void (TCommThread::*routine)());
    bool HasUnsentBytes();
    void SendUnsentBytes();

    TSynchronizer& mainThread_;
    std::unique_ptr<IPortBinding> binding_;
    bool open_ = false;
    std::error_code openError_;
    std::thread worker_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> ended_{false};
    std::atomic<bool> hungUp_{false};

    // Set by the worker before each hand-off, read on the window thread while it waits.
    std::uint32_t eventMask_ = 0;
    std::uint32_t modemStatus_ = 0;
    // Window thread: a hand-off of this thread runs (a handler further up the stack).
    bool dispatching_ = false;
    // Window thread: retired from inside its own hand-off; the object deletes itself as soon
    // as that hand-off has let the worker go.
    bool retired_ = false;

    std::mutex unsentMutex_;
    std::string unsent_;
    // Why the worker had to drop a rest; told by the next WriteData.
    std::error_code unsentError_;
};

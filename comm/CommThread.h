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
// is made by the constructor but started only by Start; it is never reused.
class TCommThread {
public:
    using TReceiveHook = std::function<void(std::uint32_t Count)>;
    using TStatusHook = std::function<void(std::uint32_t EventBits, std::uint32_t ModemBits)>;
    using THangUpHook = std::function<void()>;

    // Opens Device through binding; IsOpen tells whether that worked, OpenError why not.
    TCommThread(TSynchronizer& mainThread, std::unique_ptr<IPortBinding> binding,
                const std::string& Device);
    // Stops the worker if it still runs (serving its hand-offs meanwhile) and releases the
    // device. Window thread only.
    ~TCommThread() noexcept;
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    bool IsOpen() const noexcept { return open_; }
    const std::error_code& OpenError() const noexcept { return openError_; }

    void SetParams(std::uint32_t Baud, std::uint8_t DataBits, TParity Parity, TStopBit StopBits);
    void ResetPort();
    void Start();
    // Unsets OnReceive and tells the worker to end. It ends even if Start comes afterwards.
    void Stop();
    // Window thread: Stop, then wait for the worker's end while running its hand-offs.
    void Shutdown() noexcept;
    bool Ended() const noexcept { return ended_.load(); }

    // Bytes waiting in the receive queue right now.
    std::uint32_t BytesWaiting();
    // Reads up to Count waiting bytes; gives how many were read.
    std::size_t ReadData(char* Buffer, std::size_t Count);
    // Sends what the port takes at once and leaves the rest to the worker; never blocks.
    // Gives the number of bytes accepted (sent or kept).
    std::size_t WriteData(const char* Buffer, std::size_t Count);
    // Window thread, one run per completed wait.
    void DispatchEvents();
    void DispatchHangUp();
    // Whether a hand-off of this thread is running on the window thread right now (a handler
    // further up the stack). The worker cannot end before it returns.
    bool InDispatch() const noexcept { return dispatching_ > 0; }
    // Releases the device at once; the worker, told to stop, ends when its hand-off returns.
    void ReleaseDevice() noexcept;

    // Hooks, set and read on the window thread only.
    TReceiveHook OnReceive;
    TStatusHook OnStatus;
    THangUpHook OnHangUp;
    // Sample line states while set (they cannot wake the wait). Set before Start.
    bool WatchStatus = false;

private:
    static constexpr int StatusSamplePeriodMs = 50;

    void Execute();
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
    int dispatching_ = 0;

    std::mutex unsentMutex_;
    std::string unsent_;
};

#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/PortBinding.h"

// One scripted outcome of the receive thread's wait.
struct TFakeStep {
    std::string Chunk;               // bytes that become waiting
    bool Readable = true;            // reported as a receive event
    std::uint32_t StatusEvents = 0;  // EV_* bits reported by the next StatusEvents call
    bool HangUp = false;
};

// The device behind TFakePortBinding, shared between the test and every binding it makes, so
// that it outlives a Close and sees every Open.
class TFakeDevice {
public:
    void Push(TFakeStep step);
    void PushChunk(std::string chunk) { Push(TFakeStep{std::move(chunk)}); }

    std::string Written();
    // From now on every Write fails with error; a receive thread waiting to send learns it.
    void RefuseWrites(std::error_code error);
    int WritesRefused();
    std::size_t WaitsServed();
    // Whether the receive thread has served more than served steps and waits again, so that
    // everything it handed over for them has run.
    bool IdleAfter(std::size_t served);
    // Whether the latest wait of the receive thread watches the device or only the stop.
    bool LatestWaitWatchesPort();

    // Set before Open.
    std::error_code OpenError;
    // What SetLine reports.
    TLineResult LineResult;
    // Set before Open, or later through RefuseWrites: every later Write fails with it.
    std::error_code WriteError;
    // Set at any time: writes take at most this many bytes each (the rest waits for the
    // receive thread).
    std::size_t WriteRoom = SIZE_MAX;
    std::uint32_t Modem = 0;
    bool StatusCapable = true;
    // Called by the receive thread each time it starts to wait (a test wakes its pump).
    std::function<void()> OnWait;

    // Filled by the binding.
    std::mutex Mutex;
    std::condition_variable Changed;
    std::deque<TFakeStep> Steps;
    std::string Waiting;
    std::string Output;
    std::uint32_t PendingStatus = 0;
    bool Woken = false;
    bool InWait = false;
    std::vector<bool> WaitsWatchingPort;
    std::size_t Served = 0;
    int Refused = 0;
    int Opens = 0;
    int Closes = 0;
    int Resets = 0;
    std::vector<std::string> Devices;
    std::vector<TLineSettings> Lines;
};

class TFakePortBinding final : public IPortBinding {
public:
    explicit TFakePortBinding(std::shared_ptr<TFakeDevice> device) : device_(std::move(device)) {}
    ~TFakePortBinding() override { Close(); }

    std::error_code Open(const std::string& Device) override;
    TLineResult SetLine(const TLineSettings& Settings) override;
    void Reset() override;
    TPortEvents Wait(bool watchPort, bool wantWrite, int timeoutMs) override;
    void Wake() override;
    std::uint32_t BytesWaiting() override;
    std::size_t Read(char* Buffer, std::size_t Count) override;
    std::size_t Write(const char* Buffer, std::size_t Count, std::error_code& Error) override;
    std::uint32_t ModemBits() override;
    std::uint32_t StatusEvents() override;
    bool HasStatusEvents() override;
    void ReleaseDevice() noexcept override;
    void Close() noexcept override;

private:
    std::shared_ptr<TFakeDevice> device_;
    bool open_ = false;
};

TPortBindingFactory FakeBindingFactory(const std::shared_ptr<TFakeDevice>& device);

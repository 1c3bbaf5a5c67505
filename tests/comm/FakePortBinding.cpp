#include "FakePortBinding.h"

#include <algorithm>
#include <chrono>

void TFakeDevice::Push(TFakeStep step) {
    {
        std::lock_guard lock(Mutex);
        Steps.push_back(std::move(step));
    }
    Changed.notify_all();
}

std::string TFakeDevice::Written() {
    std::lock_guard lock(Mutex);
    return Output;
}

void TFakeDevice::RefuseWrites(std::error_code error) {
    {
        std::lock_guard lock(Mutex);
        WriteError = error;
    }
    Changed.notify_all();
}

int TFakeDevice::WritesRefused() {
    std::lock_guard lock(Mutex);
    return Refused;
}

std::size_t TFakeDevice::WaitsServed() {
    std::lock_guard lock(Mutex);
    return Served;
}

bool TFakeDevice::IdleAfter(std::size_t served) {
    std::lock_guard lock(Mutex);
    return Served > served && InWait && Steps.empty();
}

std::error_code TFakePortBinding::Open(const std::string& Device) {
    std::lock_guard lock(device_->Mutex);
    device_->Devices.push_back(Device);
    if (device_->OpenError) {
        return device_->OpenError;
    }
    ++device_->Opens;
    device_->Woken = false;
    open_ = true;
    return {};
}

TLineResult TFakePortBinding::SetLine(const TLineSettings& Settings) {
    std::lock_guard lock(device_->Mutex);
    device_->Lines.push_back(Settings);
    return device_->LineResult;
}

void TFakePortBinding::Reset() {
    std::lock_guard lock(device_->Mutex);
    ++device_->Resets;
    device_->Waiting.clear();
}

bool TFakeDevice::LatestWaitWatchesPort() {
    std::lock_guard lock(Mutex);
    return !WaitsWatchingPort.empty() && WaitsWatchingPort.back();
}

TPortEvents TFakePortBinding::Wait(bool watchPort, bool wantWrite, int timeoutMs) {
    std::unique_lock lock(device_->Mutex);
    device_->InWait = true;
    device_->WaitsWatchingPort.push_back(watchPort);
    if (device_->OnWait) {
        lock.unlock();
        device_->OnWait();
        lock.lock();
    }
    struct TLeave {
        bool& inWait;
        ~TLeave() { inWait = false; }
    } leave{device_->InWait};
    // A refused write counts as writable, as poll reports a port in error.
    auto writable = [&] {
        return watchPort && wantWrite && (device_->WriteError || device_->WriteRoom > 0);
    };
    auto ready = [&] {
        return device_->Woken || (watchPort && !device_->Steps.empty()) || writable();
    };
    if (timeoutMs < 0) {
        device_->Changed.wait(lock, ready);
    } else if (!device_->Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return {};
    }
    TPortEvents events;
    if (device_->Woken) {
        device_->Woken = false;
        events.Woken = true;
        return events;
    }
    if (device_->Steps.empty()) {
        events.Writable = true;
        return events;
    }
    TFakeStep step = std::move(device_->Steps.front());
    device_->Steps.pop_front();
    ++device_->Served;
    device_->Waiting += step.Chunk;
    device_->PendingStatus |= step.StatusEvents;
    events.Readable = step.Readable;
    events.HangUp = step.HangUp;
    device_->Changed.notify_all();
    return events;
}

void TFakePortBinding::Wake() {
    {
        std::lock_guard lock(device_->Mutex);
        device_->Woken = true;
    }
    device_->Changed.notify_all();
}

std::uint32_t TFakePortBinding::BytesWaiting() {
    std::lock_guard lock(device_->Mutex);
    return static_cast<std::uint32_t>(device_->Waiting.size());
}

std::size_t TFakePortBinding::Read(char* Buffer, std::size_t Count) {
    std::lock_guard lock(device_->Mutex);
    const std::size_t taken = device_->Waiting.copy(Buffer, Count);
    device_->Waiting.erase(0, taken);
    return taken;
}

std::size_t TFakePortBinding::Write(const char* Buffer, std::size_t Count, std::error_code& Error) {
    std::lock_guard lock(device_->Mutex);
    if (device_->WriteError) {
        Error = device_->WriteError;
        ++device_->Refused;
        return 0;
    }
    const std::size_t taken = std::min(Count, device_->WriteRoom);
    device_->Output.append(Buffer, taken);
    return taken;
}

std::uint32_t TFakePortBinding::ModemBits() {
    std::lock_guard lock(device_->Mutex);
    return device_->Modem;
}

std::uint32_t TFakePortBinding::StatusEvents() {
    std::lock_guard lock(device_->Mutex);
    const std::uint32_t events = device_->PendingStatus;
    device_->PendingStatus = 0;
    return events;
}

bool TFakePortBinding::HasStatusEvents() {
    std::lock_guard lock(device_->Mutex);
    return device_->StatusCapable;
}

void TFakePortBinding::ReleaseDevice() noexcept {
    if (open_) {
        std::lock_guard lock(device_->Mutex);
        ++device_->Closes;
        open_ = false;
    }
}

void TFakePortBinding::Close() noexcept {
    if (open_) {
        std::lock_guard lock(device_->Mutex);
        ++device_->Closes;
        open_ = false;
    }
}

TPortBindingFactory FakeBindingFactory(const std::shared_ptr<TFakeDevice>& device) {
    return [device] { return std::make_unique<TFakePortBinding>(device); };
}

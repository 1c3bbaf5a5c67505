#pragma once

#include <linux/serial.h>

#include "comm/PortBinding.h"
#include "sys/UniqueFd.h"

// A serial device through termios. The descriptor is non-blocking: reads are sized to bytes
// already waiting and writes take what the driver accepts, so no call ever waits on the line.
class TPosixPortBinding final : public IPortBinding {
public:
    TPosixPortBinding() = default;
    ~TPosixPortBinding() override { Close(); }

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
    bool ReadCounters(serial_icounter_struct& counters);

    TUniqueFd port_;
    TUniqueFd wake_;
    bool locked_ = false;
    // A byte taken while telling an idle wake-up from a hang-up; Read hands it out first.
    std::string early_;
    serial_icounter_struct counters_{};
    bool haveCounters_ = false;
};

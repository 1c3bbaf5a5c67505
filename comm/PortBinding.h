#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "comm/ComPort.h"

// Event bits handed from the receive thread to TComPort::HandleStatus, and the modem-line
// bits read beside them. The values are those the component's handlers were written for.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;
inline constexpr std::uint32_t MS_CTS_ON = 0x0010;
inline constexpr std::uint32_t MS_DSR_ON = 0x0020;
inline constexpr std::uint32_t MS_RING_ON = 0x0040;
inline constexpr std::uint32_t MS_RLSD_ON = 0x0080;

struct TLineSettings {
    std::uint32_t Baud = 9600;
    std::uint8_t DataBits = 8;
    TParity Parity = ptNONE;
    TStopBit StopBits = sbONE;
};

// Which line setting the device refused, with the system's code; nothing refused when Error
// is empty.
struct TLineResult {
    std::error_code Error;
    bool Speed = false;  // the speed itself, the other settings being in force
};

// What one wait of the receive thread saw. Several may hold at once.
struct TPortEvents {
    bool Woken = false;     // Wake was called (stop, or bytes to write)
    bool Readable = false;  // bytes are waiting, or the port says so
    bool Writable = false;  // asked for, and the port takes bytes again
    bool HangUp = false;    // the device is gone; it must not be watched any more
};

// The operating system's side of one opened port. Open and the line calls run on the window
// thread; Wait, StatusEvents and ModemBits on the receive thread; Wake from any thread;
// BytesWaiting and Read on the window thread while the receive thread waits for the hand-off;
// Write from either thread, never from both at once.
class IPortBinding {
public:
    virtual ~IPortBinding() = default;

    // Opens Device exclusively. Gives an empty code, or the system's code for the failure.
    virtual std::error_code Open(const std::string& Device) = 0;
    // Line settings; on a failure the previous ones (or the previous speed) stay in force.
    virtual TLineResult SetLine(const TLineSettings& Settings) = 0;
    // Discards bytes in both directions and makes DTR and RTS inactive.
    virtual void Reset() = 0;

    // Sleeps until the port has an event, Wake is called, or timeoutMs passes (-1: never).
    // watchPort false: only Wake ends the wait (after a hang-up).
    virtual TPortEvents Wait(bool watchPort, bool wantWrite, int timeoutMs) = 0;
    virtual void Wake() = 0;

    virtual std::uint32_t BytesWaiting() = 0;
    // Bytes read (no more than Count); 0 when nothing could be read.
    virtual std::size_t Read(char* Buffer, std::size_t Count) = 0;
    // Takes what the port accepts without blocking and gives how much that was; Error is set
    // when the port refuses for good.
    virtual std::size_t Write(const char* Buffer, std::size_t Count, std::error_code& Error) = 0;

    // MS_* bits of the modem lines; 0 where the device has none.
    virtual std::uint32_t ModemBits() = 0;
    // EV_CTS, EV_DSR, EV_RLSD, EV_RING and EV_ERR for changes since the previous call.
    virtual std::uint32_t StatusEvents() = 0;
    // Whether StatusEvents can report anything at all on this device.
    virtual bool HasStatusEvents() = 0;

    // Lets the device go (lock and descriptor) while Wake keeps working, so that a worker told
    // to stop can still end afterwards.
    virtual void ReleaseDevice() noexcept = 0;
    virtual void Close() noexcept = 0;
};

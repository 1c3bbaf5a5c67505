#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "comm/Synchronizer.h"

enum TParity { ptNONE = 0, ptODD = 1, ptEVEN = 2, ptMARK = 3, ptSPACE = 4 };
enum TStopBit { sbONE = 0, sbONE5 = 1, snTWO = 2 };
enum TReceiveMode { rmRAW = 0, rmTERM = 1 };

// Which step of the serial component failed.
enum class TComFailure {
    Other,         // a setting of the component itself (the terminator)
    Open,          // the device could not be opened
    LineSettings,  // the device refused its line settings (tcgetattr, tcsetattr)
    Speed,         // the device refused the speed
    Write,         // the device refused bytes to send
};

// A failure of the serial component. code() is the system's code where the system reported
// the failure (a port that cannot be opened), so that a caller can tell a denied port from a
// busy one.
class EComError : public std::runtime_error {
public:
    explicit EComError(const std::string& message, std::error_code code = {},
                       TComFailure failure = TComFailure::Other)
        : std::runtime_error(message), code_(code), failure_(failure) {}
    const std::error_code& code() const noexcept { return code_; }
    TComFailure failure() const noexcept { return failure_; }

private:
    std::error_code code_;
    TComFailure failure_;
};

class TComPort;
class TCommThread;
class IPortBinding;

using TReceiveProc = std::function<void(const std::string& Data)>;
using TStatusChanged = std::function<void(bool Status)>;
using TNotifyEvent = std::function<void(TComPort& Sender)>;
using TPortBindingFactory = std::function<std::unique_ptr<IPortBinding>()>;

// A serial port with its own receive thread. Every handler runs on the window thread,
// through the synchronizer given at construction, which must outlive the component.
class TComPort {
public:
    // binding: makes the operating-system layer for each Open (POSIX termios unless a test
    // injects a fake).
    explicit TComPort(TSynchronizer& mainThread, TPortBindingFactory binding = {});
    ~TComPort() noexcept;
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    std::string Port = "COM1";
    std::uint32_t Baud = 9600;
    std::uint8_t DataBits = 8;
    TParity Parity = ptNONE;
    TStopBit StopBits = sbONE;
    std::uint32_t WinQSizeIn = 8192;
    std::uint32_t WinQSizeOut = 8192;
    TReceiveMode ReceiveMode = rmTERM;

    std::string GetTerminator() const;
    void SetTerminator(std::string_view Text);

    TNotifyEvent OnPortOpen;
    TNotifyEvent OnPortClose;
    TReceiveProc ReceiveCallBack;
    // The line and error handlers act when set before Open: line states are sampled only
    // while one of them is set, and only on devices that count line changes.
    TStatusChanged OnCTSChanged;
    TStatusChanged OnDSRChanged;
    TStatusChanged OnRingChanged;
    TStatusChanged OnRLSDChanged;
    TNotifyEvent OnError;
    // The device went away (hang-up, USB adapter pulled). Called once on the window thread;
    // the port counts as open until Close.
    TNotifyEvent OnHangUp;

    // Throws EComError when the device cannot be opened or refuses the line settings.
    void Open();
    void Close();
    // Throws EComError when the device refuses the bytes, now or a part of an earlier Write
    // that was still being sent. Nothing is sent while closed.
    void Write(std::string_view Text);
    bool Opened() const noexcept { return opened_; }

    // Hooks for the receive thread, run on the window thread.
    void HandleReceive(std::uint32_t Count);
    void HandleStatus(std::uint32_t EventBits, std::uint32_t ModemBits);

private:
    // Lets a receive thread go; its worker is joined at once, or, when a handler of that
    // thread runs right now, as soon as that handler returns.
    struct TRetireThread {
        void operator()(TCommThread* thread) const noexcept;
    };

    TSynchronizer& mainThread_;
    TPortBindingFactory bindingFactory_;
    std::unique_ptr<TCommThread, TRetireThread> thread_;
    bool opened_ = false;
    std::string terminatorBytes_{"\r\n"};
    std::string receiveBuffer_;
};

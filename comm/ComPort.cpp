#include "comm/ComPort.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <utility>

#include "comm/CommThread.h"
#include "comm/PosixPortBinding.h"
#include "comm/TerminatorText.h"
#include "sys/SystemText.h"

namespace {

// The most one delivery takes from a receive queue that keeps filling while it is read.
constexpr std::size_t MaxChunk = 1 << 20;

EComError OpenError(const std::string& port, const std::error_code& code) {
    return EComError("TCOMPORT : cannot open " + port + "\r" + SystemErrorText(code), code,
                     TComFailure::Open);
}

EComError LineError(const std::string& port, std::uint32_t baud, const TLineResult& result) {
    if (result.Speed) {
        return EComError("TCOMPORT : " + port + " refused " + std::to_string(baud) + " baud\r" +
                             SystemErrorText(result.Error),
                         result.Error, TComFailure::Speed);
    }
    return EComError(
        "TCOMPORT : " + port + " refused its line settings\r" + SystemErrorText(result.Error),
        result.Error, TComFailure::LineSettings);
}

}  // namespace

TComPort::TComPort(TSynchronizer& mainThread, TPortBindingFactory binding)
    : mainThread_(mainThread), bindingFactory_(std::move(binding)) {
    if (!bindingFactory_) {
        bindingFactory_ = [] { return std::make_unique<TPosixPortBinding>(); };
    }
}

TComPort::~TComPort() noexcept {
    try {
        Close();
    } catch (...) {
        // OnPortClose failing while the component goes away has nobody left to tell.
    }
}

void TComPort::TRetireThread::operator()(TCommThread* thread) const noexcept {
    TCommThread::Retire(thread);
}

std::string TComPort::GetTerminator() const {
    return FormatTerminator(terminatorBytes_);
}

void TComPort::SetTerminator(std::string_view Text) {
    const TTerminatorParse parsed = ParseTerminator(Text);
    terminatorBytes_ = parsed.Bytes;
    if (!parsed.Error.empty()) {
        throw EComError(parsed.Error);
    }
}

void TComPort::Open() {
    if (opened_) {
        return;
    }
    std::unique_ptr<TCommThread, TRetireThread> thread(
        new TCommThread(mainThread_, bindingFactory_(), Port));
    if (!thread->IsOpen()) {
        throw OpenError(Port, thread->OpenError());
    }
    thread->OnReceive = [this](std::uint32_t Count) { HandleReceive(Count); };
    thread->OnStatus = [this](std::uint32_t EventBits, std::uint32_t ModemBits) {
        HandleStatus(EventBits, ModemBits);
    };
    thread->OnHangUp = [this] {
        if (opened_ && OnHangUp) {
            OnHangUp(*this);
        }
    };
    thread->WatchStatus = OnCTSChanged || OnDSRChanged || OnRingChanged || OnRLSDChanged || OnError;
    // A device that keeps other settings than asked for would garble every byte.
    if (const TLineResult line = thread->SetParams(Baud, DataBits, Parity, StopBits); line.Error) {
        throw LineError(Port, Baud, line);
    }
    // The driver's queues are its own on Linux; WinQSizeIn and WinQSizeOut have no equivalent.
    thread_ = std::move(thread);
    opened_ = true;
    try {
        thread_->Start();
    } catch (const std::system_error& error) {
        // Without its receive thread the port would count as open and never deliver.
        opened_ = false;
        thread_.reset();
        throw OpenError(Port, error.code());
    }
    if (OnPortOpen) {
        OnPortOpen(*this);
    }
}

void TComPort::Close() {
    if (!opened_) {
        return;
    }
    opened_ = false;
    // Hand-offs keep running while the worker ends, so one already queued cannot block it.
    thread_.reset();
    if (OnPortClose) {
        OnPortClose(*this);
    }
}

void TComPort::Write(std::string_view Text) {
    if (!opened_ || Text.empty()) {
        return;
    }
    if (const std::error_code error = thread_->WriteData(Text.data(), Text.size())) {
        throw EComError("TCOMPORT : cannot write to " + Port + "\r" + SystemErrorText(error), error,
                        TComFailure::Write);
    }
}

void TComPort::HandleReceive(std::uint32_t Count) {
    std::string data(Count, '\0');
    if (Count > 0) {
        // Fewer bytes than counted only when the device went away meanwhile; only what was
        // really read is passed on.
        data.resize(thread_ ? thread_->ReadData(data.data(), Count) : 0);
    }
    // Bytes that came while these were read go along, up to a bound: the chunk is the same
    // stream, and a fast sender needs fewer hand-offs.
    while (thread_ && data.size() < MaxChunk) {
        const std::size_t more =
            std::min<std::size_t>(thread_->BytesWaiting(), MaxChunk - data.size());
        if (more == 0) {
            break;
        }
        const std::size_t had = data.size();
        data.resize(had + more);
        const std::size_t got = thread_->ReadData(data.data() + had, more);
        data.resize(had + got);
        if (got == 0) {
            break;
        }
    }
    if (!opened_ || !ReceiveCallBack) {
        return;
    }
    if (ReceiveMode == rmRAW) {
        ReceiveCallBack(data);
        return;
    }
    receiveBuffer_ += data;
    if (terminatorBytes_.empty()) {
        return;
    }
    const std::size_t at = receiveBuffer_.find(terminatorBytes_);
    if (at == std::string::npos) {
        return;
    }
    const std::size_t length = at + terminatorBytes_.size();
    std::string message = receiveBuffer_.substr(0, length);
    receiveBuffer_.erase(0, length);
    ReceiveCallBack(message);
}

void TComPort::HandleStatus(std::uint32_t EventBits, std::uint32_t ModemBits) {
    // Copies, taken before the first call: a handler may close or even destroy the port, and
    // nothing of it may be touched afterwards.
    const TStatusChanged cts = (EventBits & EV_CTS) != 0 ? OnCTSChanged : nullptr;
    const TStatusChanged dsr = (EventBits & EV_DSR) != 0 ? OnDSRChanged : nullptr;
    const TStatusChanged rlsd = (EventBits & EV_RLSD) != 0 ? OnRLSDChanged : nullptr;
    const TStatusChanged ring = (EventBits & EV_RING) != 0 ? OnRingChanged : nullptr;
    const TNotifyEvent error = (EventBits & EV_ERR) != 0 ? OnError : nullptr;
    if (cts) {
        cts((ModemBits & MS_CTS_ON) == 0);
    }
    if (dsr) {
        dsr((ModemBits & MS_DSR_ON) == 0);
    }
    if (rlsd) {
        rlsd((ModemBits & MS_RLSD_ON) == 0);
    }
    if (ring) {
        ring((ModemBits & MS_RING_ON) == 0);
    }
    if (error) {
        error(*this);
    }
}

#include "comm/CommThread.h"

#include <utility>

TCommThread::TCommThread(TSynchronizer& mainThread, std::unique_ptr<IPortBinding> binding,
                         const std::string& Device)
    : mainThread_(mainThread), binding_(std::move(binding)) {
    openError_ = binding_->Open(Device);
    open_ = !openError_;
    if (open_) {
        ResetPort();
    }
}

TCommThread::~TCommThread() noexcept {
    // The worker is joined before any member goes: it reads them up to its last step.
    Shutdown();
    if (binding_) {
        binding_->Close();
    }
}

void TCommThread::Retire(TCommThread* thread) noexcept {
    if (thread == nullptr) {
        return;
    }
    thread->OnStatus = nullptr;
    thread->OnHangUp = nullptr;
    thread->Stop();
    if (!thread->dispatching_) {
        delete thread;
        return;
    }
    // Joining here would wait for the worker, which waits for the handler that runs this very
    // call. The device goes now, so that it can be opened again at once; HandOff deletes the
    // object, joining the worker, as soon as that handler has returned.
    if (thread->open_) {
        thread->binding_->ReleaseDevice();
    }
    thread->retired_ = true;
}

TLineResult TCommThread::SetParams(std::uint32_t Baud, std::uint8_t DataBits, TParity Parity,
                                   TStopBit StopBits) {
    if (!open_) {
        return {};
    }
    return binding_->SetLine(TLineSettings{Baud, DataBits, Parity, StopBits});
}

void TCommThread::ResetPort() {
    if (open_) {
        binding_->Reset();
        std::lock_guard lock(unsentMutex_);
        unsent_.clear();
    }
}

void TCommThread::Start() {
    if (open_ && !worker_.joinable()) {
        worker_ = std::thread([this] { Execute(); });
    }
}

void TCommThread::Stop() {
    OnReceive = nullptr;
    stopRequested_ = true;
    if (open_) {
        binding_->Wake();
    }
}

void TCommThread::Shutdown() noexcept {
    if (!worker_.joinable()) {
        return;
    }
    Stop();
    try {
        mainThread_.WaitUntil([this] { return ended_.load(); });
    } catch (...) {
        // WaitUntil only throws when its own wait fails; the join below still ends the worker
        // unless it is inside a hand-off, which cannot be served from here any more.
    }
    worker_.join();
}

std::uint32_t TCommThread::BytesWaiting() {
    return open_ ? binding_->BytesWaiting() : 0;
}

std::size_t TCommThread::ReadData(char* Buffer, std::size_t Count) {
    return open_ ? binding_->Read(Buffer, Count) : 0;
}

std::error_code TCommThread::WriteData(const char* Buffer, std::size_t Count) {
    if (hungUp_) {
        return std::make_error_code(std::errc::io_error);
    }
    if (!open_ || Count == 0) {
        return {};
    }
    std::lock_guard lock(unsentMutex_);
    if (unsentError_) {
        return std::exchange(unsentError_, {});
    }
    std::size_t sent = 0;
    // Bytes already waiting go first, so the worker keeps the order.
    if (unsent_.empty()) {
        std::error_code error;
        sent = binding_->Write(Buffer, Count, error);
        if (error) {
            return error;
        }
    }
    if (sent < Count) {
        const bool wasIdle = unsent_.empty();
        unsent_.append(Buffer + sent, Count - sent);
        if (wasIdle) {
            binding_->Wake();
        }
    }
    return {};
}

bool TCommThread::HasUnsentBytes() {
    std::lock_guard lock(unsentMutex_);
    return !unsent_.empty();
}

void TCommThread::SendUnsentBytes() {
    std::lock_guard lock(unsentMutex_);
    if (unsent_.empty()) {
        return;
    }
    std::error_code error;
    const std::size_t put = binding_->Write(unsent_.data(), unsent_.size(), error);
    if (error) {
        unsent_.clear();
        unsentError_ = error;
    } else {
        unsent_.erase(0, put);
    }
}

void TCommThread::Execute() {
    // Line states can only be sampled, so the wait gets a period only while someone listens
    // and the device can tell; otherwise it sleeps until the port or Wake stirs.
    const bool sample = WatchStatus && binding_->HasStatusEvents();
    const int timeoutMs = sample ? StatusSamplePeriodMs : -1;
    if (sample) {
        binding_->StatusEvents();
    }
    while (!stopRequested_) {
        const std::uint32_t modemBits = sample ? binding_->ModemBits() : 0;
        const TPortEvents events = binding_->Wait(true, HasUnsentBytes(), timeoutMs);
        if (stopRequested_) {
            break;
        }
        if (events.HangUp) {
            hungUp_ = true;
            {
                std::lock_guard lock(unsentMutex_);
                unsent_.clear();
            }
            HandOff(&TCommThread::DispatchHangUp);
            // The device is gone: watching it again would wake at once, forever.
            while (!stopRequested_) {
                binding_->Wait(false, false, -1);
            }
            break;
        }
        if (events.Writable) {
            SendUnsentBytes();
        }
        std::uint32_t mask = events.Readable ? EV_RXCHAR : 0;
        if (sample) {
            mask |= binding_->StatusEvents();
        }
        if (mask != 0) {
            eventMask_ = mask;
            modemStatus_ = modemBits;
            HandOff(&TCommThread::DispatchEvents);
        }
    }
    ended_ = true;
    mainThread_.Notify();
}

namespace {

// Holds a flag set for the life of a scope, also when an exception leaves it.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagScope() { flag_ = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

void TCommThread::HandOff(void (TCommThread::*routine)()) {
    mainThread_.Synchronize(
        [this, routine] {
            const TFlagScope mark(dispatching_);
            (this->*routine)();
        },
        [this] {
            // The worker has been let go and, told to stop, ends at once: the join in the
            // destructor is short.
            if (retired_) {
                delete this;
            }
        });
}

// Hooks are called through copies: a handler may close the port, which unsets them.
void TCommThread::DispatchEvents() {
    const std::uint32_t count = binding_->BytesWaiting();
    if ((eventMask_ & EV_RXCHAR) != 0) {
        eventMask_ &= ~EV_RXCHAR;
        if (const TReceiveHook hook = OnReceive) {
            hook(count);
        }
    }
    if (eventMask_ != 0) {
        if (const TStatusHook hook = OnStatus) {
            hook(eventMask_, modemStatus_);
        }
    }
}

void TCommThread::DispatchHangUp() {
    if (const THangUpHook hook = OnHangUp) {
        hook();
    }
}

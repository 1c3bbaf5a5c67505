#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "comm/ComPort.h"
#include "comm/Synchronizer.h"
#include "data/ControlText.h"
#include "data/Errors.h"
#include "data/uMeranie.h"
#include "session/DeviceSession.h"
#include "session/SessionStatus.h"
#include "sys/UniqueFd.h"
#include "tools/cli/Commands.h"
#include "tools/cli/ImportOptions.h"
#include "tools/cli/ImportView.h"
#include "tools/cli/MeraniaOutput.h"
#include "tools/cli/MeterImport.h"
#include "tools/cli/StopSignalWatch.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the session's time limits and quiet-line waits are judged while nothing arrives.
constexpr std::chrono::milliseconds TickPeriod{20};

std::chrono::milliseconds Milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

// A failure that ends the import with a message on stderr and exit code 1.
class EImportFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Ctrl+C, kill or a closed terminal, taken while the import runs.
class EImportInterrupted : public std::exception {
public:
    explicit EImportInterrupted(int signo) : signo_(signo) {}
    const char* what() const noexcept override { return "interrupted"; }
    int Signal() const noexcept { return signo_; }

private:
    int signo_;
};

// SIGINT, SIGTERM and SIGHUP end the import in order rather than the process at once: the
// port is closed, and with it its exclusive claim (TIOCEXCL), which the kernel would keep
// for as long as another program has the terminal open, as meridax-meter-sim does, making
// the port busy for the next import. Made before the receive thread, which inherits the mask.
class TStopSignals {
public:
    TStopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigaddset(&set_, SIGHUP);
        ::pthread_sigmask(SIG_BLOCK, &set_, &previous_);
        fd_.Reset(::signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC));
        if (!fd_.Valid()) {
            // Nobody could take them: they keep acting at once.
            ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        }
    }
    // A signal that came after the last look acts now, as it would have without this.
    ~TStopSignals() {
        fd_.Reset();
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    int Fd() const noexcept { return fd_.Get(); }
    // The signal taken, or 0.
    int Take() {
        signalfd_siginfo info{};
        if (fd_.Valid() && ::read(fd_.Get(), &info, sizeof info) == sizeof info) {
            return static_cast<int>(info.ssi_signo);
        }
        return 0;
    }

private:
    sigset_t set_{};
    sigset_t previous_{};
    TUniqueFd fd_;
};

// The component's messages carry CR between their parts; a terminal would overwrite the line.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') {
            line += ": ";
        } else if (c == '\n') {
            line += ' ';
        } else {
            line += c;
        }
    }
    return line;
}

// Runs the window's conversation with the meter on this thread: the receive thread's
// hand-offs are run here while it waits for the session to reach a state.
class TImportRun {
public:
    TImportRun(const TImportOptions& options, TStopSignals& stopSignals)
        : options_(options),
          stopSignals_(stopSignals),
          wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
          view_(options.Port),
          session_(view_, port_, records_),
          showProgress_(::isatty(STDERR_FILENO) == 1) {
        if (!wake_.Valid()) {
            throw EImportFailed("cannot make an event descriptor");
        }
        sync_.SetWakeUp([this] { ::eventfd_write(wake_.Get(), 1); });
        sync_.SetErrorReport(
            [this](const std::string& message) { failures_.push_back(OneLine(message)); });
        session_.RememberDesign();
        session_.SetNoConnectedDevice();
        session_.Limits.ImportSilence = Milliseconds(options.TimeoutSeconds);
        session_.Limits.MaxDumpBytes = options.MaxDumpMegabytes << 20;
        port_.Baud = options.Baud;

        // Count what arrives and when, then let the session have it as the window would.
        TReceiveProc sessionReceive = port_.ReceiveCallBack;
        port_.ReceiveCallBack = [this, sessionReceive](const std::string& data) {
            received_ += data.size();
            lastActivity_ = Clock::now();
            sessionReceive(data);
        };
        TNotifyEvent sessionHangUp = port_.OnHangUp;
        port_.OnHangUp = [this, sessionHangUp](TComPort& sender) {
            hungUp_ = true;
            sessionHangUp(sender);
        };
    }

    // The port goes first: its receive thread must not reach a session that is gone.
    ~TImportRun() { port_.Close(); }
    TImportRun(const TImportRun&) = delete;
    TImportRun& operator=(const TImportRun&) = delete;

    std::string Connect() {
        session_.btnConnectClick();
        if (!session_.WaitingForDeviceName) {
            const std::error_code& code = session_.LastConnectCode;
            const TComFailure failure = session_.LastConnectFailure;
            if (failure == TComFailure::Speed || failure == TComFailure::LineSettings) {
                throw EImportFailed(
                    LineRefusal(options_.Baud, failure == TComFailure::Speed, code));
            }
            const bool denied =
                code == std::errc::permission_denied || code == std::errc::operation_not_permitted;
            throw EImportFailed(
                OneLine(session_.LastConnectError) +
                (denied ? "; " + PermissionHint(DeviceAccess(options_.Port)) : std::string()));
        }
        received_ = 0;
        Await([this] { return !session_.WaitingForDeviceName; }, "the meter did not tell its name");
        return view_.DeviceLabelText();
    }

    void Import() {
        received_ = 0;
        session_.btnImportClick();
        Await([this] { return view_.Refills() > 0 || !view_.Errors().empty(); },
              "the memory dump did not end");
        EndProgress();
        if (!view_.Errors().empty()) {
            throw EImportFailed("the meter's dump is not valid: " + view_.Errors().front());
        }
        if (session_.LastDumpDamage().Count > 0)
            std::cerr << "meridax-cli: " << DumpDamageText(session_.LastDumpDamage()) << '\n';
        port_.Close();
    }

    // The records of the dump imported, moved out.
    TMeraniaArray TakeRecords() { return std::move(records_); }

private:
    void Await(const std::function<bool()>& done, const std::string& what) {
        lastActivity_ = Clock::now();
        const auto silence = Milliseconds(options_.TimeoutSeconds);
        bool busyTold = false;
        for (;;) {
            sync_.RunPending();
            session_.Tick(Clock::now());
            if (!failures_.empty()) {
                EndProgress();
                throw EImportFailed(failures_.front());
            }
            if (hungUp_) {
                EndProgress();
                throw EImportFailed("the port " + options_.Port + " hung up after " +
                                    std::to_string(received_) + " bytes; " + what);
            }
            if (session_.LastEnd() != TDeviceSession::TEnd::None) {
                EndProgress();
                throw EImportFailed(EndMessage(session_.LastEnd(), what));
            }
            if (done()) {
                return;
            }
            if (session_.LineBusy() && !busyTold) {
                busyTold = true;
                std::cerr << session_.QuietWaitStatus() << std::endl;
            }
            ShowProgress();
            const auto deadline = lastActivity_ + silence;
            if (Clock::now() >= deadline) {
                EndProgress();
                throw EImportFailed(EndMessage(TDeviceSession::TEnd::Silence, what));
            }
            if (options_.MaxTimeSeconds > 0 &&
                Clock::now() >= start_ + Milliseconds(options_.MaxTimeSeconds)) {
                EndProgress();
                throw EImportFailed("gave up after --max-time " +
                                    FormatSeconds(options_.MaxTimeSeconds) + " s with " +
                                    std::to_string(received_) + " bytes received; " + what);
            }
            SleepUntil(std::min<Clock::time_point>(deadline, Clock::now() + TickPeriod));
        }
    }

    std::string EndMessage(TDeviceSession::TEnd end, const std::string& what) const {
        switch (end) {
            case TDeviceSession::TEnd::LineBusy:
                return "line busy: " +
                       LineBusyStatus(options_.Port, session_.Limits.QuietLimit.count() / 1000);
            case TDeviceSession::TEnd::WriteFailed:
            case TDeviceSession::TEnd::UnexpectedReply:
                return session_.LastEndStatus();
            case TDeviceSession::TEnd::TooLarge:
                return "the dump grew beyond --max-dump " +
                       std::to_string(options_.MaxDumpMegabytes) + " MB; " + what +
                       " (a meter holds far less: is it sending without end?)";
            default:
                return "no answer on " + options_.Port + " for " +
                       FormatSeconds(options_.TimeoutSeconds) + " s after " +
                       std::to_string(received_) + " bytes; " + what +
                       " (check the port, the meter and --baud " + std::to_string(options_.Baud) +
                       ")";
        }
    }

    // Until a hand-off comes, a stop signal comes, or wakeAt.
    void SleepUntil(Clock::time_point wakeAt) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now()).count();
        const int timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {stopSignals_.Fd(), POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) <= 0) {
            return;  // time-out, or another signal: the caller looks again
        }
        if ((fds[1].revents & POLLIN) != 0) {
            if (const int signo = stopSignals_.Take()) {
                EndProgress();
                throw EImportInterrupted(signo);
            }
        }
        eventfd_t count = 0;
        ::eventfd_read(wake_.Get(), &count);
    }

    static std::string FormatSeconds(double seconds) {
        std::string text = std::to_string(seconds);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.') {
            text.pop_back();
        }
        return text;
    }

    void ShowProgress() {
        if (!showProgress_ || received_ == shownReceived_ || !session_.ImportUnderWay()) {
            return;
        }
        // A fast port delivers thousands of chunks a second; the eye needs ten updates.
        const auto now = Clock::now();
        if (progressShown_ && now - shownAt_ < std::chrono::milliseconds(100)) {
            return;
        }
        shownAt_ = now;
        std::cerr << "\rreceived " << received_ << " bytes" << std::flush;
        shownReceived_ = received_;
        progressShown_ = true;
    }

    void EndProgress() {
        if (progressShown_) {
            std::cerr << "\rreceived " << received_ << " bytes\n" << std::flush;
            progressShown_ = false;
        }
    }

    const TImportOptions& options_;
    TStopSignals& stopSignals_;
    // Written by the receive thread at each hand-off; the loop above sleeps on it.
    TUniqueFd wake_;
    TSynchronizer sync_;
    TComPort port_{sync_};
    THeadlessSessionView view_;
    TMeraniaArray records_;
    TDeviceSession session_;
    bool showProgress_;

    const Clock::time_point start_ = Clock::now();
    // Window-thread state, changed only by hand-offs run in Await.
    Clock::time_point lastActivity_ = Clock::now();
    std::size_t received_ = 0;
    std::size_t shownReceived_ = 0;
    Clock::time_point shownAt_;
    bool progressShown_ = false;
    bool hungUp_ = false;
    std::vector<std::string> failures_;
};

}  // namespace

int ImportFromMeter(
    const TImportOptions& options, std::ostream& names, const std::string& command,
    const std::function<void(const std::string& name, TMeraniaArray records)>& use) {
    TStopSignals stopSignals;
    try {
        TImportRun run(options, stopSignals);
        const std::string name = run.Connect();
        names << EscapeLatin1Controls(name) << std::endl;
        run.Import();
        use(name, run.TakeRecords());
    } catch (const EImportInterrupted& e) {
        std::cerr << command << ": " << e.what() << '\n';
        return 128 + e.Signal();
    }
    return 0;
}

int RunImport(TImportOptions options) {
    // Everything that can be found wrong is found before the meter is asked.
    ReadOutputBudget(options.Output);
    CheckOutputCanBeMade(options.Output);
    // With the clipboard text on standard output the name must not mix into it.
    std::ostream& names = options.Output.outputKind == TOutputKind::Text ? std::cerr : std::cout;
    return ImportFromMeter(
        options, names, "meridax-cli import", [&](const std::string& name, TMeraniaArray records) {
            options.Output.deviceLabel = name;
            const TStopSignalWatch writeStopSignals("meridax-cli import: interrupted\n");
            WriteMeraniaOutput(options.Output, std::move(records));
        });
}

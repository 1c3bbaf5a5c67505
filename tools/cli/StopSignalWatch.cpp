#include "tools/cli/StopSignalWatch.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <system_error>

#include "sys/FileReplacement.h"

TStopSignalWatch::TStopSignalWatch(std::string message) : message_(std::move(message)) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    signals_ = TUniqueFd(::signalfd(-1, &set, SFD_CLOEXEC));
    stop_ = TUniqueFd(::eventfd(0, EFD_CLOEXEC));
    if (signals_ && stop_) {
        try {
            thread_ = std::thread([this] { Watch(); });
        } catch (const std::system_error&) {
        }
    }
    if (!thread_.joinable()) {
        // Nobody could take them: they keep acting at once.
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
}

TStopSignalWatch::~TStopSignalWatch() noexcept {
    if (!thread_.joinable())
        return;
    ::eventfd_write(stop_.Get(), 1);
    thread_.join();
    signals_ = TUniqueFd();
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void TStopSignalWatch::Watch() noexcept {
    pollfd fds[2] = {{signals_.Get(), POLLIN, 0}, {stop_.Get(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0)
            continue;  // EINTR
        if ((fds[1].revents & POLLIN) != 0)
            return;
        signalfd_siginfo info{};
        if ((fds[0].revents & POLLIN) != 0 &&
            ::read(signals_.Get(), &info, sizeof info) == sizeof info) {
            RemovePendingTemporaryFiles();
            [[maybe_unused]] const ssize_t written =
                ::write(STDERR_FILENO, message_.data(), message_.size());
            ::_exit(128 + static_cast<int>(info.ssi_signo));
        }
    }
}

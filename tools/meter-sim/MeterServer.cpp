#include "tools/meter-sim/MeterServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <system_error>

namespace {

constexpr std::size_t LargeChunk = 65536;
const std::string Noise("\xFF\x00~\x13?\x11", 6);

std::system_error SystemError(const std::string& what) {
    return std::system_error(errno, std::generic_category(), what);
}

}  // namespace

TMeterServer::TMeterServer(const TSimOptions& options, std::string dumpReply)
    : options_(options), dumpReply_(std::move(dumpReply)), random_(options.Seed) {
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGHUP);
    if (::sigprocmask(SIG_BLOCK, &stopping, nullptr) != 0) {
        throw SystemError("cannot block signals");
    }
    signals_.Reset(::signalfd(-1, &stopping, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signals_.Valid()) {
        throw SystemError("cannot watch signals");
    }
    master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master_.Valid() || ::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) {
        throw SystemError("cannot open a pseudo-terminal");
    }
    char name[256] = {};
    if (::ptsname_r(master_.Get(), name, sizeof name) != 0) {
        throw SystemError("cannot name the pseudo-terminal");
    }
    portPath_ = name;
    slave_.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_.Valid()) {
        throw SystemError("cannot open " + portPath_);
    }
    // Raw from the start, so that also a plain `cat` of the port sees the bytes unchanged.
    termios line{};
    if (::tcgetattr(slave_.Get(), &line) == 0) {
        ::cfmakeraw(&line);
        ::tcsetattr(slave_.Get(), TCSANOW, &line);
    }
}

void TMeterServer::Queue(const std::string& bytes) {
    if (queueAt_ == queue_.size()) {
        queue_.clear();
        queueAt_ = 0;
        // A new reply after a silence: pacing starts over.
        paceStart_ = TClock::now();
        pacedBytes_ = 0;
    }
    queue_ += bytes;
    queuedTotal_ += bytes.size();
}

void TMeterServer::OnRequest(char request) {
    if (options_.Fault == TSimFault::NoAnswer || (request != 'n' && request != 'u')) {
        return;
    }
    if (request == 'n') {
        Queue(options_.Name + "\n\r");
    } else if (options_.Fault == TSimFault::EndlessDump) {
        endless_ = true;
        Queue(dumpReply_.substr(0, dumpReply_.size() - 2));
    } else {
        if (options_.Fault == TSimFault::HangUpHalf) {
            hangUpAt_ = std::min(hangUpAt_, queuedTotal_ + dumpReply_.size() / 2);
        }
        Queue(dumpReply_);
    }
    if (options_.Fault == TSimFault::StrayBytes) {
        Queue(Noise);
    }
}

std::size_t TMeterServer::NextChunkSize() {
    if (options_.RandomChunks) {
        return 1 + random_() % 64;
    }
    if (options_.Chunk > 0) {
        return options_.Chunk;
    }
    if (options_.Baud > 0) {
        // About a hundredth of a second of line time per write.
        return std::max<std::size_t>(1, options_.Baud / 1000);
    }
    return LargeChunk;
}

bool TMeterServer::SendChunk() {
    std::size_t size = std::min(NextChunkSize(), queue_.size() - queueAt_);
    if (hangUpAt_ != UINT64_MAX) {
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, hangUpAt_ - sentTotal_));
    }
    if (size > 0) {
        const ssize_t put = ::write(master_.Get(), queue_.data() + queueAt_, size);
        if (put < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                return true;
            }
            throw SystemError("cannot write to the pseudo-terminal");
        }
        queueAt_ += static_cast<std::size_t>(put);
        sentTotal_ += static_cast<std::uint64_t>(put);
        pacedBytes_ += static_cast<std::uint64_t>(put);
    }
    if (sentTotal_ >= hangUpAt_) {
        std::cerr << "meridax-meter-sim: hanging up half-way through the dump\n";
        slave_.Reset();
        master_.Reset();
        return false;
    }
    const TClock::time_point now = TClock::now();
    if (options_.Baud > 0) {
        notBefore_ =
            paceStart_ + std::chrono::microseconds(pacedBytes_ * 10 * 1000000 / options_.Baud);
    }
    if (options_.DelayMs > 0) {
        notBefore_ = std::max(notBefore_, now + std::chrono::milliseconds(options_.DelayMs));
    }
    if (endless_ && queue_.size() - queueAt_ < LargeChunk) {
        queue_.erase(0, queueAt_);
        queueAt_ = 0;
        queue_ += dumpReply_.substr(0, dumpReply_.size() - 2);
    }
    return true;
}

void TMeterServer::Run() {
    for (;;) {
        const bool pending = queueAt_ < queue_.size();
        const TClock::time_point now = TClock::now();
        const bool due = pending && now >= notBefore_;
        int timeoutMs = -1;
        if (pending && !due) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(notBefore_ - now);
            timeoutMs = static_cast<int>(std::max<long long>(1, wait.count()));
        }
        pollfd fds[2] = {};
        fds[0].fd = signals_.Get();
        fds[0].events = POLLIN;
        fds[1].fd = master_.Get();
        fds[1].events = static_cast<short>(POLLIN | (due ? POLLOUT : 0));
        if (::poll(fds, 2, timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw SystemError("cannot wait for the pseudo-terminal");
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            char requests[4096];
            const ssize_t got = ::read(master_.Get(), requests, sizeof requests);
            if (got < 0 && errno != EAGAIN && errno != EINTR) {
                throw SystemError("cannot read from the pseudo-terminal");
            }
            for (ssize_t at = 0; at < got; ++at) {
                OnRequest(requests[at]);
            }
        }
        if (due && (fds[1].revents & POLLOUT) != 0 && !SendChunk()) {
            return;
        }
    }
}

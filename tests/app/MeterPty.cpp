#include "app/MeterPty.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

TMeterPty::TMeterPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        Fail("posix_openpt");
    }
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        const int saved = errno;
        ::close(master_);
        throw std::system_error(saved, std::generic_category(), "pty slave");
    }
    slavePath_ = name;
}

TMeterPty::~TMeterPty() noexcept {
    HangUp();
}

void TMeterPty::HangUp() noexcept {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void TMeterPty::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR) {
            Fail("write to the window's port");
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        }
    }
}

std::string TMeterPty::Receive(std::size_t count, std::chrono::milliseconds wait) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fd{master_, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            Fail("poll");
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            // EIO: the window has closed its side for now; keep waiting.
            ::usleep(10000);
        }
    }
    return got;
}

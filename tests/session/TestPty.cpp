#include "session/TestPty.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

TTestPty::TTestPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        ThrowErrno("posix_openpt");
    }
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        int saved = errno;
        ::close(master_);
        throw std::system_error(saved, std::generic_category(), "grantpt/unlockpt");
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        int saved = errno;
        ::close(master_);
        throw std::system_error(saved, std::generic_category(), "ptsname_r");
    }
    slavePath_ = name;
}

TTestPty::~TTestPty() noexcept {
    CloseMaster();
}

void TTestPty::CloseMaster() noexcept {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void TTestPty::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno("write to pty master");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string TTestPty::Receive(std::size_t count, std::chrono::milliseconds wait) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (got.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fd{master_, POLLIN, 0};
        int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            ThrowErrno("poll pty master");
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[4096];
        std::size_t want = std::min(sizeof buffer, count - got.size());
        ssize_t n = ::read(master_, buffer, want);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            // EIO: the slave side is closed; nothing more will come.
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

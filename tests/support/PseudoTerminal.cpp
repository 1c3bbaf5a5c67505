#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

TPseudoTerminal::TPseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        ThrowErrno("posix_openpt");
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

TPseudoTerminal::~TPseudoTerminal() noexcept {
    CloseMaster();
}

void TPseudoTerminal::CloseMaster() noexcept {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void TPseudoTerminal::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ThrowErrno("write to the pty master");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string TPseudoTerminal::Receive(std::size_t count, std::chrono::milliseconds wait) {
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
            ThrowErrno("poll the pty master");
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            // EIO: no one has the slave open just now; it may be opened again.
            ::usleep(10000);
        }
    }
    return got;
}

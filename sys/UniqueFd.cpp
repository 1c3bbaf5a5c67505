#include "sys/UniqueFd.h"

#include <unistd.h>

#include <cerrno>

#include "sys/SystemText.h"

std::error_code TUniqueFd::Close() noexcept {
    if (fd_ < 0)
        return {};
    // A close interrupted by a signal has still released the descriptor on Linux; trying
    // again could close one another thread has just opened.
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR)
        return ErrnoCode();
    return {};
}

std::error_code WriteAll(int fd, const void* data, std::size_t size) noexcept {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, p, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return ErrnoCode();
        }
        // A write that takes nothing without an error would loop forever.
        if (written == 0)
            return ErrnoCode(ENOSPC);
        p += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

std::size_t ReadSome(int fd, void* data, std::size_t size, std::error_code& error) noexcept {
    char* p = static_cast<char*>(data);
    std::size_t total = 0;
    error.clear();
    while (total < size) {
        const ssize_t got = ::read(fd, p + total, size - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = ErrnoCode();
            break;
        }
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

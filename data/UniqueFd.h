#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

// Owns one file descriptor and closes it on destruction. Close() reports the close's own
// error (0 when fine), which matters after writes: NFS and some file systems only report
// a failed write there.
class TUniqueFd {
public:
    TUniqueFd() noexcept = default;
    explicit TUniqueFd(int fd) noexcept : fd_(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() noexcept { Reset(); }

    int Get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    int Close() noexcept {
        if (fd_ < 0)
            return 0;
        const int result = ::close(std::exchange(fd_, -1));
        // A close interrupted by a signal has still released the descriptor on Linux.
        return result == 0 || errno == EINTR ? 0 : errno;
    }

private:
    void Reset() noexcept {
        if (fd_ >= 0)
            ::close(std::exchange(fd_, -1));
    }

    int fd_ = -1;
};

// Writes all of data, going on after short writes; returns 0 or the errno of the failure.
int WriteAll(int fd, const void* data, std::size_t size) noexcept;

// Reads up to size bytes, going on after short reads until end of file; returns the count
// read or -1 with errno set.
long ReadSome(int fd, void* data, std::size_t size) noexcept;

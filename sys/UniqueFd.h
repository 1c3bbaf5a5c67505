#pragma once

#include <cstddef>
#include <system_error>
#include <utility>

// Owns one file descriptor and closes it once, on Reset, Close or destruction.
class TUniqueFd {
public:
    TUniqueFd() noexcept = default;
    explicit TUniqueFd(int fd) noexcept : fd_(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() noexcept { Reset(); }

    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return Valid(); }

    // Closes the descriptor held, if any, and takes fd.
    void Reset(int fd = -1) noexcept {
        static_cast<void>(Close());
        fd_ = fd;
    }
    // Closes the descriptor and reports the close's own failure, which matters after writes:
    // NFS and some file systems only report a failed write there.
    std::error_code Close() noexcept;

private:
    int fd_ = -1;
};

// Writes all of data, going on after short writes and signals. An empty code when all went.
std::error_code WriteAll(int fd, const void* data, std::size_t size) noexcept;

// Reads until size bytes have come or the file ends, going on after short reads and signals.
// Gives the count read; error tells why reading stopped early (empty at end of file).
std::size_t ReadSome(int fd, void* data, std::size_t size, std::error_code& error) noexcept;

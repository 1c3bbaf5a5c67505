#include "data/IoErrors.h"

#include <sys/stat.h>

#include <cerrno>

#include "data/UniqueFd.h"

bool ParentFolderExists(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string parent;
    if (slash == std::string::npos) {
        parent = ".";
    } else if (slash == 0) {
        parent = "/";
    } else {
        parent = path.substr(0, slash);
    }
    struct stat status {};
    return ::stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string InOutMessage(int errorCode, const std::string& path) {
    switch (errorCode) {
        case ENOENT:
            // The file itself is missing only when its folder is there.
            return !path.empty() && ParentFolderExists(path) ? "File not found"
                                                             : "Invalid filename";
        case ENOTDIR:
            return "Invalid filename";
        case EMFILE:
        case ENFILE:
            return "Too many open files";
        case EACCES:
        case EPERM:
        case EROFS:
            return "File access denied";
        default:
            return "I/O error " + std::to_string(errorCode);
    }
}

void ThrowInOutError(int errorCode, const std::string& path) {
    throw EInOutError(InOutMessage(errorCode, path), path, errorCode);
}

int WriteAll(int fd, const void* data, std::size_t size) noexcept {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, p, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        // A write that takes nothing without an error would loop forever.
        if (written == 0)
            return ENOSPC;
        p += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

long ReadSome(int fd, void* data, std::size_t size) noexcept {
    char* p = static_cast<char*>(data);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, p + total, size - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<long>(total);
}

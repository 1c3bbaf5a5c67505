#include "tools/cli/OutputFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "data/IoErrors.h"
#include "data/UniqueFd.h"
#include "export/uNativeXLSExport.h"

namespace {

std::string FullPath(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string SystemMessage(int errorCode) {
    char buffer[256];
    return ::strerror_r(errorCode, buffer, sizeof buffer);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty())
        return text;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

class TRemoveOnFailure {
public:
    explicit TRemoveOnFailure(std::string path) : path_(std::move(path)) {}
    TRemoveOnFailure(const TRemoveOnFailure&) = delete;
    TRemoveOnFailure& operator=(const TRemoveOnFailure&) = delete;
    ~TRemoveOnFailure() noexcept {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    void Keep() noexcept { path_.clear(); }

private:
    std::string path_;
};

// Creates a new, empty file beside path, never taking over one that is there already (a
// link planted under the name would otherwise be followed by the writer), and returns its
// name. Only the start of path's name goes into it, so that a name near the 255-byte limit
// leaves room.
std::string CreateTemporary(const std::string& path, std::size_t slash) {
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string stem = path.substr(0, nameStart) + "." + path.substr(nameStart, 64) + "." +
                             std::to_string(::getpid()) + "-";
    for (int attempt = 0;; ++attempt) {
        std::string temporary = stem + std::to_string(attempt) + ".tmp";
        TUniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd)
            return temporary;
        const int error = errno;
        if (error != EEXIST || attempt == 100) {
            throw EXLSWriteError(
                "Cannot create file \"" + FullPath(path) + "\". " + SystemMessage(error), path);
        }
    }
}

}  // namespace

void ReplaceFile(const std::string& linkOrPath,
                 const std::function<void(const std::string&)>& write) {
    // Through a link the file it points at is replaced, not the link.
    std::string path = linkOrPath;
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr)
            path = resolved;
    }
    const bool exists = ::stat(path.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        throw EXLSWriteError(
            "Cannot open file \"" + FullPath(path) + "\". " + SystemMessage(EISDIR), path);
    }
    if (exists && !S_ISREG(status.st_mode))
        return write(path);

    // A folder that lets its file be written but not replaced gets the file written in
    // place, which is all it allows; the writer then refuses a read-only or locked file.
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (exists && ::access(folder.c_str(), W_OK) != 0)
        return write(path);

    TUniqueFd lock;
    if (exists && S_ISREG(status.st_mode)) {
        // The same refusals as the writer opening the file itself: read-only or locked.
        lock = TUniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        int error = !lock ? errno : 0;
        if (error == 0 && ::access(path.c_str(), W_OK) != 0)
            error = errno;
        if (error == 0 && ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0)
            error = errno;
        if (error != 0) {
            throw EXLSWriteError(
                "Cannot open file \"" + FullPath(path) + "\". " + SystemMessage(error), path);
        }
    }

    const std::string temporary = CreateTemporary(path, slash);
    TRemoveOnFailure cleanup(temporary);
    try {
        write(temporary);
    } catch (const EXLSWriteError& error) {
        // The messages name the file the user asked for, not the temporary one.
        throw EXLSWriteError(
            ReplaceAll(ReplaceAll(error.what(), FullPath(temporary), FullPath(path)), temporary,
                       path),
            path);
    }
    if (exists) {
        // The old file's owner where allowed (as root), then its mode.
        [[maybe_unused]] const int owner = ::chown(temporary.c_str(), status.st_uid, status.st_gid);
        ::chmod(temporary.c_str(), status.st_mode & 07777);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        // Another owner's file in a sticky folder (as /tmp) may be written, not replaced.
        if (exists && (error == EPERM || error == EACCES)) {
            lock = TUniqueFd();  // the writer takes its own lock
            return write(path);
        }
        throw EXLSWriteError(
            "Cannot create file \"" + FullPath(path) + "\". " + SystemMessage(error), path);
    }
    cleanup.Keep();
}

void WriteStandardOutput(std::string_view text) {
    if (const int error = WriteAll(STDOUT_FILENO, text.data(), text.size()); error != 0) {
        throw std::runtime_error("Cannot write to standard output. " + SystemMessage(error));
    }
}

std::string ReadStandardInput() {
    std::string text;
    constexpr std::size_t chunk = 1 << 20;
    while (true) {
        const std::size_t old = text.size();
        text.resize(old + chunk);
        const long got = ReadSome(STDIN_FILENO, text.data() + old, chunk);
        if (got < 0)
            ThrowInOutError(errno, "-");
        text.resize(old + static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < chunk)
            return text;
    }
}

#include "data/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "data/IoErrors.h"
#include "data/UniqueFd.h"

namespace {

constexpr std::size_t ChunkSize = 64 * 1024;

TUniqueFd OpenForReading(const std::string& path) {
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        ThrowInOutError(errno, path);
    return fd;
}

std::size_t RegularFileSize(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        return static_cast<std::size_t>(status.st_size);
    }
    return 0;
}

// Reads chunk after chunk into text until end of file or, with stopAtLineFeed, until a
// chunk holds a LF. Returns where that LF is, or npos.
std::size_t ReadChunks(int fd, const std::string& path, std::string& text, bool stopAtLineFeed) {
    // Sized once for a regular file, so a large file is not copied while it grows; a file
    // larger than memory may still have a short first line.
    try {
        text.reserve(RegularFileSize(fd) + 1);
    } catch (const std::bad_alloc&) {
    }
    while (true) {
        const std::size_t old = text.size();
        // The first line is read chunk by chunk so that nothing far beyond it is read.
        const std::size_t room = !stopAtLineFeed && text.capacity() > old + ChunkSize
                                     ? text.capacity() - old
                                     : ChunkSize;
        text.resize(old + room);
        const long got = ReadSome(fd, text.data() + old, room);
        if (got < 0) {
            const int error = errno;
            text.clear();
            ThrowInOutError(error, path);
        }
        text.resize(old + static_cast<std::size_t>(got));
        if (stopAtLineFeed) {
            const void* lineFeed = std::memchr(text.data() + old, '\n', text.size() - old);
            if (lineFeed != nullptr)
                return static_cast<const char*>(lineFeed) - text.data();
        }
        if (static_cast<std::size_t>(got) < room)
            return std::string::npos;
    }
}

void CloseChecked(TUniqueFd& fd, const std::string& path) {
    if (const int error = fd.Close(); error != 0)
        ThrowInOutError(error, path);
}

}  // namespace

std::string ReadTextFile(const std::string& path) {
    TUniqueFd fd = OpenForReading(path);
    std::string line;
    const std::size_t lineFeed = ReadChunks(fd.Get(), path, line, true);
    CloseChecked(fd, path);
    if (lineFeed != std::string::npos) {
        std::size_t end = lineFeed;
        if (end > 0 && line[end - 1] == '\r')
            --end;
        line.resize(end);
    }
    return line;
}

std::string ReadWholeFile(const std::string& path) {
    TUniqueFd fd = OpenForReading(path);
    std::string text;
    ReadChunks(fd.Get(), path, text, false);
    CloseChecked(fd, path);
    return text;
}

namespace {

void WriteTextAndLineEnd(int fd, std::string_view text, const std::string& path) {
    int error = WriteAll(fd, text.data(), text.size());
    if (error == 0)
        error = WriteAll(fd, "\r\n", 2);
    if (error != 0)
        ThrowInOutError(error, path);
}

// A device, a pipe or a terminal cannot be replaced by a rename; it is written in place
// as it stands.
void WriteInPlace(const std::string& path, std::string_view text) {
    TUniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd)
        ThrowInOutError(errno, path);
    WriteTextAndLineEnd(fd.Get(), text, path);
    CloseChecked(fd, path);
}

std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::size_t slash = target.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // Only the start of the name: a target name near the 255-byte limit must still leave
    // room for the temporary one's additions.
    return target.substr(0, nameStart) + "." + target.substr(nameStart, 64) + "." +
           std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(static_cast<unsigned long long>(ticks) % 1000000) + ".tmp";
}

// Removes the temporary file unless the rename has taken it.
class TTemporaryFile {
public:
    explicit TTemporaryFile(std::string path) : path_(std::move(path)) {}
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    ~TTemporaryFile() noexcept {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    const std::string& Path() const noexcept { return path_; }
    void Release() noexcept { path_.clear(); }

private:
    std::string path_;
};

}  // namespace

void WriteTextFile(const std::string& path, std::string_view text) {
    if (path.empty())
        ThrowInOutError(ENOENT, path);
    std::string target = path;
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        // Through a link the file it points at is replaced, not the link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr)
            target = resolved;
    }
    const bool exists = ::stat(target.c_str(), &status) == 0;
    if (exists) {
        if (S_ISDIR(status.st_mode))
            ThrowInOutError(EISDIR, path);
        if (!S_ISREG(status.st_mode))
            return WriteInPlace(target, text);
        // A read-only file stays read-only even though its folder would allow a rename.
        if (::access(target.c_str(), W_OK) != 0)
            ThrowInOutError(errno, path);
    }

    TUniqueFd fd;
    std::string temporaryPath;
    for (int attempt = 0; !fd; ++attempt) {
        temporaryPath = TemporaryName(target);
        fd =
            TUniqueFd(::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd)
            break;
        const int error = errno;
        // A folder that lets the file be written but not replaced (no write right on the
        // folder) gets the plain truncate and write, which is all it allows.
        if (exists && (error == EACCES || error == EPERM))
            return WriteInPlace(target, text);
        if (error != EEXIST || attempt == 100)
            ThrowInOutError(error, path);
    }
    TTemporaryFile temporary(temporaryPath);
    if (exists) {
        // The replacement keeps the old file's owner where allowed (as root) and its mode;
        // the owner goes first, since a change of owner clears set-id bits.
        [[maybe_unused]] const int owner = ::fchown(fd.Get(), status.st_uid, status.st_gid);
        ::fchmod(fd.Get(), status.st_mode & 07777);
    }

    WriteTextAndLineEnd(fd.Get(), text, path);
    if (::fsync(fd.Get()) != 0)
        ThrowInOutError(errno, path);
    CloseChecked(fd, path);
    if (::rename(temporary.Path().c_str(), target.c_str()) != 0) {
        const int error = errno;
        // Another owner's file in a sticky folder (as /tmp) may be written but not replaced.
        if (exists && (error == EACCES || error == EPERM))
            return WriteInPlace(target, text);
        ThrowInOutError(error, path);
    }
    temporary.Release();
}

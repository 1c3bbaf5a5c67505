#include "sys/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "sys/FileReplacement.h"
#include "sys/IoErrors.h"
#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

namespace {

constexpr std::size_t ChunkSize = 64 * 1024;

TUniqueFd OpenForReading(const std::string& path) {
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        ThrowInOutError(ErrnoCode(), path);
    return fd;
}

std::size_t RegularFileSize(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        return static_cast<std::size_t>(status.st_size);
    }
    return 0;
}

// Memory ran out with text holding what was read so far: that goes first, so that the
// message can be made. A pipe's size is what it had given.
[[noreturn]] void OutOfMemoryWhileReading(int fd, const std::string& path, std::string& text) {
    const std::size_t read = text.size();
    std::string().swap(text);
    ThrowOutOfMemory(path, std::max(RegularFileSize(fd), read));
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
        try {
            text.resize(old + room);
        } catch (const std::bad_alloc&) {
            OutOfMemoryWhileReading(fd, path, text);
        }
        std::error_code error;
        const std::size_t got = ReadSome(fd, text.data() + old, room, error);
        if (error) {
            text.clear();
            ThrowInOutError(error, path);
        }
        text.resize(old + got);
        if (stopAtLineFeed) {
            const void* lineFeed = std::memchr(text.data() + old, '\n', text.size() - old);
            if (lineFeed != nullptr)
                return static_cast<const char*>(lineFeed) - text.data();
        }
        if (got < room)
            return std::string::npos;
    }
}

void CloseChecked(TUniqueFd& fd, const std::string& path) {
    if (const std::error_code error = fd.Close())
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

// How a text file is replaced. Every failure is reported on the name the caller gave; a
// missing folder is looked for where the file would have been made.
TReplaceHooks TextFileHooks(const std::string& path) {
    TReplaceHooks hooks;
    hooks.fail = [&path](const std::error_code& code, TReplaceFailure, const std::string& target) {
        throw EInOutError(InOutMessage(code, target), path, code);
    };
    // A read-only file stays read-only even though its folder would allow a rename.
    hooks.vetExisting = [&path](const std::string& target) {
        if (::access(target.c_str(), W_OK) != 0)
            ThrowInOutError(ErrnoCode(), path);
        return false;
    };
    hooks.writeInPlaceWhenCreateDenied = true;
    hooks.syncBeforeRename = true;
    return hooks;
}

// Ends a trial replacement once its temporary file is made.
struct TTrialDone {};

}  // namespace

void CheckTextFileWritable(const std::string& path) {
    if (path.empty())
        ThrowInOutError(ErrnoCode(ENOENT), path);
    try {
        ReplaceFileSafely(
            path, [](const std::string&, const std::string&) { throw TTrialDone(); },
            TextFileHooks(path));
    } catch (const TTrialDone&) {
    }
}

namespace {

void ReplaceWithText(const std::string& path, std::string_view text, std::string_view lineEnd) {
    if (path.empty())
        ThrowInOutError(ErrnoCode(ENOENT), path);
    const TReplaceHooks hooks = TextFileHooks(path);
    ReplaceFileSafely(
        path,
        [&](const std::string& writePath, const std::string&) {
            TUniqueFd fd(::open(writePath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
            if (!fd)
                ThrowInOutError(ErrnoCode(), path);
            std::error_code error = WriteAll(fd.Get(), text.data(), text.size());
            if (!error)
                error = WriteAll(fd.Get(), lineEnd.data(), lineEnd.size());
            if (error)
                ThrowInOutError(error, path);
            CloseChecked(fd, path);
        },
        hooks);
}

}  // namespace

void WriteTextFile(const std::string& path, std::string_view text) {
    ReplaceWithText(path, text, "\r\n");
}

void WriteWholeFile(const std::string& path, std::string_view text) {
    ReplaceWithText(path, text, {});
}

#include "tools/cli/OutputFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>

#include "export/uNativeXLSExport.h"
#include "sys/FileReplacement.h"
#include "sys/FullPath.h"
#include "sys/IoErrors.h"
#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

void ReplaceFile(
    const std::string& path,
    const std::function<void(const std::string& writePath, const std::string& target)>& write) {
    TUniqueFd lock;
    TReplaceHooks hooks;
    hooks.fail = [](const std::error_code& code, TReplaceFailure failure,
                    const std::string& target) {
        const char* verb = failure == TReplaceFailure::Open ? "Cannot open" : "Cannot create";
        throw EXLSWriteError(
            std::string(verb) + " file \"" + FullPath(target) + "\". " + SystemErrorText(code),
            target, code);
    };
    hooks.vetExisting = [&lock](const std::string& target) {
        // A folder that lets its file be written but not replaced gets the file written in
        // place, which is all it allows; the writer then refuses a read-only or locked file.
        const std::size_t slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
        if (::access(folder.c_str(), W_OK) != 0)
            return true;
        // The same refusals as the writer opening the file itself: read-only or locked.
        lock = TUniqueFd(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
        std::error_code error;
        if (!lock || ::access(target.c_str(), W_OK) != 0 ||
            ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
            error = ErrnoCode();
            throw EXLSWriteError(
                "Cannot open file \"" + FullPath(target) + "\". " + SystemErrorText(error), target,
                error);
        }
        return false;
    };
    ReplaceFileSafely(
        path,
        [&](const std::string& writePath, const std::string& target) {
            if (writePath == target)
                lock = TUniqueFd();  // the writer takes its own lock
            write(writePath, target);
        },
        hooks);
}

void WriteStandardOutput(std::string_view text) {
    if (const std::error_code error = WriteAll(STDOUT_FILENO, text.data(), text.size())) {
        throw EFileError("Cannot write to standard output. " + SystemErrorText(error), "-", error);
    }
}

std::string ReadStandardInput() {
    std::string text;
    constexpr std::size_t chunk = 1 << 20;
    while (true) {
        const std::size_t old = text.size();
        try {
            text.resize(old + chunk);
        } catch (const std::bad_alloc&) {
            std::string().swap(text);
            throw EOutOfMemory("Out of memory while reading standard input after " +
                                   std::to_string(old) + " bytes",
                               "-", old);
        }
        std::error_code error;
        const std::size_t got = ReadSome(STDIN_FILENO, text.data() + old, chunk, error);
        if (error)
            ThrowInOutError(error, "-");
        text.resize(old + got);
        if (got < chunk)
            return text;
    }
}

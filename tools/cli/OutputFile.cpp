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

#include "data/FileReplacement.h"
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

}  // namespace

void ReplaceFile(const std::string& path, const std::function<void(const std::string&)>& write) {
    TUniqueFd lock;
    TReplaceHooks hooks;
    hooks.fail = [](int errorCode, TReplaceFailure failure, const std::string& target) {
        const char* verb = failure == TReplaceFailure::Open ? "Cannot open" : "Cannot create";
        throw EXLSWriteError(
            std::string(verb) + " file \"" + FullPath(target) + "\". " + SystemMessage(errorCode),
            target);
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
        int error = !lock ? errno : 0;
        if (error == 0 && ::access(target.c_str(), W_OK) != 0)
            error = errno;
        if (error == 0 && ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0)
            error = errno;
        if (error != 0) {
            throw EXLSWriteError(
                "Cannot open file \"" + FullPath(target) + "\". " + SystemMessage(error), target);
        }
        return false;
    };
    ReplaceFileSafely(
        path,
        [&](const std::string& writePath, const std::string& target) {
            if (writePath == target) {
                lock = TUniqueFd();  // the writer takes its own lock
                return write(target);
            }
            try {
                write(writePath);
            } catch (const EXLSWriteError& error) {
                // The messages name the file the user asked for, not the temporary one.
                throw EXLSWriteError(
                    ReplaceAll(ReplaceAll(error.what(), FullPath(writePath), FullPath(target)),
                               writePath, target),
                    target);
            }
        },
        hooks);
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

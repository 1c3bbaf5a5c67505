#include "export/ExportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "export/ExportOptions.h"
#include "sys/FileReplacement.h"
#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

void ThrowExportError(const char* verb, const std::string& path, std::error_code code) {
    throw EExportError(std::string(verb) + " file \"" + path + "\". " + SystemErrorText(code), path,
                       code);
}

namespace {

// A file in the system's temporary folder, removed when it goes.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& target) {
        const char* folder = std::getenv("TMPDIR");
        path_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
                "/meridax-export-XXXXXX";
        fd_ = TUniqueFd(::mkstemp(path_.data()));
        if (!fd_) {
            const std::error_code error = ErrnoCode();
            path_.clear();
            ThrowExportError("Cannot create", target, error);
        }
    }
    ~TTemporaryFile() noexcept {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
    TUniqueFd fd_;
};

bool CannotSeek(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

void CopyFile(const std::string& from, const std::string& path) {
    const TUniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in)
        ThrowExportError("Cannot create", path, ErrnoCode());
    TUniqueFd out(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!out)
        ThrowExportError("Cannot open", path, ErrnoCode());
    std::vector<char> buffer(1 << 16);
    std::error_code error;
    for (std::size_t got = 1; got > 0;) {
        got = ReadSome(in.Get(), buffer.data(), buffer.size(), error);
        if (!error)
            error = WriteAll(out.Get(), buffer.data(), got);
        if (error)
            ThrowExportError("Cannot create", path, error);
    }
    if (const std::error_code closeError = out.Close())
        ThrowExportError("Cannot create", path, closeError);
}

}  // namespace

void WriteExportFile(const std::string& path,
                     const std::function<void(const std::string& writePath)>& write) {
    if (path.empty())
        ThrowExportError("Cannot create", path, std::make_error_code(std::errc::invalid_argument));
    TReplaceHooks hooks;
    hooks.fail = [&path](const std::error_code& code, TReplaceFailure failure, const std::string&) {
        ThrowExportError(failure == TReplaceFailure::Open ? "Cannot open" : "Cannot create", path,
                         code);
    };
    hooks.vetExisting = [&path](const std::string& target) {
        if (::access(target.c_str(), W_OK) != 0)
            ThrowExportError("Cannot open", path, ErrnoCode());
        return false;
    };
    hooks.syncBeforeRename = true;
    ReplaceFileSafely(
        path, [&](const std::string& writePath, const std::string&) { write(writePath); }, hooks);
}

void WriteSeekingExportFile(const std::string& path,
                            const std::function<void(const std::string& writePath)>& write) {
    if (!CannotSeek(path)) {
        WriteExportFile(path, write);
        return;
    }
    const TTemporaryFile temporary(path);
    write(temporary.Path());
    CopyFile(temporary.Path(), path);
}

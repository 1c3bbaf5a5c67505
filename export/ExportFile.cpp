#include "export/ExportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
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

// A file in the system's temporary folder that has no name (O_TMPFILE): whatever ends the
// program, a signal from a reader that quit included, nothing is left behind. The writer
// reaches it through /proc/self/fd. Where the folder's file system cannot make such files, a
// named one, removed when it goes.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& target) {
        const char* folder = std::getenv("TMPDIR");
        const std::string base = folder != nullptr && *folder != '\0' ? folder : "/tmp";
        fd_ = TUniqueFd(::open(base.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (fd_ && ::access(ProcPath().c_str(), W_OK) == 0) {
            path_ = ProcPath();
            return;
        }
        named_ = base + "/meridax-export-XXXXXX";
        fd_ = TUniqueFd(::mkstemp(named_.data()));
        if (!fd_) {
            const std::error_code error = ErrnoCode();
            named_.clear();
            ThrowExportError("Cannot create", target, error);
        }
        path_ = named_;
    }
    ~TTemporaryFile() noexcept {
        if (!named_.empty())
            ::unlink(named_.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    // Where the writer writes the file.
    const std::string& Path() const noexcept { return path_; }
    int Fd() const noexcept { return fd_.Get(); }

private:
    std::string ProcPath() const { return "/proc/self/fd/" + std::to_string(fd_.Get()); }

    TUniqueFd fd_;
    std::string named_;
    std::string path_;
};

bool CannotSeek(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

void CopyFile(const TTemporaryFile& from, const std::string& path) {
    // The writer wrote through a descriptor of its own: read from the start.
    if (::lseek(from.Fd(), 0, SEEK_SET) != 0)
        ThrowExportError("Cannot create", path, ErrnoCode());
    TUniqueFd out(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!out)
        ThrowExportError("Cannot open", path, ErrnoCode());
    std::vector<char> buffer(1 << 16);
    std::error_code error;
    for (std::size_t got = 1; got > 0;) {
        got = ReadSome(from.Fd(), buffer.data(), buffer.size(), error);
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
    CopyFile(temporary, path);
}

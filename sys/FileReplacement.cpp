#include "sys/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <set>
#include <utility>

#include "sys/ProtectedFiles.h"
#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

namespace {

// The temporary files that exist, for RemovePendingTemporaryFiles. A file is made and
// recorded under the one lock, so none escapes a removal that runs meanwhile.
struct TPendingTemporaries {
    std::mutex lock;
    std::set<std::string> paths;

    static TPendingTemporaries& Instance() {
        static TPendingTemporaries pending;
        return pending;
    }
};

TUniqueFd CreateTemporary(const std::string& path) {
    TPendingTemporaries& pending = TPendingTemporaries::Instance();
    const std::lock_guard guard(pending.lock);
    TUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd)
        pending.paths.insert(path);
    return fd;
}

// Removes the temporary file unless the rename has taken it.
class TTemporaryFile {
public:
    TTemporaryFile(std::string path, TUniqueFd fd) : path_(std::move(path)), fd_(std::move(fd)) {}
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    ~TTemporaryFile() noexcept {
        if (!path_.empty())
            ::unlink(path_.c_str());
        Release();
    }
    const std::string& Path() const noexcept { return path_; }
    TUniqueFd& Fd() noexcept { return fd_; }
    void Release() noexcept {
        if (path_.empty())
            return;
        TPendingTemporaries& pending = TPendingTemporaries::Instance();
        const std::lock_guard guard(pending.lock);
        pending.paths.erase(path_);
        path_.clear();
    }

private:
    std::string path_;
    TUniqueFd fd_;
};

bool Denied(const std::error_code& error) {
    return error == std::errc::permission_denied || error == std::errc::operation_not_permitted;
}

constexpr int MaxLinkHops = 40;  // as the kernel allows

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The name as a real path where its folder exists, so that messages name the real file.
std::string RealName(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    const std::string folder = FolderOf(path);
    if (::realpath(folder.empty() ? "." : folder.c_str(), resolved) == nullptr)
        return path;
    const std::string real = resolved;
    return (real == "/" ? real : real + "/") + path.substr(folder.size());
}

// Follows path through symbolic links to the file it names, which need not exist yet: the
// file of a dangling link is made where the link points. ELOOP for a loop of links.
std::string ResolveLinks(const std::string& path, std::error_code& error) {
    std::string current = path;
    for (int hop = 0; hop <= MaxLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return hop == 0 ? path : RealName(current);
        char link[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), link, sizeof link);
        if (length < 0 || static_cast<std::size_t>(length) == sizeof link) {
            error = ErrnoCode(length < 0 ? errno : ENAMETOOLONG);
            return path;
        }
        const std::string next(link, static_cast<std::size_t>(length));
        current = next.starts_with('/') ? next : FolderOf(current) + next;
    }
    error = ErrnoCode(ELOOP);
    return path;
}

// The next name for a temporary file beside target. Only the start of target's name goes
// into it, so that a name near the 255-byte limit leaves room for the additions.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, nameStart) + "." + target.substr(nameStart, 64) + "." +
           std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

}  // namespace

void RemovePendingTemporaryFiles() noexcept {
    TPendingTemporaries& pending = TPendingTemporaries::Instance();
    pending.lock.lock();  // kept: the process ends before another replacement may begin
    for (const std::string& path : pending.paths)
        ::unlink(path.c_str());
}

void ReplaceFileSafely(
    const std::string& path,
    const std::function<void(const std::string& writePath, const std::string& target)>& write,
    const TReplaceHooks& hooks) {
    std::error_code linkError;
    const std::string target = ResolveLinks(path, linkError);
    if (linkError)
        hooks.fail(linkError, TReplaceFailure::Open, path);
    struct stat status {};
    const bool exists = ::stat(target.c_str(), &status) == 0;
    if (exists) {
        if (S_ISDIR(status.st_mode))
            hooks.fail(ErrnoCode(EISDIR), TReplaceFailure::Open, target);
        if (const std::error_code refusal = OutputRefusal(target))
            hooks.fail(refusal, TReplaceFailure::Open, target);
        if (!S_ISREG(status.st_mode))
            return write(target, target);
        if (hooks.vetExisting && hooks.vetExisting(target))
            return write(target, target);
    }

    // A new file, never one that is there already: a link planted under the name would
    // otherwise be followed.
    TUniqueFd fd;
    std::string temporaryPath;
    for (int attempt = 0; !fd; ++attempt) {
        temporaryPath = TemporaryName(target);
        fd = CreateTemporary(temporaryPath);
        if (fd)
            break;
        const std::error_code error = ErrnoCode();
        if (hooks.writeInPlaceWhenCreateDenied && exists && Denied(error))
            return write(target, target);
        if (error != std::errc::file_exists || attempt == 100)
            hooks.fail(error, TReplaceFailure::Create, target);
    }
    TTemporaryFile temporary(temporaryPath, std::move(fd));

    write(temporary.Path(), target);
    if (exists) {
        // The old file's owner where allowed (as root), then its mode: a change of owner
        // clears set-id bits. After the write, which clears them as well.
        [[maybe_unused]] const int owner =
            ::fchown(temporary.Fd().Get(), status.st_uid, status.st_gid);
        ::fchmod(temporary.Fd().Get(), status.st_mode & 07777);
    }
    if (hooks.syncBeforeRename && ::fsync(temporary.Fd().Get()) != 0)
        hooks.fail(ErrnoCode(), TReplaceFailure::Finish, target);
    if (const std::error_code error = temporary.Fd().Close())
        hooks.fail(error, TReplaceFailure::Finish, target);
    if (::rename(temporary.Path().c_str(), target.c_str()) != 0) {
        const std::error_code error = ErrnoCode();
        // Another owner's file in a sticky folder (as /tmp) may be written but not replaced.
        if (exists && Denied(error))
            return write(target, target);
        hooks.fail(error, TReplaceFailure::Create, target);
    }
    temporary.Release();
}

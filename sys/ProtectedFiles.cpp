#include "sys/ProtectedFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "sys/UniqueFd.h"

namespace {

class TOutputRefusalCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "meridax.output"; }

    std::string message(int value) const override {
        switch (static_cast<TOutputRefusal>(value)) {
            case TOutputRefusal::ArchiveInUse:
                return "It is the archive of jobs in use, which no output may replace";
            case TOutputRefusal::Database:
                return "It is an archive of jobs (an SQLite database), which no output may "
                       "replace";
        }
        return "It may not be replaced";
    }
};

// The paths of the archives open in this process, one entry per TProtectedFile.
struct TProtectedPaths {
    std::mutex lock;
    std::vector<std::string> paths;

    static TProtectedPaths& Instance() {
        static TProtectedPaths protectedPaths;
        return protectedPaths;
    }
};

bool SameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool IsProtected(const struct stat& target) {
    TProtectedPaths& registry = TProtectedPaths::Instance();
    const std::lock_guard guard(registry.lock);
    for (const std::string& path : registry.paths) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            struct stat status {};
            if (::stat((path + suffix).c_str(), &status) == 0 && SameFile(status, target))
                return true;
        }
    }
    return false;
}

}  // namespace

const std::error_category& OutputRefusalCategory() noexcept {
    static const TOutputRefusalCategory category;
    return category;
}

std::error_code make_error_code(TOutputRefusal refusal) noexcept {
    return {static_cast<int>(refusal), OutputRefusalCategory()};
}

TProtectedFile::TProtectedFile(std::string path) : path_(std::move(path)) {
    TProtectedPaths& registry = TProtectedPaths::Instance();
    const std::lock_guard guard(registry.lock);
    registry.paths.push_back(path_);
}

TProtectedFile::~TProtectedFile() noexcept {
    TProtectedPaths& registry = TProtectedPaths::Instance();
    const std::lock_guard guard(registry.lock);
    for (auto at = registry.paths.begin(); at != registry.paths.end(); ++at) {
        if (*at == path_) {
            registry.paths.erase(at);
            return;
        }
    }
}

bool HasDatabaseHeader(const std::string& path) {
    static constexpr char Header[] = "SQLite format 3";  // 16 bytes with its NUL
    const TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    char bytes[sizeof Header] = {};
    return fd && ::read(fd.Get(), bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes) &&
           std::memcmp(bytes, Header, sizeof Header) == 0;
}

std::error_code OutputRefusal(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return {};
    if (IsProtected(status))
        return TOutputRefusal::ArchiveInUse;
    // Only a regular file can be a database; a pipe or device is never read here.
    if (S_ISREG(status.st_mode) && HasDatabaseHeader(path))
        return TOutputRefusal::Database;
    return {};
}

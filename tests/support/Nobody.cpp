#include "support/Nobody.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/Subprocess.h"

namespace fs = std::filesystem;

bool BecomeNobody() noexcept {
    // Without dropping the supplementary groups the child would keep root's group.
    return ::setgroups(0, nullptr) == 0 && ::setgid(NobodyGroup) == 0 && ::setuid(NobodyUser) == 0;
}

std::optional<std::string> WhyNobodyCannotUse(const std::string& path, int mode) {
    if (::geteuid() != 0) {
        return std::nullopt;
    }
    // access(2) in a child that became nobody answers for every folder on the way, ACLs too.
    TSubprocessOptions options;
    options.AsNobody = true;
    const int code =
        RunInChild([&path, mode] { return ::access(path.c_str(), mode) == 0 ? 0 : 1; }, options);
    if (code == 0) {
        return std::nullopt;
    }
    if (code == SubprocessCannotBecomeNobody) {
        return "the tests run as root but cannot become nobody here";
    }
    return "nobody cannot reach " + path + ": a folder on the way is closed to other users";
}

TProgramForNobody::TProgramForNobody(const std::string& program) : path_(program) {
    if (!WhyNobodyCannotUse(program, X_OK)) {
        return;
    }
    copyFolder_.emplace("meridax-program");
    fs::permissions(copyFolder_->Path(), fs::perms::owner_all | fs::perms::group_read |
                                             fs::perms::group_exec | fs::perms::others_read |
                                             fs::perms::others_exec);
    path_ = copyFolder_->File(fs::path(program).filename().string());
    fs::copy_file(program, path_);
    fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
}

#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "support/TempFolder.h"

// Permission bits do not stop root, so tests that need them to count run the checked code
// in a child process that became nobody. A clone below a private folder (such as /root) is
// out of nobody's reach; these helpers let such tests copy what nobody must run, or skip.
inline constexpr uid_t NobodyUser = 65534;
inline constexpr gid_t NobodyGroup = 65534;

// For a child process of a test run as root: gives up root, its groups included, for nobody.
// False when that fails.
bool BecomeNobody() noexcept;

// Why nobody cannot use path with the access(2) rights in mode (search right on every
// folder above it too), for a test to skip with; nothing when it can or when the tests do
// not run as root.
std::optional<std::string> WhyNobodyCannotUse(const std::string& path, int mode);

// The program at path as nobody can run it: the program itself when nobody reaches it,
// otherwise a copy in a temporary folder open to everyone.
class TProgramForNobody {
public:
    explicit TProgramForNobody(const std::string& program);
    TProgramForNobody(const TProgramForNobody&) = delete;
    TProgramForNobody& operator=(const TProgramForNobody&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::optional<TTempFolder> copyFolder_;
    std::string path_;
};

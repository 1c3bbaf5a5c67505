#include "support/TempFolder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

TTempFolder::TTempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    path_ = pattern;
}

TTempFolder::~TTempFolder() noexcept {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    // A test may have taken the write right from a folder; without it nothing inside goes.
    for (auto entry = fs::recursive_directory_iterator(path_, ignored);
         entry != fs::recursive_directory_iterator(); entry.increment(ignored)) {
        if (entry->is_directory(ignored) && !entry->is_symlink(ignored)) {
            fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

TTempWorkingDir::TTempWorkingDir(const std::string& prefix) : folder_(prefix) {
    std::error_code error;
    previous_ = fs::current_path(error).string();
    if (error) {
        throw std::system_error(error, "getcwd");
    }
    if (::chdir(folder_.Path().c_str()) != 0) {
        throw std::system_error(errno, std::generic_category(), "chdir " + folder_.Path());
    }
}

TTempWorkingDir::~TTempWorkingDir() noexcept {
    if (::chdir(previous_.c_str()) != 0) {
        // Nothing a destructor can do: the test that used the folder has ended.
    }
}

#include "app/StartOptions.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string PasswordDatabaseHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

TStartOptions WrongUsage(std::string problem) {
    TStartOptions options;
    options.Action = TStartOptions::TAction::WrongUsage;
    options.Problem = std::move(problem);
    return options;
}

}  // namespace

TUserFolders CurrentUserFolders() {
    TUserFolders folders;
    folders.Home = Environment("HOME");
    if (folders.Home.empty()) {
        folders.Home = PasswordDatabaseHome();
    }
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    folders.ConfigHome = Environment("XDG_CONFIG_HOME");
    if (folders.ConfigHome.empty() || folders.ConfigHome.front() != '/') {
        folders.ConfigHome = folders.Home + (folders.Home.back() == '/' ? "" : "/") + ".config";
    }
    return folders;
}

TStartOptions TakeStartOptions(int& argc, char** argv, const TUserFolders& folders) {
    TStartOptions options;
    bool userSettings = false;
    bool settingsFile = false;
    int kept = argc > 0 ? 1 : 0;
    for (int i = kept; i < argc; ++i) {
        const std::string_view argument = argv[i];
        constexpr std::string_view SettingsPrefix = "--settings=";
        if (argument == "--version") {
            options.Action = TStartOptions::TAction::ShowVersion;
        } else if (argument == "--help") {
            options.Action = TStartOptions::TAction::ShowHelp;
        } else if (argument == "--user-settings") {
            userSettings = true;
        } else if (argument == "--settings") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return WrongUsage("--settings needs a FILE");
            }
            options.SettingsFile = argv[++i];
            settingsFile = true;
        } else if (argument.starts_with(SettingsPrefix)) {
            options.SettingsFile = argument.substr(SettingsPrefix.size());
            if (options.SettingsFile.empty()) {
                return WrongUsage("--settings needs a FILE");
            }
            settingsFile = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    if (userSettings && settingsFile) {
        return WrongUsage("--settings and --user-settings exclude each other");
    }
    if (userSettings) {
        options.SettingsFile = folders.ConfigHome + "/meridax/settings.ini";
        options.DialogFolder = folders.Home;
        options.MakeSettingsFolder = true;
    }
    if (argc > 0) {
        argv[kept] = nullptr;
        argc = kept;
    }
    return options;
}

std::error_code MakeFolders(const std::string& path) {
    // Each parent in turn, so that every folder made gets 0700 (create_directories would
    // give them the umask's mode).
    for (std::size_t end = 1; end <= path.size(); ++end) {
        if (end != path.size() && path[end] != '/') {
            continue;
        }
        const std::string prefix = path.substr(0, end);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return {errno, std::generic_category()};
        }
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return {errno, std::generic_category()};
    }
    if (!S_ISDIR(status.st_mode)) {
        return std::make_error_code(std::errc::not_a_directory);
    }
    return {};
}

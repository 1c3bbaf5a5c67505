#include "app/common/StartOptions.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

constexpr const char* NeedsFile = "--settings needs a FILE";

// The last of --help and --version given decides.
TStartOptions::TAction Action(const CLI::App& parser, const CLI::Option* help,
                              const CLI::Option* version) {
    TStartOptions::TAction action = TStartOptions::TAction::Run;
    for (const CLI::Option* option : parser.parse_order()) {
        if (option == help) {
            action = TStartOptions::TAction::ShowHelp;
        } else if (option == version) {
            action = TStartOptions::TAction::ShowVersion;
        }
    }
    return action;
}

// Leaves in argv, after the program's name, the arguments that are not the program's own, in
// their order and as the very pointers they were (the toolkit keeps them).
void KeepTheRest(int& argc, char** argv, const std::vector<std::string>& rest) {
    int kept = 1;
    std::size_t next = 0;
    for (int i = 1; i < argc && next < rest.size(); ++i) {
        if (rest[next] == argv[i]) {
            argv[kept++] = argv[i];
            ++next;
        }
    }
    argv[kept] = nullptr;
    argc = kept;
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
    if (argc < 1) {
        return {};
    }
    // Only the program's own options are read; everything else is left for the toolkit.
    CLI::App parser;
    parser.allow_extras();
    parser.set_help_flag();
    std::string settingsFile;
    bool userSettings = false;
    CLI::Option* settings = parser.add_option("--settings", settingsFile)
                                ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    CLI::Option* user = parser.add_flag("--user-settings", userSettings);
    const CLI::Option* help = parser.add_flag("--help");
    const CLI::Option* version = parser.add_flag("--version");
    try {
        parser.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const std::string what = error.what();
        return WrongUsage(what.find("--settings") != std::string::npos ? NeedsFile : what);
    }
    if (settings->count() > 0 && settingsFile.empty()) {
        return WrongUsage(NeedsFile);
    }
    if (settings->count() > 0 && user->count() > 0) {
        return WrongUsage("--settings and --user-settings exclude each other");
    }
    TStartOptions options;
    options.Action = Action(parser, help, version);
    options.SettingsFile = settingsFile;
    if (userSettings) {
        options.SettingsFile = folders.ConfigHome + "/meridax/settings.ini";
        options.DialogFolder = folders.Home;
        options.MakeSettingsFolder = true;
    }
    KeepTheRest(argc, argv, parser.remaining());
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

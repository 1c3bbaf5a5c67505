#pragma once

#include <string>
#include <system_error>

// The folders of the user running the program.
struct TUserFolders {
    std::string Home;
    std::string ConfigHome;
};

// $HOME (else the password database's home), and $XDG_CONFIG_HOME when it is an absolute
// path, else Home/.config.
TUserFolders CurrentUserFolders();

// How the window was asked to start.
struct TStartOptions {
    enum class TAction { Run, ShowVersion, ShowHelp, WrongUsage };

    TAction Action = TAction::Run;
    // The settings file to read at start and write at close; empty: settings.ini in the
    // working directory.
    std::string SettingsFile;
    // Where the file dialogs start; empty: the working directory.
    std::string DialogFolder;
    // The settings file's folder is made at start when missing (the user's config folder),
    // and a missing file is made with the defaults instead of being reported.
    bool MakeSettingsFolder = false;
    // What was wrong, for WrongUsage.
    std::string Problem;
};

// The window's usage lines, for --help and wrong usage.
inline constexpr const char* StartUsage =
    "usage: meridax [--settings FILE | --user-settings] [Qt options]\n"
    "       meridax --help | --version\n";

// Takes the program's own options out of argv, leaving the rest (argc shrinks) to the
// toolkit: --version, --help, --settings FILE (or --settings=FILE), and --user-settings for
// settings.ini in ConfigHome/meridax/ with the file dialogs starting in Home. Read with the
// command-line parser the tools use; the usage text stays the window's own.
TStartOptions TakeStartOptions(int& argc, char** argv, const TUserFolders& folders);

// Creates path and its missing parents with mode 0700 (the XDG rule for the user's folders).
std::error_code MakeFolders(const std::string& path);

#pragma once

#include <string>

namespace CLI {
class App;
}

// The words of `meridax-cli archive backup --to FILE [--archive FILE]`.
struct TArchiveOptions {
    std::string Archive;  // --archive; empty: the default archive
    std::string Output;   // --to
};

extern const char* const ArchiveUsage;

// Adds the archive subcommand and its backup command to app, read into options.
CLI::App& AddArchiveCommand(CLI::App& app, TArchiveOptions& options);

// Writes the copy; throws on failure, for the caller's message.
int RunArchiveBackup(const TArchiveOptions& options);

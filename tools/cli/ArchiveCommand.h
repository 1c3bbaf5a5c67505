#pragma once

#include <string>

namespace CLI {
class App;
}

// The words of `meridax-cli archive backup --to FILE [--archive FILE]` and
// `meridax-cli archive upgrade [--archive FILE|URI]`.
struct TArchiveOptions {
    bool Upgrade = false;
    std::string Archive;  // --archive; empty: the default archive
    std::string Output;   // --to
};

extern const char* const ArchiveUsage;

// Adds the archive subcommand and its backup command to app, read into options.
CLI::App& AddArchiveCommand(CLI::App& app, TArchiveOptions& options);

// Writes the copy, or upgrades; throws on failure, for the caller's message.
int RunArchiveCommand(const TArchiveOptions& options);

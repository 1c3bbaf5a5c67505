#pragma once

#include <cstdint>
#include <string>

#include "tools/cli/ConvertOptions.h"

struct TImportOptions {
    std::string Port;
    std::uint32_t Baud = 19200;
    // Longest silence of the meter before the import gives up.
    double TimeoutSeconds = 30;
    // What to write, read by the same rules as convert's (input unused; deviceLabel is
    // filled in with the meter's name once it is known).
    TConvertOptions Output;
};

extern const char* const ImportUsage;

// Adds the import subcommand to app, read into options.
CLI::App& AddImportCommand(CLI::App& app, TImportOptions& options);

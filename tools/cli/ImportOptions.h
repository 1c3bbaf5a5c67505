#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/cli/ConvertOptions.h"

struct TImportOptions {
    std::string Port;
    std::uint32_t Baud = 19200;
    // Longest silence of the meter before the import gives up.
    double TimeoutSeconds = 30;
    // Longest whole import, connect included; 0: no limit.
    double MaxTimeSeconds = 0;
    // A dump beyond this many megabytes ends the import.
    std::size_t MaxDumpMegabytes = 64;
    // What to write, read by the same rules as convert's (input unused; deviceLabel is
    // filled in with the meter's name once it is known).
    TConvertOptions Output;
};

extern const char* const ImportUsage;

// A --baud value: a speed the serial component can set, else a usage error naming --baud.
std::uint32_t ParseBaudOption(const std::string& text);

// Adds the import subcommand to app, read into options.
CLI::App& AddImportCommand(CLI::App& app, TImportOptions& options);

#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/cli/ConvertOptions.h"

// Wrong words on the command line; what() says which.
class EImportUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TImportOptions {
    std::string Port;
    std::uint32_t Baud = 19200;
    // Longest silence of the meter before the import gives up.
    double TimeoutSeconds = 30;
    // What to write, read by the same rules as convert's (input unused; deviceLabel is
    // filled in with the meter's name once it is known).
    TConvertOptions Output;
    bool Help = false;
};

extern const char* const ImportUsage;
extern const char* const ImportHelp;

// Reads the words after "import". Throws EImportUsage.
TImportOptions ParseImportOptions(const std::vector<std::string>& args);

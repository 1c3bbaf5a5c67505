#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/MeasurementTable.h"

// Wrong words on the command line; what() says which.
class EImportUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TImportOptions {
    std::string Port;
    std::uint32_t Baud = 19200;
    std::string Output;
    TTablePage Page = TTablePage::All;
    bool Header = false;
    bool DeviceDetails = false;
    std::string Separator = ".";
    // Longest silence of the meter before the import gives up.
    double TimeoutSeconds = 30;
};

// Reads the words after "import". Throws EImportUsage.
TImportOptions ParseImportOptions(const std::vector<std::string>& args);

extern const char* const ImportUsage;

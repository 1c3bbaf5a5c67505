#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "data/MeasurementTable.h"

// Wrong use of the convert command; what() says what is wrong.
class EConvertUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TOutputKind { Xls, Mxe, Text };

struct TConvertOptions {
    std::string input;  // "-" for standard input
    std::string output;
    TOutputKind outputKind = TOutputKind::Text;
    TTablePage page = TTablePage::All;
    bool header = false;
    bool device = false;
    std::string deviceLabel;  // as the device label shows it: blanks for tabs
    std::string separator = ".";
    bool help = false;
};

extern const char* const ConvertUsage;
extern const char* const ConvertHelp;

// True when path ends in ext (".mxe", ".xls"), whatever the letters' case.
bool HasExtension(const std::string& path, const std::string& ext);

// Throws EConvertUsage.
TConvertOptions ParseConvertOptions(const std::vector<std::string>& args);

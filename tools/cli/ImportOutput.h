#pragma once

#include <string>

#include "tools/cli/ImportOptions.h"

// Writes Merania to options.Output the way convert writes a dump; deviceLabel is the
// device label's text (blanks for tabs).
void WriteImportOutput(const TImportOptions& options, const std::string& deviceLabel);

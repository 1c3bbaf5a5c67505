#pragma once

#include "tools/cli/ConvertOptions.h"

// Writes Merania to options.output exactly as convert writes a parsed dump: the table of
// the chosen page with every row counted as ticked, .mxe always page all, "-" the
// clipboard text on standard output.
void WriteImportOutput(const TConvertOptions& options);

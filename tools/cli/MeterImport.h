#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "data/uMeranie.h"
#include "tools/cli/ImportOptions.h"

// Reads the meter's memory on options.Port as import does (Port, Baud and the time limits of
// options count), writing the meter's name to names once it is known, then hands the name and
// the records read to use while the stop signals are still taken. Gives 0, or 128 + signal
// when SIGINT, SIGTERM or SIGHUP ended the reading (the port closed first, a message on
// standard error naming command). Throws the reading's failures.
int ImportFromMeter(const TImportOptions& options, std::ostream& names, const std::string& command,
                    const std::function<void(const std::string& name, TMeraniaArray records)>& use);

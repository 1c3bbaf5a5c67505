#pragma once

#include <cstddef>
#include <string>

// A device dump as the meter sends it: records of cable, fiber, wavelength, value and, for
// every third record, a reference, TAB-separated, each line ended by LF CR, the whole by one
// more LF CR. The same seed gives the same dump.
std::string GenerateDeviceDump(std::size_t records, unsigned seed = 1310);

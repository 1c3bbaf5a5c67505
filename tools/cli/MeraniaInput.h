#pragma once

#include <string>

#include "data/uMeranie.h"

// The records of INPUT: a measurement file (ending in .mxe, its first line), a raw
// device dump (any other name) or, for "-", a dump on standard input. Throws what the
// reading and parsing throw; running out of memory names the input and its size.
TMeraniaArray ReadMeraniaInput(const std::string& input);

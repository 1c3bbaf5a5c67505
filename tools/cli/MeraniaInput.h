#pragma once

#include <string>

// Reads INPUT into Merania: a measurement file (ending in .mxe, its first line), a raw
// device dump (any other name) or, for "-", a dump on standard input. Throws what the
// reading and parsing throw; running out of memory names the input and its size.
void ReadMeraniaInput(const std::string& input);

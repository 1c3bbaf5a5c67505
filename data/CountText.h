#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Counts as every status line, message and report of the system writes them: digits grouped
// by threes with commas ("1,200"), whatever the locale, so that the window and the command
// line say the same.

// The count alone: "0", "999", "1,200", "1,234,567".
std::string GroupedCount(std::size_t count);

// The count and its noun, one for exactly 1 and many otherwise: "1 row", "0 rows",
// "1,200 rows".
std::string Counted(std::size_t count, std::string_view one, std::string_view many);

#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "data/uMeranie.h"

// MERIDAX_FUZZ_ITERATIONS and MERIDAX_FUZZ_SEED, or the smoke run's values.
std::uint64_t FuzzIterations(std::uint64_t smoke);
std::uint64_t FuzzSeed();

// The bytes with everything outside printable ASCII (and "\") as \xNN, for failure reports.
std::string Printable(const std::string& bytes);

// Texts equal, numbers bitwise equal (0 and -0 apart), the same IsRelative.
bool SameRecord(const TMeranie& a, const TMeranie& b);

// Saves records as the window does (the All table's MeasurementFileText written with CR LF)
// and opens the file's first line as Open does. Returns what went wrong, or an empty text
// when the same records come back and saving them again gives the same bytes, which are
// ListViewToText's when no text holds a quote, "@", "^" or a blank. A set with a TAB, line
// feed or zero byte in a text must be refused instead. Merania then holds the opened set,
// or nothing when the set was refused.
std::string SaveOpenDifference(const TMeraniaArray& records);

// A finite double, mostly where the number text changes form or the range ends: near the
// largest double and the smallest normal one, denormals, near 1E-4, 1E15 and other powers
// of ten, halfway between two 15-digit texts; else a meter reading or any bit pattern.
double EdgeDouble(std::mt19937_64& random);

#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"

// The records of INPUT: a measurement file (ending in .mxe, its first line), a raw
// device dump (any other name) or, for "-", a dump on standard input. Throws what the
// reading and parsing throw; running out of memory names the input and its size.
TMeraniaArray ReadMeraniaInput(const std::string& input);

// The table of INPUT's records on page (read as ReadMeraniaInput reads them), filled as the
// records are parsed, so that they never all exist at once: for outputs made from the table
// alone.
TMeasurementTable ReadMeraniaTable(const std::string& input, TTablePage page);

// INPUT's records (read as ReadMeraniaInput reads them) handed to take a batch at a time, in
// their order, after reserve is told an upper bound of their count: for a reader that keeps
// them in a form of its own, so that they never exist twice.
void ReadMeraniaBatches(const std::string& input, const std::function<void(std::size_t)>& reserve,
                        const std::function<void(TMeraniaArray&)>& take);

#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "data/uMeranie.h"

// The device dump parser's fast path. It reads the dump as it came (LF CR and TAB still in
// place, standing for "^" and "@") without building the rewritten text or the lists of
// pieces, and gives exactly the records of SplitDelimited + ParseMeraniaLines on the
// rewritten text. text must not contain a zero byte.
void ScanDeviceDump(std::string_view text, TMeraniaArray& target);

// The same, handing target to take whenever it holds batch records and once at the end, then
// emptying it: the records of a large dump never all exist at once. A conversion error leaves
// the failing record in target, not handed on.
void ScanDeviceDump(std::string_view text, TMeraniaArray& target, std::size_t batch,
                    const std::function<void(TMeraniaArray&)>& take);

struct TTextRange {
    std::size_t Begin = 0;
    std::size_t End = 0;
};

// The lines (between CR, LF and "^" outside quotes) whose control bytes other than TAB, CR
// and LF cut their fields: read with those bytes as blanks, as the meter's format has it,
// they give other records than with the bytes taken out. A control byte beside a record (a
// trailing ^Z, say) or inside a quoted text cuts nothing.
std::vector<TTextRange> FindSplitLines(std::string_view text);

// An upper estimate of the records in a dump, for reserving: one per line end.
std::size_t EstimateRecordCount(std::string_view text);

// Appends the record of a line's fields (fields[0..min(count, 5)) are read). The record is
// appended before the numbers are converted, so a conversion error leaves it partial.
void AppendMeranie(TMeraniaArray& target, const std::string_view* fields, std::size_t count);

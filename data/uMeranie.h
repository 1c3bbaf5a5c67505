#pragma once

#include <string>
#include <string_view>
#include <vector>

// One measurement: an absolute power reading (dBm) or a loss against a reference (dB).
struct TMeranie {
    std::string Cable;
    std::string Fiber;
    double WaveLength = 0;
    double Value = 0;
    double Reference = 0;
    bool IsRelative = false;
};

using TMeraniaArray = std::vector<TMeranie>;

// The current measurement set, replaced wholesale by every parse.
extern TMeraniaArray Merania;

// Cuts text into pieces at delimiter and at runs of blanks (0x01-0x20); quoted pieces keep
// delimiters and blanks. The text ends at its first zero byte. target is cleared first.
void SplitDelimited(char delimiter, std::string_view text, std::vector<std::string>& target);

// Appends one record built from four or more field texts. Throws EConvertError.
void AddMeranie(const std::vector<std::string>& fields);

// Appends one record per piece of four or more "@"-separated fields.
void ParseMeraniaLines(const std::vector<std::string>& lines);

// Empties Merania and fills it from a device dump or a measurement file line.
// On a conversion error Merania holds the records read so far (the failing one partial).
void ParseDeviceDump(std::string_view text);

// The same into target instead of Merania (a worker thread reads into a set of its own).
void ParseDeviceDump(std::string_view text, TMeraniaArray& target);

#pragma once

#include <cstddef>
#include <functional>
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

// Lines of a dump whose fields control bytes split ("C\x01A\x0bB\t1\x02\t1310\t-1.2\t-10"):
// read with those bytes as blanks, they would give a reading with shifted fields (cable "",
// fibre "1310"), so they give none, and the reader is told.
struct TDumpDamage {
    std::size_t Count = 0;
    std::string FirstLine;  // the first such line as it came, in the meter's 8-bit text
};

// What a reader shows of it: "1 record left out: control bytes split its fields (first:
// "C\x01A...")", in UTF-8 with the control bytes escaped; empty when nothing was left out.
std::string DumpDamageText(const TDumpDamage& damage);

// Empties Merania and fills it from a device dump or a measurement file line.
// On a conversion error Merania holds the records read so far (the failing one partial).
void ParseDeviceDump(std::string_view text);

// The same into target instead of Merania (a worker thread reads into a set of its own).
// damage, when given, gets the lines left out.
void ParseDeviceDump(std::string_view text, TMeraniaArray& target, TDumpDamage* damage = nullptr);

// The records ParseDeviceDump(text, target, damage) gives, in their order, handed to take in
// batches of at most batch records (take may keep or change them): for a reader that needs
// each record once, so that a large dump's records never all exist at once. A conversion error
// is thrown as there, the failing record not handed on.
void ParseDeviceDumpInBatches(std::string_view text, std::size_t batch,
                              const std::function<void(TMeraniaArray&)>& take,
                              TDumpDamage* damage = nullptr);

#pragma once

#include <string>

#include "data/uMeranie.h"

// The randomized checks, one input at a time and free of GoogleTest, so that the smoke run's
// generators and a libFuzzer entry point feed the same code. Each gives what went wrong
// (empty when the input passed) and how the input ended, for the generators' coverage checks.
struct TFuzzOutcome {
    std::string Failure;
    bool Accepted = false;  // read, parsed or saved
    bool Refused = false;   // rejected with the expected error
};

// The dump parser's fast path against the reference split, then Save and Open of what it
// gave. Accepted: some records came out; Refused: the parse ended with a conversion error.
TFuzzOutcome CheckParseDump(const std::string& dump);
// The dump parsed in batches of 1, 2, 3 and 4096 records, and into a table as it is parsed,
// against the whole parse (records, error, lines left out) and the table filled from it.
TFuzzOutcome CheckParseInPieces(const std::string& dump);
// SplitDelimited against the pointer walk, at "^", "@" and TAB.
TFuzzOutcome CheckSplit(const std::string& text);
// Records saved and opened come back with the same texts and numbers bit for bit.
TFuzzOutcome CheckSaveOpen(const TMeraniaArray& records);
// A finite double's text reads back to a value that prints the same.
TFuzzOutcome CheckDoubleText(double value);
// A text either reads to a finite value that round-trips through its text, or is refused
// with the conversion message.
TFuzzOutcome CheckNumberText(const std::string& text);
// A budget file either reads, writes back to the same budget and judges records, or is
// refused with a budget error that names it.
TFuzzOutcome CheckBudget(const std::string& json);

// Fuzzer bytes made into records for CheckSaveOpen (texts, numbers as Open gives them) and
// into a double for CheckDoubleText.
TMeraniaArray RecordsFromBytes(const std::string& bytes);
double DoubleFromBytes(const std::string& bytes);

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The meter's memory: one text per record, fields separated by TAB, no line end.
using TMeterRecords = std::vector<std::string>;

// count records on cables of 24 fibers measured at two wavelengths; about 40 % absolute
// (power in dBm), the rest relative (loss in dB and the reference). Same seed, same records.
TMeterRecords GenerateRecords(std::size_t count, std::uint32_t seed);

// Records of a text file: any line ends, empty lines dropped. Throws std::runtime_error.
TMeterRecords LoadRecords(const std::string& path);

// Writes the value of the middle record with a decimal comma, which the program must reject.
void SpoilOneNumber(TMeterRecords& records);

// The reply to "u": each record + LF CR, then one more LF CR.
std::string DumpReply(const TMeterRecords& records);

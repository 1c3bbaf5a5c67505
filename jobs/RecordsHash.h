#pragma once

#include <string>
#include <vector>

#include "jobs/JobTypes.h"

// What a download's readings are known by: a hash of exactly what they hold, every bit of
// every number and each reading's own direction, so that two archives that hold the same
// readings name them alike, and readings that differ in any bit never share a name. (The
// older hash of DownloadHash.h is of the measurement file's text, which rounds.)

inline constexpr const char* RecordsHashFormat = "meridax-records-2";

// The canonical text: the line "meridax-records-2", then one line per reading in the order given:
//   cable TAB fiber TAB kind TAB wavelength TAB value TAB reference TAB direction LF
// cable and fiber: the Latin-1 names as UTF-8, with backslash, TAB, LF and CR written
// \\ \t \n \r; kind: "relative" or "absolute"; wavelength, value, reference: the 16 lowercase
// hex digits of the double's bits, so that -0.0 and 0.0 differ and nothing is rounded;
// direction: the reading's own (DirectionName: "" for the download's, "a-b", "b-a").
std::string RecordsCanonicalText(const std::vector<TStoredReading>& readings);

// The SHA-256 of that text as 64 lowercase hex digits, hashed a few thousand lines at a time
// (the text of a million readings is never whole).
std::string RecordsSha256(const std::vector<TStoredReading>& readings);

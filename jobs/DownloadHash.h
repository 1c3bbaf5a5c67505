#pragma once

#include <string>
#include <vector>

#include "data/uMeranie.h"
#include "jobs/JobTypes.h"

// The SHA-256 of a download's records in their one canonical form, the Latin-1 text of a
// measurement file holding them all, as 64 lowercase hex digits. The same records give the
// same hash whether they came from the meter's memory or from a file saved from it. Throws
// EUnsavableText for records a measurement file cannot hold.
std::string DownloadSha256(const TMeraniaArray& records);

// The same of the readings' records, without a copy of them.
std::string ReadingsSha256(const std::vector<TStoredReading>& readings);

// The SHA-256 of any bytes, as 64 lowercase hex digits.
std::string Sha256Hex(const std::string& bytes);

// The download's own hash, or the one of its records when it came without one. Records a
// measurement file cannot hold are an EArchiveError (BadInput) naming jobName.
std::string DownloadHashFor(const std::string& jobName, const TDownload& download);

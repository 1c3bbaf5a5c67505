#pragma once

#include <string>
#include <vector>

#include "jobs/JobDocument.h"

// A small job of two downloads (both directions, one void, a Latin-1 cable, a logo, two
// budgets, expected fibres) for the document and import tests.
TJobDocument SampleJob();

// A download of these records with its SHA-256, number and times set.
TDownload DocumentDownload(std::int64_t number, const TMeraniaArray& records, TDirection direction,
                           const std::string& addedAt);

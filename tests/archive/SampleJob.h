#pragma once

#include <string>
#include <vector>

#include "jobs/JobDocument.h"

// A small job of two downloads (both directions, one void, a Latin-1 cable, a logo, two
// budgets, expected fibres) for the document and import tests, as a first-version document
// holds it.
TJobDocument SampleJob();

// The sample job's first-version document, as version 1 wrote it.
std::string FirstVersionSampleText();

// A download of these records with its SHA-256, number and times set.
TDownload DocumentDownload(std::int64_t number, const TMeraniaArray& records, TDirection direction,
                           const std::string& addedAt);

// A first-version document's job as the second version writes it: its events, and its
// downloads by records hash with their own directions.
std::string SecondVersionText(const TJobDocument& firstVersion);

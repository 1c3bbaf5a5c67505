#pragma once

#include "app/job/JobDialogs.h"
#include "archive/Archive.h"

// The changes a job's properties make: the texts, and the budget and logo read from their
// files. Throws std::runtime_error with the whole message for a file that cannot be read, a
// budget that is no budget, or a logo that is no PNG or SVG picture.
TJobChanges JobPropertiesChanges(const TJobProperties& properties);

#pragma once

#include <cstddef>
#include <string>

#include "jobs/JobTypes.h"
#include "support/Subprocess.h"
#include "support/Throws.h"

// A job with its identity fields filled from its name.
TJob MakeJob(const std::string& name);

// A download told apart by key (its hash is made of it): readings of cable "K<key>", fibres
// 1..readings at 1310 nm, relative, direction a-b.
TDownload MakeDownload(int key, std::size_t readings);

// "YYYY-MM-DDTHH:MM:SS.ffffffZ".
bool IsArchiveTime(const std::string& text);

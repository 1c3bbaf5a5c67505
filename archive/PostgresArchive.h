#pragma once

#include <memory>
#include <string>

#include "archive/Archive.h"

// Opens the archive in the PostgreSQL database that uri names ("postgresql://..." or
// "postgres://..."). Throws EArchiveError.
std::unique_ptr<TArchive> OpenPostgresArchive(const std::string& uri);

#pragma once

#include <string>

#include "archive/SqliteDb.h"

// Brings an archive of the first version to the second inside the caller's write transaction,
// with foreign keys off: every download known by its records hash, every job's facts and
// decisions turned into events (the same events in every archive holding the same data), and
// checked before the caller commits: a job that would read differently throws EArchiveError
// and the caller rolls back. origin is the archive's new id.
void UpgradeSqliteArchive(TSqliteConnection& connection, const std::string& path,
                          const std::string& origin);

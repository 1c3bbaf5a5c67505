#pragma once

#include <chrono>
#include <string>

#include "archive/SqliteDb.h"

// A step that brings an archive from the version before it to its own.
struct TSqliteMigration {
    int Version;
    const char* Sql;
};

// The archive's version: 0 for a database without tables (a new file). Throws EArchiveError
// NotAnArchive for a database that is not an archive (path names it in the message) and
// NewerSchema for one of a newer version; ESqliteError for anything else (SQLITE_CORRUPT or
// SQLITE_NOTADB for a damaged file).
int ArchiveSchemaVersion(TSqliteConnection& connection, const std::string& path);

// Brings the archive to the newest version in one write transaction, checking again inside
// it, since another process may have done it meanwhile. A new file is made WAL first, waiting
// up to busyTimeout for other connections to let it.
void MigrateArchive(TSqliteConnection& connection, const std::string& path,
                    std::chrono::milliseconds busyTimeout);

// The newest version the migrations reach.
int NewestArchiveVersion();

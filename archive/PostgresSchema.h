#pragma once

#include <functional>
#include <string>

#include <pqxx/connection_base>

// The version of the archive's tables this program makes and reads.
inline constexpr int PostgresSchemaVersion = 2;

// Makes the archive's tables in an empty database; concurrent openers wait for each other.
// An archive of an older version is shared by a team, so it is brought up to date only when
// upgrade is true (the command that does that), else EArchiveError NeedsUpgrade names that
// command. Throws EArchiveError NotAnArchive (a database that holds other tables) or
// NewerSchema (naming both versions); libpqxx's exceptions pass through. shown names the
// database. progress is told of each job upgraded (done, of all).
void PreparePostgresSchema(pqxx::connection_base& connection, const std::string& shown,
                           bool upgrade = false,
                           const std::function<void(std::size_t, std::size_t)>& progress = {});

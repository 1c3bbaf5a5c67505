#pragma once

#include <string>

#include <pqxx/connection_base>

// The version of the archive's tables this program makes and reads.
inline constexpr int PostgresSchemaVersion = 1;

// Makes the archive's tables in an empty database, or brings an older archive up to this
// version through the migrations in their order; concurrent openers wait for each other.
// Throws EArchiveError NotAnArchive (a database that holds other tables) or NewerSchema
// (naming both versions); libpqxx's exceptions pass through. shown names the database.
void PreparePostgresSchema(pqxx::connection_base& connection, const std::string& shown);

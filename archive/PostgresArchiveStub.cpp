#include "archive/PostgresArchive.h"

// Stands in until the PostgreSQL back end is built in.
std::unique_ptr<TArchive> OpenPostgresArchive(const std::string& /*uri*/) {
    throw EArchiveError(TArchiveErrc::ServerUnavailable, "PostgreSQL archives are not built in");
}

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "archive/Archive.h"
#include "archive/PostgresArchive.h"
#include "archive/PostgresLocation.h"
#include "archive/SqliteArchive.h"

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
            home = entry->pw_dir;
        }
    }
    return home;
}

}  // namespace

std::string ArchiveLocation(const std::string& given) {
    if (!given.empty()) {
        return given;
    }
    if (std::string chosen = Environment("MERIDAX_ARCHIVE"); !chosen.empty()) {
        return chosen;
    }
    // A relative XDG_DATA_HOME is to be ignored, as if it were not set.
    std::string dataHome = Environment("XDG_DATA_HOME");
    if (!dataHome.starts_with('/')) {
        dataHome = HomeFolder() + "/.local/share";
    }
    return dataHome + "/meridax/archive.sqlite";
}

std::unique_ptr<TArchive> OpenArchive(const std::string& location, TArchiveCreation creation) {
    if (IsPostgresLocation(location)) {
        return OpenPostgresArchive(location);
    }
    if (creation == TArchiveCreation::MustExist && !location.empty()) {
        // An empty file is no archive yet, as a missing one: SQLite would silently make it one.
        std::error_code error;
        const bool exists = std::filesystem::exists(location, error);
        if (!error && !exists) {
            throw EArchiveError(TArchiveErrc::NoArchive, "there is no archive " + location);
        }
        if (std::filesystem::is_regular_file(location, error) &&
            std::filesystem::file_size(location, error) == 0 && !error) {
            throw EArchiveError(TArchiveErrc::NoArchive,
                                "there is no archive " + location + ": the file is empty");
        }
    }
    return OpenSqliteArchive(location);
}

void TArchive::SaveCopy(const std::string& path) {
    static_cast<void>(path);
    throw EArchiveError(TArchiveErrc::BadInput,
                        "the archive " + Location() +
                            " is a database on a server: copy it with the server's own tools "
                            "(pg_dump)");
}

std::string ShownLocation(const std::string& location) {
    return IsPostgresLocation(location) ? ShownPostgresLocation(location) : location;
}

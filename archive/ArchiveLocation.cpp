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

bool IsPostgresUri(const std::string& location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

// Replaces the value of every "password=" parameter of a URI's query with "***".
std::string HideQueryPasswords(std::string uri) {
    const std::size_t query = uri.find('?');
    if (query == std::string::npos) {
        return uri;
    }
    for (std::size_t at = query; at < uri.size();) {
        const std::size_t start = at + 1;
        const std::size_t equals = uri.find('=', start);
        const std::size_t end = std::min(uri.find('&', start), uri.size());
        if (equals < end &&
            IsPasswordParameter(std::string_view(uri).substr(start, equals - start))) {
            const std::size_t valueStart = equals + 1;
            const std::size_t valueEnd = std::min(uri.find_first_of("&#", valueStart), uri.size());
            uri.replace(valueStart, valueEnd - valueStart, "***");
        }
        at = uri.find('&', start);
    }
    return uri;
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
    if (IsPostgresUri(location)) {
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
    if (!IsPostgresUri(location)) {
        return location;
    }
    // What libpq cannot read, or reads with a password's "@" taken for the host's, hides
    // the whole of what may be a password.
    try {
        SplitPostgresLocation(location);
    } catch (const EArchiveError&) {
        return HiddenPostgresLocation(location);
    }
    const std::size_t authority = location.find("://") + 3;
    const std::size_t authorityEnd =
        std::min(location.find_first_of("/?#", authority), location.size());
    const std::size_t at = location.rfind('@', authorityEnd);
    std::string shown = location;
    if (at != std::string::npos && at >= authority) {
        const std::size_t colon = location.find(':', authority);
        if (colon != std::string::npos && colon < at) {
            shown.replace(colon + 1, at - colon - 1, "***");
        }
    }
    return HideQueryPasswords(shown);
}

#include "archive/PostgresErrors.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "archive/PostgresTlsReason.h"
#include "jobs/ArchiveErrors.h"

bool IsPostgresRetryable(const pqxx::failure& failure) {
    if (dynamic_cast<const pqxx::serialization_failure*>(&failure) != nullptr ||
        dynamic_cast<const pqxx::deadlock_detected*>(&failure) != nullptr ||
        dynamic_cast<const pqxx::unique_violation*>(&failure) != nullptr) {
        return true;
    }
    const auto* sqlError = dynamic_cast<const pqxx::sql_error*>(&failure);
    return sqlError != nullptr &&
           (sqlError->sqlstate() == "40001" || sqlError->sqlstate() == "40P01" ||
            sqlError->sqlstate() == "23505");
}

std::string CleanReason(std::string_view text, const std::string& password) {
    std::string hidden(text);
    if (!password.empty()) {
        for (std::size_t at = hidden.find(password); at != std::string::npos;
             at = hidden.find(password, at + 3)) {
            hidden.replace(at, password.size(), "***");
        }
    }
    std::string clean;
    bool blank = false;
    for (const char c : hidden) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            blank = true;
            continue;
        }
        if (blank && !clean.empty()) {
            clean += ' ';
        }
        blank = false;
        clean += c;
    }
    return clean;
}

namespace {
bool IsServerGone(const std::string& sqlstate) {
    // Class 08 is a broken connection; 57P01-57P03 a server shutting down or starting.
    return sqlstate.rfind("08", 0) == 0 || sqlstate == "57P01" || sqlstate == "57P02" ||
           sqlstate == "57P03";
}

[[noreturn]] void ThrowSqlError(const pqxx::sql_error& error, const std::string& shown,
                                const std::string& reason) {
    const std::string& state = error.sqlstate();
    if (IsServerGone(state)) {
        throw EArchiveError(TArchiveErrc::ServerUnavailable,
                            "the database server of " + shown + " went away: " + reason);
    }
    if (state == "25006" || state == "42501") {
        throw EArchiveError(TArchiveErrc::ReadOnly, shown + " is open for reading only: " + reason);
    }
    throw EArchiveError(TArchiveErrc::DatabaseFailed, shown + ": " + reason);
}
[[noreturn]] void ThrowLost(const std::exception& error, const std::string& shown,
                            const std::string& password) {
    const std::string reason = CleanReason(error.what(), password);
    if (dynamic_cast<const pqxx::in_doubt_error*>(&error) != nullptr) {
        throw EArchiveError(
            TArchiveErrc::ServerUnavailable,
            "the database server of " + shown +
                " went away while saving (the change may or may not be kept): " + reason);
    }
    throw EArchiveError(TArchiveErrc::ServerUnavailable,
                        "the database server of " + shown + " went away: " + reason);
}
}  // namespace

void RethrowAsArchiveError(const std::string& shown, const std::string& password,
                           bool connectionLost) {
    try {
        throw;
    } catch (const EArchiveError&) {
        throw;
    } catch (const pqxx::broken_connection& error) {
        if (connectionLost) {
            ThrowLost(error, shown, password);
        }
        const std::string reason = CleanReason(error.what(), password);
        // The server was reached, but its certificate was refused: libpq's words say which
        // file or name, ours what that means.
        if (const std::string tls = PostgresTlsExplanation(reason); !tls.empty()) {
            throw EArchiveError(
                TArchiveErrc::ServerUnavailable,
                "cannot connect to the archive " + shown + ": " + tls + "; libpq: " + reason);
        }
        throw EArchiveError(TArchiveErrc::ServerUnavailable,
                            "cannot reach the database server of " + shown + ": " + reason);
    } catch (const pqxx::in_doubt_error& error) {
        ThrowLost(error, shown, password);
    } catch (const pqxx::sql_error& error) {
        if (connectionLost) {
            ThrowLost(error, shown, password);
        }
        ThrowSqlError(error, shown, CleanReason(error.what(), password));
    } catch (const std::exception& error) {
        if (connectionLost) {
            ThrowLost(error, shown, password);
        }
        throw EArchiveError(TArchiveErrc::DatabaseFailed,
                            shown + ": " + CleanReason(error.what(), password));
    }
}

#include "archive/PostgresErrors.h"

#include <algorithm>
#include <cctype>
#include <exception>

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

namespace {
std::string PercentDecoded(std::string_view encoded) {
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size() &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 1])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 2])) != 0) {
            decoded +=
                static_cast<char>(std::stoi(std::string(encoded.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            decoded += encoded[i];
        }
    }
    return decoded;
}

// The value of "password=" among the URI's query parameters.
std::string QueryPassword(std::string_view uri) {
    const std::size_t query = uri.find('?');
    if (query == std::string_view::npos) {
        return {};
    }
    std::string_view rest = uri.substr(query + 1);
    while (!rest.empty()) {
        const std::string_view parameter = rest.substr(0, rest.find('&'));
        if (parameter.rfind("password=", 0) == 0) {
            return PercentDecoded(parameter.substr(9));
        }
        rest.remove_prefix(std::min(rest.size(), parameter.size() + 1));
    }
    return {};
}
}  // namespace

std::string UriPassword(std::string_view uri) {
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = uri.substr(scheme + 3);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?"));
    const std::size_t at = authority.rfind('@');
    const std::size_t colon = authority.find(':');
    if (at == std::string_view::npos || colon == std::string_view::npos || colon > at) {
        return QueryPassword(uri);
    }
    return PercentDecoded(authority.substr(colon + 1, at - colon - 1));
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
        throw EArchiveError(TArchiveErrc::ServerUnavailable,
                            "cannot reach the database server of " + shown + ": " +
                                CleanReason(error.what(), password));
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

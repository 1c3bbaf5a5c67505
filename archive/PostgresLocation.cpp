#include "archive/PostgresLocation.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <vector>

#include "jobs/ArchiveErrors.h"

namespace {

std::string Decoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) != 0) {
            decoded +=
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::string Encoded(std::string_view text) {
    static const char* const Hex = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += Hex[byte >> 4];
            encoded += Hex[byte & 15];
        }
    }
    return encoded;
}

struct TUriParts {
    std::size_t AuthorityBegin = 0;  // after "://"
    std::size_t UserinfoEnd = 0;     // the authority's last "@", or AuthorityBegin without
    std::size_t QueryBegin = 0;      // the "?", or the end
};

TUriParts Parts(std::string_view uri) {
    TUriParts parts;
    const std::size_t scheme = uri.find("://");
    parts.AuthorityBegin = scheme == std::string_view::npos ? 0 : scheme + 3;
    parts.QueryBegin = std::min(uri.find('?', parts.AuthorityBegin), uri.size());
    const std::size_t at = uri.substr(0, parts.QueryBegin).rfind('@');
    parts.UserinfoEnd =
        at != std::string_view::npos && at >= parts.AuthorityBegin ? at : parts.AuthorityBegin;
    return parts;
}

// A parameter of the query: its "?" or "&" at Begin, its name up to NameEnd (its "=", or End
// without one).
struct TParameter {
    std::size_t Begin = 0;
    std::size_t NameEnd = 0;
    std::size_t End = 0;
};

std::vector<TParameter> Parameters(std::string_view uri, const TUriParts& parts) {
    std::vector<TParameter> parameters;
    for (std::size_t at = parts.QueryBegin; at < uri.size();) {
        const std::size_t end = std::min(uri.find('&', at + 1), uri.size());
        parameters.push_back({at, std::min(uri.find('=', at + 1), end), end});
        at = end;
    }
    return parameters;
}

std::string ParameterName(std::string_view uri, const TParameter& parameter) {
    return Decoded(uri.substr(parameter.Begin + 1, parameter.NameEnd - parameter.Begin - 1));
}

bool IsPassword(std::string_view uri, const TParameter& parameter) {
    return ParameterName(uri, parameter) == "password";
}

// A password or the pass phrase of the user's TLS key: never shown.
bool IsSecret(std::string_view uri, const TParameter& parameter) {
    const std::string name = ParameterName(uri, parameter);
    return name == "password" || name == "sslpassword";
}

// The query with the value of every secret parameter as "***".
std::string HiddenQuery(std::string_view uri, const TUriParts& parts) {
    std::string query;
    for (const TParameter& parameter : Parameters(uri, parts)) {
        const bool hidden = parameter.NameEnd < parameter.End && IsSecret(uri, parameter);
        query += uri.substr(parameter.Begin,
                            (hidden ? parameter.NameEnd + 1 : parameter.End) - parameter.Begin);
        query += hidden ? "***" : "";
    }
    return query;
}

// Every text of uri that may hold a password, raw and decoded, longest first.
std::vector<std::string> Secrets(std::string_view uri) {
    const TUriParts parts = Parts(uri);
    std::vector<std::string> secrets;
    const auto add = [&secrets](std::string_view secret) {
        if (!secret.empty()) {
            secrets.emplace_back(secret);
            secrets.push_back(Decoded(secret));
        }
    };
    const std::string_view userinfo =
        uri.substr(parts.AuthorityBegin, parts.UserinfoEnd - parts.AuthorityBegin);
    add(userinfo);
    if (const std::size_t colon = userinfo.find(':'); colon != std::string_view::npos)
        add(userinfo.substr(colon + 1));
    for (const TParameter& parameter : Parameters(uri, parts)) {
        if (parameter.NameEnd < parameter.End && IsSecret(uri, parameter))
            add(uri.substr(parameter.NameEnd + 1, parameter.End - parameter.NameEnd - 1));
    }
    std::sort(secrets.begin(), secrets.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return secrets;
}

// libpq's reason with the secrets hidden; a token it quotes that is part of one (a piece of
// a password it could not read) is hidden as well.
std::string Hidden(std::string text, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        for (std::size_t at = text.find(secret); at != std::string::npos;
             at = text.find(secret, at + 3))
            text.replace(at, secret.size(), "***");
    }
    for (std::size_t open = text.find('"'); open != std::string::npos;) {
        const std::size_t close = text.find('"', open + 1);
        if (close == std::string::npos)
            break;
        const std::string token = text.substr(open + 1, close - open - 1);
        const bool secret =
            !token.empty() &&
            std::any_of(secrets.begin(), secrets.end(), [&token](const std::string& s) {
                return s.find(token) != std::string::npos;
            });
        if (secret)
            text.replace(open + 1, token.size(), "***");
        open = text.find('"', open + (secret ? 5 : token.size() + 2));
    }
    return text;
}

using TOptions = std::map<std::string, std::string>;

struct TConninfoFree {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

// The options libpq reads from uri, or its reason when it cannot.
std::unique_ptr<PQconninfoOption, TConninfoFree> Parse(const std::string& uri,
                                                       std::string& reason) {
    char* error = nullptr;
    std::unique_ptr<PQconninfoOption, TConninfoFree> options(PQconninfoParse(uri.c_str(), &error));
    if (error != nullptr) {
        reason = error;
        PQfreemem(error);
    }
    return options;
}

TOptions Given(const PQconninfoOption* options) {
    TOptions given;
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        if (option->val != nullptr)
            given[option->keyword] = option->val;
    }
    return given;
}

// The user's own text without its password, when libpq reads it as the same location.
std::string WithoutPassword(const std::string& uri, const TOptions& given) {
    const TUriParts parts = Parts(uri);
    std::string stripped = uri.substr(0, parts.QueryBegin);
    const std::size_t colon = stripped.find(':', parts.AuthorityBegin);
    if (parts.UserinfoEnd > parts.AuthorityBegin && colon < parts.UserinfoEnd)
        stripped.erase(colon, parts.UserinfoEnd - colon);
    std::string query;
    for (const TParameter& parameter : Parameters(uri, parts)) {
        if (!IsPassword(uri, parameter))
            query += (query.empty() ? "?" : "&") +
                     uri.substr(parameter.Begin + 1, parameter.End - parameter.Begin - 1);
    }
    stripped += query;
    TOptions expected = given;
    expected.erase("password");
    std::string reason;
    const auto again = Parse(stripped, reason);
    if (again && Given(again.get()) == expected)
        return stripped;
    // Otherwise every option as a query parameter, which libpq reads the same way.
    std::string rebuilt = "postgresql://";
    for (const auto& [keyword, value] : expected)
        rebuilt += (rebuilt.back() == '/' ? "?" : "&") + keyword + "=" + Encoded(value);
    return rebuilt;
}

}  // namespace

std::string HiddenPostgresLocation(std::string_view uri) {
    const TUriParts parts = Parts(uri);
    std::string hidden(uri.substr(0, parts.AuthorityBegin));
    if (parts.UserinfoEnd > parts.AuthorityBegin)
        hidden += "***";
    hidden += uri.substr(parts.UserinfoEnd, parts.QueryBegin - parts.UserinfoEnd);
    return hidden + HiddenQuery(uri, parts);
}

std::string ShownPostgresLocation(const std::string& uri) {
    // What libpq cannot read, or reads with a password's "@" taken for the host's, hides
    // the whole of what may be a password.
    try {
        SplitPostgresLocation(uri);
    } catch (const EArchiveError&) {
        return HiddenPostgresLocation(uri);
    }
    const TUriParts parts = Parts(uri);
    std::string shown = uri.substr(0, parts.QueryBegin);
    const std::size_t colon = shown.find(':', parts.AuthorityBegin);
    if (parts.UserinfoEnd > parts.AuthorityBegin && colon < parts.UserinfoEnd)
        shown.replace(colon + 1, parts.UserinfoEnd - colon - 1, "***");
    return shown + HiddenQuery(uri, parts);
}

bool IsPostgresLocation(std::string_view location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

std::string StarredPostgresLocation(std::string_view uri) {
    const TUriParts parts = Parts(uri);
    std::string starred(uri);
    const auto star = [&starred](std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; ++at)
            starred[at] = '*';
    };
    // A user name alone ("ann@") holds no password, and ps may show it.
    const std::string_view userinfo =
        uri.substr(parts.AuthorityBegin, parts.UserinfoEnd - parts.AuthorityBegin);
    if (userinfo.find(':') != std::string_view::npos)
        star(parts.AuthorityBegin, parts.UserinfoEnd);
    for (const TParameter& parameter : Parameters(uri, parts)) {
        if (IsSecret(uri, parameter))
            star(parameter.NameEnd + 1, parameter.End);
    }
    return starred;
}

TPostgresLocation SplitPostgresLocation(const std::string& uri) {
    std::string reason;
    const auto options = Parse(uri, reason);
    if (!options) {
        throw EArchiveError(
            TArchiveErrc::BadInput,
            "cannot read the database location " + HiddenPostgresLocation(uri) + ": " +
                Hidden(reason.substr(0, reason.find_last_not_of('\n') + 1), Secrets(uri)));
    }
    const TOptions given = Given(options.get());
    if (const auto host = given.find("host");
        host != given.end() && host->second.find('@') != std::string::npos) {
        throw EArchiveError(TArchiveErrc::BadInput,
                            "the database location " + HiddenPostgresLocation(uri) +
                                " names a host with an @ in it: write an @ of the password "
                                "as %40");
    }
    TPostgresLocation location;
    if (const auto password = given.find("password"); password != given.end())
        location.Password = password->second;
    location.WithoutPassword = given.count("password") == 0 ? uri : WithoutPassword(uri, given);
    return location;
}

std::string PostgresLocationWithPassword(const std::string& location, const std::string& password) {
    if (password.empty())
        return location;
    return location + (location.find('?') == std::string::npos ? "?" : "&") +
           "password=" + Encoded(password);
}

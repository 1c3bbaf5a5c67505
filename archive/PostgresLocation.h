#pragma once

#include <string>
#include <string_view>

// A PostgreSQL archive's location (a postgresql:// or postgres:// URI) read by libpq's own
// parser, so that what is kept, shown and connected to is what libpq understands. A password
// stays in memory only: settings and messages get the location without it. A TLS key's pass
// phrase (sslpassword) stays in the location, which needs it, and is hidden where shown.
struct TPostgresLocation {
    std::string WithoutPassword;  // the location with no password left in it
    std::string Password;         // the password it held, as libpq reads it; "" without
};

// Throws EArchiveError(BadInput) with the location's secrets hidden (HiddenPostgresLocation,
// libpq's reason likewise): a location libpq cannot read, or a host holding "@" (an @ of the
// password not written as %40 makes the rest of it the host).
TPostgresLocation SplitPostgresLocation(const std::string& uri);

// location with password added as its query's password parameter (unchanged when empty).
std::string PostgresLocationWithPassword(const std::string& location, const std::string& password);

// A location for a message when libpq could not read it: everything between "://" and the
// authority's last "@" and the value of every password and sslpassword (a TLS key's pass
// phrase) parameter (its name percent-decoded, "pass%77ord" too) as "***".
std::string HiddenPostgresLocation(std::string_view uri);

// A location as messages and the window show it: the password of "user:password@" and the
// value of every password and sslpassword parameter as "***" (what libpq cannot read as
// HiddenPostgresLocation).
std::string ShownPostgresLocation(const std::string& uri);

// Whether location names a PostgreSQL database ("postgresql://" or "postgres://").
bool IsPostgresLocation(std::string_view location);

// uri with every character HiddenPostgresLocation hides turned into "*", of the same length,
// but for a user name without a password: for a command line overwritten in place.
std::string StarredPostgresLocation(std::string_view uri);

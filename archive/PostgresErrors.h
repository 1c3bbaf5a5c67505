#pragma once

#include <string>
#include <string_view>

#include <pqxx/except>

// What a failure that libpqxx reported means to the archive's callers.

// True for a write transaction that another one's commit ended (a unique key taken at the
// same moment, a serialization failure, a deadlock): run it again and it may well succeed.
bool IsPostgresRetryable(const pqxx::failure& failure);

// Rethrows the exception being handled as an EArchiveError: a server that cannot be reached
// or went away, or whose certificate failed the TLS check (said in a technician's words,
// then libpq's) → ServerUnavailable, a refused write → ReadOnly, anything else DatabaseFailed.
// An EArchiveError passes unchanged; with connectionLost any other failure is the server's
// going away. Messages name shown and libpq's reason, with password (the URI's, when it has
// one) replaced by "***". Call only inside a catch block.
[[noreturn]] void RethrowAsArchiveError(const std::string& shown, const std::string& password,
                                        bool connectionLost = false);

// text with every occurrence of password replaced by "***", its runs of blanks (libpq's
// line breaks and tabs included) made one space, and without blanks at its ends.
std::string CleanReason(std::string_view text, const std::string& password);

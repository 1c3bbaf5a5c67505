#pragma once

#include <cerrno>
#include <string>
#include <system_error>

// The system's text for an error code, as messages quote it: at most 255 characters, without
// trailing blanks, control characters or full stops.
std::string SystemErrorText(const std::error_code& code);

// The code for an errno value; by default the one the last failed call left.
inline std::error_code ErrnoCode(int errorNumber = errno) noexcept {
    return {errorNumber, std::generic_category()};
}

#pragma once

#include <cstddef>
#include <string>

// The largest logo a job may carry: the report prints it, and both back ends keep it in the
// job's row.
inline constexpr std::size_t MaxLogoBytes = 1024 * 1024;

// Throws EArchiveError(BadInput) naming jobName when logo is larger than MaxLogoBytes.
void CheckLogo(const std::string& jobName, const std::string& logo);

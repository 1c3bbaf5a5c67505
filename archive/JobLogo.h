#pragma once

#include <cstddef>
#include <string>

// The largest logo a job may carry: the report prints it, and both back ends keep it in the
// job's row.
inline constexpr std::size_t MaxLogoBytes = 1024 * 1024;

// Throws EArchiveError(BadInput) naming jobName when logo is larger than MaxLogoBytes, or
// when its bytes are not of its type: a "png" logo must begin with the PNG signature, an
// "svg" one must be an SVG document (a file named .png may hold anything).
void CheckLogo(const std::string& jobName, const std::string& logo, const std::string& logoType);

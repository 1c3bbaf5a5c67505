#pragma once

#include <string>

// The name as an absolute, lexically normal path, for messages; the name itself when the
// working directory cannot be known.
std::string FullPath(const std::string& name);

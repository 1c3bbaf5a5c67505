#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "sys/FileErrors.h"

// The user's message for a failed file operation on path with the system's error code:
// "File not found", "Invalid filename", "Too many open files", "File access denied" or
// "I/O error <n>".
std::string InOutMessage(const std::error_code& code, const std::string& path);

[[noreturn]] void ThrowInOutError(const std::error_code& code, const std::string& path);

// Memory ran out while reading the file path, which holds size bytes.
[[noreturn]] void ThrowOutOfMemory(const std::string& path, std::uintmax_t size);

// True when the folder that would hold path exists.
bool ParentFolderExists(const std::string& path);

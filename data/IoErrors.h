#pragma once

#include <string>

#include "data/Errors.h"

// The user's message for a failed file operation on path with the system's error number:
// "File not found", "Invalid filename", "Too many open files", "File access denied" or
// "I/O error <n>".
std::string InOutMessage(int errorCode, const std::string& path);

[[noreturn]] void ThrowInOutError(int errorCode, const std::string& path);

// True when the folder that would hold path exists.
bool ParentFolderExists(const std::string& path);

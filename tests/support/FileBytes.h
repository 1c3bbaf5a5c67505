#pragma once

#include <string>

// The whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Replaces the file's content with bytes; throws when it cannot be written.
void WriteFileBytes(const std::string& path, const std::string& bytes);

#pragma once

#include <string>
#include <string_view>

// The file's first line without its line end (LF or CR LF). Throws EInOutError.
std::string ReadTextFile(const std::string& path);

// Replaces the file with text + CR LF. The text goes to a temporary file beside the target
// first, so a failed write leaves the old file untouched. Throws EInOutError.
void WriteTextFile(const std::string& path, std::string_view text);

// Throws the EInOutError WriteTextFile would give for path, without changing the file: a
// trial that stops once the temporary file beside it is made.
void CheckTextFileWritable(const std::string& path);

// Replaces the file with text as it is, the same safe way as WriteTextFile. Throws
// EInOutError.
void WriteWholeFile(const std::string& path, std::string_view text);

// The whole file as it stands (for a raw device dump). Throws EInOutError.
std::string ReadWholeFile(const std::string& path);

#pragma once

#include <functional>
#include <string>
#include <string_view>

// Lets write produce the file under a temporary name beside path and renames it over path
// only when write returned, so a failure leaves no half-written file and an existing one
// untouched. A path that is not a regular file (a device, a pipe) is written directly.
// An existing file must be writable and not flock-ed by another program. write gets the path
// to write and the target, which its messages name.
void ReplaceFile(
    const std::string& path,
    const std::function<void(const std::string& writePath, const std::string& target)>& write);

// Writes all of text to standard output; throws EFileError with the system's reason.
void WriteStandardOutput(std::string_view text);

// Reads standard input to its end; throws EInOutError, or EOutOfMemory.
std::string ReadStandardInput();

#pragma once

#include <functional>
#include <string>
#include <system_error>

// Throws EExportError "<verb> file "<path>". <the system's reason>" with the code.
[[noreturn]] void ThrowExportError(const char* verb, const std::string& path, std::error_code code);

// Has write produce path under a temporary name beside it and renames it over path at the
// end (the shared safe replacement), so that a failed export leaves no half-written file
// and an existing one as it was. A read-only file or a folder that forbids new files is
// refused rather than written in place. write gets the path to write; its failures should
// name path, not the temporary file.
void WriteExportFile(const std::string& path,
                     const std::function<void(const std::string& writePath)>& write);

// WriteExportFile for a writer that seeks in the file it makes (a zip): a target that cannot
// seek, a pipe or a device, gets the file made in the system's temporary folder (a file
// without a name, which no end of the program can leave behind) and then copied to it,
// rather than an unfinished file.
void WriteSeekingExportFile(const std::string& path,
                            const std::function<void(const std::string& writePath)>& write);

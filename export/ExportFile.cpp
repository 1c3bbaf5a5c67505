#include "export/ExportFile.h"

#include <unistd.h>

#include <cerrno>

#include "data/FileReplacement.h"
#include "export/ExportOptions.h"

void ThrowExportError(const char* verb, const std::string& path, std::error_code code) {
    throw EExportError(std::string(verb) + " file \"" + path + "\". " + code.message(), path, code);
}

void WriteExportFile(const std::string& path,
                     const std::function<void(const std::string& writePath)>& write) {
    if (path.empty())
        ThrowExportError("Cannot create", path, std::make_error_code(std::errc::invalid_argument));
    TReplaceHooks hooks;
    hooks.fail = [&path](int errorCode, TReplaceFailure failure, const std::string&) {
        ThrowExportError(failure == TReplaceFailure::Open ? "Cannot open" : "Cannot create", path,
                         std::error_code(errorCode, std::system_category()));
    };
    hooks.vetExisting = [&path](const std::string& target) {
        if (::access(target.c_str(), W_OK) != 0)
            ThrowExportError("Cannot open", path, std::error_code(errno, std::system_category()));
        return false;
    };
    hooks.syncBeforeRename = true;
    ReplaceFileSafely(
        path, [&](const std::string& writePath, const std::string&) { write(writePath); }, hooks);
}

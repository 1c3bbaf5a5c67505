#include "export/ExportFile.h"

#include <unistd.h>

#include "sys/FileReplacement.h"
#include "sys/SystemText.h"
#include "export/ExportOptions.h"

void ThrowExportError(const char* verb, const std::string& path, std::error_code code) {
    throw EExportError(std::string(verb) + " file \"" + path + "\". " + SystemErrorText(code), path,
                       code);
}

void WriteExportFile(const std::string& path,
                     const std::function<void(const std::string& writePath)>& write) {
    if (path.empty())
        ThrowExportError("Cannot create", path, std::make_error_code(std::errc::invalid_argument));
    TReplaceHooks hooks;
    hooks.fail = [&path](const std::error_code& code, TReplaceFailure failure, const std::string&) {
        ThrowExportError(failure == TReplaceFailure::Open ? "Cannot open" : "Cannot create", path,
                         code);
    };
    hooks.vetExisting = [&path](const std::string& target) {
        if (::access(target.c_str(), W_OK) != 0)
            ThrowExportError("Cannot open", path, ErrnoCode());
        return false;
    };
    hooks.syncBeforeRename = true;
    ReplaceFileSafely(
        path, [&](const std::string& writePath, const std::string&) { write(writePath); }, hooks);
}

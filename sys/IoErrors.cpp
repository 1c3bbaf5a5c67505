#include "sys/IoErrors.h"

#include <sys/stat.h>

#include <cerrno>

#include "sys/SystemText.h"

bool ParentFolderExists(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string parent;
    if (slash == std::string::npos) {
        parent = ".";
    } else if (slash == 0) {
        parent = "/";
    } else {
        parent = path.substr(0, slash);
    }
    struct stat status {};
    return ::stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string InOutMessage(const std::error_code& code, const std::string& path) {
    // A refusal of this program's own (an archive as the output) says itself what it is.
    if (code.category() != std::generic_category() && code.category() != std::system_category())
        return SystemErrorText(code);
    switch (code.value()) {
        case ENOENT:
            // The file itself is missing only when its folder is there.
            return !path.empty() && ParentFolderExists(path) ? "File not found"
                                                             : "Invalid filename";
        case ENOTDIR:
            return "Invalid filename";
        case EMFILE:
        case ENFILE:
            return "Too many open files";
        case EACCES:
        case EPERM:
        case EROFS:
            return "File access denied";
        default:
            return "I/O error " + std::to_string(code.value());
    }
}

void ThrowInOutError(const std::error_code& code, const std::string& path) {
    throw EInOutError(InOutMessage(code, path), path, code);
}

void ThrowOutOfMemory(const std::string& path, std::uintmax_t size) {
    throw EOutOfMemory("Out of memory while reading \"" + path + "\", which holds " +
                           std::to_string(size) + " bytes",
                       path, size);
}

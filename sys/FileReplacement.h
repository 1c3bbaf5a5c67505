#pragma once

#include <functional>
#include <string>
#include <system_error>

// The step of a replacement that failed, for the caller's choice of message.
enum class TReplaceFailure {
    Open,    // the target is a folder, a loop of links, an archive of jobs (OutputRefusal), or
             // the caller's vetting refused it
    Create,  // no temporary file could be made, or it could not be renamed over the target
    Finish,  // syncing or closing the temporary file failed
};

struct TReplaceHooks {
    // Throws the caller's error for the system's error code; never returns.
    std::function<void(const std::error_code& code, TReplaceFailure failure,
                       const std::string& target)>
        fail;
    // Looks at an existing regular target before anything is created: throws to refuse it,
    // returns true to have it written in place. May be empty.
    std::function<bool(const std::string& target)> vetExisting;
    // A folder that forbids creating files still lets an existing target be written in place.
    bool writeInPlaceWhenCreateDenied = false;
    // Flushes the temporary file to disk before it takes the target's place.
    bool syncBeforeRename = false;
};

// Has write produce the file under a temporary name beside path (the file a link names, not
// the link, even when that file does not exist yet) and renames it over the target once write
// returned, so that a failure leaves no half-written file and an existing one untouched. A
// replacement keeps the old file's mode and, where allowed, its owner. A device or pipe, and a file
// whose folder lets it be written but not replaced, is written in place. write gets the path to
// write and the target, for messages.
void ReplaceFileSafely(
    const std::string& path,
    const std::function<void(const std::string& writePath, const std::string& target)>& write,
    const TReplaceHooks& hooks);

// Removes the temporary files of the replacements under way, for a stop signal's watcher that
// ends the process next; replacements that follow wait for good.
void RemovePendingTemporaryFiles() noexcept;

#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

// Why an archive refused or failed an operation. Callers decide by these codes; the
// messages are made where the error is caught.
enum class TArchiveErrc {
    NotAnArchive = 1,  // a file or database that holds no archive of this program
    NewerSchema,       // made by a newer version of the program
    ReadOnly,          // opened for reading only (a folder or server the user may not write)
    NoSuchJob,
    JobExists,
    NoSuchDownload,
    IdentityDiffers,    // an imported job whose identity fields differ (without --replace)
    BadDocument,        // an exchange document that is malformed or breaks the schema
    BadInput,           // a value the archive cannot take (a logo too large, an empty name)
    ServerUnavailable,  // the database server cannot be reached or went away
    DatabaseFailed,     // any other failure the database reported
    NoArchive,          // no archive file where one was to be opened, not made
    Damaged,            // an archive whose file failed the database's own check
    Busy,               // another program was writing the archive, and the wait was stopped
    AmbiguousDownload,  // a hash prefix that more than one download of the job begins with
    NeedsUpgrade,       // a shared archive of an older version, which only its command upgrades
};

const std::error_category& ArchiveCategory() noexcept;
std::error_code make_error_code(TArchiveErrc errc) noexcept;

template <>
struct std::is_error_code_enum<TArchiveErrc> : std::true_type {};

// A failed archive operation. what() is the user's whole message (it names the archive or
// the job and never holds a password); code() says which failure it was.
class EArchiveError : public std::runtime_error {
public:
    EArchiveError(std::error_code code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    const std::error_code& code() const noexcept { return code_; }

private:
    std::error_code code_;
};

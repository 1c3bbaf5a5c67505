#pragma once

#include <QString>
#include <string>

#include "app/job/JobDialogs.h"
#include "archive/PostgresLocation.h"  // IsPostgresLocation

// The archive the Job menu uses, kept in the user's own settings (never settings.ini) and
// never with a password: a password lives only in memory for the run.
class TJobSettings {
public:
    // fileName: an ini file of its own (the tests'); empty: the user's XDG settings.
    explicit TJobSettings(QString fileName = {});

    TArchiveChoice Stored() const;
    // Keeps the choice without its password (a password in the URI included), and remembers
    // the password for this run.
    void Store(const TArchiveChoice& choice);
    // The location to open: the choice stored, else $MERIDAX_ARCHIVE, else the default file;
    // a URI gets this run's password.
    std::string Location() const;
    bool HasPassword() const noexcept { return !password_.empty(); }
    void SetPassword(std::string password) { password_ = std::move(password); }

private:
    QString fileName_;
    std::string password_;
};

// The URI without its password, and the password it held ("" without), as libpq reads it.
// Throws EArchiveError for a URI libpq cannot read (its message hides the secrets).
std::string UriWithoutPassword(const std::string& uri, std::string* password = nullptr);
// The URI with password set (unchanged when password is empty).
std::string UriWithPassword(const std::string& uri, const std::string& password);

// Whether location is an SQLite file that is no archive yet (missing, or empty as SQLite would
// take it): opening it would make one.
bool ArchiveFileMissing(const std::string& location);

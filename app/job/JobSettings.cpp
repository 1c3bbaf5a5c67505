#include "app/job/JobSettings.h"

#include <QSettings>
#include <filesystem>
#include <memory>

#include "app/common/Latin1.h"
#include "archive/Archive.h"
#include "archive/PostgresLocation.h"

namespace {

constexpr const char* KindKey = "archive/kind";
constexpr const char* LocationKey = "archive/location";

std::unique_ptr<QSettings> OpenSettings(const QString& fileName) {
    if (fileName.isEmpty()) {
        return std::make_unique<QSettings>(QStringLiteral("meridax"), QStringLiteral("meridax"));
    }
    return std::make_unique<QSettings>(fileName, QSettings::IniFormat);
}

}  // namespace

std::string UriWithoutPassword(const std::string& uri, std::string* password) {
    if (password) {
        password->clear();
    }
    if (!IsPostgresLocation(uri)) {
        return uri;
    }
    // libpq's own reading, not a URL class's: a location Qt would call invalid (several
    // hosts, a socket folder as host, an unencoded character in the password) still loses
    // its password, and one libpq cannot read is refused with its secrets hidden.
    TPostgresLocation location = SplitPostgresLocation(uri);
    if (password) {
        *password = std::move(location.Password);
    }
    return location.WithoutPassword;
}

std::string UriWithPassword(const std::string& uri, const std::string& password) {
    if (!IsPostgresLocation(uri)) {
        return uri;
    }
    return PostgresLocationWithPassword(uri, password);
}

TJobSettings::TJobSettings(QString fileName) : fileName_(std::move(fileName)) {}

TArchiveChoice TJobSettings::Stored() const {
    const auto settings = OpenSettings(fileName_);
    TArchiveChoice choice;
    const QString kind = settings->value(QLatin1String(KindKey)).toString();
    if (kind == QLatin1String("file")) {
        choice.Kind = TArchiveChoice::TKind::File;
    } else if (kind == QLatin1String("postgresql")) {
        choice.Kind = TArchiveChoice::TKind::Postgres;
    }
    if (choice.Kind != TArchiveChoice::TKind::Default) {
        choice.Location = settings->value(QLatin1String(LocationKey)).toString().toStdString();
    }
    choice.Password = password_;
    return choice;
}

void TJobSettings::Store(const TArchiveChoice& choice) {
    std::string inUri;
    const std::string location = UriWithoutPassword(choice.Location, &inUri);
    password_ = choice.Password.empty() ? inUri : choice.Password;
    const auto settings = OpenSettings(fileName_);
    switch (choice.Kind) {
        case TArchiveChoice::TKind::Default:
            settings->remove(QLatin1String(KindKey));
            settings->remove(QLatin1String(LocationKey));
            break;
        case TArchiveChoice::TKind::File:
        case TArchiveChoice::TKind::Postgres:
            settings->setValue(QLatin1String(KindKey), choice.Kind == TArchiveChoice::TKind::File
                                                           ? QStringLiteral("file")
                                                           : QStringLiteral("postgresql"));
            settings->setValue(QLatin1String(LocationKey), Utf8(location));
            break;
    }
    settings->sync();
}

std::string TJobSettings::Location() const {
    const TArchiveChoice choice = Stored();
    if (choice.Kind == TArchiveChoice::TKind::Default || choice.Location.empty()) {
        return ArchiveLocation("");
    }
    return UriWithPassword(choice.Location, password_);
}

bool ArchiveFileMissing(const std::string& location) {
    if (IsPostgresLocation(location) || location.empty()) {
        return false;
    }
    // A file that cannot be looked at is left to the open, which tells why.
    std::error_code error;
    const auto status = std::filesystem::status(location, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return true;
    }
    return std::filesystem::is_regular_file(status) &&
           std::filesystem::file_size(location, error) == 0 && !error;
}

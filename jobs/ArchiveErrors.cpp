#include "jobs/ArchiveErrors.h"

namespace {
class TArchiveCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "meridax.archive"; }

    std::string message(int value) const override {
        switch (static_cast<TArchiveErrc>(value)) {
            case TArchiveErrc::NotAnArchive:
                return "not an archive of jobs";
            case TArchiveErrc::NewerSchema:
                return "made by a newer version";
            case TArchiveErrc::ReadOnly:
                return "open for reading only";
            case TArchiveErrc::NoSuchJob:
                return "no such job";
            case TArchiveErrc::JobExists:
                return "the job exists";
            case TArchiveErrc::NoSuchDownload:
                return "no such download";
            case TArchiveErrc::IdentityDiffers:
                return "the job's identity differs";
            case TArchiveErrc::BadDocument:
                return "not a valid job document";
            case TArchiveErrc::BadInput:
                return "a value the archive cannot take";
            case TArchiveErrc::ServerUnavailable:
                return "the database server cannot be reached";
            case TArchiveErrc::DatabaseFailed:
                return "the database failed";
            case TArchiveErrc::NoArchive:
                return "no archive";
            case TArchiveErrc::Damaged:
                return "the archive is damaged";
            case TArchiveErrc::Busy:
                return "another program is writing the archive";
            case TArchiveErrc::AmbiguousDownload:
                return "more than one download begins so";
            case TArchiveErrc::NeedsUpgrade:
                return "the archive needs to be upgraded";
        }
        return "unknown archive error";
    }
};
}  // namespace

const std::error_category& ArchiveCategory() noexcept {
    static const TArchiveCategory category;
    return category;
}

std::error_code make_error_code(TArchiveErrc errc) noexcept {
    return {static_cast<int>(errc), ArchiveCategory()};
}

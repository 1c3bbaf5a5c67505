#include "archive/JobLogo.h"

#include "archive/ArchiveErrors.h"

void CheckLogo(const std::string& jobName, const std::string& logo) {
    if (logo.size() > MaxLogoBytes) {
        throw EArchiveError(TArchiveErrc::BadInput, "the logo of job " + jobName +
                                                        " is larger than 1 MB (" +
                                                        std::to_string(logo.size()) + " bytes)");
    }
}

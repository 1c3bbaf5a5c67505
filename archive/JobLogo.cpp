#include "archive/JobLogo.h"

#include <string_view>

#include "jobs/ArchiveErrors.h"

namespace {

constexpr std::string_view PngSignature("\x89PNG\r\n\x1a\n", 8);

// An SVG document: an element named svg, where the XML declaration, comments and a doctype
// may come first.
bool LooksLikeSvg(const std::string& logo) {
    const std::size_t start = logo.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return start != std::string::npos && logo[start] == '<' &&
           logo.find("<svg", start) != std::string::npos;
}

}  // namespace

void CheckLogo(const std::string& jobName, const std::string& logo, const std::string& logoType) {
    if (logo.size() > MaxLogoBytes) {
        throw EArchiveError(TArchiveErrc::BadInput, "the logo of job " + jobName +
                                                        " is larger than 1 MB (" +
                                                        std::to_string(logo.size()) + " bytes)");
    }
    if (logo.empty())
        return;
    if (logoType == "png" && logo.compare(0, PngSignature.size(), PngSignature) != 0) {
        throw EArchiveError(TArchiveErrc::BadInput,
                            "the logo of job " + jobName +
                                " is no PNG image: its first bytes are not the PNG signature");
    }
    if (logoType == "svg" && !LooksLikeSvg(logo)) {
        throw EArchiveError(TArchiveErrc::BadInput,
                            "the logo of job " + jobName + " is no SVG image: it holds no <svg");
    }
}

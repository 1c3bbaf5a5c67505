#pragma once

#include "MeridaxVersion.h"

#include <string>

// The commit the program is built from: "109f4ef", "109f4ef+dirty" for a changed tree, or ""
// for a build outside git. Generated at every build, so that it follows the checkout.
const char* MeridaxBuildCommit();

// The version as --version shows it: "1.1 (109f4ef)", or "1.1 (built outside git)".
inline std::string MeridaxVersionAndBuild() {
    const std::string commit = MeridaxBuildCommit();
    return std::string(MERIDAX_VERSION) +
           (commit.empty() ? " (built outside git)" : " (" + commit + ")");
}

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/FileBytes.h"

namespace {

const std::string SourceDir = MERIDAX_SOURCE_DIR;

std::vector<std::string> Images(const std::string& metainfo) {
    static const std::regex Image(R"(<image[^>]*>([^<]*)</image>)");
    std::vector<std::string> images;
    for (auto at = std::sregex_iterator(metainfo.begin(), metainfo.end(), Image);
         at != std::sregex_iterator(); ++at) {
        images.push_back((*at)[1].str());
    }
    return images;
}

// A software centre shows the screenshots: each must be a picture that exists, here in the
// repository, never an address that nobody serves.
TEST(MetainfoTest, EveryScreenshotIsAPictureOfTheRepository) {
    const std::string metainfo = ReadFileBytes(SourceDir + "/packaging/meridax.metainfo.xml");
    ASSERT_NE(metainfo.find("<component type=\"desktop-application\">"), std::string::npos);
    for (const std::string& image : Images(metainfo)) {
        SCOPED_TRACE(image);
        EXPECT_EQ(image.find(".example."), std::string::npos);
        const std::string file = image.substr(image.rfind("/docs/") + 1);
        EXPECT_TRUE(std::filesystem::is_regular_file(SourceDir + "/" + file));
    }
}

TEST(MetainfoTest, ImagesAreFoundWhereverTheyStand) {
    EXPECT_EQ(Images("<screenshot><image type=\"source\">https://a/b.png</image></screenshot>"
                     "<image>docs/c.png</image>"),
              (std::vector<std::string>{"https://a/b.png", "docs/c.png"}));
    EXPECT_TRUE(Images("<screenshots/>").empty());
}

// The project is GPL-3.0-or-later: the licence's text beside the sources, and every place a
// package or a software centre reads it names the same licence.
TEST(MetainfoTest, EveryPlaceNamesTheSameOpenLicence) {
    const struct {
        const char* file;
        const char* says;
    } places[] = {
        {"/LICENSE", "GNU GENERAL PUBLIC LICENSE\n                       Version 3, 29 June 2007"},
        {"/packaging/meridax.metainfo.xml", "<project_license>GPL-3.0-or-later</project_license>"},
        {"/packaging/copyright", "Files: *\nCopyright: 2026 MERIDAX developers\nLicense: GPL-3+\n"},
        {"/packaging/copyright",
         "either version 3 of the License, or (at your option) any\n later"},
        {"/README.md", "GPL-3.0-or-later"},
    };
    for (const auto& [file, says] : places) {
        const std::string text = ReadFileBytes(SourceDir + file);
        EXPECT_NE(text.find(says), std::string::npos) << file << " does not say " << says;
        // An address that leads nowhere is worse than none.
        EXPECT_EQ(text.find("meridax.example.org"), std::string::npos) << file;
    }
}

}  // namespace

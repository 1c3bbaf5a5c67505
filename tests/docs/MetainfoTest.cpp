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

}  // namespace

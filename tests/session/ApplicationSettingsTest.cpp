#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "data/Errors.h"
#include "session/ApplicationSettings.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/Throws.h"

namespace {

namespace fs = std::filesystem;

// The three export options and the baud rate, compared at once.
struct TSettings {
    bool DeviceDetails;
    bool TableHeader;
    std::string Separator;
    std::uint32_t Baud;
    bool operator==(const TSettings&) const = default;
};

void PrintTo(const TSettings& s, std::ostream* os) {
    *os << "{" << s.DeviceDetails << ", " << s.TableHeader << ", \"" << s.Separator << "\", "
        << s.Baud << "}";
}

TSettings CurrentSettings(std::uint32_t baud) {
    return {ExportDeviceDetails, ExportTableHeader, ExportDecimalSeparator, baud};
}

// Each test runs in a fresh temporary working directory with the options at their initial
// values.
class ApplicationSettingsTest : public ::testing::Test {
protected:
    TTempWorkingDir dir_{"meridax-settings"};

    void SetUp() override {
        ExportDeviceDetails = false;
        ExportTableHeader = false;
        ExportDecimalSeparator = ".";
    }

    static void WriteRaw(const std::string& bytes) { WriteFileBytes("settings.ini", bytes); }
    static std::string ReadRaw() { return ReadFileBytes("settings.ini"); }
};

TEST_F(ApplicationSettingsTest, PathIsTheWorkingDirectoryAtTheMoment) {
    EXPECT_EQ(SettingsFilePath(), (fs::current_path() / "settings.ini").string());
    fs::create_directory("sub");
    fs::current_path("sub");
    EXPECT_EQ(SettingsFilePath(), dir_.File("sub/settings.ini"));
}

TEST_F(ApplicationSettingsTest, FirstStartWithoutAFileReportsItAndWritesTheDefaults) {
    std::uint32_t baud = 19200;
    EXPECT_THROW_MESSAGE(LoadApplicationSettings(baud), EInOutError, "File not found")
        << "a missing file must be reported";
    EXPECT_EQ(CurrentSettings(baud), (TSettings{false, false, ".", 19200}));

    SaveApplicationSettings(baud);
    EXPECT_EQ(ReadRaw(), "00.19200\r\n");
}

TEST_F(ApplicationSettingsTest, ALineIsWrittenBackAsItWasRead) {
    WriteRaw("11,9600\r\nignored second line\r\n");
    std::uint32_t baud = 19200;
    LoadApplicationSettings(baud);
    EXPECT_EQ(CurrentSettings(baud), (TSettings{true, true, ",", 9600}));

    SaveApplicationSettings(baud);
    EXPECT_EQ(ReadRaw(), "11,9600\r\n");
}

TEST_F(ApplicationSettingsTest, ABaudRateOfZeroIsWrittenAndReadBack) {
    SaveApplicationSettings(0);
    EXPECT_EQ(ReadRaw(), "00.0\r\n");
    std::uint32_t baud = 19200;
    LoadApplicationSettings(baud);
    EXPECT_EQ(baud, 0u);
}

TEST_F(ApplicationSettingsTest, AnEmptyFileKeepsEveryValue) {
    WriteRaw("");
    ExportDecimalSeparator = ",";
    std::uint32_t baud = 57600;
    EXPECT_NO_THROW(LoadApplicationSettings(baud));
    EXPECT_FALSE(ExportDeviceDetails);
    EXPECT_EQ(ExportDecimalSeparator, ",");
    EXPECT_EQ(baud, 57600u);
}

struct TLineCase {
    const char* title;
    std::string line;
    bool deviceDetails;
    bool tableHeader;
    std::string separator;
    std::uint32_t baud;
    // The boolean message, or "" when the line is taken without one.
    std::string error;
};

void PrintTo(const TLineCase& c, std::ostream* os) {
    *os << c.title;
}

class SettingsLineTest : public ApplicationSettingsTest,
                         public ::testing::WithParamInterface<TLineCase> {};

TEST_P(SettingsLineTest, SetsWhatTheLineHolds) {
    const TLineCase& c = GetParam();
    WriteRaw(c.line + "\r\n");
    std::uint32_t baud = 19200;
    if (c.error.empty()) {
        EXPECT_NO_THROW(LoadApplicationSettings(baud));
    } else {
        EXPECT_THROW_MESSAGE(LoadApplicationSettings(baud), EConvertError, c.error);
    }
    EXPECT_EQ(CurrentSettings(baud),
              (TSettings{c.deviceDetails, c.tableHeader, c.separator, c.baud}));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsLineTest,
    ::testing::Values(
        TLineCase{"DeviceDetailsCommaDefaultRate", "10,19200", true, false, ",", 19200, ""},
        TLineCase{"ThreeCharactersKeepTheRate", "01.", false, true, ".", 19200, ""},
        TLineCase{"LettersInTheRateKeepIt", "00.96a0", false, false, ".", 19200, ""},
        TLineCase{"AnyOtherDigitIsOn", "95.115200", true, true, ".", 115200, ""},
        TLineCase{"SeparatorTakenAsItIs", "00;57600", false, false, ";", 57600, ""},
        TLineCase{"LargestRate", "00.4294967295", false, false, ".", 4294967295u, ""},
        TLineCase{"RateBeyond32BitsKeepsIt", "00.4294967296", false, false, ".", 19200, ""},
        TLineCase{"NegativeRateKeepsIt", "00.-9600", false, false, ".", 19200, ""},
        TLineCase{"EmptyLine", "", false, false, ".", 19200, ""},
        TLineCase{"OneFlag", "1", true, false, ".", 19200, ""},
        TLineCase{"TwoFlags", "01", false, true, ".", 19200, ""},
        TLineCase{"FirstFlagNotADigit", "x1,9600", false, false, ".", 19200,
                  "'x' is not a valid boolean value"},
        TLineCase{"SecondFlagNotADigitKeepsTheFirst", "1T,9600", true, false, ".", 19200,
                  "'T' is not a valid boolean value"}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

struct TBaudCase {
    const char* text;
    bool valid;
    std::uint32_t value;
};

void PrintTo(const TBaudCase& c, std::ostream* os) {
    *os << "'" << c.text << "'";
}

class BaudTextTest : public ::testing::TestWithParam<TBaudCase> {};

TEST_P(BaudTextTest, AcceptsOnlyTheUnsigned32BitRange) {
    const TBaudCase& c = GetParam();
    if (c.valid) {
        EXPECT_EQ(ParseBaudText(c.text), c.value);
        return;
    }
    EXPECT_THROW_MESSAGE(ParseBaudText(c.text), EConvertError,
                         "'" + std::string(c.text) + "' is not a valid integer value");
}

INSTANTIATE_TEST_SUITE_P(Settings, BaudTextTest,
                         ::testing::Values(TBaudCase{"0", true, 0}, TBaudCase{"9600", true, 9600},
                                           TBaudCase{"4294967295", true, 4294967295u},
                                           TBaudCase{"-1", false, 0}, TBaudCase{"-19200", false, 0},
                                           TBaudCase{"4294967296", false, 0},
                                           TBaudCase{"99999999999999999999999", false, 0},
                                           TBaudCase{"", false, 0}, TBaudCase{"96OO", false, 0},
                                           TBaudCase{"1.5", false, 0}));

// A settings file with a huge baud field gives a message of bounded size.
TEST(BaudText, QuotesAtMostSixtyFourBytes) {
    const std::string digits(64, '9');
    EXPECT_THROW_MESSAGE(ParseBaudText(digits + std::string(1 << 20, '9')), EConvertError,
                         "'" + digits + "...' is not a valid integer value");
}

}  // namespace

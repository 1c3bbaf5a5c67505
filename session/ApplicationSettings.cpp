#include "session/ApplicationSettings.h"

#include <unistd.h>
#include <limits>
#include <optional>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "data/Errors.h"
#include "data/NumberText.h"
#include "sys/TextFile.h"

bool ExportDeviceDetails = false;
bool ExportTableHeader = false;
std::string ExportDecimalSeparator = ".";

namespace {

// "0" is off, any other digit on; anything else is refused like a boolean text that is
// neither a number nor a boolean name.
bool FlagFromChar(char c) {
    if (c < '0' || c > '9') {
        throw EConvertError("'" + std::string(1, c) + "' is not a valid boolean value");
    }
    return c != '0';
}

// The baud rate as the serial line takes it: 0 to 4294967295, else nothing.
std::optional<std::uint32_t> TryBaud(std::string_view text) {
    long long value = 0;
    try {
        value = TextToInteger(text);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
    if (value < 0 || value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::string SettingsFilePath() {
    std::string dir(256, '\0');
    while (::getcwd(dir.data(), dir.size()) == nullptr) {
        if (errno != ERANGE) {
            throw std::system_error(errno, std::generic_category(), "getcwd");
        }
        dir.resize(dir.size() * 2);
    }
    dir.resize(std::strlen(dir.c_str()));
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir + "settings.ini";
}

void ApplySettingsLine(std::string_view line, std::uint32_t& baud) {
    // Each value is set as soon as it is read, so a fault keeps the ones before it.
    if (line.size() >= 1) {
        ExportDeviceDetails = FlagFromChar(line[0]);
    }
    if (line.size() >= 2) {
        ExportTableHeader = FlagFromChar(line[1]);
    }
    if (line.size() >= 3) {
        ExportDecimalSeparator = std::string(1, line[2]);
        if (auto value = TryBaud(line.substr(3))) {
            baud = *value;
        }
    }
}

std::string FormatSettingsLine(std::uint32_t baud) {
    std::string line;
    line += ExportDeviceDetails ? '1' : '0';
    line += ExportTableHeader ? '1' : '0';
    line += ExportDecimalSeparator;
    line += std::to_string(baud);
    return line;
}

void LoadApplicationSettings(std::uint32_t& baud, const std::string& path) {
    ApplySettingsLine(ReadTextFile(path.empty() ? SettingsFilePath() : path), baud);
}

void SaveApplicationSettings(std::uint32_t baud, const std::string& path) {
    WriteTextFile(path.empty() ? SettingsFilePath() : path, FormatSettingsLine(baud));
}

std::uint32_t ParseBaudText(std::string_view text) {
    auto value = TryBaud(text);
    if (!value) {
        throw EConvertError(QuoteForMessage(text) + " is not a valid integer value");
    }
    return *value;
}

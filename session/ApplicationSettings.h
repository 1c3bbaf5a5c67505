#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The program-wide export options.
extern bool ExportDeviceDetails;
extern bool ExportTableHeader;
extern std::string ExportDecimalSeparator;

// settings.ini in the current working directory at the moment of the call.
std::string SettingsFilePath();

// Reads the settings file (path; empty: SettingsFilePath() at the moment) into the export
// options and baud. Throws (EInOutError, EConvertError "'%s' is not a valid boolean value")
// after applying what was read before the fault.
void LoadApplicationSettings(std::uint32_t& baud, const std::string& path = {});
// Writes the export options and baud as one line, 00.19200 with everything initial.
void SaveApplicationSettings(std::uint32_t baud, const std::string& path = {});

// The line itself, for the two above and for tests.
void ApplySettingsLine(std::string_view line, std::uint32_t& baud);
std::string FormatSettingsLine(std::uint32_t baud);

// A baud rate typed by the user: a decimal integer from 0 to 4294967295, else
// EConvertError "'%s' is not a valid integer value".
std::uint32_t ParseBaudText(std::string_view text);

#pragma once

#include <string>
#include <string_view>

#include "data/MeasurementTable.h"

// The device label's text with every run of four blanks turned back into one TAB.
std::string DeviceLineFromLabel(std::string_view labelText);

// The clipboard export: optional device line, optional caption line (each caption followed
// by a TAB), then the checked rows' measurement text, "@" -> TAB, then "^" -> CR LF.
// deviceLine is used only when exportDeviceDetails is set.
std::string BuildClipboardText(const TMeasurementTable& table, bool exportDeviceDetails,
                               std::string_view deviceLine, bool exportTableHeader);

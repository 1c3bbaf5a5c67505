#include "export/ClipboardText.h"

#include "data/MeasurementText.h"

std::string DeviceLineFromLabel(std::string_view labelText) {
    std::string line;
    line.reserve(labelText.size());
    std::size_t p = 0;
    while (p < labelText.size()) {
        if (labelText.compare(p, 4, "    ") == 0) {
            line += '\t';
            p += 4;
        } else {
            line += labelText[p++];
        }
    }
    return line;
}

std::string BuildClipboardText(const TMeasurementTable& table, bool exportDeviceDetails,
                               std::string_view deviceLine, bool exportTableHeader) {
    std::string text;
    if (exportDeviceDetails) {
        text.append(deviceLine);
        text += "\r\n";
    }
    if (exportTableHeader) {
        for (int column = 1; column < TMeasurementTable::ColumnCount; ++column) {
            text += table.Caption(column);
            text += '\t';
        }
        text += "\r\n";
    }
    text += ListViewToText(table, true);
    // "@" becomes TAB, then "^" becomes CR LF, everywhere in the text, the device and
    // header lines included.
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '@') {
            result += '\t';
        } else if (c == '^') {
            result += "\r\n";
        } else {
            result += c;
        }
    }
    return result;
}

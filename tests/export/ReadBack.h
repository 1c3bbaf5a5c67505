#pragma once

#include <string>
#include <string_view>
#include <vector>

// Runs read_back.py under the system's Python (openpyxl, csv module) and gives its lines;
// a failing reader fails the test and gives nothing.
std::vector<std::string> ReadBack(const std::vector<std::string>& args);

// The text's UTF-8 bytes as lower-case hex, "-" for an empty text (as read_back.py prints).
std::string Utf8Hex(std::string_view text);
// The double's 64 bits as 16 hex digits, most significant first.
std::string DoubleHex(double value);

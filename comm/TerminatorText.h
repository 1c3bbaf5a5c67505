#pragma once

#include <optional>
#include <string>
#include <string_view>

// Terminator texts such as "#13#10": "#" and a byte value, repeated.

struct TTerminatorParse {
    std::string Bytes;
    std::string Error;  // the message to raise, empty when the text was good
};

inline constexpr const char* IllegalTerminatorMessage =
    "Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\rexample: #13#10";
inline constexpr const char* EmptyTerminatorMessage = "Terminator string cannot be empty!";

// The first character is dropped unseen; each "#"-separated token becomes one byte (the low
// 8 bits of its number). A bad token gives CR LF and the illegal-text message; no byte at all
// gives empty bytes and the empty-text message.
TTerminatorParse ParseTerminator(std::string_view Text);

std::string FormatTerminator(std::string_view Bytes);

// The integer conversion terminator tokens use: leading blanks, a sign, then decimal digits
// or hexadecimal digits after "$" or "0x"; 32-bit range. Nothing for anything else.
std::optional<long long> ConvertInteger(std::string_view Text);

#pragma once

#include <optional>
#include <string>
#include <string_view>

// The meter's texts are 8-bit (Latin-1: byte n is character U+00n); files, terminals and the
// archive want UTF-8. One conversion each way for every layer above, so that a program linking
// several of them has one definition. Both ways are lossless for every byte string.

// Appends the 8-bit text as UTF-8.
void AppendLatin1AsUtf8(std::string_view bytes, std::string& out);
std::string Latin1ToUtf8(std::string_view bytes);

// None when the text is not well-formed UTF-8 or holds a character above U+00FF, which
// Latin-1 cannot hold.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

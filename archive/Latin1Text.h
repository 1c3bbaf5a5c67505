#pragma once

#include <optional>
#include <string>
#include <string_view>

// The meter writes Latin-1 (every byte one character); the archive keeps UTF-8. Both ways
// are lossless for every byte string.
std::string Latin1ToUtf8(std::string_view latin1);

// None when the text is not well-formed UTF-8 or holds a character above U+00FF, which
// Latin-1 cannot hold.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

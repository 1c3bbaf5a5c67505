#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/Latin1Utf8.h"

// The meter writes Latin-1 (every byte one character); the archive keeps UTF-8. Both ways
// are lossless for every byte string: Latin1ToUtf8 (data/) one way, this the other.

// None when the text is not well-formed UTF-8 or holds a character above U+00FF, which
// Latin-1 cannot hold.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

#pragma once

#include <string>
#include <string_view>

// The meter's texts are Latin-1; the archive keeps UTF-8. Every Latin-1 text survives the way
// there and back unchanged.
std::string Latin1ToUtf8(std::string_view latin1);
// A character beyond Latin-1, or a broken sequence, becomes '?'.
std::string Utf8ToLatin1(std::string_view utf8);

#pragma once

#include <optional>
#include <string>
#include <string_view>

// Base64 with the standard alphabet and "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);
// None unless text is exactly what Base64Encode makes of some bytes (so that decoding and
// encoding again gives the same text).
std::optional<std::string> Base64Decode(std::string_view text);

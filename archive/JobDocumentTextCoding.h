#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/uMeranie.h"

// The text conversions and the hash the exchange document needs.

// Each Latin-1 byte as its UTF-8 character (U+0000 to U+00FF).
std::string DocumentTextFromLatin1(std::string_view latin1);
// The reverse; none when the text is not UTF-8 or holds a character beyond U+00FF.
std::optional<std::string> Latin1FromDocumentText(std::string_view utf8);

// SHA-256 (64 lowercase hex digits) of the records' measurement-file text, their Latin-1
// bytes: the form the same records have however they came in. Throws EUnsavableText for a
// record the text cannot hold.
std::string RecordsSha256(const TMeraniaArray& records);

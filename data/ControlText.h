#pragma once

#include <string>
#include <string_view>

// A text from a meter or a document made safe to show on a terminal or in a status line: an
// ESC sequence in a name must not recolour, retitle or move the terminal. Control characters
// (C0, DEL and C1) become escapes ("\t", "\n", "\r", otherwise "\x1b" or "\u009b"), and bytes
// that are not UTF-8 "\xHH"; everything else stays as it is.
std::string EscapeControls(std::string_view utf8);

// Whether text is UTF-8: every byte above 0x7F part of a well-formed sequence.
bool IsUtf8(std::string_view text);

// The same for a text in the meter's 8-bit character set (Latin-1), in UTF-8.
std::string EscapeLatin1Controls(std::string_view latin1);

#include "data/ControlText.h"

#include <cstdio>

#include "data/Latin1Utf8.h"

namespace {

void AppendHexEscape(const char* form, unsigned code, std::string& out) {
    char escape[8];
    std::snprintf(escape, sizeof escape, form, code);
    out += escape;
}

// The length of the UTF-8 sequence that starts at text[i], or 0 when it is not one.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                               : lead >= 0xE0                 ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

}  // namespace

std::string EscapeControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\t' || c == '\n' || c == '\r') {
            out += c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\r";
            ++i;
        } else if (c < 0x80) {
            AppendHexEscape("\\x%02x", c, out);
            ++i;
        } else if (const std::size_t length = SequenceLength(utf8, i); length == 0) {
            AppendHexEscape("\\x%02x", c, out);
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // U+0080 to U+009F: the C1 controls, CSI among them.
            AppendHexEscape("\\u%04x", static_cast<unsigned char>(utf8[i + 1]), out);
            i += 2;
        } else {
            out.append(utf8.substr(i, length));
            i += length;
        }
    }
    return out;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
        } else if (const std::size_t length = SequenceLength(text, i); length > 0) {
            i += length;
        } else {
            return false;
        }
    }
    return true;
}

std::string EscapeLatin1Controls(std::string_view latin1) {
    return EscapeControls(Latin1ToUtf8(latin1));
}

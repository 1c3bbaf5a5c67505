#include "data/Latin1Utf8.h"

void AppendLatin1AsUtf8(std::string_view bytes, std::string& out) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    AppendLatin1AsUtf8(bytes, text);
    return text;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            latin1 += utf8[i];
            continue;
        }
        // Only the two-byte forms of U+0080 to U+00FF (lead bytes C2 and C3) map to Latin-1;
        // C0 and C1 would be overlong forms.
        if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= utf8.size()) {
            return std::nullopt;
        }
        const auto next = static_cast<unsigned char>(utf8[i + 1]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        latin1 += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
        ++i;
    }
    return latin1;
}

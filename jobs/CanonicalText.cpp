#include "jobs/CanonicalText.h"

void AppendEscaped(std::string_view text, bool escapeTab, std::string& out) {
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += escapeTab ? "\\t" : "\t";
                break;
            default:
                out += c;
        }
    }
}

std::string Hex16(std::uint64_t number) {
    static constexpr char HexDigits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (std::size_t i = 16; i-- > 0; number >>= 4)
        hex[i] = HexDigits[number & 0x0F];
    return hex;
}

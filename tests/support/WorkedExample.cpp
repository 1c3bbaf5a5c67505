#include "support/WorkedExample.h"

std::string HexBytes(const std::string& text) {
    std::string bytes;
    for (std::size_t p = 0; p + 1 < text.size(); p += 3) {
        bytes += static_cast<char>(std::stoi(text.substr(p, 2), nullptr, 16));
    }
    return bytes;
}

std::string HexText(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const unsigned char b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

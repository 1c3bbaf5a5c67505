#include "export/XlsxText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/Latin1Utf8.h"

namespace {

bool NeedsEscape(unsigned char byte) {
    return byte < 0x20 && byte != '\t' && byte != '\n';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_xHHHH_" starting at at.
bool EscapeLookalike(std::string_view text, std::size_t at) {
    if (text.size() - at < 7 || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_')
        return false;
    for (std::size_t digit = at + 2; digit < at + 6; ++digit) {
        if (!IsHexDigit(text[digit]))
            return false;
    }
    return true;
}

void AppendEscaped(unsigned char byte, std::string& out) {
    char code[8];
    std::snprintf(code, sizeof code, "_x%04X_", static_cast<unsigned>(byte));
    out += code;
}

void AppendControlsEscaped(std::string_view latin1, std::string& out) {
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        } else if (NeedsEscape(byte)) {
            AppendEscaped(byte, out);
        } else {
            out += c;
        }
    }
}

void AppendUtf8ControlsEscaped(std::string_view utf8, std::string& out) {
    for (const char c : utf8) {
        if (NeedsEscape(static_cast<unsigned char>(c)))
            AppendEscaped(static_cast<unsigned char>(c), out);
        else
            out += c;
    }
}

// Literal "_xHHHH_" sequences get their "_" escaped; the pieces between go through append.
void AppendCellText(std::string_view text, std::string& out,
                    void (*append)(std::string_view, std::string&)) {
    std::size_t plain = 0;
    for (std::size_t at = text.find("_x"); at != std::string_view::npos;
         at = text.find("_x", at + 1)) {
        if (!EscapeLookalike(text, at))
            continue;
        append(text.substr(plain, at - plain), out);
        out += "_x005F_";
        plain = at + 1;
    }
    append(text.substr(plain), out);
}

}  // namespace

void AppendXlsxCellText(std::string_view latin1, std::string& text) {
    AppendCellText(latin1, text, AppendControlsEscaped);
}

void AppendXlsxUtf8CellText(std::string_view utf8, std::string& text) {
    AppendCellText(utf8, text, AppendUtf8ControlsEscaped);
}

std::string XlsxCellText(std::string_view latin1) {
    std::string text;
    AppendXlsxCellText(latin1, text);
    return text;
}

std::string XlsxPropertyText(std::string_view latin1) {
    return XlsxUtf8PropertyText(Latin1ToUtf8(latin1));
}

std::string XlsxUtf8PropertyText(std::string_view utf8) {
    std::string text;
    text.reserve(utf8.size());
    for (const char c : utf8) {
        if (NeedsEscape(static_cast<unsigned char>(c)))
            text += "\uFFFD";
        else
            text += c;
    }
    return text;
}

double XlsxWritableNumber(double value) {
    // The library prints "%.16G": only values above the largest 16-digit text below the
    // largest double can round beyond it.
    if (!std::isfinite(value) || std::fabs(value) < 1.797693134862315E308)
        return value;
    for (double candidate = value;; candidate = std::nextafter(candidate, 0.0)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.16G", candidate);
        if (std::isfinite(std::strtod(text, nullptr)))
            return candidate;
    }
}

#include "comm/TerminatorText.h"

#include <cstdint>

std::optional<long long> ConvertInteger(std::string_view Text) {
    std::size_t at = 0;
    while (at < Text.size() && Text[at] == ' ') {
        ++at;
    }
    bool negative = false;
    if (at < Text.size() && (Text[at] == '+' || Text[at] == '-')) {
        negative = Text[at] == '-';
        ++at;
    }
    int base = 10;
    if (at < Text.size() && Text[at] == '$') {
        base = 16;
        ++at;
    } else if (at + 1 < Text.size() && Text[at] == '0' &&
               (Text[at + 1] == 'x' || Text[at + 1] == 'X')) {
        base = 16;
        at += 2;
    }
    if (at == Text.size()) {
        return std::nullopt;
    }
    // Decimal numbers must fit a signed 32-bit integer; hexadecimal ones may use all 32 bits.
    const std::uint64_t limit =
        base == 16 ? 0xFFFFFFFFULL : (negative ? 0x80000000ULL : 0x7FFFFFFFULL);
    std::uint64_t value = 0;
    for (; at < Text.size(); ++at) {
        const char c = Text[at];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > limit) {
            return std::nullopt;
        }
    }
    const auto number = static_cast<long long>(value);
    return negative ? -number : number;
}

TTerminatorParse ParseTerminator(std::string_view Text) {
    TTerminatorParse result;
    if (!Text.empty()) {
        Text.remove_prefix(1);
    }
    while (!Text.empty()) {
        std::string_view token = Text;
        const std::size_t hash = Text.find('#');
        if (hash != std::string_view::npos) {
            token = Text.substr(0, hash);
            Text.remove_prefix(hash + 1);
        } else {
            Text = {};
        }
        const std::optional<long long> number = ConvertInteger(token);
        if (!number) {
            result.Bytes = "\r\n";
            result.Error = IllegalTerminatorMessage;
            return result;
        }
        result.Bytes.push_back(static_cast<char>(static_cast<unsigned long long>(*number) & 0xFF));
    }
    if (result.Bytes.empty()) {
        result.Error = EmptyTerminatorMessage;
    }
    return result;
}

std::string FormatTerminator(std::string_view Bytes) {
    std::string text;
    for (const char byte : Bytes) {
        text += '#';
        text += std::to_string(static_cast<unsigned char>(byte));
    }
    return text;
}

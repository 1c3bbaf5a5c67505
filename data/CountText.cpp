#include "data/CountText.h"

std::string GroupedCount(std::size_t count) {
    const std::string digits = std::to_string(count);
    std::string text;
    text.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        // A comma before every group of three counted from the right.
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

std::string Counted(std::size_t count, std::string_view one, std::string_view many) {
    std::string text = GroupedCount(count);
    text += ' ';
    text += count == 1 ? one : many;
    return text;
}

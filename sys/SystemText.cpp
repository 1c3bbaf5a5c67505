#include "sys/SystemText.h"

#include <cstring>

std::string SystemErrorText(const std::error_code& code) {
    std::string text;
    if (code.category() == std::generic_category() || code.category() == std::system_category()) {
        char buffer[256] = {};
        // The GNU variant may return a static text instead of filling buffer.
        const char* message = ::strerror_r(code.value(), buffer, sizeof buffer);
        text = message != nullptr ? message : "";
    } else {
        text = code.message();
    }
    if (text.size() > 255)
        text.resize(255);
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.' && last != 0x7F)
            break;
        text.pop_back();
    }
    return text;
}

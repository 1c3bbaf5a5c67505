#include "comm/SystemText.h"

#include <cstring>

std::string SystemErrorText(int errorNumber) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling buffer.
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    std::string result(text != nullptr ? text : "");
    if (result.size() > 255) {
        result.resize(255);
    }
    while (!result.empty()) {
        const auto last = static_cast<unsigned char>(result.back());
        if (last > ' ' && last != '.' && last != 0x7F) {
            break;
        }
        result.pop_back();
    }
    return result;
}

#include "ReadBack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>

#include "support/Subprocess.h"

std::vector<std::string> ReadBack(const std::vector<std::string>& args) {
    std::vector<std::string> argv{MERIDAX_PYTHON, MERIDAX_READ_BACK};
    argv.insert(argv.end(), args.begin(), args.end());
    const TRunResult run = RunToEnd(argv);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    std::vector<std::string> lines;
    std::istringstream out(run.Out);
    for (std::string line; std::getline(out, line);)
        lines.push_back(line);
    return lines;
}

std::string Utf8Hex(std::string_view text) {
    if (text.empty())
        return "-";
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string DoubleHex(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
    return text;
}

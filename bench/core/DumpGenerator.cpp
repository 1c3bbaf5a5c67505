#include "bench/core/DumpGenerator.h"

#include <charconv>
#include <cstdint>

namespace {

class TRandom {
public:
    explicit TRandom(unsigned seed) : state_(seed * 2654435761u + 1) {}
    std::uint32_t Next(std::uint32_t below) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33) % below;
    }

private:
    std::uint64_t state_;
};

void AppendNumber(std::string& text, long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

// A value with two decimals as the meter prints it: -3.52, -10.00, 0.07.
void AppendHundredths(std::string& text, long hundredths) {
    if (hundredths < 0) {
        text += '-';
        hundredths = -hundredths;
    }
    AppendNumber(text, hundredths / 100);
    text += '.';
    text += static_cast<char>('0' + hundredths / 10 % 10);
    text += static_cast<char>('0' + hundredths % 10);
}

}  // namespace

std::string GenerateDeviceDump(std::size_t records, unsigned seed) {
    static const long waveLengths[] = {850, 1300, 1310, 1550, 1625};
    TRandom random(seed);
    std::string dump;
    dump.reserve(records * 26 + 2);
    for (std::size_t i = 0; i < records; ++i) {
        AppendNumber(dump, static_cast<long>(1 + i / 48 % 999));
        dump += '\t';
        AppendNumber(dump, static_cast<long>(1 + i % 48));
        dump += '\t';
        AppendNumber(dump, waveLengths[random.Next(5)]);
        dump += '\t';
        const bool relative = i % 3 == 2;
        AppendHundredths(dump, relative ? static_cast<long>(random.Next(1500))
                                        : -static_cast<long>(random.Next(4000)));
        if (relative) {
            dump += '\t';
            AppendHundredths(dump, -static_cast<long>(random.Next(2000)));
        }
        dump += "\n\r";
    }
    dump += "\n\r";
    return dump;
}

#include "tools/meter-sim/MeterDump.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// Two decimals, as the meter shows them.
std::string Hundredths(long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%ld.%02ld", value < 0 ? "-" : "", std::labs(value) / 100,
                  std::labs(value) % 100);
    return text;
}

constexpr std::size_t VerdictBlock = 20;

// The value field of a relative record, as {start, length}; length 0 for an absolute one.
std::pair<std::size_t, std::size_t> RelativeValue(const std::string& record) {
    std::size_t start = 0;
    for (int tab = 0; tab < 3; ++tab) {
        start = record.find('\t', start) + 1;
    }
    const std::size_t end = record.find('\t', start);
    return end == std::string::npos ? std::pair<std::size_t, std::size_t>{start, 0}
                                    : std::pair<std::size_t, std::size_t>{start, end - start};
}

// A short set (the default twelve) would mostly hold no high loss and no gain at all: the
// first twenty records, when they hold two relative readings or more, get one of each made
// from a normal loss, so that the demo budget shows every verdict. A set that has them already
// stays as it is; a generator of its own keeps every other record as it was.
void GiveEveryVerdict(TMeterRecords& records, std::uint32_t seed) {
    const std::size_t last = std::min(records.size(), VerdictBlock);
    std::vector<std::size_t> normal;
    bool high = false, gain = false;
    for (std::size_t index = 0; index < last; ++index) {
        const auto [start, length] = RelativeValue(records[index]);
        if (length == 0) {
            continue;
        }
        const double value = std::strtod(records[index].c_str() + start, nullptr);
        high = high || value <= -5.0;
        gain = gain || value > 0;
        if (value < 0 && value > -5.0) {
            normal.push_back(index);
        }
    }
    std::mt19937 random(seed ^ 0x5EED5EEDu);
    const auto replace = [&](std::size_t index, long hundredths) {
        const auto [start, length] = RelativeValue(records[index]);
        records[index].replace(start, length, Hundredths(hundredths));
    };
    if (!high && !normal.empty()) {
        replace(normal.front(), -(500 + static_cast<long>(random() % 401)));
        normal.erase(normal.begin());
    }
    if (!gain && !normal.empty()) {
        replace(normal.back(), 30 + static_cast<long>(random() % 31));
    }
}

}  // namespace

TMeterRecords GenerateRecords(std::size_t count, std::uint32_t seed) {
    // mt19937's raw output is the same everywhere; the standard distributions are not.
    std::mt19937 random(seed);
    auto between = [&](long low, long high) {
        return low + static_cast<long>(random() % static_cast<std::uint32_t>(high - low + 1));
    };
    TMeterRecords records;
    records.reserve(count);
    const char* wavelengths[] = {"1310", "1550"};
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t cable = index / 48 + 1;
        const std::size_t fiber = index / 2 % 24 + 1;
        std::string line = std::to_string(cable) + '\t' + std::to_string(fiber) + '\t' +
                           wavelengths[index % 2] + '\t';
        if (between(0, 9) < 4) {
            line += Hundredths(between(-3500, -150));
        } else {
            // The meter shows a loss as negative dB. One reading in twenty is a gain (a
            // reference taken too low) and one a broken splice or dirty connector, so that a
            // demo budget gives every verdict.
            const long kind = between(0, 19);
            const long loss = kind == 0   ? -between(30, 60)
                              : kind == 1 ? between(500, 900)
                                          : between(20, 400);
            line += Hundredths(-loss) + '\t' + Hundredths(between(-1200, -700));
        }
        records.push_back(std::move(line));
    }
    GiveEveryVerdict(records, seed);
    return records;
}

TMeterRecords LoadRecords(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    TMeterRecords records;
    std::string line;
    for (const char byte : text) {
        if (byte == '\n' || byte == '\r') {
            if (!line.empty()) {
                records.push_back(std::move(line));
                line.clear();
            }
        } else {
            line += byte;
        }
    }
    if (!line.empty()) {
        records.push_back(std::move(line));
    }
    return records;
}

void SpoilOneNumber(TMeterRecords& records) {
    if (records.empty()) {
        records.push_back("1\t1\t1310\t-3.52");
    }
    std::string& line = records[records.size() / 2];
    std::size_t field = 0;
    for (std::size_t at = 0; at < line.size(); ++at) {
        if (line[at] == '\t') {
            ++field;
        } else if (field == 3 && line[at] == '.') {
            line[at] = ',';
            return;
        }
    }
    line += field >= 3 ? ",5" : "\t-3,52";
}

std::string DumpReply(const TMeterRecords& records) {
    std::string reply;
    std::size_t size = 2;
    for (const std::string& record : records) {
        size += record.size() + 2;
    }
    reply.reserve(size);
    for (const std::string& record : records) {
        reply += record;
        reply += "\n\r";
    }
    reply += "\n\r";
    return reply;
}

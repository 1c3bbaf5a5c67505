#include <gtest/gtest.h>

#include <random>
#include <string>

#include "FuzzBodies.h"
#include "FuzzSupport.h"
#include "data/NumberText.h"
#include "data/uMeranie.h"

namespace {

// A cable or fiber text drawn mostly from the bytes the split treats specially. Open and
// an import give any byte but zero, TAB and LF CR in a text, and a lone LF; those three
// come rarely, to see them refused.
std::string RandomText(std::mt19937_64& random) {
    static const std::string special =
        "@^\" \r\x01\x1f\x7f"
        "a1.-\x80\xff";
    std::string text;
    for (std::uint64_t n = random() % 7; n > 0; --n) {
        const std::uint64_t pick = random() % 64;
        if (pick == 0) {
            text += "\t\n"[random() % 2];
        } else if (pick < 8) {
            text += static_cast<char>(1 + random() % 255);
        } else {
            text += special[random() % special.size()];
        }
    }
    return text;
}

// A value as Open or an import gives it: read from a number text of 15 digits or fewer.
double ReadValue(std::mt19937_64& random) {
    return TextToFloat(FloatToText(EdgeDouble(random)));
}

// Sets of random texts and edge numbers: saved and opened, every record comes back with
// the same texts and bit for bit the same numbers.
TEST(SaveOpenFuzz, RandomTextsAndEdgeNumbersComeBack) {
    const std::uint64_t seed = FuzzSeed();
    std::mt19937_64 random(seed);
    const std::uint64_t rounds = FuzzIterations(60000) / 4 + 1;
    std::size_t saved = 0;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        TMeraniaArray records;
        for (std::uint64_t n = random() % 6; n > 0; --n) {
            const bool relative = random() % 2 == 0;
            records.push_back({RandomText(random), RandomText(random), ReadValue(random),
                               ReadValue(random), relative ? ReadValue(random) : 0, relative});
        }
        const TFuzzOutcome outcome = CheckSaveOpen(records);
        ASSERT_EQ(outcome.Failure, "") << "seed " << seed << ", round " << round;
        saved += outcome.Accepted;
    }
    EXPECT_GT(saved, rounds / 2);
}

}  // namespace

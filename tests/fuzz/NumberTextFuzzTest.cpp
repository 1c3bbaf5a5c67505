#include <gtest/gtest.h>

#include <random>
#include <string>

#include "FuzzBodies.h"
#include "FuzzSupport.h"
#include "data/NumberText.h"

namespace {

// Any finite double's text reads back without error to a value that prints to the same
// text and reads back to itself. It moves by at most half a unit of the text's 15th digit
// and the half unit in the last place of reading that text (for a denormal, half the
// spacing of denormals).
TEST(NumberTextFuzz, DoublesNearTheEdgesReadBackFromTheirText) {
    const std::uint64_t seed = FuzzSeed();
    std::mt19937_64 random(seed);
    const std::uint64_t iterations = FuzzIterations(60000);
    for (std::uint64_t i = 0; i < iterations; ++i) {
        const double value = EdgeDouble(random);
        ASSERT_EQ(CheckDoubleText(value).Failure, "") << "seed " << seed << ", case " << i;
    }
}

// Texts in the grammar around the ends of the range, with up to 20 digits: each either
// reads to a finite value whose text reads back to a value that prints to that text and
// reads back to itself, or is refused with the conversion message.
TEST(NumberTextFuzz, TextsAroundTheRangeEndsReadOrAreRefused) {
    const std::uint64_t seed = FuzzSeed();
    std::mt19937_64 random(seed);
    const std::uint64_t iterations = FuzzIterations(60000);
    static const char* const leads[] = {"1.79769313486232",
                                        "1.7976931348623157",
                                        "2.2250738585072",
                                        "4.94065645841247",
                                        "2.4703282292062327",
                                        "9.99999999999999",
                                        "1",
                                        "0.0000"};
    static const int exponents[] = {308, 309, 307, -307, -308, -323, -324, -325, 14, 15, -5};
    std::size_t read = 0;
    for (std::uint64_t i = 0; i < iterations; ++i) {
        std::string text = random() % 2 == 0 ? "-" : "";
        text += leads[random() % 8];
        for (std::uint64_t n = random() % 4; n > 0; --n)
            text += static_cast<char>('0' + random() % 10);
        text += "E" + std::to_string(exponents[random() % 11]);
        const TFuzzOutcome outcome = CheckNumberText(text);
        ASSERT_EQ(outcome.Failure, "") << "seed " << seed << ", case " << i;
        read += outcome.Accepted;
    }
    // Most of them are in range; the comparison must see both outcomes.
    EXPECT_GT(read, iterations / 2);
    EXPECT_LT(read, iterations);
}

}  // namespace

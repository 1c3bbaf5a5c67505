#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "FuzzSupport.h"
#include "data/Errors.h"
#include "data/NumberText.h"

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

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
        const std::string text = FloatToText(value);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", case " + std::to_string(i) + ": " + text);
        ASSERT_LE(text.size(), 22u);
        double back = 0;
        ASSERT_NO_THROW(back = TextToFloat(text));
        ASSERT_EQ(FloatToText(back), text);
        ASSERT_TRUE(SameBits(TextToFloat(FloatToText(back)), back));
        constexpr double Rounding = 5e-15 + std::numeric_limits<double>::epsilon() / 2;
        ASSERT_LE(std::fabs(back - value),
                  Rounding * 1.0001 * std::fabs(value) + std::numeric_limits<double>::denorm_min());
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
        double value = 0;
        try {
            value = TextToFloat(text);
        } catch (const EConvertError& error) {
            ASSERT_EQ(std::string(error.what()),
                      "'" + text + "' is not a valid floating point value");
            continue;
        }
        ++read;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", case " + std::to_string(i) + ": " + text);
        ASSERT_TRUE(std::isfinite(value));
        double back = 0;
        ASSERT_NO_THROW(back = TextToFloat(FloatToText(value)));
        ASSERT_EQ(FloatToText(back), FloatToText(value));
        ASSERT_TRUE(SameBits(TextToFloat(FloatToText(back)), back));
    }
    // Most of them are in range; the comparison must see both outcomes.
    EXPECT_GT(read, iterations / 2);
    EXPECT_LT(read, iterations);
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "data/Errors.h"
#include "data/NumberText.h"
#include "support/Throws.h"

namespace {

struct TParseCase {
    const char* text;
    double value;
};

class TextToFloatAccepts : public testing::TestWithParam<TParseCase> {};

TEST_P(TextToFloatAccepts, GivesTheValue) {
    EXPECT_EQ(TextToFloat(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, TextToFloatAccepts,
    testing::Values(TParseCase{"1310", 1310}, TParseCase{"-3.52", -3.52}, TParseCase{"-10.00", -10},
                    TParseCase{"+1.5", 1.5}, TParseCase{"5.", 5}, TParseCase{".5", 0.5},
                    TParseCase{"-.25", -0.25}, TParseCase{"1E3", 1000}, TParseCase{"1e3", 1000},
                    TParseCase{"2.5E+2", 250}, TParseCase{"2.5e-2", 0.025}, TParseCase{"007", 7},
                    TParseCase{"0.000001", 1e-6},
                    TParseCase{"1.7976931348623157E308", 1.7976931348623157e308},
                    // The largest double as FloatToText writes it lies just above it.
                    TParseCase{"1.79769313486232E308", 1.7976931348623157e308},
                    TParseCase{"-1.79769313486232E308", -1.7976931348623157e308},
                    TParseCase{"179769313486232000E291", 1.7976931348623157e308},
                    TParseCase{"0.0179769313486232e310", 1.7976931348623157e308},
                    // Too small to be told from zero is zero, the nearest double.
                    TParseCase{"1E-400", 0.0}, TParseCase{"0E999999", 0.0}));

class TextToFloatRejects : public testing::TestWithParam<const char*> {};

TEST_P(TextToFloatRejects, WithTheConversionMessage) {
    const std::string text = GetParam();
    EXPECT_THROW_MESSAGE(TextToFloat(text), EConvertError,
                         "'" + text + "' is not a valid floating point value");
}

INSTANTIATE_TEST_SUITE_P(Grammar, TextToFloatRejects,
                         testing::Values("", "-3,52", "1,5", "1310nm", "1 310", " 1", "1 ",
                                         "1.000,5", "+", "-", ".", "E5", "1E", "1E+", "1e-", "++1",
                                         "+-1", "--1", "1.2.3", "inf", "-INF", "nan", "NAN", "0x1A",
                                         "1e5.5", "1E400", "-1E400", "1.7976931348623159E308",
                                         "1.79769313486233E308", "-1.7976931348624E308",
                                         "1.797693134862321E308", "1.8E308",
                                         "1E99999999999999999999"));

struct TFormatCase {
    double value;
    const char* text;
};

class FloatToTextFormats : public testing::TestWithParam<TFormatCase> {};

TEST_P(FloatToTextFormats, InTheGeneralForm) {
    EXPECT_EQ(FloatToText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FloatToTextFormats,
    testing::Values(TFormatCase{1310, "1310"}, TFormatCase{-3.52, "-3.52"}, TFormatCase{-10, "-10"},
                    TFormatCase{-3.5, "-3.5"}, TFormatCase{-23.45, "-23.45"},
                    TFormatCase{0.000001, "1E-6"}, TFormatCase{0.00005, "5E-5"},
                    TFormatCase{0.0001, "0.0001"}, TFormatCase{1.5e20, "1.5E20"},
                    TFormatCase{0, "0"}, TFormatCase{-0.0, "0"}, TFormatCase{0.1 + 0.2, "0.3"},
                    TFormatCase{1e15, "1E15"}, TFormatCase{999999999999999, "999999999999999"},
                    TFormatCase{123456789012345.6, "123456789012346"},
                    TFormatCase{0.00012345, "0.00012345"}, TFormatCase{-1.25e-7, "-1.25E-7"},
                    TFormatCase{1e100, "1E100"}, TFormatCase{1.0 / 3, "0.333333333333333"},
                    TFormatCase{2.0 / 3, "0.666666666666667"},
                    TFormatCase{9.9999999999999999e14, "1E15"},
                    TFormatCase{1.7976931348623157e308, "1.79769313486232E308"},
                    TFormatCase{4.9406564584124654e-324, "4.94065645841247E-324"},
                    TFormatCase{100, "100"}, TFormatCase{0.5, "0.5"}));

TEST(FloatToText, TextsOfFifteenDigitsReadBackAndPrintToThemselves) {
    std::mt19937_64 random(1310);
    std::uniform_int_distribution<int> digitCount(1, 15);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 20000; ++i) {
        // A canonical text: first digit not 0, no trailing zero.
        std::string digits(1, static_cast<char>('1' + digit(random) % 9));
        const int count = digitCount(random);
        for (int d = 1; d < count; ++d)
            digits += static_cast<char>('0' + digit(random));
        while (digits.size() > 1 && digits.back() == '0')
            digits.pop_back();
        const std::string scientific = (i % 2 ? "-" : "") + digits.substr(0, 1) +
                                       (digits.size() > 1 ? "." + digits.substr(1) : "") + "E" +
                                       std::to_string(exponent(random));
        const std::string text = FloatToText(TextToFloat(scientific));
        EXPECT_EQ(FloatToText(TextToFloat(text)), text) << scientific;
        EXPECT_EQ(TextToFloat(text), TextToFloat(scientific)) << scientific << " -> " << text;
    }
}

TEST(FloatToText, AnyDoubleRoundsToFifteenDigitsStably) {
    std::mt19937_64 random(42);
    for (int i = 0; i < 20000; ++i) {
        double value;
        const std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            continue;
        const std::string text = FloatToText(value);
        const double back = TextToFloat(text);
        // 15 significant digits: relative error at most half a unit in the 15th digit.
        if (value != 0 && std::fabs(value) > 1e-300) {
            EXPECT_LE(std::fabs(back - value) / std::fabs(value), 5.0001e-15) << text;
        }
        EXPECT_EQ(FloatToText(back), text);
    }
}

// The C library's %.15g (the tests run in the "C" locale) rewritten to upper-case E and
// an exponent without "+" and leading zeros: an independent statement of the same rule.
std::string Oracle(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text = buffer;
    if (text == "-0")
        return "0";
    const std::size_t e = text.find('e');
    if (e == std::string::npos)
        return text;
    std::string exponent = text.substr(e + 1);
    const bool negative = exponent[0] == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    return text.substr(0, e) + "E" + (negative ? "-" : "") + exponent;
}

TEST(FloatToText, AgreesWithTheCLibrarysRounding) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        double value;
        switch (i % 4) {
            case 0: {
                const std::uint64_t bits = random();
                std::memcpy(&value, &bits, sizeof value);
                if (!std::isfinite(value))
                    continue;
                break;
            }
            case 1:  // meter-like values with two decimals
                value = static_cast<double>(static_cast<std::int64_t>(random() % 400000) - 200000) /
                        100;
                break;
            case 2:  // a few decimals at any scale of the fixed range
                value = static_cast<double>(random() % 100000000) /
                        std::pow(10.0, static_cast<double>(random() % 16));
                break;
            default:
                value = std::ldexp(static_cast<double>(random() % (1ull << 53)),
                                   static_cast<int>(random() % 120) - 100);
                break;
        }
        ASSERT_EQ(FloatToText(value), Oracle(value)) << std::hexfloat << value;
    }
}

TEST(TextToFloat, TheLargestDoublesTextReadsBack) {
    for (const double value : {std::numeric_limits<double>::max(),
                               std::nextafter(std::numeric_limits<double>::max(), 0.0),
                               -std::numeric_limits<double>::max()}) {
        const std::string text = FloatToText(value);
        EXPECT_EQ(TextToFloat(text), std::copysign(std::numeric_limits<double>::max(), value))
            << text;
    }
}

// Long texts are cut to their first 64 bytes and "..." inside the quotes; 64 bytes or
// fewer are quoted whole.
TEST(TextToFloat, QuotesAtMostSixtyFourBytesOfALongText) {
    const std::string head(64, '7');
    const std::string sixtyFour = head.substr(1) + ",";
    for (const auto& one : std::vector<std::pair<std::string, std::string>>{
             {head + ",", head + "..."},
             {head + std::string(1 << 20, ','), head + "..."},
             {sixtyFour, sixtyFour}}) {
        // Named references: clang 14 lets no lambda capture a structured binding.
        const std::string& text = one.first;
        const std::string& quoted = one.second;
        EXPECT_THROW_MESSAGE(TextToFloat(text), EConvertError,
                             "'" + quoted + "' is not a valid floating point value")
            << text.substr(0, 80);
    }
    EXPECT_THROW_MESSAGE(TextToInteger(head + "x"), EConvertError,
                         "'" + head + "...' is not a valid integer value");
}

TEST(TextToInteger, AcceptsDecimalsAndNamesTheBadText) {
    EXPECT_EQ(TextToInteger("19200"), 19200);
    EXPECT_EQ(TextToInteger("-7"), -7);
    EXPECT_EQ(TextToInteger("+9600"), 9600);
    for (const char* bad : {"", "12a", "1.5", " 1", "+-1", "-", "99999999999999999999"}) {
        EXPECT_THROW_MESSAGE(TextToInteger(bad), EConvertError,
                             "'" + std::string(bad) + "' is not a valid integer value")
            << "'" << bad << "'";
    }
}

}  // namespace

namespace {

// Rounded on the decimal value a spreadsheet shows, half away from zero: printf's "%.2f"
// gives 1.81, 0.12 and 9.99 for the first three, the doubles just below the decimals.
TEST(FixedText, RoundsTheDecimalValueAsAWorkbookShowsIt) {
    const struct {
        double Value;
        int Decimals;
        const char* Text;
    } cases[] = {{1.815, 2, "1.82"},        {0.125, 2, "0.13"},
                 {9.995, 2, "10.00"},       {0.42 * 0.5 + 0.47 * 0.5, 2, "0.45"},
                 {1.815, 3, "1.815"},       {2.6, 3, "2.600"},
                 {-0.0049, 3, "-0.005"},    {-0.001, 2, "0.00"},
                 {-0.0, 2, "0.00"},         {-2.5, 0, "-3"},
                 {999.9996, 3, "1000.000"}, {1e20, 1, "100000000000000000000.0"},
                 {5e-324, 2, "0.00"},       {-std::numeric_limits<double>::infinity(), 2, "-inf"}};
    for (const auto& one : cases)
        EXPECT_EQ(FixedText(one.Value, one.Decimals), one.Text) << one.Value;
    const struct {
        double Value;
        int Decimals;
    } needed[] = {{2.6, 2}, {1.815, 3}, {1.8155, 3}, {0.0005, 3}, {0.0004, 2}, {12.0, 2}};
    for (const auto& one : needed)
        EXPECT_EQ(DecimalsNeeded(one.Value, 2, 3), one.Decimals) << one.Value;
}

}  // namespace

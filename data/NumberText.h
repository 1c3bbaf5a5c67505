#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Number texts always use "." whatever the locale.

// [+|-]digits[.digits][(E|e)[+|-]digits]; anything else, or a value beyond the range of a
// double, throws EConvertError "'<text>' is not a valid floating point value". The 15-digit
// text of the largest double, 1.79769313486232E308, reads as the largest double.
double TextToFloat(std::string_view text);

// General form, at most 15 significant digits: 1310, -3.52, 5E-5, 1.5E20, 0.
std::string FloatToText(double value);

// The longest text FormatFloat writes, as in -2.22507385850720E-308, with room to spare.
constexpr std::size_t MaxFloatText = 32;

// FloatToText into out (at least MaxFloatText bytes) without allocating; returns the size.
std::size_t FormatFloat(double value, char* out);

// The value with decimals (0 or more), rounded half away from zero on its decimal value: the
// 15 significant digits a spreadsheet shows of it, so that a text and a workbook cell of the
// same number format read alike (1.815 gives "1.82", where printf rounds the double just below
// 1.815 to "1.81"). "." as the separator; "-" only where the rounded figure is not zero.
// A value that is no finite number reads as printf writes it ("inf", "nan").
std::string FixedText(double value, int decimals);

// The decimals, from least to most, that value needs to read as its decimal value rounded to
// most: 2.6 needs 2 of 2 to 3 ("2.60"), 1.815 3, 1.8155 3 ("1.816").
int DecimalsNeeded(double value, int least, int most);

// A text as messages quote it: 'text', or its first 64 bytes and "..." inside the quotes
// when longer, so a huge field does not make a huge message.
std::string QuoteForMessage(std::string_view text);

// Decimal integer with an optional sign; throws EConvertError
// "'<text>' is not a valid integer value".
long long TextToInteger(std::string_view text);

#include "data/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "data/Errors.h"

namespace {

[[noreturn]] void ThrowNotAFloat(std::string_view text) {
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// What the grammar scan learnt about a valid number text, enough to tell an overflow from
// an underflow when the conversion reports a value out of range.
struct TNumberShape {
    bool negative = false;
    bool allZero = true;
    // Decimal exponent of the first non-zero mantissa digit, without the written exponent.
    long long leadExponent = 0;
    long long writtenExponent = 0;
};

// [+|-]digits[.digits][(E|e)[+|-]digits] with at least one mantissa digit ("5." and ".5"
// are numbers, "." and "1E" are not). std::from_chars alone would also take "inf", "nan"
// and reject a leading "+", so the grammar is checked here first.
bool ScanNumber(std::string_view text, TNumberShape& shape) {
    std::size_t p = 0;
    const std::size_t n = text.size();
    if (p < n && (text[p] == '+' || text[p] == '-')) {
        shape.negative = text[p] == '-';
        ++p;
    }
    std::size_t digits = 0;
    long long position = 0;  // digits seen before the decimal point, counted from the left
    bool leadFound = false;
    while (p < n && IsDigit(text[p])) {
        if (!leadFound && text[p] != '0') {
            leadFound = true;
            position = 0;
        }
        if (leadFound)
            ++position;
        ++digits;
        ++p;
    }
    if (leadFound)
        shape.leadExponent = position - 1;
    if (p < n && text[p] == '.') {
        ++p;
        long long fractionIndex = 0;
        while (p < n && IsDigit(text[p])) {
            ++fractionIndex;
            if (!leadFound && text[p] != '0') {
                leadFound = true;
                shape.leadExponent = -fractionIndex;
            }
            ++digits;
            ++p;
        }
    }
    if (digits == 0)
        return false;
    shape.allZero = !leadFound;
    if (p < n && (text[p] == 'E' || text[p] == 'e')) {
        ++p;
        bool negativeExponent = false;
        if (p < n && (text[p] == '+' || text[p] == '-')) {
            negativeExponent = text[p] == '-';
            ++p;
        }
        if (p == n)
            return false;
        long long exponent = 0;
        while (p < n && IsDigit(text[p])) {
            // Clamped: anything this large is out of range either way.
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (text[p] - '0');
            ++p;
        }
        shape.writtenExponent = negativeExponent ? -exponent : exponent;
    }
    return p == n;
}

}  // namespace

double TextToFloat(std::string_view text) {
    TNumberShape shape;
    if (!ScanNumber(text, shape))
        ThrowNotAFloat(text);
    std::string_view body = text;
    if (!body.empty() && body.front() == '+')
        body.remove_prefix(1);
    double value = 0;
    const auto [end, error] =
        std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero, as the nearest double; too large has no
        // double at all and must not become infinity.
        if (!shape.allZero && shape.leadExponent + shape.writtenExponent < 0) {
            return shape.negative ? -0.0 : 0.0;
        }
        ThrowNotAFloat(text);
    }
    if (error != std::errc() || end != body.data() + body.size())
        ThrowNotAFloat(text);
    return value;
}

namespace {

// Lays out a decimal mantissa (1 to 15 digits, no trailing zero) with the decimal exponent
// of its first digit in the general form.
std::string LayOut(bool negative, std::string_view digits, int exponent) {
    std::string out;
    out.reserve(24);
    if (negative)
        out += '-';
    const int count = static_cast<int>(digits.size());
    if (exponent < -4 || exponent >= 15) {
        out += digits[0];
        if (count > 1) {
            out += '.';
            out.append(digits.substr(1));
        }
        out += 'E';
        char buffer[8];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, exponent);
        out.append(buffer, result.ptr);
    } else if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits);
    } else if (count <= exponent + 1) {
        out.append(digits);
        out.append(static_cast<std::size_t>(exponent + 1 - count), '0');
    } else {
        out.append(digits.substr(0, static_cast<std::size_t>(exponent + 1)));
        out += '.';
        out.append(digits.substr(static_cast<std::size_t>(exponent + 1)));
    }
    return out;
}

// Splits to_chars' scientific text "d.ddde-XX" into its digits and exponent.
int SplitScientific(const char* begin, const char* end, std::string& digits) {
    digits.clear();
    const char* p = begin;
    for (; p != end && *p != 'e'; ++p) {
        if (IsDigit(*p))
            digits += *p;
    }
    int exponent = 0;
    if (p != end) {
        ++p;
        if (*p == '+')
            ++p;
        std::from_chars(p, end, exponent);
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    return exponent;
}

}  // namespace

std::string FloatToText(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    char buffer[40];
    // The shortest text that reads back to a normal double is the double rounded to 15
    // digits whenever it has 15 digits or fewer; only longer ones need the rounding itself,
    // which is several times slower.
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    std::string digits;
    int exponent = SplitScientific(buffer, result.ptr, digits);
    // Below the normal range a double has fewer bits than 15 digits need, so its shortest
    // text says less than the 15-digit rounding.
    if (digits.size() > 15 || magnitude < std::numeric_limits<double>::min()) {
        result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                               std::chars_format::scientific, 14);
        exponent = SplitScientific(buffer, result.ptr, digits);
    }
    return LayOut(negative, digits, exponent);
}

long long TextToInteger(std::string_view text) {
    std::string_view body = text;
    if (!body.empty() && body.front() == '+')
        body.remove_prefix(1);
    long long value = 0;
    const bool doubleSign = body.size() != text.size() && !body.empty() && body.front() == '-';
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (body.empty() || doubleSign || error != std::errc() || end != body.data() + body.size()) {
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    }
    return value;
}

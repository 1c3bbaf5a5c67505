#include "data/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

#include "data/Errors.h"

namespace {

[[noreturn]] void ThrowNotAFloat(std::string_view text) {
    throw EConvertError(QuoteForMessage(text) + " is not a valid floating point value");
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
    // Significant digits up to the last non-zero one, and the first 15 of them as a
    // 15-digit integer (zeros appended to shorter ones).
    int significantDigits = 0;
    std::uint64_t leadDigits = 0;
};

// Counts the significant digits of a mantissa as the grammar scan meets them.
class TSignificantDigits {
public:
    void Add(char digit) {
        if (count_ == 0 && digit == '0')
            return;
        ++count_;
        if (count_ <= 15)
            lead_ = lead_ * 10 + static_cast<std::uint64_t>(digit - '0');
        if (digit != '0')
            lastNonZero_ = count_;
    }
    void Store(TNumberShape& shape) const {
        shape.significantDigits = lastNonZero_;
        std::uint64_t lead = lead_;
        for (int i = count_; i < 15; ++i)
            lead *= 10;
        shape.leadDigits = lead;
    }

private:
    int count_ = 0;
    int lastNonZero_ = 0;
    std::uint64_t lead_ = 0;
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
    TSignificantDigits significant;
    long long position = 0;  // digits seen before the decimal point, counted from the left
    bool leadFound = false;
    while (p < n && IsDigit(text[p])) {
        if (!leadFound && text[p] != '0') {
            leadFound = true;
            position = 0;
        }
        if (leadFound)
            ++position;
        significant.Add(text[p]);
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
            significant.Add(text[p]);
            ++digits;
            ++p;
        }
    }
    if (digits == 0)
        return false;
    shape.allZero = !leadFound;
    significant.Store(shape);
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

// The largest double, 1.7976931348623157E308, rounded to 15 digits is 1.79769313486232E308,
// just above it: what FloatToText writes for it. A text of at most 15 significant digits
// that lies above the largest double by less than half a unit of its 15th digit is that
// rounding, and reads back as the largest double instead of overflowing.
bool IsLargestDoubleRounded(const TNumberShape& shape) {
    constexpr std::uint64_t RoundedLargest = 179769313486232;
    return shape.significantDigits <= 15 && shape.leadExponent + shape.writtenExponent == 308 &&
           shape.leadDigits <= RoundedLargest;
}

}  // namespace

std::string QuoteForMessage(std::string_view text) {
    constexpr std::size_t MostQuoted = 64;
    if (text.size() <= MostQuoted)
        return "'" + std::string(text) + "'";
    return "'" + std::string(text.substr(0, MostQuoted)) + "...'";
}

namespace {

constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common short number without exponent: up to 15 digits make an exact integer and
// every power of ten up to 1E22 is exact, so one division is correctly rounded, the same
// value std::from_chars gives. Returns false for anything else.
bool TryShortDecimal(std::string_view text, double& value) {
    std::size_t p = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (p < n && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    while (p < n && IsDigit(text[p])) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[p++] - '0');
        ++digits;
    }
    if (p < n && text[p] == '.') {
        ++p;
        while (p < n && IsDigit(text[p])) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[p++] - '0');
            ++digits;
            ++fraction;
        }
    }
    if (p != n || digits == 0 || digits > 15)
        return false;
    const double magnitude = static_cast<double>(mantissa) / PowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

double TextToFloat(std::string_view text) {
    if (double value; TryShortDecimal(text, value))
        return value;
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
        if (IsLargestDoubleRounded(shape)) {
            constexpr double largest = std::numeric_limits<double>::max();
            return shape.negative ? -largest : largest;
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

namespace {

// A value in the fixed range whose 15-digit rounding has few decimals (1310, -3.52, 0.25).
// A text of at most 15 significant digits that reads back to a normal double is that
// double rounded to 15 digits (it lies within half a unit of the last bit, closer than half
// a unit of the 15th digit), so the first scale whose integer reads back exactly gives the
// rounding; its trailing zeros then go. Each try covers all shorter decimal counts too.
// Returns 0 when none is found.
std::size_t TryFixedDecimals(double magnitude, bool negative, char* out) {
    constexpr double Limit = 1e15;  // at most 15 significant digits
    for (const int tried : {2, 5, 8}) {
        const double scaled = magnitude * PowersOfTen[tried];
        if (scaled >= Limit)
            return 0;
        // Adding and taking away 2^52 rounds to the nearest integer below 2^52 in the
        // default rounding mode, without the call std::nearbyint makes on plain x86-64.
        constexpr double TwoTo52 = 4503599627370496.0;
        const double rounded = (scaled + TwoTo52) - TwoTo52;
        if (rounded / PowersOfTen[tried] != magnitude)
            continue;
        auto whole = static_cast<std::uint64_t>(rounded);
        std::size_t decimals = static_cast<std::size_t>(tried);
        while (decimals > 0 && whole % 10 == 0) {
            whole /= 10;
            --decimals;
        }
        char digits[24] = {};
        const auto result = std::to_chars(digits, digits + sizeof digits, whole);
        const auto count = static_cast<std::size_t>(result.ptr - digits);
        char* p = out;
        if (negative)
            *p++ = '-';
        if (decimals == 0) {
            std::memcpy(p, digits, count);
            return static_cast<std::size_t>(p - out) + count;
        }
        if (count <= decimals) {
            *p++ = '0';
            *p++ = '.';
            std::memset(p, '0', decimals - count);
            p += decimals - count;
            std::memcpy(p, digits, count);
            return static_cast<std::size_t>(p - out) + count;
        }
        std::memcpy(p, digits, count - decimals);
        p += count - decimals;
        *p++ = '.';
        std::memcpy(p, digits + count - decimals, decimals);
        return static_cast<std::size_t>(p - out) + decimals;
    }
    return 0;
}

}  // namespace

std::size_t FormatFloat(double value, char* out) {
    const auto copy = [out](std::string_view text) {
        std::memcpy(out, text.data(), text.size());
        return text.size();
    };
    if (std::isnan(value))
        return copy("NAN");
    if (std::isinf(value))
        return copy(value < 0 ? "-INF" : "INF");
    if (value == 0)
        return copy("0");
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-4 && magnitude < 1e15) {
        if (const std::size_t size = TryFixedDecimals(magnitude, negative, out); size != 0) {
            return size;
        }
    }
    char buffer[40];
    // The shortest text that reads back to a normal double is the double rounded to 15
    // digits whenever it has 15 digits or fewer; only longer ones need the rounding itself,
    // which is several times slower. Below the normal range a double has fewer bits than
    // 15 digits need, so its shortest text says less than the 15-digit rounding.
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    std::string digits;
    int exponent = SplitScientific(buffer, result.ptr, digits);
    if (digits.size() > 15 || magnitude < std::numeric_limits<double>::min()) {
        result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                               std::chars_format::scientific, 14);
        exponent = SplitScientific(buffer, result.ptr, digits);
    }
    return copy(LayOut(negative, digits, exponent));
}

std::string FloatToText(double value) {
    char buffer[MaxFloatText];
    return std::string(buffer, FormatFloat(value, buffer));
}

long long TextToInteger(std::string_view text) {
    std::string_view body = text;
    if (!body.empty() && body.front() == '+')
        body.remove_prefix(1);
    long long value = 0;
    const bool doubleSign = body.size() != text.size() && !body.empty() && body.front() == '-';
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (body.empty() || doubleSign || error != std::errc() || end != body.data() + body.size()) {
        throw EConvertError(QuoteForMessage(text) + " is not a valid integer value");
    }
    return value;
}

namespace {

// Adds one in the last place of a text of decimal digits, carrying.
void AddOneInTheLastPlace(std::string& digits) {
    std::size_t at = digits.size();
    while (at > 0 && digits[at - 1] == '9')
        digits[--at] = '0';
    if (at > 0)
        ++digits[at - 1];
    else
        digits.insert(digits.begin(), '1');
}

}  // namespace

std::string FixedText(double value, int decimals) {
    char text[400];
    if (!std::isfinite(value) || decimals < 0) {
        std::snprintf(text, sizeof text, "%.*f", std::max(decimals, 0), value);
        return text;
    }
    // d.dddddddddddddde±x: the 15 significant digits; digit i weighs 10^(exponent - i).
    std::snprintf(text, sizeof text, "%.14e", std::fabs(value));
    const std::string significant = std::string(1, text[0]) + std::string(text + 2, 14);
    const int exponent = std::atoi(std::strchr(text, 'e') + 1);
    // The digits down to 10^-decimals, as one integer text, and whether the next rounds up.
    const long long kept = static_cast<long long>(exponent) + 1 + decimals;
    std::string whole;
    bool up = false;
    if (kept <= 0) {
        up = kept == 0 && significant[0] >= '5';
    } else {
        const auto size = static_cast<std::size_t>(kept);
        whole = significant.substr(0, std::min(size, significant.size()));
        whole.append(size > significant.size() ? size - significant.size() : 0, '0');
        up = size < significant.size() && significant[size] >= '5';
    }
    if (up)
        AddOneInTheLastPlace(whole);
    const auto places = static_cast<std::size_t>(decimals);
    if (whole.size() < places + 1)
        whole.insert(0, places + 1 - whole.size(), '0');
    if (places > 0)
        whole.insert(whole.size() - places, 1, '.');
    const bool zero = whole.find_first_not_of("0.") == std::string::npos;
    return (value < 0 && !zero ? "-" : "") + whole;
}

int DecimalsNeeded(double value, int least, int most) {
    const std::string text = FixedText(value, most);
    int decimals = most;
    for (std::size_t at = text.size(); decimals > least && at > 0 && text[at - 1] == '0'; --at)
        --decimals;
    return decimals;
}

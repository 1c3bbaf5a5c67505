#include "FuzzSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "data/Errors.h"
#include "data/MeasurementTable.h"
#include "data/MeasurementText.h"
#include "data/NumberText.h"

namespace {

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

bool Unsavable(const TMeraniaArray& records) {
    for (const TMeranie& record : records) {
        for (const std::string* text : {&record.Cable, &record.Fiber}) {
            if (text->find_first_of(std::string("\t\n\0", 3)) != std::string::npos)
                return true;
        }
    }
    return false;
}

bool NeedsQuotes(const TMeraniaArray& records) {
    for (const TMeranie& record : records) {
        for (const std::string* text : {&record.Cable, &record.Fiber}) {
            for (const char c : *text) {
                if (c == '"' || c == '@' || c == '^' || (c >= 1 && c <= ' '))
                    return true;
            }
        }
    }
    return false;
}

// What ReadTextFile gives for a file of these bytes: up to the first LF, without a CR
// before it.
std::string FirstLine(const std::string& bytes) {
    std::string line = bytes.substr(0, bytes.find('\n'));
    if (bytes.find('\n') != std::string::npos && !line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

}  // namespace

std::uint64_t FuzzIterations(std::uint64_t smoke) {
    return EnvNumber("MERIDAX_FUZZ_ITERATIONS", smoke);
}

std::uint64_t FuzzSeed() {
    return EnvNumber("MERIDAX_FUZZ_SEED", 20261207);
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

bool SameRecord(const TMeranie& a, const TMeranie& b) {
    return a.Cable == b.Cable && a.Fiber == b.Fiber &&
           std::memcmp(&a.WaveLength, &b.WaveLength, sizeof(double)) == 0 &&
           std::memcmp(&a.Value, &b.Value, sizeof(double)) == 0 &&
           std::memcmp(&a.Reference, &b.Reference, sizeof(double)) == 0 &&
           a.IsRelative == b.IsRelative;
}

std::string SaveOpenDifference(const TMeraniaArray& records) {
    Merania.clear();
    TMeasurementTable first;
    FillMeasurementTable(records, first);
    std::string saved;
    try {
        saved = MeasurementFileText(first);
    } catch (const EUnsavableText& error) {
        return Unsavable(records) ? "" : std::string("refused: ") + error.what();
    }
    if (Unsavable(records))
        return "saved a TAB, line feed or zero byte: \"" + Printable(saved) + "\"";
    if (!NeedsQuotes(records) && saved != ListViewToText(first, false))
        return "quoted what needs no quotes: \"" + Printable(saved) + "\"";
    try {
        ParseDeviceDump(FirstLine(saved + "\r\n"));
    } catch (const EConvertError& error) {
        return "\"" + Printable(saved) + "\" opens with " + error.what();
    }
    // Numbers come back as their 15-digit texts read, so compare what the table shows.
    TMeasurementTable second;
    FillMeasurementTable(Merania, second);
    bool same = Merania.size() == records.size();
    for (std::size_t i = 0; same && i < records.size(); ++i) {
        same = Merania[i].Cable == records[i].Cable && Merania[i].Fiber == records[i].Fiber &&
               Merania[i].IsRelative == records[i].IsRelative;
        for (int item = 2; same && item < TMeasurementTable::SubItemCount; ++item)
            same = first.SubItem(i, item) == second.SubItem(i, item);
    }
    if (!same) {
        return "\"" + Printable(saved) + "\" opens to " + std::to_string(Merania.size()) +
               " records, not the " + std::to_string(records.size()) + " saved";
    }
    const std::string again = MeasurementFileText(second);
    if (again != saved)
        return "saved again: \"" + Printable(again) + "\", first \"" + Printable(saved) + "\"";
    return "";
}

double EdgeDouble(std::mt19937_64& random) {
    constexpr double Largest = std::numeric_limits<double>::max();
    constexpr double SmallestNormal = std::numeric_limits<double>::min();
    const auto near = [&random](double from) {
        const double toward = random() % 2 == 0 ? 0.0 : Largest;
        for (std::uint64_t n = random() % 64; n > 0; --n)
            from = std::nextafter(from, toward);
        return from;
    };
    const auto digits = [&random](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += static_cast<char>('0' + random() % 10);
        return text;
    };
    double value = 0;
    switch (random() % 8) {
        case 0:
            value = near(Largest);
            break;
        case 1:
            value = near(SmallestNormal);
            break;
        case 2: {  // a denormal
            const std::uint64_t bits = random() & ((std::uint64_t{1} << 52) - 1);
            std::memcpy(&value, &bits, sizeof value);
            break;
        }
        case 3:  // where the text switches to and from the exponent form
            value = near(random() % 2 == 0 ? 1e-4 : 1e15);
            break;
        case 4:  // a power of ten
            value = near(std::pow(10.0, static_cast<double>(random() % 616) - 307));
            break;
        case 5:  // halfway between two 15-digit texts
            value = TextToFloat("1." + digits(14) + "5E" +
                                std::to_string(static_cast<int>(random() % 600) - 300));
            break;
        case 6:  // a meter reading
            value =
                static_cast<double>(static_cast<std::int64_t>(random() % 400000) - 200000) / 100;
            break;
        default: {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value))
                value = 0;
            break;
        }
    }
    return random() % 2 == 0 ? -value : value;
}

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "data/Errors.h"
#include "data/uMeranie.h"

namespace {

struct TOutcome {
    TMeraniaArray records;
    std::string error;  // empty when the parse returned normally
};

bool IsBlank(char c) {
    return c >= 1 && static_cast<unsigned char>(c) <= ' ';
}

// The split rule walked on a zero-terminated copy, pointer by pointer, apart from the
// SplitDelimited under test: a quoted piece runs to its closing quote (or the end), a
// doubled quote inside is one; a piece runs to a blank or the delimiter; blanks after a
// piece are skipped, then a delimiter with the blanks after it, and a delimiter that is
// the last character adds one empty piece.
std::vector<std::string> WalkSplit(char delimiter, const std::string& text) {
    std::vector<std::string> pieces;
    const std::string copy = text;  // c_str() ends the walk at the first zero byte
    const char* p = copy.c_str();
    while (IsBlank(*p))
        ++p;
    while (*p != '\0') {
        std::string piece;
        if (*p == '"') {
            ++p;
            while (*p != '\0' && !(*p == '"' && p[1] != '"')) {
                piece += *p;
                p += *p == '"' ? 2 : 1;
            }
            if (*p == '"')
                ++p;
        } else {
            while (*p != '\0' && !IsBlank(*p) && *p != delimiter)
                piece += *p++;
        }
        pieces.push_back(piece);
        while (IsBlank(*p))
            ++p;
        if (*p == delimiter) {
            if (p[1] == '\0')
                pieces.emplace_back();
            do
                ++p;
            while (IsBlank(*p));
        }
    }
    return pieces;
}

// The parse step by step as written down: up to the zero byte, LF CR -> "^" left to right,
// TAB -> "@", split at "^", each non-empty piece split at "@", AddMeranie for four or more.
TOutcome Reference(const std::string& dump) {
    TOutcome outcome;
    Merania.clear();
    const std::string text = dump.substr(0, dump.find('\0'));
    std::string rewritten;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
            rewritten += '^';
            ++i;
        } else {
            rewritten += text[i] == '\t' ? '@' : text[i];
        }
    }
    try {
        for (const std::string& line : WalkSplit('^', rewritten)) {
            if (line.empty())
                continue;
            const std::vector<std::string> fields = WalkSplit('@', line);
            if (fields.size() > 3)
                AddMeranie(fields);
        }
    } catch (const EConvertError& error) {
        outcome.error = error.what();
    }
    outcome.records = Merania;
    return outcome;
}

TOutcome Fast(const std::string& dump) {
    TOutcome outcome;
    try {
        ParseDeviceDump(dump);
    } catch (const EConvertError& error) {
        outcome.error = error.what();
    }
    outcome.records = Merania;
    return outcome;
}

class TDumpMaker {
public:
    explicit TDumpMaker(std::uint64_t seed) : random_(seed) {}

    // Bytes drawn mostly from the ones the rule treats specially.
    std::string Bytes() {
        static const std::string alphabet =
            std::string("\t\n\r^@\" 1.-E5a\x80\xff\x01", 16) + std::string(1, '\0');
        std::string dump;
        const std::size_t size = Below(40);
        for (std::size_t i = 0; i < size; ++i) {
            dump +=
                Below(8) == 0 ? static_cast<char>(Below(256)) : alphabet[Below(alphabet.size())];
        }
        return dump;
    }

    // Lines of fields, mostly well formed, with quotes, blanks and bad numbers mixed in.
    std::string Lines() {
        static const char* const pieces[] = {"\t", "\t", "\t", "@", "\n\r", "\n\r", "\r\n",
                                             "\n", "\r", "^",  " ", "\"",   "\"\"", "\n\r\n\r"};
        std::string dump;
        const std::size_t lines = Below(6);
        for (std::size_t line = 0; line < lines; ++line) {
            const std::size_t fields = 2 + Below(5);
            for (std::size_t field = 0; field < fields; ++field) {
                if (field > 0)
                    dump += Below(12) == 0 ? pieces[Below(14)] : "\t";
                dump += field < 2 ? Text() : Number();
            }
            dump += Below(10) == 0 ? pieces[Below(14)] : "\n\r";
        }
        return dump;
    }

    std::uint64_t Below(std::uint64_t bound) { return random_() % bound; }

private:
    std::string Text() {
        static const char* const texts[] = {"1", "12", "A-7", "", "\"q t\"", "x\"y", "\xe4"};
        return texts[Below(7)];
    }

    std::string Number() {
        static const char* const numbers[] = {"1310", "-3.52", "-10.00", "0.25",  "5.",     ".5",
                                              "1E3",  "-1e-7", "+2",     "1E400", "1E-400", "-3,52",
                                              "",     "1e",    "0",      "-0"};
        return numbers[Below(16)];
    }

    std::mt19937_64 random_;
};

TEST(ParseDumpFuzz, FastPathMatchesTheReferenceSplit) {
    const std::uint64_t seed = FuzzSeed();
    const std::uint64_t iterations = FuzzIterations(60000);
    TDumpMaker maker(seed);
    std::size_t withRecords = 0;
    std::size_t withErrors = 0;
    for (std::uint64_t i = 0; i < iterations; ++i) {
        const std::string dump = maker.Below(3) == 0 ? maker.Bytes() : maker.Lines();
        const TOutcome expected = Reference(dump);
        const TOutcome actual = Fast(dump);
        withRecords += !expected.records.empty();
        withErrors += !expected.error.empty();
        bool same =
            expected.error == actual.error && expected.records.size() == actual.records.size();
        for (std::size_t r = 0; same && r < expected.records.size(); ++r) {
            same = SameRecord(expected.records[r], actual.records[r]);
        }
        if (!same) {
            ADD_FAILURE() << "seed " << seed << ", case " << i << ": \"" << Printable(dump)
                          << "\"\n  reference: " << expected.records.size() << " records, error '"
                          << expected.error << "'\n  fast path: " << actual.records.size()
                          << " records, error '" << actual.error << "'";
            return;
        }
        // Whatever an import gives, Save writes and Open reads back.
        if (expected.error.empty()) {
            const std::string difference = SaveOpenDifference(actual.records);
            if (!difference.empty()) {
                ADD_FAILURE() << "seed " << seed << ", case " << i << ": \"" << Printable(dump)
                              << "\"\n  " << difference;
                return;
            }
        }
    }
    // The generator must reach both outcomes, or the comparison proves little.
    EXPECT_GT(withRecords, iterations / 10);
    EXPECT_GT(withErrors, iterations / 20);
}

TEST(ParseDumpFuzz, SplitDelimitedMatchesThePointerWalk) {
    const std::uint64_t seed = FuzzSeed();
    const std::uint64_t iterations = FuzzIterations(60000);
    TDumpMaker maker(seed);
    std::vector<std::string> pieces;
    for (std::uint64_t i = 0; i < iterations; ++i) {
        const std::string text = maker.Below(2) == 0 ? maker.Bytes() : maker.Lines();
        for (const char delimiter : {'^', '@', '\t'}) {
            SplitDelimited(delimiter, text, pieces);
            const std::vector<std::string> expected = WalkSplit(delimiter, text);
            if (pieces != expected) {
                ADD_FAILURE() << "seed " << seed << ", case " << i << ", delimiter "
                              << Printable(std::string(1, delimiter)) << ": \"" << Printable(text)
                              << "\"\n  walk: " << testing::PrintToString(expected)
                              << "\n  SplitDelimited: " << testing::PrintToString(pieces);
                return;
            }
        }
    }
}

}  // namespace

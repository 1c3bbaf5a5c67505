#include <gtest/gtest.h>

#include <random>
#include <string>

#include "FuzzBodies.h"
#include "FuzzSupport.h"
#include "data/uMeranie.h"

namespace {

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

// Runs check over generated dumps, raw bytes one time in three; the generator must reach
// both outcomes, or the comparison proves little.
void CheckGeneratedDumps(TFuzzOutcome (*check)(const std::string&), std::uint64_t defaultCount) {
    const std::uint64_t seed = FuzzSeed();
    const std::uint64_t iterations = FuzzIterations(defaultCount);
    TDumpMaker maker(seed);
    std::size_t withRecords = 0;
    std::size_t withErrors = 0;
    for (std::uint64_t i = 0; i < iterations; ++i) {
        const std::string dump = maker.Below(3) == 0 ? maker.Bytes() : maker.Lines();
        const TFuzzOutcome outcome = check(dump);
        withRecords += outcome.Accepted;
        withErrors += outcome.Refused;
        ASSERT_EQ(outcome.Failure, "") << "seed " << seed << ", case " << i;
    }
    EXPECT_GT(withRecords, iterations / 10);
    EXPECT_GT(withErrors, iterations / 20);
}

// The pieces convert reads a dump in never show: every record, line left out and error as the
// whole parse gives them.
TEST(ParseDumpFuzz, PiecesMatchTheWholeParse) {
    CheckGeneratedDumps(CheckParseInPieces, 20000);
}

TEST(ParseDumpFuzz, FastPathMatchesTheReferenceSplit) {
    CheckGeneratedDumps(CheckParseDump, 60000);
}

TEST(ParseDumpFuzz, SplitDelimitedMatchesThePointerWalk) {
    const std::uint64_t seed = FuzzSeed();
    const std::uint64_t iterations = FuzzIterations(60000);
    TDumpMaker maker(seed);
    for (std::uint64_t i = 0; i < iterations; ++i) {
        const std::string text = maker.Below(2) == 0 ? maker.Bytes() : maker.Lines();
        ASSERT_EQ(CheckSplit(text).Failure, "") << "seed " << seed << ", case " << i;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "FuzzBodies.h"
#include "FuzzSupport.h"

namespace {

const char* const Seed = R"({"name": "riser", "preset": "tia-568-sm-isp", "loss_sign": "negative",
 "gain_tolerance_db": 0.2, "attenuation_db_per_km": {"1310": 1.0, "1550": 0.4},
 "connector_db": 0.75, "splice_db": 0.3,
 "links": [{"cable": "1", "length_m": 500, "connectors": 2, "splices": 1},
           {"cable": "*", "length_m": 90, "connectors": 2, "splices": 0}],
 "max_loss_db": {"1550": 2.0}, "power_dbm": {"1310": {"min": -20, "max": -3}}})";

// Bytes JSON and the reader care about, so that mutations reach past the first syntax error.
const char Interesting[] = "{}[]\",:-.0123456789eE+ \\u\x80\xC3\xFFtnf*";

std::string Mutated(std::mt19937_64& random) {
    std::string text = Seed;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits && !text.empty(); ++edit) {
        const std::size_t at = random() % text.size();
        const char byte = Interesting[random() % (sizeof Interesting - 1)];
        switch (random() % 4) {
            case 0:
                text[at] = byte;
                break;
            case 1:
                text.insert(at, 1, byte);
                break;
            case 2:
                text.erase(at, 1 + random() % 8);
                break;
            default:
                text.resize(at);
                break;
        }
    }
    return text;
}

// A mutated budget file either reads, and then writes back to the same budget and judges
// records, or is refused with a budget error; nothing else escapes and nothing crashes.
TEST(BudgetFuzz, MutatedFilesReadOrAreRefused) {
    const std::uint64_t seed = FuzzSeed();
    std::mt19937_64 random(seed);
    const std::uint64_t iterations = FuzzIterations(20000);
    std::size_t read = 0;
    for (std::uint64_t i = 0; i < iterations; ++i) {
        const std::string text = Mutated(random);
        const TFuzzOutcome outcome = CheckBudget(text);
        ASSERT_EQ(outcome.Failure, "")
            << "seed " << seed << ", case " << i << ": " << Printable(text);
        read += outcome.Accepted;
    }
    // Some mutations keep the file valid, or the run would test only the syntax errors.
    EXPECT_GT(read, iterations / 100);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <string>

#include "data/CountText.h"

namespace {

TEST(CountText, GroupsDigitsByThreesAndPicksTheNoun) {
    struct TCase {
        std::size_t count;
        const char* counted;
    };
    const TCase cases[] = {{0, "0 rows"},
                           {1, "1 row"},
                           {2, "2 rows"},
                           {999, "999 rows"},
                           {1000, "1,000 rows"},
                           {1001, "1,001 rows"},
                           {1200, "1,200 rows"},
                           {10000, "10,000 rows"},
                           {100000, "100,000 rows"},
                           {999999, "999,999 rows"},
                           {1000000, "1,000,000 rows"},
                           {1234567, "1,234,567 rows"}};
    for (const TCase& c : cases)
        EXPECT_EQ(Counted(c.count, "row", "rows"), c.counted) << c.count;
    EXPECT_EQ(GroupedCount(std::numeric_limits<std::size_t>::max()), "18,446,744,073,709,551,615");
    // The nouns are taken as given: two words, or a plural that is no "s" away.
    EXPECT_EQ(Counted(1, "re-tested reading", "re-tested readings"), "1 re-tested reading");
    EXPECT_EQ(Counted(3, "fibre tested", "fibres tested"), "3 fibres tested");
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/uMeranie.h"

namespace {

using TPieces = std::vector<std::string>;

struct TSplitCase {
    std::string text;
    TPieces pieces;
};

class SplitDelimitedCuts : public testing::TestWithParam<TSplitCase> {};

TEST_P(SplitDelimitedCuts, IntoThePieces) {
    TPieces target{"left over"};
    SplitDelimited('@', GetParam().text, target);
    EXPECT_EQ(target, GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, SplitDelimitedCuts,
    testing::Values(
        TSplitCase{"", {}}, TSplitCase{"   ", {}}, TSplitCase{"a", {"a"}},
        TSplitCase{"a@b", {"a", "b"}}, TSplitCase{"a@@b", {"a", "", "b"}},
        TSplitCase{"a@", {"a", ""}}, TSplitCase{"@a", {"", "a"}}, TSplitCase{"@", {"", ""}},
        TSplitCase{"a@ ", {"a"}},  // the delimiter is not the last character
        TSplitCase{"  a  @  b  ", {"a", "b"}}, TSplitCase{"a b", {"a", "b"}},
        TSplitCase{"a\t\n\rb", {"a", "b"}}, TSplitCase{"a \x01 @ \x1f b", {"a", "b"}},
        TSplitCase{"a@ @b", {"a", "", "b"}}, TSplitCase{"\x7f\x80\xff@x", {"\x7f\x80\xff", "x"}},
        TSplitCase{"\"a b@c\"@d", {"a b@c", "d"}}, TSplitCase{"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        TSplitCase{"\"\"@x", {"", "x"}}, TSplitCase{"\"a\"b@c", {"a", "b", "c"}},
        TSplitCase{"x\"y\"", {"x\"y\""}},  // a quote inside a piece is an ordinary character
        TSplitCase{"\"open to the end @ x", {"open to the end @ x"}},
        TSplitCase{"\"open \"\"", {"open \""}}, TSplitCase{"\"", {""}},
        TSplitCase{std::string("a@b\0@c", 6), {"a", "b"}},
        TSplitCase{std::string("a@\0", 3), {"a", ""}}, TSplitCase{std::string("\0a", 2), {}}));

TEST(SplitDelimited, CutsAtTheGivenDelimiterOnly) {
    TPieces target;
    SplitDelimited('^', "1@1@1310@-3.52^1@2@1550@-0.41@-10.00^^", target);
    EXPECT_EQ(target, (TPieces{"1@1@1310@-3.52", "1@2@1550@-0.41@-10.00", "", ""}));
}

}  // namespace

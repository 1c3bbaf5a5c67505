#include <gtest/gtest.h>

#include <string>

#include "comm/ComPort.h"
#include "comm/TerminatorText.h"
#include "support/Throws.h"

namespace {

const std::string Illegal =
    "Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\rexample: #13#10";
const std::string Empty = "Terminator string cannot be empty!";

struct TTerminatorCase {
    std::string Text;
    std::string Bytes;    // TerminatorBytes afterwards
    std::string Message;  // EComError message, empty when none
};

class TerminatorTest : public testing::TestWithParam<TTerminatorCase> {};

TEST_P(TerminatorTest, SetsBytesAndRaisesExactMessage) {
    const TTerminatorCase& c = GetParam();
    TSynchronizer sync;
    TComPort port(sync);
    port.SetTerminator("#7");  // something else first, so that a kept value would show
    const auto error = ThrownBy<EComError>([&] { port.SetTerminator(c.Text); });
    EXPECT_EQ(error ? std::string(error->what()) : std::string(), c.Message);
    std::string expectedText;
    for (const char byte : c.Bytes) {
        expectedText += "#" + std::to_string(static_cast<unsigned char>(byte));
    }
    EXPECT_EQ(port.GetTerminator(), expectedText);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TerminatorTest,
    testing::Values(
        TTerminatorCase{"#13#10", "\r\n", ""}, TTerminatorCase{"#10#13", "\n\r", ""},
        TTerminatorCase{"#0", std::string(1, '\0'), ""}, TTerminatorCase{"#266", "\n", ""},
        TTerminatorCase{"#-1", "\xFF", ""}, TTerminatorCase{"#$0D", "\r", ""},
        TTerminatorCase{"#0x0d#0X0A", "\r\n", ""}, TTerminatorCase{"#  13", "\r", ""},
        TTerminatorCase{"#+65", "A", ""}, TTerminatorCase{"13#10", "\x03\n", ""},
        TTerminatorCase{"#13#", "\r", ""}, TTerminatorCase{"#2147483647", "\xFF", ""},
        TTerminatorCase{"#-2147483648", std::string(1, '\0'), ""},
        TTerminatorCase{"#$FFFFFFFF", "\xFF", ""}, TTerminatorCase{"", "", Empty},
        TTerminatorCase{"#", "", Empty}, TTerminatorCase{"x", "", Empty},
        TTerminatorCase{"#13#x", "\r\n", Illegal}, TTerminatorCase{"#13##10", "\r\n", Illegal},
        TTerminatorCase{"#13 ", "\r\n", Illegal}, TTerminatorCase{"#2147483648", "\r\n", Illegal},
        TTerminatorCase{"#$100000000", "\r\n", Illegal}, TTerminatorCase{"#$", "\r\n", Illegal},
        TTerminatorCase{"#0x", "\r\n", Illegal}, TTerminatorCase{"#-", "\r\n", Illegal},
        TTerminatorCase{"#1,5", "\r\n", Illegal}));

TEST(TerminatorDefaults, ComponentStartsWithCrLfAndReadsItBack) {
    TSynchronizer sync;
    TComPort port(sync);
    EXPECT_EQ(port.GetTerminator(), "#13#10");
    port.SetTerminator("#10#13");
    EXPECT_EQ(port.GetTerminator(), "#10#13");
}

TEST(TerminatorDefaults, PropertiesStartAsDesigned) {
    TSynchronizer sync;
    TComPort port(sync);
    EXPECT_EQ(port.Port, "COM1");
    EXPECT_EQ(port.Baud, 9600u);
    EXPECT_EQ(port.DataBits, 8);
    EXPECT_EQ(port.Parity, ptNONE);
    EXPECT_EQ(port.StopBits, sbONE);
    EXPECT_EQ(port.WinQSizeIn, 8192u);
    EXPECT_EQ(port.WinQSizeOut, 8192u);
    EXPECT_EQ(port.ReceiveMode, rmTERM);
    EXPECT_FALSE(port.Opened());
    EXPECT_EQ(static_cast<int>(ptSPACE), 4);
    EXPECT_EQ(static_cast<int>(snTWO), 2);
}

}  // namespace

// The text that names a job's event, byte for byte, and the clock that orders events.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/ArchiveErrors.h"
#include "jobs/EventValue.h"
#include "jobs/JobEvent.h"
#include "support/Throws.h"

namespace {

// One event's id text with a backslash and LF in the author and TAB and CR in the target
// (TAB kept, the others escaped); the id is Python's hashlib.sha256 of the text.
TEST(JobEventTest, WorkedExampleIdTextAndSeal) {
    TJobEvent event;
    event.Origin = "0123456789abcdef0123456789abcdef";
    event.Author = "Ann\\Lee\n";
    event.WallTime = "2026-12-08T09:10:11.123456Z";
    event.Clock = ClockOfTime(event.WallTime).value();
    event.Target = CableTarget("R\t1\r");
    event.Field = EventField::Fibers;
    event.Value = IntegerValue(12);
    event.Pred = {std::string(64, 'b'), std::string(64, 'a'), std::string(64, 'b')};
    const TJobEvent sealed = SealEvent(event);
    EXPECT_EQ(sealed.Pred, (std::vector<std::string>{std::string(64, 'a'), std::string(64, 'b')}));
    EXPECT_EQ(EventIdText(sealed),
              "meridax-event-1\n"
              "0123456789abcdef0123456789abcdef\n"
              "Ann\\\\Lee\\n\n"
              "2026-12-08T09:10:11.123456Z\n"
              "01a254eae9b30000\n"
              "cable:R\t1\\r\n"
              "fibers\n"
              "12\n" +
                  std::string(64, 'a') + "," + std::string(64, 'b') + "\n");
    EXPECT_EQ(sealed.Id, "a5ad1b80cc67157d2ba0b5d8f2b3e1b977c4e69de54461fd5d655e1636362c9c");
}

// Stored times to clocks (milliseconds from Python's datetime), and texts that are no time.
TEST(JobEventTest, ClockOfTimeAndClockText) {
    const std::pair<const char*, std::optional<TClock>> cases[] = {
        {"2026-12-07T20:20:53.779821Z", 1796674853779ULL << 16},
        {"2026-12-07T20:20:53.7798Z", 1796674853779ULL << 16},
        {"2026-12-07T20:20:53.7Z", 1796674853700ULL << 16},
        {"2026-12-07T20:20:53Z", 1796674853000ULL << 16},
        {"1970-01-01T00:00:00.000000Z", 0},
        {"2024-02-29T23:59:59.999999Z", 1709251199999ULL << 16},
        {"2023-02-29T00:00:00.000000Z", std::nullopt},
        {"1969-12-31T23:59:59.999999Z", std::nullopt},
        {"2026-12-07T24:00:00.000000Z", std::nullopt},
        {"2026-12-07T20:60:00.000000Z", std::nullopt},
        {"2026-12-07 20:20:53.779821Z", std::nullopt},
        {"2026-12-07T20:20:53.Z", std::nullopt},
        {"2026-12-07T20:20:53.77a821Z", std::nullopt},
        {"2026-12-07T20:20:53.779821", std::nullopt},
        {"2026-12-07T20:20:53,779821Z", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [text, clock] : cases)
        EXPECT_EQ(ClockOfTime(text), clock) << text;

    EXPECT_EQ(ClockText(0x01a254eae9b30001), "01a254eae9b30001");
    EXPECT_EQ(ParseClock("01a254eae9b30001"), 0x01a254eae9b30001ULL);
    for (const char* bad : {"01A254EAE9B30001", "01a254eae9b3000", "01a254eae9b300011", ""})
        EXPECT_EQ(ParseClock(bad), std::nullopt) << bad;
    EXPECT_EQ(MsOfClock(ClockOfMs(1796674853779) + 5), 1796674853779);
    EXPECT_EQ(ClockOfMs(-1), 0U);
}

// The next clock is above all seen and at least the wall clock; a clock more than a day ahead
// of ours is far ahead.
TEST(JobEventTest, NextClockAndFarAhead) {
    const std::int64_t now = 1796674853779;
    EXPECT_EQ(NextClock(0, now), ClockOfMs(now));
    EXPECT_EQ(NextClock(ClockOfMs(now), now), ClockOfMs(now) + 1);
    EXPECT_EQ(NextClock(ClockOfMs(now + 5000) + 7, now), ClockOfMs(now + 5000) + 8);
    const std::int64_t day = 24 * 3600 * 1000;
    EXPECT_FALSE(IsFarAhead(ClockOfMs(now + day), now));
    EXPECT_TRUE(IsFarAhead(ClockOfMs(now + day + 1), now));
}

// The values' texts (keys sorted, no spaces), and values of the wrong shape refused by code.
TEST(EventValueTest, TextsAndWrongShapes) {
    EXPECT_EQ(VoidValue(true, "wrong \"cable\""), R"({"reason":"wrong \"cable\"","void":true})");
    EXPECT_EQ(AddedValue("M", "S"), R"({"meter":"M","source":"S"})");
    EXPECT_EQ(LogoValue("\x89PNG", "png"), R"({"data":"iVBORw==","type":"png"})");
    EXPECT_EQ(LogoValue("", ""), "null");
    EXPECT_EQ(StringValue("\xC3\xA9\n"), "\"\xC3\xA9\\n\"");
    EXPECT_EQ(DirectionValue(TDirection::None), "\"\"");
    EXPECT_EQ(ReadLogoValue(LogoValue("\x89PNG", "svg")).Bytes, "\x89PNG");
    EXPECT_EQ(ReadVoid(VoidValue(false, "r")).Reason, "r");
    EXPECT_EQ(ThrownBy<EArchiveError>([] { StringValue("\xE9"); })->code(), TArchiveErrc::BadInput);

    const std::function<void()> wrongShapes[] = {
        [] { ReadString("12"); },
        [] { ReadString("not json"); },
        [] { ReadNull("0"); },
        [] { ReadFibres("-1"); },
        [] { ReadFibres("1.5"); },
        [] { ReadFibres("1000001"); },
        [] { ReadLogoValue(R"({"data":"x","type":"png"})"); },
        [] { ReadLogoValue(R"({"data":"iVBORw==","type":"gif"})"); },
        [] { ReadAdded(R"({"meter":"M"})"); },
        [] { ReadDirection(R"("c-d")"); },
        [] { ReadDate(R"("2026-13-01")"); },
        [] { ReadVoid(R"({"reason":"r"})"); },
        [] { ReadVoid(R"({"reason":1,"void":true})"); }};
    for (std::size_t i = 0; i < std::size(wrongShapes); ++i) {
        const std::optional<EArchiveError> error = ThrownBy<EArchiveError>(wrongShapes[i]);
        ASSERT_TRUE(error) << i;
        EXPECT_EQ(error->code(), TArchiveErrc::BadDocument) << i;
    }
}

}  // namespace

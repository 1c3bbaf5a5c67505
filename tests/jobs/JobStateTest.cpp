// A job's state from its events: a worked example of each field, conflicts and their text, and
// the one rule against a brute-force oracle on random event graphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
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

// Values as plain text: void marks, objects' members, a long text cut within 60 bytes at a
// character's start, null; several others listed with ", " and "and"; no author: "someone".
TEST(JobStateTest, ConflictTexts) {
    const auto made = [](const std::string& author, const std::string& value) {
        TJobEvent event;
        event.Author = author;
        event.Value = value;
        return event;
    };
    std::string longText = "x";
    for (int i = 0; i < 35; ++i)
        longText += "\xC3\xA9";
    const std::pair<TConflict, std::string> cases[] = {
        {{"",
          EventField::Void,
          made("Cid", VoidValue(true, "wrong cable")),
          {made("", VoidValue(false, "")), made("Ann", VoidValue(true, ""))}},
         "void: kept Cid's void (wrong cable) over someone's not void and Ann's void, made "
         "without seeing each other"},
        {{"",
          EventField::Added,
          made("Ann", AddedValue("M", "S")),
          {made("Ben", AddedValue("", "S2")), made("Cid", IntegerValue(12)),
           made("Dan", NullValue()), made("Eve", LogoValue("\x89PNG", "svg"))}},
         "added: kept Ann's M, S over Ben's (empty), S2, Cid's 12, Dan's (none) and Eve's svg "
         "logo, made without seeing each other"},
        {{"", EventField::Budget, made("Ann", StringValue(longText)), {made("Ben", "{bad")}},
         "budget: kept Ann's " + longText.substr(0, 59) +
             "... over Ben's {bad, made without seeing each other"}};
    for (const auto& [conflict, text] : cases)
        EXPECT_EQ(ConflictText(conflict), text);
}

// A laptop whose wall clock is a year behind takes the server's events, then adds a download and
// corrects the voided one's direction: NextClock puts both after what it saw, so the new
// download comes second and the fix is seen as made after the void.
TEST(JobStateTest, CorrectionFromASlowClockComesAfterWhatItSaw) {
    const std::int64_t yearMs = 365LL * 24 * 3600 * 1000;
    const std::string first = DownloadTarget("h1");
    const TClock t = ClockOfMs(Dec8);
    std::vector<TJobEvent> events = {
        Event(Server, "Ben", t, first, EventField::Added, AddedValue("M", "S")),
        Event(Server, "Ben", t + 1, first, EventField::Direction, DirectionValue(TDirection::AToB)),
        Event(Server, "Cid", t + 2, first, EventField::Void, VoidValue(true, "direction"))};
    TClock lastSeen = t + 2;
    for (const bool bare : {false, true}) {
        SCOPED_TRACE(bare ? "bare wall clock" : "NextClock");
        std::vector<TJobEvent> all = events;
        const auto clock = [&](std::int64_t ms) {
            return bare ? ClockOfMs(ms) : (lastSeen = NextClock(lastSeen, ms));
        };
        all.push_back(Event(Laptop, "Ann", clock(Dec8 - yearMs), DownloadTarget("h2"),
                            EventField::Added, AddedValue("M", "S")));
        all.push_back(Event(Laptop, "Ann", clock(Dec8 - yearMs + 1), first, EventField::Direction,
                            DirectionValue(TDirection::BToA), {events[1].Id}));
        const TJobState state = DeriveJobState("J", all);
        ASSERT_EQ(state.Downloads.size(), 2U);
        EXPECT_EQ(state.Downloads[0].Hash, bare ? "h2" : "h1");
        const TDownloadState& fixed = state.Downloads[bare ? 1 : 0];
        EXPECT_EQ(fixed.Direction, TDirection::BToA);  // named as replaced: wins either way
        EXPECT_EQ(fixed.FixedAfterVoidBy, bare ? "" : "Ann");
        EXPECT_TRUE(state.Conflicts.empty());
    }
}

// Random histories: up to three archives make events of a few fields, naming as replaced any
// earlier events of the field they have seen (sometimes several, sometimes one never made),
// and now and then take all another has; wall clocks are a year apart and step back, and a
// fifth of the events take the bare wall clock instead of NextClock.
class TRandomHistory {
public:
    explicit TRandomHistory(unsigned seed) : random_(seed) {}

    std::vector<TJobEvent> Make() {
        const std::size_t archives = Pick(3) + 1;
        std::vector<std::vector<std::size_t>> seen(archives);
        std::vector<TClock> lastSeen(archives, 0);
        std::vector<std::int64_t> wall(archives);
        for (std::size_t a = 0; a < archives; ++a)
            wall[a] = Dec8 - (Pick(3) == 0 ? 365LL * 24 * 3600 * 1000 : 0);
        const std::size_t steps = Pick(14) + 1;
        for (std::size_t step = 0; step < steps; ++step) {
            const std::size_t a = Pick(archives);
            if (Pick(4) == 0) {
                Take(seen[a], lastSeen[a], seen[Pick(archives)]);
                continue;
            }
            wall[a] += static_cast<std::int64_t>(Pick(7)) * 1000 - 2000;
            const TClock clock =
                Pick(5) == 0 ? ClockOfMs(wall[a]) : NextClock(lastSeen[a], wall[a]);
            lastSeen[a] = std::max(lastSeen[a], clock);
            events_.push_back(MakeEvent(a, clock, seen[a]));
            seen[a].push_back(events_.size() - 1);
        }
        return events_;
    }

    std::size_t Pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
    }
    std::mt19937& Random() { return random_; }

private:
    void Take(std::vector<std::size_t>& seen, TClock& lastSeen,
              const std::vector<std::size_t>& other) {
        for (const std::size_t index : other) {
            if (std::find(seen.begin(), seen.end(), index) == seen.end())
                seen.push_back(index);
            lastSeen = std::max(lastSeen, events_[index].Clock);
        }
    }

    TJobEvent MakeEvent(std::size_t archive, TClock clock, const std::vector<std::size_t>& seen) {
        static const std::pair<std::string, const char*> fields[] = {
            {JobTarget, EventField::Customer},
            {JobTarget, EventField::Budget},
            {CableTarget("R"), EventField::Fibers},
            {DownloadTarget("h1"), EventField::Added},
            {DownloadTarget("h1"), EventField::Void},
            {DownloadTarget("h1"), EventField::Direction},
            {DownloadTarget("h2"), EventField::Added},
            {DownloadTarget("h2"), EventField::Date}};
        // Each field gets values of every shape, most of them wrong for it, and one that is no
        // JSON.
        static const char* const values[] = {R"("")",
                                             R"("a-b")",
                                             R"("b-a")",
                                             R"("2026-12-01")",
                                             "3",
                                             "0",
                                             "[1]",
                                             "{",
                                             R"({"reason":"r","void":true})",
                                             R"({"reason":"","void":false})",
                                             R"({"meter":"M","source":"S"})"};
        const auto& [target, field] = fields[Pick(std::size(fields))];
        std::vector<std::string> pred;
        for (const std::size_t index : seen) {
            if (events_[index].Target == target && events_[index].Field == field && Pick(3) > 0)
                pred.push_back(events_[index].Id);
        }
        if (Pick(8) == 0)
            pred.push_back(std::string(64, 'f'));  // an event this set does not hold
        static const char* const authors[] = {"", "Ann", "Ben"};
        return Event(std::string(32, static_cast<char>('1' + archive)), authors[Pick(3)], clock,
                     target, field, values[Pick(std::size(values))], std::move(pred));
    }

    std::mt19937 random_;
    std::vector<TJobEvent> events_;
};

using TOutcomeIds = std::map<TFieldKey, std::vector<std::string>>;  // the winner's id first

bool ClockIdAbove(const TJobEvent* a, const TJobEvent* b) {
    return a->Clock != b->Clock ? a->Clock > b->Clock : a->Id > b->Id;
}

// The rule worked out the long way: for every event, whether any other event of its field
// names it; the rest of each field by (Clock, Id), highest first.
std::map<TFieldKey, std::vector<const TJobEvent*>> OracleHeads(
    const std::vector<TJobEvent>& events) {
    std::map<std::string, const TJobEvent*> distinct;
    for (const TJobEvent& event : events)
        distinct.emplace(event.Id, &event);
    std::map<TFieldKey, std::vector<const TJobEvent*>> heads;
    for (const auto& [id, event] : distinct) {
        bool named = false;
        for (const auto& [otherId, other] : distinct) {
            named = named || (otherId != id && other->Target == event->Target &&
                              other->Field == event->Field &&
                              std::count(other->Pred.begin(), other->Pred.end(), id) > 0);
        }
        if (!named)
            heads[{event->Target, event->Field}].push_back(event);
    }
    for (auto& [key, list] : heads)
        std::sort(list.begin(), list.end(), ClockIdAbove);
    return heads;
}

TOutcomeIds IdsOf(const std::map<TFieldKey, TFieldOutcome>& outcomes) {
    TOutcomeIds ids;
    for (const auto& [key, outcome] : outcomes) {
        ids[key].push_back(outcome.Winner->Id);
        for (const TJobEvent* other : outcome.Others)
            ids[key].push_back(other->Id);
    }
    return ids;
}

// Everything a state holds, as one text to compare and show.
std::string StateText(const TJobState& state) {
    const TJob& job = state.Job;
    std::string text = job.Name + "|" + job.Customer + "|" + job.CreatedAt + "\n";
    for (const TJobBudget& budget : job.Budgets)
        text += "budget " + budget.Json + " " + budget.SetAt + "\n";
    for (const auto& [cable, count] : job.ExpectedFibres)
        text += "fibres " + cable + " " + std::to_string(count) + "\n";
    for (const TDownloadState& d : state.Downloads) {
        text += "download " + d.Hash + "|" + d.Meter + "|" + d.Source + "|" + d.AddedAt + "|" +
                std::to_string(d.FirstAdded) + "|" + d.FirstAddedId + "|" + d.Operator + "|" +
                d.TestDate + "|" + DirectionName(d.Direction) + "|" + (d.Void ? "void" : "") + "|" +
                d.VoidReason + "|" + d.VoidBy + "|" + d.VoidAt + "|" + d.FixedAfterVoidBy + "|" +
                d.FixedAfterVoidAt + "\n";
    }
    for (const TConflict& conflict : state.Conflicts) {
        text += "conflict " + conflict.Target + " " + conflict.Field + " " + conflict.Kept.Id;
        for (const TJobEvent& other : conflict.Others)
            text += " " + other.Id;
        text += "\n";
    }
    return text;
}

std::string PlainString(const TJobEvent* event) {
    return event && event->Value.front() == '"' ? event->Value.substr(1, event->Value.size() - 2)
                                                : std::string();
}

// What the oracle's heads say of some of the state's fields, to hold DeriveJobState to.
class TOracleState {
public:
    explicit TOracleState(const std::vector<TJobEvent>& events)
        : events_(events), heads_(OracleHeads(events)) {}

    std::string Text() const {
        std::string text =
            "customer " + PlainString(Winner(JobTarget, EventField::Customer)) + "\n" + Budgets();
        if (const TJobEvent* fibres = Winner(CableTarget("R"), EventField::Fibers);
            fibres && fibres->Value == "3")
            text += "fibres 3\n";
        text += Downloads();
        std::size_t conflicts = 0;
        for (const auto& [key, list] : heads_)
            conflicts += list.size() > 1 ? 1 : 0;
        return text + "conflicts " + std::to_string(conflicts) + "\n";
    }

private:
    const TJobEvent* Winner(const std::string& target, const char* field) const {
        const auto found = heads_.find({target, field});
        return found == heads_.end() ? nullptr : found->second.front();
    }

    // Every budget by (Clock, Id), the winner last, those of other shapes left out.
    std::string Budgets() const {
        std::vector<const TJobEvent*> budgets;
        for (const TJobEvent& event : events_) {
            if (event.Field == EventField::Budget &&
                std::none_of(budgets.begin(), budgets.end(),
                             [&](const TJobEvent* b) { return b->Id == event.Id; }))
                budgets.push_back(&event);
        }
        std::sort(budgets.begin(), budgets.end(),
                  [](auto* a, auto* b) { return ClockIdAbove(b, a); });
        const TJobEvent* winner = Winner(JobTarget, EventField::Budget);
        std::erase(budgets, winner);
        if (winner)
            budgets.push_back(winner);
        std::string text;
        for (const TJobEvent* budget : budgets) {
            if (budget->Value.front() == '"')
                text += "budget " + PlainString(budget) + "\n";
        }
        return text;
    }

    // The lowest (Clock, Id) of any event matching, or none.
    template <class F>
    const TJobEvent* Lowest(F matches) const {
        const TJobEvent* lowest = nullptr;
        for (const TJobEvent& event : events_) {
            if (matches(event) && (!lowest || ClockIdAbove(lowest, &event)))
                lowest = &event;
        }
        return lowest;
    }

    std::string Downloads() const {
        std::vector<const TJobEvent*> firstAdds;
        for (const char* hash : {"h1", "h2"}) {
            if (const TJobEvent* first = Lowest([&](const TJobEvent& event) {
                    return event.Target == DownloadTarget(hash) && event.Field == EventField::Added;
                }))
                firstAdds.push_back(first);
        }
        std::sort(firstAdds.begin(), firstAdds.end(),
                  [](auto* a, auto* b) { return ClockIdAbove(b, a); });
        std::string text;
        for (const TJobEvent* add : firstAdds) {
            text += "download " + add->Target;
            const TJobEvent* direction = Winner(add->Target, EventField::Direction);
            if (direction && (direction->Value == R"("a-b")" || direction->Value == R"("b-a")"))
                text += " " + PlainString(direction);
            const TJobEvent* mark = Winner(add->Target, EventField::Void);
            if (mark && mark->Value.find("true") != std::string::npos) {
                text += " void " + mark->Author + " fixed";
                const TJobEvent* fix = nullptr;
                for (const TJobEvent& event : events_) {
                    if (event.Target == add->Target && event.Field == EventField::Direction &&
                        event.Clock > mark->Clock && (!fix || ClockIdAbove(&event, fix)))
                        fix = &event;
                }
                text += fix ? " " + fix->Author : "";
            }
            text += "\n";
        }
        return text;
    }

    const std::vector<TJobEvent>& events_;
    std::map<TFieldKey, std::vector<const TJobEvent*>> heads_;
};

// The same fields as DeriveJobState gives them.
std::string DerivedOracleText(const TJobState& state) {
    std::string text = "customer " + state.Job.Customer + "\n";
    for (const TJobBudget& budget : state.Job.Budgets)
        text += "budget " + budget.Json + "\n";
    if (state.Job.ExpectedFibres.count("R"))
        text += "fibres " + std::to_string(state.Job.ExpectedFibres.at("R")) + "\n";
    for (const TDownloadState& d : state.Downloads) {
        text += "download " + DownloadTarget(d.Hash);
        if (d.Direction != TDirection::None)
            text += " " + std::string(DirectionName(d.Direction));
        if (d.Void)
            text += " void " + d.VoidBy + " fixed" +
                    (d.FixedAfterVoidAt.empty() ? "" : " " + d.FixedAfterVoidBy);
        text += "\n";
    }
    return text + "conflicts " + std::to_string(state.Conflicts.size()) + "\n";
}

// The same events shuffled, split among archives that overlap (each event in at least one),
// and given twice or more.
std::vector<std::vector<TJobEvent>> SameEventsOtherwise(const std::vector<TJobEvent>& events,
                                                        TRandomHistory& random) {
    std::vector<TJobEvent> shuffled = events;
    std::shuffle(shuffled.begin(), shuffled.end(), random.Random());
    const std::size_t parts = random.Pick(4) + 1;
    std::vector<std::vector<TJobEvent>> partition(parts);
    for (const TJobEvent& event : events) {
        partition[random.Pick(parts)].push_back(event);
        if (random.Pick(3) == 0)
            partition[random.Pick(parts)].push_back(event);
    }
    std::vector<TJobEvent> united;
    for (const auto& part : partition)
        united.insert(united.end(), part.begin(), part.end());
    std::vector<TJobEvent> repeated = events;
    for (std::size_t i = 0; i < events.size(); ++i)
        repeated.push_back(events[random.Pick(events.size())]);
    std::shuffle(repeated.begin(), repeated.end(), random.Random());
    return {shuffled, united, repeated};
}

TEST(JobStateTest, RuleMatchesOracleWhateverTheOrder) {
    for (unsigned seed = 1; seed <= 3000 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TRandomHistory random(seed);
        const std::vector<TJobEvent> events = random.Make();
        if (events.empty())
            continue;
        TOutcomeIds expected;
        for (const auto& [key, list] : OracleHeads(events)) {
            for (const TJobEvent* event : list)
                expected[key].push_back(event->Id);
        }
        const std::string state = StateText(DeriveJobState("J", events));
        EXPECT_EQ(DerivedOracleText(DeriveJobState("J", events)), TOracleState(events).Text());
        for (const auto& variant : SameEventsOtherwise(events, random)) {
            EXPECT_EQ(IdsOf(FieldOutcomes(variant)), expected);
            EXPECT_EQ(StateText(DeriveJobState("J", variant)), state);
        }
        for (const auto& [key, ids] : expected) {
            std::vector<std::string> heads = ids;
            std::sort(heads.begin(), heads.end());
            EXPECT_EQ(FieldHeads(events, key.first, key.second), heads);
        }
    }
}

}  // namespace

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a person decided about a job, one value of one field at a time. Events are only ever
// added: a change is a new event naming the events it replaces (Pred), and the job's state is
// worked out from all of them when it is read (JobState.h).

// A hybrid logical clock: milliseconds since 1970 (UTC) in the upper 48 bits, a counter in the
// lower 16. An archive's next clock is above every clock it has seen, so that a change made
// after seeing another sorts after it even when the maker's wall clock is behind.
using TClock = std::uint64_t;

// ms << 16; a time before 1970 gives 0, one beyond the 48 bits the highest.
TClock ClockOfMs(std::int64_t ms);
std::int64_t MsOfClock(TClock clock);
// The next clock of an archive: above every clock it has seen (lastSeen), and at least its
// wall clock: max(ClockOfMs(nowMs), lastSeen + 1).
TClock NextClock(TClock lastSeen, std::int64_t nowMs);
// True when an incoming clock is more than 24 h ahead of the local wall clock.
bool IsFarAhead(TClock clock, std::int64_t nowMs);
// 16 lowercase hex digits.
std::string ClockText(TClock clock);
// Exactly 16 lowercase hex digits, else none.
std::optional<TClock> ParseClock(std::string_view text);
// The clock of a stored time "2026-12-07T20:20:53.779821Z" (also without the fraction or with
// fewer digits; digits below the millisecond are dropped): its milliseconds << 16. None for a
// text that is no such time, or a time before 1970.
std::optional<TClock> ClockOfTime(std::string_view utcTime);

struct TJobEvent {
    std::string Id;        // 64 hex: SHA-256 of EventIdText
    std::string Origin;    // the archive it was made in: 32 lowercase hex digits; "v1" for
                           // events made from version-1 data
    std::string Author;    // UTF-8, may be empty
    std::string WallTime;  // the author's wall clock, "2026-12-08T09:10:11.123456Z", shown only
    TClock Clock = 0;
    std::string Target;  // "job", "cable:NAME" (UTF-8), "download:RECORDSHASH"
    std::string Field;
    std::string Value;              // a JSON text (EventValue.h makes and reads them)
    std::vector<std::string> Pred;  // ids of the events of the same target and field it
                                    // replaces, sorted

    bool operator==(const TJobEvent&) const = default;
};

inline constexpr char JobTarget[] = "job";
inline constexpr char CableTargetPrefix[] = "cable:";
inline constexpr char DownloadTargetPrefix[] = "download:";
std::string CableTarget(const std::string& cableUtf8);
std::string DownloadTarget(const std::string& recordsHash);

// The fields and their values (EventValue.h has a maker and a reader for each).
namespace EventField {
// Of the job: "created" (null); "customer", "site", "contractor", "notes" (strings); "logo"
// ({"data":BASE64,"type":"png"|"svg"} or null); "budget" (the budget file's text as a string).
inline constexpr char Created[] = "created";
inline constexpr char Customer[] = "customer";
inline constexpr char Site[] = "site";
inline constexpr char Contractor[] = "contractor";
inline constexpr char Notes[] = "notes";
inline constexpr char Logo[] = "logo";
inline constexpr char Budget[] = "budget";
// Of a cable: "fibers" (an integer; 0 = none expected).
inline constexpr char Fibers[] = "fibers";
// Of a download: "added" ({"meter":..,"source":..}), "direction" ("a-b", "b-a", ""), "date"
// ("YYYY-MM-DD" or ""), "operator" (a string), "void" ({"reason":..,"void":true|false}).
inline constexpr char Added[] = "added";
inline constexpr char Direction[] = "direction";
inline constexpr char Date[] = "date";
inline constexpr char Operator[] = "operator";
inline constexpr char Void[] = "void";
}  // namespace EventField

inline constexpr const char* EventIdFormat = "meridax-event-1";

// The text an event's id hashes: the line "meridax-event-1", then origin, author, wall time,
// clock text, target, field, value and the pred ids joined by ",", each on a line of its own
// (ended by LF) with backslash, LF and CR written \\ \n \r.
std::string EventIdText(const TJobEvent& event);
// The event with Pred sorted and without repeats, and Id set.
TJobEvent SealEvent(TJobEvent event);

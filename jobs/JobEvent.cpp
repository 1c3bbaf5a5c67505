#include "jobs/JobEvent.h"

#include <algorithm>
#include <limits>

#include "jobs/CanonicalText.h"
#include "jobs/DownloadHash.h"
#include "jobs/JobLimits.h"

namespace {
constexpr std::int64_t MaxClockMs = (std::int64_t{1} << 48) - 1;
constexpr std::int64_t MsPerDay = 24 * 60 * 60 * 1000;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil).
std::int64_t DaysSince1970(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool TimeDigitsAt(std::string_view text, std::size_t at, std::size_t count) {
    return text.size() >= at + count &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at),
                       text.begin() + static_cast<std::ptrdiff_t>(at + count),
                       [](char c) { return c >= '0' && c <= '9'; });
}

unsigned TimeNumberAt(std::string_view text, std::size_t at, std::size_t count) {
    unsigned number = 0;
    for (std::size_t i = at; i < at + count; ++i)
        number = number * 10 + static_cast<unsigned>(text[i] - '0');
    return number;
}

// The milliseconds of a fraction's digits ("779821" -> 779, "7" -> 700).
unsigned FractionMs(std::string_view digits) {
    unsigned ms = 0;
    for (std::size_t i = 0; i < 3; ++i)
        ms = ms * 10 + (i < digits.size() ? static_cast<unsigned>(digits[i] - '0') : 0);
    return ms;
}

void AppendIdLine(std::string_view text, std::string& out) {
    AppendEscaped(text, false, out);
    out += '\n';
}
}  // namespace

TClock ClockOfMs(std::int64_t ms) {
    return static_cast<TClock>(std::clamp<std::int64_t>(ms, 0, MaxClockMs)) << 16;
}

std::int64_t MsOfClock(TClock clock) {
    return static_cast<std::int64_t>(clock >> 16);
}

TClock NextClock(TClock lastSeen, std::int64_t nowMs) {
    const TClock above = lastSeen == std::numeric_limits<TClock>::max() ? lastSeen : lastSeen + 1;
    return std::max(ClockOfMs(nowMs), above);
}

bool IsFarAhead(TClock clock, std::int64_t nowMs) {
    return MsOfClock(clock) > nowMs + MsPerDay;
}

std::string ClockText(TClock clock) {
    return Hex16(clock);
}

std::optional<TClock> ParseClock(std::string_view text) {
    if (text.size() != 16 || text.find_first_not_of("0123456789abcdef") != std::string_view::npos)
        return std::nullopt;
    TClock clock = 0;
    for (const char c : text)
        clock = clock << 4 | static_cast<TClock>(c <= '9' ? c - '0' : c - 'a' + 10);
    return clock;
}

std::optional<TClock> ClockOfTime(std::string_view utcTime) {
    const std::string_view text = utcTime;
    if (text.size() < 20 || !IsCalendarDate(text.substr(0, 10)) || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || !TimeDigitsAt(text, 11, 2) ||
        !TimeDigitsAt(text, 14, 2) || !TimeDigitsAt(text, 17, 2) || text.back() != 'Z')
        return std::nullopt;
    std::string_view fraction = text.substr(19, text.size() - 20);
    if (!fraction.empty()) {
        if (fraction[0] != '.' || fraction.size() < 2 ||
            !TimeDigitsAt(fraction, 1, fraction.size() - 1))
            return std::nullopt;
        fraction.remove_prefix(1);
    }
    const unsigned hours = TimeNumberAt(text, 11, 2);
    const unsigned minutes = TimeNumberAt(text, 14, 2);
    const unsigned seconds = TimeNumberAt(text, 17, 2);
    if (hours > 23 || minutes > 59 || seconds > 59)
        return std::nullopt;
    const std::int64_t days =
        DaysSince1970(TimeNumberAt(text, 0, 4), TimeNumberAt(text, 5, 2), TimeNumberAt(text, 8, 2));
    if (days < 0)
        return std::nullopt;
    const std::int64_t secondsOfDay = hours * 3600 + minutes * 60 + seconds;
    return ClockOfMs((days * 86400 + secondsOfDay) * 1000 + FractionMs(fraction));
}

std::string CableTarget(const std::string& cableUtf8) {
    return CableTargetPrefix + cableUtf8;
}

std::string DownloadTarget(const std::string& recordsHash) {
    return DownloadTargetPrefix + recordsHash;
}

std::string EventIdText(const TJobEvent& event) {
    std::string text = std::string(EventIdFormat) + "\n";
    for (const std::string* line : {&event.Origin, &event.Author, &event.WallTime})
        AppendIdLine(*line, text);
    AppendIdLine(ClockText(event.Clock), text);
    for (const std::string* line : {&event.Target, &event.Field, &event.Value})
        AppendIdLine(*line, text);
    std::string pred;
    for (std::size_t i = 0; i < event.Pred.size(); ++i)
        pred += (i == 0 ? "" : ",") + event.Pred[i];
    AppendIdLine(pred, text);
    return text;
}

TJobEvent SealEvent(TJobEvent event) {
    std::sort(event.Pred.begin(), event.Pred.end());
    event.Pred.erase(std::unique(event.Pred.begin(), event.Pred.end()), event.Pred.end());
    event.Id = Sha256Hex(EventIdText(event));
    return event;
}

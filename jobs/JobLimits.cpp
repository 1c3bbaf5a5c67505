#include "jobs/JobLimits.h"

#include "data/NumberText.h"

namespace {

bool AreDigits(std::string_view text, std::size_t from, std::size_t count) {
    for (std::size_t at = from; at < from + count; ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return false;
        }
    }
    return true;
}

int NumberAt(std::string_view text, std::size_t from, std::size_t count) {
    int number = 0;
    for (std::size_t at = from; at < from + count; ++at) {
        number = number * 10 + (text[at] - '0');
    }
    return number;
}

std::size_t Utf8Characters(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

}  // namespace

bool IsCalendarDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !AreDigits(text, 0, 4) ||
        !AreDigits(text, 5, 2) || !AreDigits(text, 8, 2)) {
        return false;
    }
    const int year = NumberAt(text, 0, 4);
    const int month = NumberAt(text, 5, 2);
    const int day = NumberAt(text, 8, 2);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) {
        return false;
    }
    return day <= Days[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool IsArchiveTime(std::string_view text) {
    return text.size() == 27 && IsCalendarDate(text.substr(0, 10)) && text[10] == 'T' &&
           AreDigits(text, 11, 2) && NumberAt(text, 11, 2) < 24 && text[13] == ':' &&
           AreDigits(text, 14, 2) && NumberAt(text, 14, 2) < 60 && text[16] == ':' &&
           AreDigits(text, 17, 2) && NumberAt(text, 17, 2) < 60 && text[19] == '.' &&
           AreDigits(text, 20, 6) && text[26] == 'Z';
}

std::string PointerKey(std::string_view key) {
    std::string escaped;
    for (const char c : key) {
        escaped += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
    }
    return escaped;
}

std::optional<TLimitBreach> TextBreach(const char* field, std::string_view text) {
    // PostgreSQL cuts a text at a zero byte, SQLite keeps it: neither may see one.
    if (text.find('\0') != std::string_view::npos) {
        return TLimitBreach{field, "holds a zero byte (\\u0000), which no text may hold"};
    }
    return std::nullopt;
}

std::optional<TLimitBreach> NameBreach(const char* field, std::string_view name) {
    if (auto breach = TextBreach(field, name)) {
        return breach;
    }
    if (Utf8Characters(name) > MaxNameCharacters) {
        return TLimitBreach{field, "longer than " + std::to_string(MaxNameCharacters) +
                                       " characters (" + std::to_string(Utf8Characters(name)) +
                                       ")"};
    }
    return std::nullopt;
}

std::optional<TLimitBreach> ExpectedFibresBreach(const std::string& cable, long long count) {
    // A name that breaks the limits is not repeated in the message: the object is named.
    if (auto breach = NameBreach("expected_fibres", cable)) {
        breach->Problem = "a cable's name " + breach->Problem;
        return breach;
    }
    const std::string field = "expected_fibres/" + PointerKey(cable);
    if (count < 0 || count > MaxExpectedFibres) {
        return TLimitBreach{field, std::to_string(count) + " is not from 0 to " +
                                       std::to_string(MaxExpectedFibres) + " fibres"};
    }
    return std::nullopt;
}

std::optional<TLimitBreach> TimeBreach(const std::string& field, std::string_view time) {
    if (!time.empty() && !IsArchiveTime(time)) {
        return TLimitBreach{field, QuoteForMessage(std::string(time)) +
                                       " is not a UTC time such as 2026-12-07T19:55:36.123456Z"};
    }
    return std::nullopt;
}

std::optional<TLimitBreach> JobLimitBreach(const TJob& job) {
    std::optional<TLimitBreach> breach = NameBreach("name", job.Name);
    const std::pair<const char*, const std::string*> texts[] = {{"customer", &job.Customer},
                                                                {"site", &job.Site},
                                                                {"contractor", &job.Contractor},
                                                                {"notes", &job.Notes}};
    for (const auto& [field, text] : texts) {
        breach = breach ? breach : TextBreach(field, *text);
    }
    breach = breach ? breach : TimeBreach("created_at", job.CreatedAt);
    for (const auto& [cable, count] : job.ExpectedFibres) {
        breach = breach ? breach : ExpectedFibresBreach(cable, count);
    }
    for (std::size_t at = 0; at < job.Budgets.size() && !breach; ++at) {
        const std::string place = "budgets/" + std::to_string(at);
        breach = TimeBreach(place + "/set_at", job.Budgets[at].SetAt);
        if (!breach && TextBreach("json", job.Budgets[at].Json)) {
            breach = TextBreach("json", job.Budgets[at].Json);
            breach->Field = place + "/json";
        }
    }
    return breach;
}

std::optional<TLimitBreach> DownloadLimitBreach(const TDownload& download) {
    std::optional<TLimitBreach> breach;
    const std::pair<const char*, const std::string*> texts[] = {
        {"meter", &download.Meter},
        {"source", &download.Source},
        {"operator", &download.Operator},
        {"void_reason", &download.VoidReason}};
    for (const auto& [field, text] : texts) {
        breach = breach ? breach : TextBreach(field, *text);
    }
    if (!breach && !download.TestDate.empty() && !IsCalendarDate(download.TestDate)) {
        breach = TLimitBreach{
            "test_date", QuoteForMessage(download.TestDate) + " is not a date such as 2026-12-07"};
    }
    return breach ? breach : TimeBreach("added_at", download.AddedAt);
}

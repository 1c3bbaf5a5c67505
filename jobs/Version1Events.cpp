#include "jobs/Version1Events.h"

#include <algorithm>

#include "data/NumberText.h"
#include "jobs/ArchiveErrors.h"
#include "jobs/EventValue.h"
#include "jobs/RecordsHash.h"

namespace {
constexpr char Version1Origin[] = "v1";

// The events of one job, made in order.
class TVersion1Maker {
public:
    std::vector<TJobEvent> Take() { return std::move(events_); }

    // The clock of a stored time; what names the time in the message.
    static TClock ClockOf(const std::string& time, const std::string& what) {
        if (const std::optional<TClock> clock = ClockOfTime(time))
            return *clock;
        throw EArchiveError(TArchiveErrc::BadInput,
                            what + " " + QuoteForMessage(time) +
                                " is not a UTC time such as 2026-12-07T19:55:36.123456Z");
    }

    // The event made; it names pred as replaced.
    const TJobEvent& Add(const std::string& author, const std::string& wallTime, TClock clock,
                         const std::string& target, const char* field, std::string value,
                         std::vector<std::string> pred = {}) {
        TJobEvent event;
        event.Origin = Version1Origin;
        event.Author = author;
        event.WallTime = wallTime;
        event.Clock = clock;
        event.Target = target;
        event.Field = field;
        event.Value = std::move(value);
        event.Pred = std::move(pred);
        return events_.emplace_back(SealEvent(std::move(event)));
    }

private:
    std::vector<TJobEvent> events_;
};

void AddJobFacts(TVersion1Maker& maker, const TJob& job) {
    const TClock created = maker.ClockOf(job.CreatedAt, "its creation time");
    const auto add = [&](const std::string& target, const char* field, std::string value) {
        maker.Add("", job.CreatedAt, created, target, field, std::move(value));
    };
    add(JobTarget, EventField::Created, NullValue());
    const std::pair<const char*, const std::string*> texts[] = {
        {EventField::Customer, &job.Customer},
        {EventField::Site, &job.Site},
        {EventField::Contractor, &job.Contractor},
        {EventField::Notes, &job.Notes}};
    for (const auto& [field, text] : texts) {
        if (!text->empty())
            add(JobTarget, field, StringValue(*text));
    }
    if (!job.Logo.empty())
        add(JobTarget, EventField::Logo, LogoValue(job.Logo, job.LogoType));
    for (const auto& [cable, count] : job.ExpectedFibres)
        add(CableTarget(cable), EventField::Fibers, IntegerValue(count));
}

// Each budget replaced the one before it: its event names that one's, so that the budgets
// are a history and not a conflict.
void AddBudgets(TVersion1Maker& maker, const TJob& job) {
    TClock previous = 0;
    std::vector<std::string> pred;
    for (std::size_t i = 0; i < job.Budgets.size(); ++i) {
        const TJobBudget& budget = job.Budgets[i];
        TClock clock = maker.ClockOf(budget.SetAt, "budget " + std::to_string(i + 1) + "'s time");
        clock = i == 0 ? clock : std::max(clock, previous + 1);
        pred = {maker
                    .Add("", budget.SetAt, clock, JobTarget, EventField::Budget,
                         StringValue(budget.Json), std::move(pred))
                    .Id};
        previous = clock;
    }
}

// The download's events at the clock added (its void one step later).
void AddDownload(TVersion1Maker& maker, const TDownload& download, TClock added) {
    const std::string target = DownloadTarget(RecordsSha256(OwnDirections(download)));
    const auto add = [&](TClock clock, const char* field, std::string value) {
        maker.Add(download.Operator, download.AddedAt, clock, target, field, std::move(value));
    };
    add(added, EventField::Added, AddedValue(download.Meter, download.Source));
    add(added, EventField::Direction, DirectionValue(download.Direction));
    add(added, EventField::Date, StringValue(download.TestDate));
    add(added, EventField::Operator, StringValue(download.Operator));
    if (download.Void)
        add(added + 1, EventField::Void, VoidValue(true, download.VoidReason));
}

// Each download's events; one added in the same millisecond as the one before it (or earlier)
// gets the next clock step, so that the downloads keep their order.
void AddDownloads(TVersion1Maker& maker, const std::vector<TDownload>& downloads) {
    TClock previous = 0;
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        const TDownload& download = downloads[i];
        const std::string number = std::to_string(download.Number ? download.Number : i + 1);
        TClock added = maker.ClockOf(download.AddedAt, "download " + number + "'s added time");
        added = i == 0 ? added : std::max(added, previous + 1);
        AddDownload(maker, download, added);
        previous = added;
    }
}
}  // namespace

std::vector<TStoredReading> OwnDirections(const TDownload& download) {
    std::vector<TStoredReading> readings = download.Readings;
    for (TStoredReading& reading : readings) {
        if (reading.Direction == download.Direction)
            reading.Direction = TDirection::None;
    }
    return readings;
}

std::vector<TJobEvent> Version1Events(const TJob& job, const std::vector<TDownload>& downloads) {
    TVersion1Maker maker;
    try {
        AddJobFacts(maker, job);
        AddBudgets(maker, job);
        AddDownloads(maker, downloads);
    } catch (const EArchiveError& error) {
        // A time that is none, or a text that is not UTF-8 (which no JSON value holds).
        throw EArchiveError(error.code(), "job " + job.Name + ": " + error.what());
    }
    return maker.Take();
}

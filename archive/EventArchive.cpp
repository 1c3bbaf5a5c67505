#include "archive/EventArchive.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "archive/ArchiveLimits.h"
#include "archive/JobLogo.h"
#include "jobs/DownloadHash.h"
#include "jobs/EventValue.h"
#include "jobs/RecordsHash.h"
#include "jobs/Version1Events.h"

namespace {

constexpr std::size_t ShortestHashPrefix = 6;

std::int64_t NowMsOf(const std::string& now) {
    return MsOfClock(ClockOfTime(now).value_or(0));
}

bool IsHexPrefix(const std::string& text) {
    return text.size() >= ShortestHashPrefix && text.size() <= 64 &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool IsNumberName(const std::string& text) {
    return !text.empty() && text.size() < ShortestHashPrefix &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

// Makes the events of one write: each with the next clock of the job, and naming in Pred the
// events of its field that the writer saw.
class TEventMaker {
public:
    TEventMaker(const TJobView& view, std::string author)
        : view_(view), author_(std::move(author)), seen_(view.Events) {
        for (const TJobEvent& event : view.Events)
            clock_ = std::max(clock_, event.Clock);
        nowMs_ = NowMsOf(view.Now);
    }

    void Add(const std::string& target, const char* field, std::string value) {
        clock_ = NextClock(clock_, nowMs_);
        TJobEvent event;
        event.Origin = view_.Origin;
        event.Author = author_;
        event.WallTime = view_.Now;
        event.Clock = clock_;
        event.Target = target;
        event.Field = field;
        event.Value = std::move(value);
        event.Pred = FieldHeads(seen_, target, field);
        made_.push_back(SealEvent(std::move(event)));
        seen_.push_back(made_.back());
    }

    std::vector<TJobEvent> Take() { return std::move(made_); }

private:
    const TJobView& view_;
    std::string author_;
    TClock clock_ = 0;
    std::int64_t nowMs_ = 0;
    std::vector<TJobEvent> seen_;  // the view's and those made here
    std::vector<TJobEvent> made_;
};

namespace {

void JobEvents(TEventMaker& maker, const TJobChanges& changes) {
    const std::pair<const char*, const std::optional<std::string>*> texts[] = {
        {EventField::Customer, &changes.Customer},
        {EventField::Site, &changes.Site},
        {EventField::Contractor, &changes.Contractor},
        {EventField::Notes, &changes.Notes}};
    for (const auto& [field, value] : texts) {
        if (value->has_value())
            maker.Add(JobTarget, field, StringValue(**value));
    }
    if (changes.Logo)
        maker.Add(JobTarget, EventField::Logo,
                  LogoValue(*changes.Logo, changes.LogoType.value_or("")));
    if (changes.BudgetJson)
        maker.Add(JobTarget, EventField::Budget, StringValue(*changes.BudgetJson));
    for (const auto& [cable, count] : changes.ExpectedFibres) {
        if (count < 0) {
            throw EArchiveError(TArchiveErrc::BadInput, "cable " + cable + " cannot expect " +
                                                            std::to_string(count) + " fibres");
        }
        maker.Add(CableTarget(cable), EventField::Fibers, IntegerValue(count));
    }
}

void FixEvents(TEventMaker& maker, const std::string& target, const TDownloadFix& fix) {
    if (fix.Direction)
        maker.Add(target, EventField::Direction, DirectionValue(*fix.Direction));
    if (fix.TestDate)
        maker.Add(target, EventField::Date, StringValue(*fix.TestDate));
    if (fix.Operator)
        maker.Add(target, EventField::Operator, StringValue(*fix.Operator));
}

}  // namespace

std::string DefaultAuthor() {
    if (const char* given = std::getenv("MERIDAX_AUTHOR"); given != nullptr && *given != '\0')
        return given;
    const passwd* entry = ::getpwuid(::getuid());
    if (entry == nullptr)
        return "";
    std::string fullName = entry->pw_gecos != nullptr ? entry->pw_gecos : "";
    fullName = fullName.substr(0, fullName.find(','));
    return !fullName.empty() ? fullName : std::string(entry->pw_name ? entry->pw_name : "");
}

const TDownloadRow& FindDownloadRow(const std::vector<TDownloadRow>& rows,
                                    const std::string& jobName, const std::string& name) {
    const auto none = [&]() -> EArchiveError {
        return EArchiveError(TArchiveErrc::NoSuchDownload,
                             "job " + jobName + " has no download " + name);
    };
    if (IsNumberName(name)) {
        for (const TDownloadRow& row : rows) {
            if (std::to_string(row.Number) == name)
                return row;
        }
        throw none();
    }
    if (!IsHexPrefix(name)) {
        throw EArchiveError(TArchiveErrc::NoSuchDownload,
                            "job " + jobName + " has no download " + name +
                                ": a download is named by its number or by at least " +
                                std::to_string(ShortestHashPrefix) +
                                " of the first hex digits of its hash");
    }
    std::vector<const TDownloadRow*> found;
    for (const TDownloadRow& row : rows) {
        if (row.RecordsSha256.starts_with(name))
            found.push_back(&row);
    }
    if (found.empty())
        throw none();
    if (found.size() > 1) {
        std::string candidates;
        for (const TDownloadRow* row : found)
            candidates += "\n  " + std::to_string(row->Number) + "  " + row->RecordsSha256;
        throw EArchiveError(
            TArchiveErrc::AmbiguousDownload,
            "more than one download of job " + jobName + " begins with " + name + ":" + candidates);
    }
    return *found.front();
}

TEventArchive::TEventArchive(std::unique_ptr<TJobStore> store)
    : store_(std::move(store)), author_(DefaultAuthor()) {}

TJobView TEventArchive::RequireJob(const std::string& name) {
    std::optional<TJobView> view = store_->ReadJob(name);
    if (!view) {
        throw EArchiveError(TArchiveErrc::NoSuchJob,
                            "there is no job " + name + " in the archive " + Location());
    }
    return std::move(*view);
}

void TEventArchive::WriteEvents(const std::string& jobName,
                                const std::function<void(TEventMaker&, const TJobView&)>& make) {
    store_->WriteJob(jobName, TJobPresence::MustExist, [&](const TJobView& view) {
        TEventMaker maker(view, author_);
        make(maker, view);
        return TJobWrite{maker.Take(), std::nullopt};
    });
}

std::vector<TJobEntry> TEventArchive::ListJobs() {
    std::vector<TJobEntry> entries;
    for (const TJobListing& listing : store_->ListJobs()) {
        const TJob job = DeriveJobState(listing.Name, listing.JobEvents).Job;
        entries.push_back({listing.Name, job.Customer, job.Site, job.CreatedAt, listing.Downloads,
                           listing.LastAddedAt});
    }
    // Newest first, as the list of jobs to open shows them.
    std::stable_sort(entries.begin(), entries.end(), [](const TJobEntry& a, const TJobEntry& b) {
        return a.CreatedAt > b.CreatedAt;
    });
    return entries;
}

void TEventArchive::CreateJob(const TJob& job) {
    if (job.Name.empty())
        throw EArchiveError(TArchiveErrc::BadInput, "a job needs a name");
    CheckLogo(job.Name, job.Logo, job.LogoType);
    RequireJobLimits(job);
    TJobChanges changes;
    const std::pair<std::optional<std::string>*, const std::string*> texts[] = {
        {&changes.Customer, &job.Customer},
        {&changes.Site, &job.Site},
        {&changes.Contractor, &job.Contractor},
        {&changes.Notes, &job.Notes}};
    for (const auto& [change, value] : texts) {
        if (!value->empty())
            *change = *value;
    }
    if (!job.Logo.empty()) {
        changes.Logo = job.Logo;
        changes.LogoType = job.LogoType;
    }
    changes.ExpectedFibres = job.ExpectedFibres;
    store_->WriteJob(job.Name, TJobPresence::MustBeNew, [&](const TJobView& view) {
        TEventMaker maker(view, author_);
        maker.Add(JobTarget, EventField::Created, NullValue());
        JobEvents(maker, changes);
        for (const TJobBudget& budget : job.Budgets)
            maker.Add(JobTarget, EventField::Budget, StringValue(budget.Json));
        return TJobWrite{maker.Take(), std::nullopt};
    });
}

std::optional<TJob> TEventArchive::FindJob(const std::string& name) {
    const std::optional<TJobView> view = store_->ReadJob(name);
    if (!view)
        return std::nullopt;
    return DeriveJobState(name, view->Events).Job;
}

void TEventArchive::ChangeJob(const std::string& name, const TJobChanges& changes) {
    if (changes.Logo)
        CheckLogo(name, *changes.Logo, changes.LogoType.value_or(""));
    RequireChangeLimits(changes);
    WriteEvents(name, [&](TEventMaker& maker, const TJobView&) { JobEvents(maker, changes); });
}

TAddOutcome TEventArchive::AddDownload(const std::string& jobName, const TDownload& download) {
    RequireDownloadLimits(download);
    const std::string textSha = DownloadHashFor(jobName, download);
    const std::vector<TStoredReading> readings = OwnDirections(download);
    const std::string recordsSha = RecordsSha256(readings);
    TAddOutcome outcome{false, 0, recordsSha, false};
    const TWriteOutcome written =
        store_->WriteJob(jobName, TJobPresence::MustExist, [&](const TJobView& view) {
            outcome = TAddOutcome{false, 0, recordsSha, false};
            for (const TDownloadRow& row : view.Downloads) {
                if (row.RecordsSha256 == recordsSha || row.TextSha256 == textSha) {
                    outcome = {false, row.Number, row.RecordsSha256,
                               row.RecordsSha256 != recordsSha};
                    return TJobWrite{};
                }
            }
            TEventMaker maker(view, author_);
            const std::string target = DownloadTarget(recordsSha);
            maker.Add(target, EventField::Added, AddedValue(download.Meter, download.Source));
            maker.Add(target, EventField::Direction, DirectionValue(download.Direction));
            maker.Add(target, EventField::Date,
                      StringValue(download.TestDate.empty() ? view.Now.substr(0, 10)
                                                            : download.TestDate));
            maker.Add(target, EventField::Operator, StringValue(download.Operator));
            return TJobWrite{maker.Take(), TNewRecords{recordsSha, textSha, &readings}};
        });
    if (written.RecordsAdded)
        outcome = {true, written.Number, recordsSha, false};
    return outcome;
}

namespace {

// The download as the job's state says it is, with its readings' directions in force.
TDownload StateDownload(const TDownloadState& state, const TDownloadRow& row,
                        std::vector<TStoredReading> readings) {
    TDownload download;
    download.Number = row.Number;
    download.Meter = state.Meter;
    download.Source = state.Source;
    download.Operator = state.Operator;
    download.TestDate = state.TestDate;
    download.Direction = state.Direction;
    download.AddedAt = state.AddedAt;
    download.Void = state.Void;
    download.VoidReason = state.VoidReason;
    download.VoidBy = state.VoidBy;
    download.VoidAt = state.VoidAt;
    download.FixedAfterVoidBy = state.FixedAfterVoidBy;
    download.FixedAfterVoidAt = state.FixedAfterVoidAt;
    download.Sha256 = row.TextSha256;
    download.RecordsSha256 = row.RecordsSha256;
    for (TStoredReading& reading : readings) {
        if (reading.Direction == TDirection::None)
            reading.Direction = state.Direction;
    }
    download.Readings = std::move(readings);
    return download;
}

}  // namespace

std::vector<TDownload> TEventArchive::Downloads(const std::string& jobName) {
    auto read = store_->ReadJobWithReadings(jobName);
    if (!read) {
        throw EArchiveError(TArchiveErrc::NoSuchJob,
                            "there is no job " + jobName + " in the archive " + Location());
    }
    auto& [view, readings] = *read;
    const TJobState state = DeriveJobState(jobName, view.Events);
    std::vector<TDownload> downloads;
    for (const TDownloadState& decided : state.Downloads) {
        for (std::size_t index = 0; index < view.Downloads.size(); ++index) {
            if (view.Downloads[index].RecordsSha256 == decided.Hash) {
                downloads.push_back(
                    StateDownload(decided, view.Downloads[index], std::move(readings[index])));
                break;
            }
        }
    }
    return downloads;
}

void TEventArchive::SetVoid(const std::string& jobName, const std::string& download, bool isVoid,
                            const std::string& reason) {
    RequireVoidReasonLimits(reason);
    WriteEvents(jobName, [&](TEventMaker& maker, const TJobView& view) {
        const TDownloadRow& row = FindDownloadRow(view.Downloads, jobName, download);
        maker.Add(DownloadTarget(row.RecordsSha256), EventField::Void, VoidValue(isVoid, reason));
    });
}

void TEventArchive::FixDownload(const std::string& jobName, const std::string& download,
                                const TDownloadFix& fix) {
    if (fix.Operator)
        RequireVoidReasonLimits(*fix.Operator);
    WriteEvents(jobName, [&](TEventMaker& maker, const TJobView& view) {
        const TDownloadRow& row = FindDownloadRow(view.Downloads, jobName, download);
        FixEvents(maker, DownloadTarget(row.RecordsSha256), fix);
    });
}

std::string TEventArchive::FindDownload(const std::string& jobName, const std::string& name) {
    return FindDownloadRow(RequireJob(jobName).Downloads, jobName, name).RecordsSha256;
}

std::vector<TJobEvent> TEventArchive::Events(const std::string& jobName) {
    return RequireJob(jobName).Events;
}

TJobState TEventArchive::State(const std::string& jobName) {
    return DeriveJobState(jobName, RequireJob(jobName).Events);
}

TMergeOutcome TEventArchive::Merge(const std::string& jobName, const std::vector<TJobEvent>& events,
                                   const TDownload* records) {
    TMergeOutcome outcome;
    std::optional<TNewRecords> newRecords;
    if (records != nullptr) {
        if (RecordsSha256(records->Readings) != records->RecordsSha256) {
            throw EArchiveError(TArchiveErrc::BadDocument,
                                "the records of download " + records->RecordsSha256 + " of job " +
                                    jobName + " do not match their hash");
        }
        newRecords = TNewRecords{
            records->RecordsSha256,
            records->Sha256.empty() ? DownloadHashFor(jobName, *records) : records->Sha256,
            &records->Readings};
    }
    bool existed = true;
    const TWriteOutcome written =
        store_->WriteJob(jobName, TJobPresence::MakeIfMissing, [&](const TJobView& view) {
            existed = !view.Events.empty() || !view.Downloads.empty();
            // Only events new here are told of: those seen before were told then.
            outcome.FarAhead.clear();
            const std::int64_t nowMs = NowMsOf(view.Now);
            std::set<std::string> known;
            for (const TJobEvent& event : view.Events)
                known.insert(event.Id);
            for (const TJobEvent& event : events) {
                if (IsFarAhead(event.Clock, nowMs) && known.count(event.Id) == 0)
                    outcome.FarAhead.push_back(event);
            }
            return TJobWrite{events, newRecords};
        });
    outcome.JobMade = !existed;
    outcome.RecordsAdded = written.RecordsAdded;
    outcome.EventsAdded = written.EventsAdded;
    return outcome;
}

std::vector<TStoredReading> TEventArchive::Records(const std::string& jobName,
                                                   const std::string& recordsSha256) {
    for (const TDownloadRow& row : RequireJob(jobName).Downloads) {
        if (row.RecordsSha256 == recordsSha256)
            return store_->ReadRecords(jobName, row.Number);
    }
    return {};
}

#include "jobs/JobState.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <tuple>

#include "jobs/ArchiveErrors.h"
#include "jobs/EventValue.h"

namespace {
using TEventGroups = std::map<TFieldKey, std::vector<const TJobEvent*>>;

bool ClockIdLess(const TJobEvent* a, const TJobEvent* b) {
    return std::tie(a->Clock, a->Id) < std::tie(b->Clock, b->Id);
}

bool AllFieldsLess(const TJobEvent& a, const TJobEvent& b) {
    return std::tie(a.Origin, a.Author, a.WallTime, a.Clock, a.Target, a.Field, a.Value, a.Pred) <
           std::tie(b.Origin, b.Author, b.WallTime, b.Clock, b.Target, b.Field, b.Value, b.Pred);
}

// The events grouped by (target, field), each id once. Should forged data give one id to
// different events, the least of them by every field is kept, so that order never matters.
TEventGroups GroupDistinctEvents(const std::vector<TJobEvent>& events) {
    std::map<std::string_view, const TJobEvent*> byId;
    for (const TJobEvent& event : events) {
        const auto [place, added] = byId.emplace(event.Id, &event);
        if (!added && AllFieldsLess(event, *place->second))
            place->second = &event;
    }
    TEventGroups groups;
    for (const auto& [id, event] : byId)
        groups[{event->Target, event->Field}].push_back(event);
    return groups;
}

// The events of one group that no other of the group names, highest (Clock, Id) first.
std::vector<const TJobEvent*> UnreplacedEvents(const std::vector<const TJobEvent*>& group) {
    std::set<std::string_view> named;
    for (const TJobEvent* event : group) {
        for (const std::string& id : event->Pred) {
            if (id != event->Id)
                named.insert(id);
        }
    }
    std::vector<const TJobEvent*> heads;
    for (const TJobEvent* event : group) {
        if (!named.count(event->Id))
            heads.push_back(event);
    }
    std::sort(heads.begin(), heads.end(),
              [](const TJobEvent* a, const TJobEvent* b) { return ClockIdLess(b, a); });
    return heads;
}

std::map<TFieldKey, TFieldOutcome> OutcomesOfGroups(const TEventGroups& groups) {
    std::map<TFieldKey, TFieldOutcome> outcomes;
    for (const auto& [key, group] : groups) {
        std::vector<const TJobEvent*> heads = UnreplacedEvents(group);
        if (heads.empty())
            continue;
        TFieldOutcome& outcome = outcomes[key];
        outcome.Winner = heads.front();
        outcome.Others.assign(heads.begin() + 1, heads.end());
    }
    return outcomes;
}

// What DeriveJobState reads its fields from.
struct TStateSource {
    const TEventGroups& Groups;
    const std::map<TFieldKey, TFieldOutcome>& Outcomes;

    const TJobEvent* Winner(const std::string& target, const char* field) const {
        const auto found = Outcomes.find({target, field});
        return found == Outcomes.end() ? nullptr : found->second.Winner;
    }
    const std::vector<const TJobEvent*>& Group(const std::string& target, const char* field) const {
        static const std::vector<const TJobEvent*> none;
        const auto found = Groups.find({target, field});
        return found == Groups.end() ? none : found->second;
    }
};

// Applies read to the winner of (target, field) when there is one; a value of the wrong shape
// counts as absent.
template <class F>
void WithWinner(const TStateSource& source, const std::string& target, const char* field, F read) {
    if (const TJobEvent* winner = source.Winner(target, field)) {
        try {
            read(*winner);
        } catch (const EArchiveError&) {
        }
    }
}

void DeriveJobFacts(const TStateSource& source, TJob& job) {
    WithWinner(source, JobTarget, EventField::Created, [&](const TJobEvent& event) {
        ReadNull(event.Value);
        job.CreatedAt = event.WallTime;
    });
    const std::pair<const char*, std::string*> texts[] = {{EventField::Customer, &job.Customer},
                                                          {EventField::Site, &job.Site},
                                                          {EventField::Contractor, &job.Contractor},
                                                          {EventField::Notes, &job.Notes}};
    for (const auto& entry : texts) {
        std::string* text = entry.second;  // clang 14's lambdas take no structured binding
        WithWinner(source, JobTarget, entry.first,
                   [text](const TJobEvent& event) { *text = ReadString(event.Value); });
    }
    WithWinner(source, JobTarget, EventField::Logo, [&](const TJobEvent& event) {
        TLogoValue logo = ReadLogoValue(event.Value);
        job.Logo = std::move(logo.Bytes);
        job.LogoType = std::move(logo.Type);
    });
}

// Every budget the job had, oldest first, the one in force last.
void DeriveBudgets(const TStateSource& source, TJob& job) {
    std::vector<const TJobEvent*> budgets = source.Group(JobTarget, EventField::Budget);
    std::sort(budgets.begin(), budgets.end(), ClockIdLess);
    const TJobEvent* winner = source.Winner(JobTarget, EventField::Budget);
    std::stable_partition(budgets.begin(), budgets.end(),
                          [&](const TJobEvent* event) { return event != winner; });
    for (const TJobEvent* event : budgets) {
        try {
            job.Budgets.push_back({ReadString(event->Value), event->WallTime});
        } catch (const EArchiveError&) {
        }
    }
}

void DeriveExpectedFibres(const TStateSource& source, TJob& job) {
    const std::string_view prefix = CableTargetPrefix;
    for (const auto& [key, outcome] : source.Outcomes) {
        const auto& [target, field] = key;
        if (target.compare(0, prefix.size(), prefix) != 0 || field != EventField::Fibers)
            continue;
        try {
            if (const int count = ReadFibres(outcome.Winner->Value); count != 0)
                job.ExpectedFibres[target.substr(prefix.size())] = count;
        } catch (const EArchiveError&) {
        }
    }
}

// The latest direction, date or operator event made after (a higher clock than) voidEvent.
const TJobEvent* FixAfterVoid(const TStateSource& source, const std::string& target,
                              const TJobEvent& voidEvent) {
    const TJobEvent* latest = nullptr;
    for (const char* field : {EventField::Direction, EventField::Date, EventField::Operator}) {
        for (const TJobEvent* event : source.Group(target, field)) {
            if (event->Clock > voidEvent.Clock && (!latest || ClockIdLess(latest, event)))
                latest = event;
        }
    }
    return latest;
}

void DeriveVoid(const TStateSource& source, const std::string& target, TDownloadState& download) {
    WithWinner(source, target, EventField::Void, [&](const TJobEvent& event) {
        TVoidValue mark = ReadVoid(event.Value);
        if (!mark.Void)
            return;
        download.Void = true;
        download.VoidReason = std::move(mark.Reason);
        download.VoidBy = event.Author;
        download.VoidAt = event.WallTime;
        if (const TJobEvent* fix = FixAfterVoid(source, target, event)) {
            download.FixedAfterVoidBy = fix->Author;
            download.FixedAfterVoidAt = fix->WallTime;
        }
    });
}

TDownloadState DeriveDownload(const TStateSource& source, const std::string& target,
                              const std::vector<const TJobEvent*>& adds) {
    TDownloadState download;
    download.Hash = target.substr(std::string_view(DownloadTargetPrefix).size());
    const TJobEvent* first = *std::min_element(adds.begin(), adds.end(), ClockIdLess);
    download.AddedAt = first->WallTime;
    download.FirstAdded = first->Clock;
    download.FirstAddedId = first->Id;
    WithWinner(source, target, EventField::Added, [&](const TJobEvent& event) {
        TAddedValue added = ReadAdded(event.Value);
        download.Meter = std::move(added.Meter);
        download.Source = std::move(added.Source);
    });
    WithWinner(source, target, EventField::Direction,
               [&](const TJobEvent& event) { download.Direction = ReadDirection(event.Value); });
    WithWinner(source, target, EventField::Date,
               [&](const TJobEvent& event) { download.TestDate = ReadDate(event.Value); });
    WithWinner(source, target, EventField::Operator,
               [&](const TJobEvent& event) { download.Operator = ReadString(event.Value); });
    DeriveVoid(source, target, download);
    return download;
}

std::vector<TDownloadState> DeriveDownloads(const TStateSource& source) {
    const std::string_view prefix = DownloadTargetPrefix;
    std::vector<TDownloadState> downloads;
    for (const auto& [key, group] : source.Groups) {
        const auto& [target, field] = key;
        if (target.compare(0, prefix.size(), prefix) == 0 && field == EventField::Added)
            downloads.push_back(DeriveDownload(source, target, group));
    }
    std::sort(
        downloads.begin(), downloads.end(), [](const TDownloadState& a, const TDownloadState& b) {
            return std::tie(a.FirstAdded, a.FirstAddedId) < std::tie(b.FirstAdded, b.FirstAddedId);
        });
    return downloads;
}

std::string AuthorsValue(const TJobEvent& event) {
    return (event.Author.empty() ? std::string("someone") : event.Author) + "'s " +
           PlainValueText(event.Value);
}
}  // namespace

std::map<TFieldKey, TFieldOutcome> FieldOutcomes(const std::vector<TJobEvent>& events) {
    return OutcomesOfGroups(GroupDistinctEvents(events));
}

std::vector<std::string> FieldHeads(const std::vector<TJobEvent>& events, const std::string& target,
                                    const std::string& field) {
    std::vector<TJobEvent> ofField;
    for (const TJobEvent& event : events) {
        if (event.Target == target && event.Field == field)
            ofField.push_back(event);
    }
    std::vector<std::string> heads;
    for (const TJobEvent* event : UnreplacedEvents(GroupDistinctEvents(ofField)[{target, field}]))
        heads.push_back(event->Id);
    std::sort(heads.begin(), heads.end());
    return heads;
}

TJobState DeriveJobState(const std::string& jobName, const std::vector<TJobEvent>& events) {
    const TEventGroups groups = GroupDistinctEvents(events);
    const std::map<TFieldKey, TFieldOutcome> outcomes = OutcomesOfGroups(groups);
    const TStateSource source{groups, outcomes};
    TJobState state;
    state.Job.Name = jobName;
    DeriveJobFacts(source, state.Job);
    DeriveBudgets(source, state.Job);
    DeriveExpectedFibres(source, state.Job);
    state.Downloads = DeriveDownloads(source);
    for (const auto& [key, outcome] : outcomes) {
        if (outcome.Others.empty())
            continue;
        TConflict& conflict = state.Conflicts.emplace_back();
        conflict.Target = key.first;
        conflict.Field = key.second;
        conflict.Kept = *outcome.Winner;
        for (const TJobEvent* other : outcome.Others)
            conflict.Others.push_back(*other);
    }
    return state;
}

std::string ConflictText(const TConflict& conflict) {
    std::string text = conflict.Field + ": kept " + AuthorsValue(conflict.Kept) + " over ";
    for (std::size_t i = 0; i < conflict.Others.size(); ++i) {
        if (i > 0)
            text += i + 1 == conflict.Others.size() ? " and " : ", ";
        text += AuthorsValue(conflict.Others[i]);
    }
    return text + ", made without seeing each other";
}

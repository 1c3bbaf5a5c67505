#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "jobs/JobEvent.h"
#include "jobs/JobTypes.h"

// A job's state worked out from its events, by one rule: among the events of one (target,
// field) that no other event of that (target, field) names in its Pred, the highest
// (Clock, Id) wins (Id compared as text); more than one such event is a conflict, whose
// others are kept and listed. The outcome is the same whatever the order of the events and
// however often one comes (events are known by Id). A Pred naming an event that is absent is
// ignored here.

struct TFieldOutcome {
    const TJobEvent* Winner = nullptr;
    std::vector<const TJobEvent*> Others;  // the other unreplaced events, highest (Clock, Id) first
};
using TFieldKey = std::pair<std::string, std::string>;  // target, field

// The outcome of each (target, field), pointing into events. A (target, field) whose every
// event another names (a cycle, which ids made by hashing rule out) has none.
std::map<TFieldKey, TFieldOutcome> FieldOutcomes(const std::vector<TJobEvent>& events);
// The ids of the unreplaced events of one (target, field), sorted: what a new event of that
// field names in Pred.
std::vector<std::string> FieldHeads(const std::vector<TJobEvent>& events, const std::string& target,
                                    const std::string& field);

struct TDownloadState {
    std::string Hash;           // the records hash (the target's part after "download:")
    std::string Meter, Source;  // from the winning "added"
    std::string AddedAt;        // WallTime of the earliest "added" (lowest (Clock, Id))
    TClock FirstAdded = 0;      // with FirstAddedId, the order of downloads in a job
    std::string FirstAddedId;
    std::string Operator, TestDate;
    TDirection Direction = TDirection::None;
    bool Void = false;
    std::string VoidReason;
    std::string VoidBy, VoidAt;  // author and wall time of the winning void event when Void
    // The latest direction, date or operator event with a higher clock than the winning
    // void=true event (a fix made after the download was voided): its author and wall time;
    // empty when none.
    std::string FixedAfterVoidBy, FixedAfterVoidAt;
};

struct TConflict {
    std::string Target, Field;
    TJobEvent Kept;
    std::vector<TJobEvent> Others;
};

struct TJobState {
    // Name given; Customer.. Notes, CreatedAt (WallTime of the winning "created"), Logo and
    // LogoType, Budgets (every budget event by (Clock, Id), the winner moved last, SetAt =
    // WallTime), ExpectedFibres (the winner per cable, 0 left out).
    TJob Job;
    std::vector<TDownloadState> Downloads;  // every target with an "added" event, by
                                            // (FirstAdded, FirstAddedId)
    std::vector<TConflict> Conflicts;       // by (target, field)
};

// The state of the job named jobName. A value of the wrong shape (EventValue.h's readers
// refuse it) counts as absent: the field keeps its empty value (its budget is left out of
// Budgets, its download keeps its place but no meter and source), and the rest is worked out
// as ever. Events of unknown targets or fields are passed over.
TJobState DeriveJobState(const std::string& jobName, const std::vector<TJobEvent>& events);

// "direction: kept Ben's b-a over Ann's a-b, made without seeing each other" (for a
// download the caller adds which download; an empty author reads "someone"; values as plain
// text).
std::string ConflictText(const TConflict& conflict);

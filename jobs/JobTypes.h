#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/uMeranie.h"

// The direction a fibre was tested in: from end A to end B, back, or not said.
enum class TDirection : std::uint8_t { None, AToB, BToA };

// "a-b", "b-a", "" for None: the names on the command line, in the archive and in the
// exchange document.
const char* DirectionName(TDirection direction);
// None (the optional empty) for a text that names no direction; "" gives TDirection::None.
std::optional<TDirection> FindDirection(std::string_view name);

// A budget a job had, and the time it was set (UTC, "2026-12-07T19:55:36.123456Z").
struct TJobBudget {
    std::string Json;  // the budget file's text
    std::string SetAt;

    bool operator==(const TJobBudget&) const = default;
};

// A job's own facts. Texts are UTF-8.
struct TJob {
    std::string Name;
    std::string Customer;
    std::string Site;
    std::string Contractor;
    std::string Notes;
    std::string CreatedAt;                      // UTC, as TJobBudget::SetAt
    std::vector<TJobBudget> Budgets;            // oldest first; the last is in force; may be empty
    std::string Logo;                           // the image file's bytes; empty: none
    std::string LogoType;                       // "png" or "svg"; empty with no logo
    std::map<std::string, int> ExpectedFibres;  // cable → fibre count

    bool operator==(const TJob&) const = default;
};

// One reading of a download as stored. The record's Cable and Fiber hold the meter's
// Latin-1 bytes, as everywhere else in the program; the archive keeps them as UTF-8.
struct TStoredReading {
    TMeranie Record;
    TDirection Direction = TDirection::None;  // the download's, unless set per reading
};

// The records of one dump or measurement file added to a job, with what is known of them.
struct TDownload {
    std::int64_t Number = 0;  // 1, 2, ... within its job, in the order of adding; 0 until added
    std::string Meter;        // the meter's name line, or what --meter said; may be empty
    std::string Source;       // the port or file the records came from
    std::string Operator;
    std::string TestDate;  // "YYYY-MM-DD"
    TDirection Direction = TDirection::None;
    std::string AddedAt;  // UTC, as TJobBudget::SetAt; set by the archive when added
    bool Void = false;
    std::string VoidReason;
    std::string Sha256;         // of the records' measurement-file text, 64 lowercase hex digits
    std::string RecordsSha256;  // of every reading's fields (RecordsHash.h): its identity
    std::vector<TStoredReading> Readings;
    // Set by an archive: who voided it and when, and a fix made after the void; empty when none.
    std::string VoidBy, VoidAt, FixedAfterVoidBy, FixedAfterVoidAt;

    bool operator==(const TDownload&) const;
};

// A job as ListJobs gives it: enough to pick one.
struct TJobEntry {
    std::string Name;
    std::string Customer;
    std::string Site;
    std::string CreatedAt;
    std::int64_t Downloads = 0;
    std::string LastAddedAt;  // empty with no download
};

// What AddDownload did.
struct TAddOutcome {
    bool Added = false;         // false: the same records were already in the job
    std::int64_t Number = 0;    // the new download's number, or the one that holds the records
    std::string RecordsSha256;  // the new download's, or the one's that holds the records
    bool SameText = false;      // not added: another download holds the same file text
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jobs/JobTypes.h"
#include "verdict/Budget.h"
#include "verdict/Verdict.h"

// A job's results, derived whenever they are read from its downloads and the budget in force;
// nothing here is stored.
//
// A reading's key is (cable, fibre, wavelength key, kind absolute/relative, direction). A
// fibre is its fiber text, or for a text of digits only its number ("7" and "07" are one
// fibre), named in every row as its first reading (in the order below) names it. The
// wavelength key is the budget's nearest wavelength within 20 nm (NearestWavelength over
// BudgetWavelengths), else the wavelength rounded to the nearest nm (a wavelength that is no
// number keys as 0, one beyond an int as the nearest int).
//
// Downloads that are not void are taken in the order of their test date, then their time of
// adding, then their hash; a download's readings in their order. A reading equal in every
// field (cable, fibre, wavelength, value, reference, kind; numbers bit for bit) to an earlier
// reading of its key, current or history, is a repeat and changes nothing. Any other becomes
// its key's current reading, the one it replaces goes to the key's history.

// How a row came to be.
enum class TRowShape : std::uint8_t {
    Single,        // a relative reading without a direction, judged as a download's reading
    Pair,          // the current a-b and b-a relative readings of one cable, fiber, wavelength
    OneDirection,  // a relative reading with a direction that has no partner, judged alone
    Absolute,      // an absolute reading (with or without a direction)
};

// A reading that is current in a row: what it says and where it came from.
struct TRowReading {
    double WaveLength = 0;  // as measured, not the key
    double Value = 0;
    double Reference = 0;
    TDirection Direction = TDirection::None;
    std::int64_t Download = 0;  // the number of the download it came from
    TVerdict Verdict;           // this reading judged alone

    bool operator==(const TRowReading&) const = default;
};

// An earlier reading of a row's key that a later one replaced (a re-test).
struct THistoryReading {
    double WaveLength = 0;
    double Value = 0;
    double Reference = 0;
    TDirection Direction = TDirection::None;
    std::int64_t Download = 0;
    // A relative reading's loss by the budget in force, so that a re-test reads in the units
    // of the rows; none for an absolute reading.
    TFigure Loss;

    bool operator==(const THistoryReading&) const = default;
};

// One row of a job's results: one current reading, or a pair.
struct TResultRow {
    std::string Cable;  // 8-bit (Latin-1), as the records hold them
    std::string Fiber;
    int WaveLengthKey = 0;
    bool IsRelative = false;
    TRowShape Shape = TRowShape::Single;
    // The row's reading; for a pair the a-b one.
    TRowReading Reading;
    // The b-a reading of a pair; default (Download 0) in other rows.
    TRowReading Partner;
    // A pair's average loss; none in other rows.
    TFigure Average;
    // The row's loss, limit and margin. A pair's are by the budget's pair rule: under "worst"
    // its worse direction's (WorseDirection), under "average" its average's. Other rows':
    // their reading's (an absolute reading has no loss and no limit).
    TFigure Loss;
    TFigure Limit;
    TFigure Margin;
    // A pair's under "worst": the direction whose figures it takes, the one of the smaller
    // margin (a FAIL's is below zero), without a limit the one of the greater loss, of equal
    // ones a-b. None in other rows and under "average".
    TDirection WorseDirection = TDirection::None;
    // Other rows': their reading's. A pair's is CHECK when either direction is CHECK, else by
    // the budget's pair rule: "worst" takes the worse direction's (FAIL before PASS),
    // "average" the average's verdict against the limit.
    TVerdictKind Kind = TVerdictKind::None;
    // The replaced readings of the row's keys (both directions of a pair), oldest first.
    std::vector<THistoryReading> History;

    bool operator==(const TResultRow&) const = default;
};

// What the results were made from, counted.
struct TJobCounts {
    TVerdictCounts Rows;  // the rows' verdicts
    std::size_t Pairs = 0;
    std::size_t OneDirection = 0;  // one-direction rows
    std::size_t Current = 0;       // current readings (a pair holds two)
    std::size_t History = 0;       // readings replaced by a later different one
    std::size_t Repeats = 0;       // readings equal to an earlier one of their key
    std::size_t Downloads = 0;     // downloads that took part (void ones not)
    std::size_t VoidDownloads = 0;

    bool operator==(const TJobCounts&) const = default;
};

// A void download: listed, but no part of any result.
struct TVoidDownload {
    std::int64_t Number = 0;
    std::string Reason;
    std::string RecordsSha256;  // its name in every archive

    bool operator==(const TVoidDownload&) const = default;
};

// How many of a cable's expected fibres have a row. Fibres are named by number: fibre n of a
// cable expecting N (1 <= n <= N) is tested when a row of the cable has a fiber text of
// decimal digits only (leading zeros allowed: "007" is fibre 7) whose value is n. Other
// fiber texts, and numbers beyond N, count toward no cable's completeness.
struct TCableCompleteness {
    std::string Cable;  // UTF-8, as the job names it
    int Expected = 0;
    int Tested = 0;
    std::vector<std::string> Untested;  // "1", "2", ... ascending, no leading zeros

    bool operator==(const TCableCompleteness&) const = default;
};

struct TJobCompleteness {
    int Expected = 0;  // over every cable with an expected count
    int Tested = 0;
    std::vector<TCableCompleteness> Cables;  // in the order of their names

    bool operator==(const TJobCompleteness&) const = default;
};

// "142 of 144 fibres tested" ("1 of 1 fibre tested").
std::string CompletenessText(const TJobCompleteness& completeness);

struct TJobResults {
    // Sorted by cable (byte order), fiber (texts of digits only first, by their number, then
    // the others in byte order; equal numbers by text), wavelength key, relative before
    // absolute, then shape (Single, Pair, OneDirection, Absolute) and direction (none, a-b,
    // b-a).
    std::vector<TResultRow> Rows;
    // The rule the pairs were judged by.
    TPairRule PairRule = TPairRule::Worst;
    TJobCounts Counts;
    // Per fibre over all its rows, absolute ones included: FAIL if any is FAIL, else CHECK if
    // any is CHECK, else PASS; None when none was judged. In the order of the rows.
    std::vector<TFibreResult> Fibres;
    // Empty (no cable, 0 of 0) when the job expects no fibre count.
    TJobCompleteness Completeness;
    // In the order of the downloads given.
    std::vector<TVoidDownload> VoidDownloads;
};

// The results of the downloads under budget, the expected fibre counts by cable (UTF-8).
TJobResults ComputeJobResults(const TBudget& budget,
                              const std::map<std::string, int>& expectedFibres,
                              const std::vector<TDownload>& downloads);

// The same from the job's budget in force (the last of job.Budgets; an empty budget when it
// has none) and its expected fibre counts. Throws EBudgetError when that budget's text cannot
// be read.
TJobResults ComputeJobResults(const TJob& job, const std::vector<TDownload>& downloads);

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "jobs/JobTypes.h"

// The limits of what an archive takes, the same for every way in (the command line, the
// window, an imported document) and for both back ends, checked before anything is written.

// Fibres a cable may be expected to have.
inline constexpr int MaxExpectedFibres = 1000000;
// Characters of a job's or an expected cable's name: PostgreSQL indexes them, at most 2704
// bytes a row, which 500 characters of UTF-8 (2000 bytes at most) leave room in.
inline constexpr std::size_t MaxNameCharacters = 500;

// A value out of the limits: where it is, as a JSON pointer into the job's document without
// its leading "/" ("name", "expected_fibres/R", "budgets/0/set_at", "test_date"), and what
// is wrong with it.
struct TLimitBreach {
    std::string Field;
    std::string Problem;
};

// A real date written YYYY-MM-DD (2024-02-29 is one, 2023-02-29 is not).
bool IsCalendarDate(std::string_view text);
// A real UTC time written YYYY-MM-DDTHH:MM:SS.ffffffZ, as the archive keeps its times.
bool IsArchiveTime(std::string_view text);

// The first value of the job's own facts out of the limits: a text holding a zero byte, a
// name too long, an expected fibre count beyond MaxExpectedFibres, a time that is none (an
// empty time is the archive's to set).
std::optional<TLimitBreach> JobLimitBreach(const TJob& job);
// The same for a download's facts (its readings are the hash's to check).
std::optional<TLimitBreach> DownloadLimitBreach(const TDownload& download);

// The breaches of single values, for changes made one field at a time.
std::optional<TLimitBreach> TextBreach(const char* field, std::string_view text);
std::optional<TLimitBreach> NameBreach(const char* field, std::string_view name);
std::optional<TLimitBreach> ExpectedFibresBreach(const std::string& cable, long long count);
std::optional<TLimitBreach> TimeBreach(const std::string& field, std::string_view time);

// "expected_fibres/R~1S" for the cable "R/S": a key as a JSON pointer writes it.
std::string PointerKey(std::string_view key);

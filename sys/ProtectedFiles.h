#pragma once

#include <string>
#include <system_error>

// Why a file may not be replaced or written over by any output: an export, a report or a
// copy written there would destroy every job it holds.
enum class TOutputRefusal {
    ArchiveInUse = 1,  // the archive this process has open, or its log or index
    Database,          // an SQLite database: another archive of jobs, or one like it
};

const std::error_category& OutputRefusalCategory() noexcept;
std::error_code make_error_code(TOutputRefusal refusal) noexcept;

template <>
struct std::is_error_code_enum<TOutputRefusal> : std::true_type {};

// While it lives, the file at path and its SQLite companions (path-wal, path-shm,
// path-journal) are refused as an output, by device and inode, whatever name or link an
// output gives them. Thread-safe.
class TProtectedFile {
public:
    explicit TProtectedFile(std::string path);
    ~TProtectedFile() noexcept;
    TProtectedFile(const TProtectedFile&) = delete;
    TProtectedFile& operator=(const TProtectedFile&) = delete;

private:
    std::string path_;
};

// Why no output may write the existing file at path (links followed); no error when it may,
// or when there is no file.
std::error_code OutputRefusal(const std::string& path);

// True for a file that begins as every SQLite database does, whatever state the rest is in.
bool HasDatabaseHeader(const std::string& path);

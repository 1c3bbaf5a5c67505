#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A failed SQLite call: the result code (extended) and SQLite's own text for it.
class ESqliteError : public std::exception {
public:
    ESqliteError(int code, std::string text) : code_(code), text_(std::move(text)) {}

    const char* what() const noexcept override { return text_.c_str(); }
    int Code() const noexcept { return code_; }
    // The primary result code (SQLITE_BUSY, SQLITE_READONLY, ...), without the extension.
    int PrimaryCode() const noexcept { return code_ & 0xFF; }

private:
    int code_;
    std::string text_;
};

// One open database connection, closed on destruction.
class TSqliteConnection {
public:
    // uri is a "file:" URI (SQLITE_OPEN_URI); flags are sqlite3_open_v2's.
    TSqliteConnection(const std::string& uri, int flags);
    ~TSqliteConnection() noexcept;
    TSqliteConnection(const TSqliteConnection&) = delete;
    TSqliteConnection& operator=(const TSqliteConnection&) = delete;

    sqlite3* Handle() const noexcept { return db_; }
    // Runs statements without parameters or results (pragmas, BEGIN, COMMIT, DDL).
    void Execute(const char* sql);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    std::int64_t Changes() const noexcept;
    std::int64_t LastRowId() const noexcept;
    bool IsReadOnly() const noexcept;
    [[noreturn]] void Fail(int code) const;

private:
    sqlite3* db_ = nullptr;
};

// A prepared statement. Parameters are numbered from 1, columns from 0; texts bound are
// copied by SQLite unless bound with BindTextStatic, whose text must outlive the step.
class TSqliteStatement {
public:
    TSqliteStatement(TSqliteConnection& connection, std::string_view sql);
    ~TSqliteStatement() noexcept;
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    TSqliteStatement& Bind(int index, std::int64_t value);
    TSqliteStatement& Bind(int index, double value);
    TSqliteStatement& Bind(int index, std::string_view text);
    TSqliteStatement& BindTextStatic(int index, std::string_view text);
    TSqliteStatement& BindBlob(int index, std::string_view bytes);
    TSqliteStatement& BindNull(int index);

    // True while a row is there to read; false once the statement is done.
    bool Step();
    // Steps a statement that returns no row.
    void Run();
    // Makes the statement ready to run again; bindings stay unless cleared.
    void Reset() noexcept;

    bool IsNull(int column) const;
    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;
    std::string_view TextView(int column) const;  // valid until the next step
    std::string Blob(int column) const;

private:
    void Check(int code) const;

    TSqliteConnection& connection_;
    sqlite3_stmt* statement_ = nullptr;
};

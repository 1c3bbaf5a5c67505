#include "archive/SqliteDb.h"

#include <sqlite3.h>

#include <limits>

namespace {
std::string ErrorText(sqlite3* db, int code) {
    const char* message = db != nullptr ? sqlite3_errmsg(db) : nullptr;
    return message != nullptr && *message != '\0' ? message : sqlite3_errstr(code);
}

int Size(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw ESqliteError(SQLITE_TOOBIG, sqlite3_errstr(SQLITE_TOOBIG));
    }
    return static_cast<int>(text.size());
}
}  // namespace

TSqliteConnection::TSqliteConnection(const std::string& uri, int flags) {
    // A connection is used by one thread at a time (an archive belongs to its runner's thread):
    // without SQLite's lock around every call, which took a twentieth of a large add.
    const int code =
        sqlite3_open_v2(uri.c_str(), &db_, flags | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        ESqliteError error(code, ErrorText(db_, code));
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw error;
    }
    sqlite3_extended_result_codes(db_, 1);
}

TSqliteConnection::~TSqliteConnection() noexcept {
    sqlite3_close_v2(db_);
}

void TSqliteConnection::Execute(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        Fail(code);
    }
}

std::int64_t TSqliteConnection::Changes() const noexcept {
    return sqlite3_changes64(db_);
}

std::int64_t TSqliteConnection::LastRowId() const noexcept {
    return sqlite3_last_insert_rowid(db_);
}

bool TSqliteConnection::IsReadOnly() const noexcept {
    return sqlite3_db_readonly(db_, "main") == 1;
}

void TSqliteConnection::Fail(int code) const {
    throw ESqliteError(code, ErrorText(db_, code));
}

TSqliteStatement::TSqliteStatement(TSqliteConnection& connection, std::string_view sql)
    : connection_(connection) {
    const int code = sqlite3_prepare_v3(connection.Handle(), sql.data(), Size(sql),
                                        SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
    if (code != SQLITE_OK) {
        connection.Fail(code);
    }
}

TSqliteStatement::~TSqliteStatement() noexcept {
    sqlite3_finalize(statement_);
}

void TSqliteStatement::Check(int code) const {
    if (code != SQLITE_OK) {
        connection_.Fail(code);
    }
}

TSqliteStatement& TSqliteStatement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(statement_, index, value));
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int index, double value) {
    Check(sqlite3_bind_double(statement_, index, value));
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int index, std::string_view text) {
    Check(sqlite3_bind_text(statement_, index, text.data(), Size(text), SQLITE_TRANSIENT));
    return *this;
}

TSqliteStatement& TSqliteStatement::BindTextStatic(int index, std::string_view text) {
    Check(sqlite3_bind_text(statement_, index, text.data(), Size(text), SQLITE_STATIC));
    return *this;
}

TSqliteStatement& TSqliteStatement::BindBlob(int index, std::string_view bytes) {
    // A zero-length blob binds as an empty blob, not as NULL.
    Check(sqlite3_bind_blob(statement_, index, bytes.empty() ? "" : bytes.data(), Size(bytes),
                            SQLITE_TRANSIENT));
    return *this;
}

TSqliteStatement& TSqliteStatement::BindNull(int index) {
    Check(sqlite3_bind_null(statement_, index));
    return *this;
}

bool TSqliteStatement::Step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code == SQLITE_DONE) {
        return false;
    }
    // The statement must be usable again after a failure (a busy archive is retried).
    sqlite3_reset(statement_);
    connection_.Fail(code);
}

void TSqliteStatement::Run() {
    while (Step()) {
    }
    Reset();
}

void TSqliteStatement::Reset() noexcept {
    sqlite3_reset(statement_);
}

bool TSqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t TSqliteStatement::Int(int column) const {
    return sqlite3_column_int64(statement_, column);
}

double TSqliteStatement::Real(int column) const {
    return sqlite3_column_double(statement_, column);
}

std::string TSqliteStatement::Text(int column) const {
    return std::string(TextView(column));
}

std::string_view TSqliteStatement::TextView(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    const int size = sqlite3_column_bytes(statement_, column);
    return text != nullptr ? std::string_view(text, static_cast<std::size_t>(size))
                           : std::string_view();
}

std::string TSqliteStatement::Blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    const int size = sqlite3_column_bytes(statement_, column);
    return bytes != nullptr ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
}

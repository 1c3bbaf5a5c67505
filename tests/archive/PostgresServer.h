#pragma once

#include <optional>
#include <string>

#include "support/TempFolder.h"

// The PostgreSQL server of the archive's tests: the one ctest starts for the whole run
// (scripts/test-postgres.sh, whose URI file $MERIDAX_TEST_POSTGRES names), or one of a
// test's own for the faults that stop a server.

// The shared server's URI (its database "postgres"); nothing, with the reason in whyNot,
// when it did not start or the tests run outside ctest.
std::optional<std::string> SharedServerUri(std::string& whyNot);

// The shared TLS server's URI (the fixture meridax_postgres_tls, whose URI file
// $MERIDAX_TEST_POSTGRES_TLS names): postgresql://postgres@localhost:PORT/postgres?
// sslmode=verify-full&sslrootcert=FOLDER/ca.crt, FOLDER/server.crt its certificate for
// localhost. Over TCP it takes TLS connections alone.
std::optional<std::string> SharedTlsServerUri(std::string& whyNot);

// In a test's SetUp: skips the test with the reason when there is no server, or fails it
// under CI=true, where a server that cannot start must not pass unnoticed.
#define MERIDAX_REQUIRE_POSTGRES(uriVariable) \
    MERIDAX_REQUIRE_SERVER_OF(SharedServerUri, uriVariable)
#define MERIDAX_REQUIRE_POSTGRES_TLS(uriVariable) \
    MERIDAX_REQUIRE_SERVER_OF(SharedTlsServerUri, uriVariable)
#define MERIDAX_REQUIRE_SERVER_OF(finder, uriVariable)             \
    do {                                                           \
        std::string whyNot_;                                       \
        const std::optional<std::string> found_ = finder(whyNot_); \
        if (!found_) {                                             \
            if (RunByCi()) {                                       \
                FAIL() << "no PostgreSQL server: " << whyNot_;     \
            }                                                      \
            GTEST_SKIP() << "no PostgreSQL server: " << whyNot_;   \
        }                                                          \
        uriVariable = *found_;                                     \
    } while (false)

bool RunByCi();

// serverUri with its database replaced by database.
std::string DatabaseUri(const std::string& serverUri, const std::string& database);

// Runs one SQL text on the database at uri; throws what libpqxx throws.
void ExecuteSql(const std::string& uri, const std::string& sql);
// The first field of the first row of a query's result, as text ("" for NULL).
std::string QuerySql(const std::string& uri, const std::string& sql);

// A database of the test's own on a server, made with a unique name and dropped (with its
// connections) when the object goes.
class TPostgresDatabase {
public:
    explicit TPostgresDatabase(const std::string& serverUri);
    ~TPostgresDatabase() noexcept;
    TPostgresDatabase(const TPostgresDatabase&) = delete;
    TPostgresDatabase& operator=(const TPostgresDatabase&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Uri() const { return uri_; }

private:
    std::string serverUri_;
    std::string name_;
    std::string uri_;
};

// A server of the test's own, for faults that stop it: started here, stopped and removed
// when the object goes.
class TPrivateServer {
public:
    TPrivateServer();
    ~TPrivateServer() noexcept;
    TPrivateServer(const TPrivateServer&) = delete;
    TPrivateServer& operator=(const TPrivateServer&) = delete;

    // Empty when it did not start; then WhyNot says why.
    const std::string& Uri() const { return uri_; }
    const std::string& WhyNot() const { return whyNot_; }
    // pg_ctl stop -m immediate: as a crash, with no shutdown of the sessions.
    bool Halt();
    bool Resume();

private:
    bool Run(const std::string& command, std::string* output = nullptr);

    TTempFolder folder_;
    std::string uri_;
    std::string whyNot_;
};

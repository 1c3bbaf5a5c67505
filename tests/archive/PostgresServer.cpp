#include "archive/PostgresServer.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <pqxx/connection>
#include <pqxx/nontransaction>

#include "support/Subprocess.h"

namespace {
std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}
}  // namespace

bool RunByCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

namespace {
// The URI in the file the environment variable names.
std::optional<std::string> UriOfFixture(const std::string& variable, std::string& whyNot) {
    const char* file = std::getenv(variable.c_str());
    if (file == nullptr || *file == '\0') {
        whyNot =
            "run through ctest, whose fixture starts the server ($" + variable + " is not set)";
        return std::nullopt;
    }
    const std::string line = FirstLine(file);
    if (line.rfind("postgresql://", 0) == 0) {
        return line;
    }
    whyNot = line.empty() ? std::string(file) + " names no server" : line;
    return std::nullopt;
}
}  // namespace

std::optional<std::string> SharedServerUri(std::string& whyNot) {
    return UriOfFixture("MERIDAX_TEST_POSTGRES", whyNot);
}

std::optional<std::string> SharedTlsServerUri(std::string& whyNot) {
    return UriOfFixture("MERIDAX_TEST_POSTGRES_TLS", whyNot);
}

std::string DatabaseUri(const std::string& serverUri, const std::string& database) {
    const std::size_t path = serverUri.find('/', serverUri.find("://") + 3);
    const std::size_t query = serverUri.find('?', path);
    return serverUri.substr(0, path + 1) + database +
           (query == std::string::npos ? std::string() : serverUri.substr(query));
}

void ExecuteSql(const std::string& uri, const std::string& sql) {
    pqxx::connection connection(uri);
    pqxx::nontransaction tx(connection);
    tx.exec(sql);
}

std::string QuerySql(const std::string& uri, const std::string& sql) {
    pqxx::connection connection(uri);
    pqxx::nontransaction tx(connection);
    const pqxx::result rows = tx.exec(sql);
    return rows.empty() || rows[0][0].is_null() ? std::string() : rows[0][0].as<std::string>();
}

TPostgresDatabase::TPostgresDatabase(const std::string& serverUri) : serverUri_(serverUri) {
    static std::atomic<int> counter{0};
    name_ = "meridax_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    ExecuteSql(serverUri_, "CREATE DATABASE " + name_);
    uri_ = DatabaseUri(serverUri_, name_);
}

TPostgresDatabase::~TPostgresDatabase() noexcept {
    try {
        ExecuteSql(serverUri_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (...) {
        // A server already gone takes the database with it.
    }
}

TPrivateServer::TPrivateServer() : folder_("meridax-pg-uri") {
    std::string output;
    if (!Run("start", &output)) {
        whyNot_ = "scripts/test-postgres.sh start failed: " + output;
        return;
    }
    const std::string line = FirstLine(folder_.File("uri"));
    if (line.rfind("postgresql://", 0) == 0) {
        uri_ = line;
    } else {
        whyNot_ = line;
    }
}

TPrivateServer::~TPrivateServer() noexcept {
    Run("stop");
}

bool TPrivateServer::Halt() {
    return Run("halt");
}

bool TPrivateServer::Resume() {
    return Run("resume");
}

bool TPrivateServer::Run(const std::string& command, std::string* output) {
    TSubprocessOptions options;
    options.CaptureError = true;
    // The script fails only under CI when the server cannot start; here the file says why.
    options.UnsetEnvironment = {"CI"};
    const TRunResult result =
        RunToEnd({MERIDAX_TEST_POSTGRES_SCRIPT, command, folder_.File("uri")}, options);
    if (output != nullptr) {
        *output = result.Out + result.Err;
    }
    return result.ExitCode == 0;
}

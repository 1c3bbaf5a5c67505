// The archive over TLS with sslmode=verify-full, against the fixture's server whose
// certificate is for localhost: what connects, what is refused and how that is told, and a
// team's set-up of roles (the README's) through meridax-cli.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "archive/PostgresArchive.h"
#include "archive/PostgresServer.h"
#include "archive/PostgresTestData.h"
#include "cli/CliTest.h"

namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The README's set-up of a team's roles, with the names made the test's own.
std::string TeamSql(const std::string& database, const std::string& prefix) {
    std::string sql =
        "CREATE ROLE technicians NOLOGIN;"
        "CREATE ROLE readers NOLOGIN;"
        "GRANT CONNECT ON DATABASE jobs TO technicians, readers;"
        "GRANT USAGE ON SCHEMA public TO technicians, readers;"
        "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO technicians;"
        "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO technicians;"
        "GRANT SELECT ON ALL TABLES IN SCHEMA public TO readers;"
        "ALTER DEFAULT PRIVILEGES IN SCHEMA public"
        " GRANT SELECT, INSERT, UPDATE, DELETE ON TABLES TO technicians;"
        "ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT USAGE ON SEQUENCES TO technicians;"
        "ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT ON TABLES TO readers;"
        "CREATE ROLE ann LOGIN IN ROLE technicians;"
        "CREATE ROLE olga LOGIN IN ROLE readers;";
    sql = Replaced(sql, "DATABASE jobs", "DATABASE " + database);
    for (const std::string role : {"technicians", "readers", "ann", "olga"}) {
        for (std::size_t at = sql.find(role); at != std::string::npos;
             at = sql.find(role, at + prefix.size() + role.size()))
            sql.insert(at, prefix);
    }
    return sql;
}

// The roles of TeamSql, which belong to the whole server, dropped once the database is gone.
class TTeamRoles {
public:
    TTeamRoles(std::string serverUri, std::string prefix)
        : serverUri_(std::move(serverUri)), prefix_(std::move(prefix)) {}
    ~TTeamRoles() noexcept {
        try {
            ExecuteSql(serverUri_, "DROP ROLE IF EXISTS " + prefix_ + "ann, " + prefix_ + "olga, " +
                                       prefix_ + "technicians, " + prefix_ + "readers");
        } catch (...) {
            // A server already gone takes its roles with it.
        }
    }
    TTeamRoles(const TTeamRoles&) = delete;
    TTeamRoles& operator=(const TTeamRoles&) = delete;

private:
    std::string serverUri_;
    std::string prefix_;
};

class PostgresTlsTest : public CliTest {
protected:
    void SetUp() override {
        MERIDAX_REQUIRE_POSTGRES_TLS(serverUri_);
        rootCertificate_ = serverUri_.substr(serverUri_.find("sslrootcert=") + 12);
    }

    std::string serverUri_;
    std::string rootCertificate_;  // the CA's certificate, beside the server's own
};

TEST_F(PostgresTlsTest, VerifyFullConnectsToTheCertifiedNameAndTellsWhatIsWrongOtherwise) {
    const TPostgresDatabase database(serverUri_);
    const std::string uri = database.Uri();
    OpenPostgresArchive(uri)->CreateJob(MakeJob("Over TLS"));
    ASSERT_EQ(OpenPostgresArchive(uri)->ListJobs().size(), 1U);
    EXPECT_EQ(OpenPostgresArchive(uri)->ListJobs()[0].Name, "Over TLS");
    EXPECT_EQ(QuerySql(uri, "SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()"), "t");

    const std::string folder = rootCertificate_.substr(0, rootCertificate_.rfind('/'));
    const std::string notThere = folder + "/no-such-folder/ca.crt";
    // The server trusts every user: the password is there to be hidden.
    const std::string withPassword = Replaced(uri, "postgres@", "postgres:S3cret@");
    const std::pair<std::string, std::string> cases[] = {
        {Replaced(withPassword, "@localhost:", "@127.0.0.1:"),
         "the server's certificate is for localhost, not 127.0.0.1 (sslmode=verify-full checks "
         "the host name: connect to the name the certificate is for)"},
        {Replaced(withPassword, rootCertificate_, notThere),
         "the root certificate " + notThere +
             " to check the server with does not exist (sslrootcert names the CA certificate "
             "of the server)"},
        {Replaced(uri, rootCertificate_, folder + "/server.crt"),
         "the server's certificate is not signed by the root certificate given (sslrootcert "
         "names the CA certificate of the server)"},
    };
    for (const auto& [refused, says] : cases) {
        const std::string& location = refused;  // a lambda of clang 14 takes no binding
        const auto error = ThrownBy<EArchiveError>([&location] { OpenArchive(location); });
        ASSERT_TRUE(error) << refused;
        // Callers see the code of any connection that failed.
        EXPECT_EQ(error->code(), make_error_code(TArchiveErrc::ServerUnavailable));
        const std::string message = error->what();
        const std::string ours =
            "cannot connect to the archive " + ShownLocation(refused) + ": " + says + "; libpq: ";
        EXPECT_EQ(message.substr(0, ours.size()), ours) << message;
        EXPECT_GT(message.size(), ours.size()) << message;
        EXPECT_EQ(message.find("S3cret"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

// A team's archive as the README sets it up: the owner makes it, a technician adds, a reader
// sees the job and is told that this user may not change it; and without a root certificate
// meridax-cli says so in one line.
TEST_F(PostgresTlsTest, ATeamsTechnicianAddsAndItsReaderOnlyReads) {
    const std::string prefix = "meridax_" + std::to_string(::getpid()) + "_";
    const TTeamRoles roles(serverUri_, prefix);
    const TPostgresDatabase database(serverUri_);
    const std::string owner = database.Uri();
    const auto job = [this](std::vector<std::string> words, const std::string& archive,
                            TSubprocessOptions options = {}) {
        words.insert(words.begin(), "job");
        words.insert(words.end(), {"--archive", archive});
        return Run(words, "/dev/null", "", std::move(options));
    };
    const std::string fixtures = MERIDAX_JOB_FIXTURES;
    ASSERT_EQ(job({"new", "Riser"}, owner).exitCode, 0);
    ExecuteSql(owner, TeamSql(database.Name(), prefix));

    const std::string technician = Replaced(owner, "postgres@", prefix + "ann@");
    const TRun added =
        job({"add", "Riser", fixtures + "/meter1-a-b.dump", "--direction", "a-b"}, technician);
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.err, "");
    EXPECT_EQ(job({"set", "Riser", "--cable", "R", "--fibers", "8"}, technician).exitCode, 0);

    const std::string reader = Replaced(owner, "postgres@", prefix + "olga@");
    const TRun shown = job({"show", "Riser"}, reader);
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("meter1-a-b.dump"), std::string::npos) << shown.out;
    const std::string onlyRead = "the user " + prefix +
                                 "olga may only read it (the server grants this user no right "
                                 "to add to the archive's tables)";
    const TRun refused = job({"add", "Riser", fixtures + "/meter1-b-a.dump"}, reader);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "meridax-cli job add: " + reader + " can only be read: " + onlyRead +
                               "; nothing was added, and trying again will not help until that "
                               "is mended\n");
    const TRun unchanged = job({"void", "Riser", "1", "--reason", "x"}, reader);
    EXPECT_EQ(unchanged.exitCode, 1);
    EXPECT_EQ(unchanged.err,
              "meridax-cli job void: " + reader + " is open for reading only: " + onlyRead + "\n");

    // No sslrootcert, and no ~/.postgresql/root.crt either.
    TSubprocessOptions emptyHome;
    emptyHome.SetEnvironment = {"HOME=" + folder_.Path()};
    const std::string withoutRoot = Replaced(owner, "&sslrootcert=" + rootCertificate_, "");
    const TRun unchecked = job({"list"}, withoutRoot, emptyHome);
    EXPECT_EQ(unchecked.exitCode, 1);
    const std::string says = "meridax-cli job list: cannot connect to the archive " + withoutRoot +
                             ": the root certificate " + Path(".postgresql/root.crt") +
                             " to check the server with does not exist";
    EXPECT_EQ(unchecked.err.substr(0, says.size()), says) << unchecked.err;
    EXPECT_EQ(std::count(unchecked.err.begin(), unchecked.err.end(), '\n'), 1) << unchecked.err;
}

}  // namespace

// The archive over TLS with sslmode=verify-full, against the fixture's server whose
// certificate is for localhost: what connects, what is refused and how that is told, and a
// team's set-up of roles (the README's) through meridax-cli.
#include <gtest/gtest.h>

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
        const auto error = ThrownBy<EArchiveError>([&] { OpenArchive(refused); });
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

}  // namespace

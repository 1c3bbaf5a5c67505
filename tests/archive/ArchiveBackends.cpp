#include "ArchiveBackends.h"

#include <memory>
#include <stdexcept>

#include "archive/PostgresServer.h"

namespace {
TArchiveBackend SqliteBackend() {
    return {"sqlite", [](const std::string& folder) { return folder + "/jobs.sqlite"; },
            [] { return std::optional<std::string>(); }};
}

// The databases the cases made, dropped once they have run: not as static objects go, when
// connecting through libpqxx crashes.
std::vector<std::unique_ptr<TPostgresDatabase>>& MadeDatabases() {
    static std::vector<std::unique_ptr<TPostgresDatabase>> databases;
    return databases;
}

class TDropDatabases : public testing::Environment {
public:
    void TearDown() override { MadeDatabases().clear(); }
};

[[maybe_unused]] testing::Environment* const DropDatabases =
    testing::AddGlobalTestEnvironment(new TDropDatabases);

// On the server ctest's fixture started, a database of the case's own.
TArchiveBackend PostgresBackend() {
    return {"postgresql",
            [](const std::string&) {
                std::string whyNot;
                const std::optional<std::string> server = SharedServerUri(whyNot);
                if (!server) {
                    throw std::runtime_error("no PostgreSQL server: " + whyNot);
                }
                MadeDatabases().push_back(std::make_unique<TPostgresDatabase>(*server));
                return MadeDatabases().back()->Uri();
            },
            []() -> std::optional<std::string> {
                std::string whyNot;
                // Under CI a missing server fails the cases (MakeLocation throws).
                if (SharedServerUri(whyNot) || RunByCi()) {
                    return std::nullopt;
                }
                return "no PostgreSQL server: " + whyNot;
            }};
}
}  // namespace

const std::vector<TArchiveBackend>& ArchiveBackends() {
    static const std::vector<TArchiveBackend> backends = {SqliteBackend(), PostgresBackend()};
    return backends;
}

std::string ArchiveBackendName(const testing::TestParamInfo<TArchiveBackend>& info) {
    return info.param.Name;
}

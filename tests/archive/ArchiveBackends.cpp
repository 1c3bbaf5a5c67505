#include "ArchiveBackends.h"

namespace {
TArchiveBackend SqliteBackend() {
    return {"sqlite",
            [](const std::string& folder) { return folder + "/jobs.sqlite"; },
            [] { return std::optional<std::string>(); }};
}
}  // namespace

const std::vector<TArchiveBackend>& ArchiveBackends() {
    static const std::vector<TArchiveBackend> backends = {SqliteBackend()};
    return backends;
}

std::string ArchiveBackendName(const testing::TestParamInfo<TArchiveBackend>& info) {
    return info.param.Name;
}

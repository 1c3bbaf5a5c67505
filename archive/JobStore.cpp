#include "archive/JobStore.h"

#include <random>

void TJobStore::SaveCopy(const std::string& path) {
    static_cast<void>(path);
    throw EArchiveError(TArchiveErrc::BadInput,
                        "the archive " + Location() +
                            " is a database on a server: copy it with the server's own tools "
                            "(pg_dump)");
}

std::string JoinEventIds(const std::vector<std::string>& ids) {
    std::string joined;
    for (const std::string& id : ids)
        joined += (joined.empty() ? "" : ",") + id;
    return joined;
}

std::vector<std::string> SplitEventIds(std::string_view joined) {
    std::vector<std::string> ids;
    while (!joined.empty()) {
        const std::size_t comma = joined.find(',');
        ids.emplace_back(joined.substr(0, comma));
        joined = comma == std::string_view::npos ? std::string_view() : joined.substr(comma + 1);
    }
    return ids;
}

std::string NewArchiveOrigin() {
    static constexpr char Digits[] = "0123456789abcdef";
    std::random_device device;
    std::string origin;
    for (int word = 0; word < 4; ++word) {
        const unsigned value = device();
        for (int shift = 28; shift >= 0; shift -= 4)
            origin += Digits[(value >> shift) & 0x0F];
    }
    return origin;
}

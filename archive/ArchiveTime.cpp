#include "archive/ArchiveTime.h"

#include <cstdio>
#include <ctime>

std::string ArchiveTimeText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(time.time_since_epoch()).count();
    auto seconds = static_cast<std::time_t>(micros / 1000000);
    auto fraction = micros % 1000000;
    if (fraction < 0) {
        fraction += 1000000;
        --seconds;
    }
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<long long>(fraction));
    return text;
}

std::string ArchiveTimeNow() {
    return ArchiveTimeText(std::chrono::system_clock::now());
}

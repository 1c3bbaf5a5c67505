#pragma once

#include <chrono>
#include <string>

// A time as the archive keeps it: UTC, fixed width, so that text order is time order
// ("2026-12-07T19:55:36.123456Z").
std::string ArchiveTimeText(std::chrono::system_clock::time_point time);
std::string ArchiveTimeNow();

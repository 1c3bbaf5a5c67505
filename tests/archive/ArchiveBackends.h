#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// A back end the archive tests run against: every case of the back-end suite runs once per
// entry of ArchiveBackends().
struct TArchiveBackend {
    std::string Name;  // ends the test names: ArchiveBackendTest.AddsDownloads/sqlite
    // A fresh, empty archive location for one test; folder is the test's own temporary folder.
    std::function<std::string(const std::string& folder)> MakeLocation;
    // Why the back end cannot run here, for the test to skip with; none when it can.
    std::function<std::optional<std::string>()> WhyUnavailable;
};

const std::vector<TArchiveBackend>& ArchiveBackends();

// The parameterised tests' name for a back end.
std::string ArchiveBackendName(const testing::TestParamInfo<TArchiveBackend>& info);

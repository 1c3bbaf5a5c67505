#pragma once

#include <string>
#include <vector>

#include "jobs/JobState.h"
#include "jobs/JobTypes.h"

// What differs between a job as the first archive version held it and the state its events
// give ("download 2 (3f2a9c…): direction b-a, not a-b"); empty when nothing does. An upgrade
// that finds anything rolls back.
std::vector<std::string> UpgradeDifferences(const TJob& job,
                                            const std::vector<TDownload>& downloads,
                                            const TJobState& state);

// The message of an upgrade refused for differences (the first few named).
std::string UpgradeRefusal(const std::string& location, const std::string& jobName,
                           const std::vector<std::string>& differences);

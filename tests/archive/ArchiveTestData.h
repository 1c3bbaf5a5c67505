#pragma once

#include <gtest/gtest.h>

#include <string>

#include "jobs/JobTypes.h"

// A download of count relative readings, cables "<prefix>1".., that no other prefix or count
// gives; its hash is left for the archive to work out.
TDownload SampleDownload(const std::string& prefix, int count = 3,
                         TDirection direction = TDirection::AToB);

// Whether two downloads are equal with every number bit for bit (-0.0 is not 0.0).
testing::AssertionResult SameDownload(const TDownload& expected, const TDownload& actual);

// A job with every identity field set.
TJob SampleJob(const std::string& name);

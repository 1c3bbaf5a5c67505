#pragma once

#include <chrono>

// How long a test waits for what comes at once on a quiet machine. Generous: the suite also
// runs under sanitizers on a loaded two-core machine. Never a measure of speed.
inline constexpr std::chrono::milliseconds PatientWait{30000};
inline constexpr int PatientWaitMs = static_cast<int>(PatientWait.count());

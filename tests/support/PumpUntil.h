#pragma once

#include <functional>

#include "comm/Synchronizer.h"
#include "support/Patience.h"

// The test thread plays the window thread: it serves hand-offs until done holds, testing it
// again after each hand-off and each Notify (no polling); false when PatientWait ran out.
inline bool PumpUntil(TSynchronizer& sync, const std::function<bool()>& done) {
    return sync.WaitUntil(done, PatientWait);
}

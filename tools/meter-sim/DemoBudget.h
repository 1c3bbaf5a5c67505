#pragma once

#include "verdict/Budget.h"

// A loss budget that fits the generated records: every cable a 1 km inside-plant single-mode
// link with three connector pairs and three splices (4.15 dB), so that the ordinary losses
// pass, the high ones fail and the gains ask for a check; a power window holding every
// generated absolute reading.
TBudget DemoBudget();

#pragma once

#include <optional>

#include "verdict/Budget.h"

// The loss budget kept between runs in the user's configuration (QSettings, in the XDG config
// folder: meridax/meridax.conf), as the budget file's JSON. settings.ini keeps its one line.

// nullopt when none is kept. A kept budget that no longer reads is removed and its
// EBudgetError thrown, naming the configuration file.
std::optional<TBudget> LoadStoredBudget();

// Keeps budget, or removes the kept one for nullopt. Throws EInOutError when the
// configuration cannot be written.
void StoreBudget(const std::optional<TBudget>& budget);

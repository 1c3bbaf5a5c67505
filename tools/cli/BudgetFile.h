#pragma once

#include <string>

#include "verdict/Budget.h"

// ReadBudgetFile for the command line: a file that cannot be read is named as the budget
// file it was given as ("Budget file "x.json": File not found"), as a broken one is.
// Throws EBudgetError.
TBudget ReadCommandLineBudget(const std::string& path);

#include "tools/cli/BudgetFile.h"

TBudget ReadCommandLineBudget(const std::string& path) {
    try {
        return ReadBudgetFile(path);
    } catch (const EInOutError& error) {
        throw EBudgetError("Budget file \"" + path + "\": " + error.what(), path, error.code());
    }
}

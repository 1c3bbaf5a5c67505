#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "data/uMeranie.h"
#include "verdict/Budget.h"

// The loss budget as the dialog edits it: every figure a text, every table rows of cell
// texts, so that what the user typed is checked in one place and a bad cell is named rather
// than dropped. Texts are UTF-8, as in the budget.

enum class TBudgetTable { None, Attenuation, MaxLoss, Links, Power };

using TFormRows = std::vector<std::vector<std::string>>;

struct TBudgetForm {
    std::string Name;
    std::string Preset;  // "" for none
    TLossSign LossSign = TLossSign::Negative;
    // Empty: the preset's figure, else the default.
    std::string GainToleranceDb;
    std::string ConnectorDb;
    std::string SpliceDb;
    TFormRows Attenuation;  // wavelength (nm), dB/km
    TFormRows MaxLoss;      // wavelength (nm), max loss (dB)
    TFormRows Links;        // cable, length (m), connectors, splices
    TFormRows Power;        // wavelength (nm), min (dBm), max (dBm); either bound may be empty

    bool operator==(const TBudgetForm&) const = default;
};

// The table's name and its column captions, as the dialog shows them and messages say them.
const char* BudgetTableName(TBudgetTable table);
const std::vector<const char*>& BudgetTableColumns(TBudgetTable table);

// A cell or field the budget cannot be made from. Row and Column locate a table's cell
// (Table None for the single fields), so that the dialog can take the user there.
class EBudgetFormError : public std::runtime_error {
public:
    EBudgetFormError(const std::string& message, TBudgetTable table, int row, int column)
        : std::runtime_error(message), Table(table), Row(row), Column(column) {}

    TBudgetTable Table;
    int Row;
    int Column;
};

TBudgetForm BudgetFormFrom(const TBudget& budget);

// The budget the form says. Rows whose cells are all empty are skipped; anything else that
// is not a number where one belongs, a negative length, count or loss, a wavelength that is
// no whole number of nm, a wavelength or cable listed twice, a link without its length or a
// power window without a bound throws EBudgetFormError, e.g.
//   Links, row 2, Length (m): 'abc' is not a number
// "," is taken for "." in numbers.
TBudget BudgetFromForm(const TBudgetForm& form);

// The distinct Cable texts of records, in the order they first appear (8-bit, as the
// records hold them).
std::vector<std::string> DistinctCables(const TMeraniaArray& records);
